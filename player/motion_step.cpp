#include "player/motion_step.h"

void MotionStep() {}
