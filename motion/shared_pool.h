// The motion measure and the 1024-byte section that running copies pool it in.
#pragma once

#include "platform/shared_memory.h"

// Creates or opens and maps the section, then clears the pool. Returns false,
// after printing the reason, when the section cannot be had. Tests give a
// name of their own so that a running player is left alone.
bool OpenSharedInfo(const char *name = SHARED_SECTION_NAME);

// The section the player opens at start-up; tests that run the player point
// it elsewhere so that a player running on the same machine keeps its pool.
extern const char *PlayerSectionName;

// Unmaps the section (the name stays for other copies).
void CloseSharedInfo();

// Zeroes the total and the 32 slots in the section; the reserved bytes stay.
void ClearSharedInfo();

// The pass's DifferenceSum: with the camera on, the grey difference of the
// two latest frames, published in this copy's slot together with a new
// total; with it off, the pooled total of the other copies' cameras.
void CalcDifferenceSum();

// Copies the shared section into SI (for the status output).
void ReadSharedInfo();
