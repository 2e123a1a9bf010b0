// The gesture knowledge base held with a contents folder: parameters, the
// gesture table, learning records, calibration and the sample records. Its
// values live in the state record; only the sample records are allocated,
// one by one, and owned through KBData while KBFlag marks them.
#pragma once

void InitKnowledgeBase();

// Frees every sample record and clears its flag; counts and tables stay.
void FreeKnowledgeBase();

// Loads the four knowledge-base files of the current folder. Returns -1 when
// one of them is missing (nothing changed), else 0.
int ReadKB();
