#include "motion/camera.h"

#include "app/banners.h"
#include "gesture/knowledge_base.h"
#include "platform/platform.h"
#include "state/state.h"

void ReadCamSettings() {}
void ToggleCamera() {}
void CameraOn() {}
void CameraOff() {}
void CameraSuspend() {}
void CameraResume() {}
void ZEP_Capture() {}
void LogCameraFrame() {}

void CameraShutdown() {
  FreeKnowledgeBase();
  PrintSeeYouBanner();
  Display.wait_key(500);
}
