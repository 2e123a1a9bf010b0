// The motion-steered step: moving plays, stillness halts and reverses.
#pragma once

// Moves frame_no by VR_step in PlayDirection while DifferenceSum exceeds
// VR_threshold; counts motion passes and turns the direction when stillness
// follows a long enough run of them.
void MotionStep();

// Forward, with no motion counted: where a new folder and the camera key
// start the step from.
void ResetMotionStep();
