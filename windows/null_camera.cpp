// Stands in for the camera part while it is built on the image library
// (motion/camera.cpp); CMake adds this file only when that one is left out.
// No camera is ever on, so every switch leaves the camera off.
#include "motion/camera.h"
#include "state/state.h"

void ReadCamSettings() {}
void ToggleCamera() { Z.CameraFlag = 0; }
void CameraOn() { Z.CameraFlag = 0; }
void CameraOff() { Z.CameraFlag = 0; }
void CameraSuspend() {}
void CameraResume() {}
void ZEP_Capture() {}
void LogCameraFrame() {}
void CameraShutdown() {}
void ReleaseCamera() {}
