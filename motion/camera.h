// The webcam: settings file, switching on and off, one grey frame per pass,
// the camera log and the final clean-up.
#pragma once

void ReadCamSettings();

// The camera key's part in motion/: clears the pool, switches the camera on
// or off, and resets the motion measure (the key resets the step itself).
void ToggleCamera();
void CameraSuspend();
void CameraResume();
void ZEP_Capture();
void LogCameraFrame();

// Releases the camera, says goodbye and waits half a second. The caller then
// ends the program.
void CameraShutdown();
