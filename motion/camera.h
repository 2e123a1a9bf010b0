// The webcam: settings file, switching on and off, one grey frame per pass,
// the camera log and the final clean-up.
#pragma once

void ReadCamSettings();
void CameraOn();
void CameraOff();
void CameraSuspend();
void CameraResume();
void ZEP_Capture();
void LogCameraFrame();

// Frees the knowledge base, releases the camera, says goodbye and waits
// half a second. The caller then ends the program.
void CameraShutdown();
