// The webcam: settings file, switching on and off, one grey frame per pass,
// the camera log and the final clean-up.
#pragma once

void ReadCamSettings();

// The camera key: clears the pool, switches the camera on or off, and resets
// the motion measure.
void ToggleCamera();
void CameraOn();
void CameraOff();
void CameraSuspend();
void CameraResume();
void ZEP_Capture();
void LogCameraFrame();

// Releases the camera, says goodbye and waits half a second. The caller then
// ends the program.
void CameraShutdown();

// Releases the capture and the camera's two images (the latest frame and its
// grey copy). Everything is created again when needed.
void ReleaseCamera();
