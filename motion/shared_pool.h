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

// Zeroes the total and the 32 slots in the section; the reserved bytes stay.
void ClearSharedInfo();

// The pass's DifferenceSum: with the camera on, the grey difference of the
// two latest frames, published in this copy's slot together with a new
// total; with it off, the pooled total of the other copies' cameras.
void CalcDifferenceSum();

// Copies the whole shared section into SI, so that the reserved bytes other
// copies may use travel along unchanged. Returns false when there is no
// usable section; SI then keeps its last values.
bool LoadSharedInfo();

// Forgets the motion measure: DifferenceSum 0, and the next camera frame goes
// into grey slot 0. A new folder and the camera key start from here.
void ResetMotionMeasure();
