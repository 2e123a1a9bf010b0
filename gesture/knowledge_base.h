// The gesture knowledge base of a contents folder, in the state record; only
// the sample records are allocated, owned through KBData while KBFlag marks them.
#pragma once

void InitKnowledgeBase();

// Frees every sample record and clears its flag; counts and tables stay.
void FreeKnowledgeBase();

// Loads the current folder's four files; -1 when one is missing (nothing changed).

int ReadKB();
