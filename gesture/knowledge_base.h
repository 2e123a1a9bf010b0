// The gesture knowledge base held with a contents folder.
#pragma once

void InitKnowledgeBase();
void FreeKnowledgeBase();

// Loads the four knowledge-base files of the current folder. Returns -1 when
// one of them is missing (nothing changed), else 0.
int ReadKB();
