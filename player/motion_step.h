// The motion-steered step: moving plays, stillness halts and reverses.
#pragma once

void MotionStep();
