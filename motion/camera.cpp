#include "motion/camera.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "common/naming.h"
#include "common/text_values.h"
#include "console/banners.h"
#include "motion/shared_pool.h"
#include "platform/camera_source.h"
#include "platform/image.h"
#include "platform/platform.h"
#include "state/state.h"

namespace {

constexpr const char *CAMERA_SETTINGS_FILE = "SetCamera3.txt";
constexpr const char *TURNING_ON = "\nNOW, TURNING ON THE CAMERA DEVICE. WAIT A MOMENT...\n";
constexpr const char *TURNING_OFF = "\nNOW, TURNING OFF THE CAMERA DEVICE. WAIT A MOMENT...\n";

// The images behind CamFrame and CamGray live as long as the program; their
// pixel buffers are allocated once, at the first grab.
ZepImage *const FrameImage = CreateImage();
ZepImage *const GrayImage = CreateImage();

// Reads one value of the settings file into *field. A value that is missing
// or not a number leaves the field as it was (and, as ScanInt stops at it,
// the fields after it too), so a damaged file never puts garbage in place.
void ReadSetting(FILE *file, int *field) {
  int value = 0;
  if (ScanInt(file, &value) == 1) *field = value;
}

void ReleaseCapture() {
  if (Z.CamCapture == nullptr) return;
  CameraSource.release(Z.CamCapture);
  Z.CamCapture = nullptr;
}

void PrintBannerLine() {
  Print("\n");
  PrintCameraBanner();
}

// Settings read again, the device taken, and a wait of `wait_ms` for it to
// start delivering. The capture is not checked: a camera that is not there
// is caught by the first grab, which reports it and switches the camera off.
void SwitchOn(int wait_ms) {
  Print("%s", TURNING_ON);
  ReadCamSettings();
  ReleaseCapture();
  Z.CamCapture = CameraSource.open(Z.CamChan);
  if (Z.CamCapture != nullptr) CameraSource.set_format(Z.CamCapture, ZEP_F_XMAX, ZEP_F_YMAX, 60.0);
  Display.wait_key(wait_ms);
  Print("Done.\n");
  PrintBannerLine();
}

void SwitchOff(const char *done) {
  Z.CameraFlag = 0;
  Z.CamLogMode = 2;
  Print("%s", TURNING_OFF);
  ReleaseCapture();
  Display.wait_key(1000);
  Print("%s", done);
  PrintBannerLine();
}

void ReportWrongFrame(const ImageShape &m) {
  Print("\n\n");
  PrintError("ERROR: The Size of Supposed Input Image does not Match.");
  PrintError("nChannels = %d\n", m.channels);
  PrintError("depth     = %d (bit)\n", m.depth_bits);
  PrintError("width     = %d\n", m.width);
  PrintError("height    = %d\n", m.height);
  PrintError("ZEP_F_XMAX    = %d\n", ZEP_F_XMAX);
  PrintError("ZEP_F_YMAX    = %d\n", ZEP_F_YMAX);
}

} // namespace

void ReadCamSettings() {
  FILE *file = fopen(CAMERA_SETTINGS_FILE, "r");
  if (file == nullptr) return;
  Print("\n--------------------------------------\n");
  Print(" 1 : [ CamFlipV    (Set 0 or 1)] \n");
  Print(" 2 : [ CamFlipH    (Set 0 or 1)] \n");
  Print(" 3 : [ CamChan     (Set 0 -- n)] \n");
  Print(" 4 : [ CamOnMemory (Set 1 -- %d)] \n", CAM_ON_MEMORY_MAX);
  Print(" 5 : [ CamBeep     (Set 0 or 1)] \n");
  Print("--------------------------------------\n");
  ReadSetting(file, &Z.CamFlipV);
  Print("SET: CamFlipV     = %d ( 1-> Invert Camera Image Vertically) \n", Z.CamFlipV);
  ReadSetting(file, &Z.CamFlipH);
  Print("SET: CamFlipH     = %d ( 1-> Invert Camera Image Horizontally) \n", Z.CamFlipH);
  ReadSetting(file, &Z.CamChan);
  Print("SET: CamChan      = %d ( Camera ID number ) \n", Z.CamChan);
  ReadSetting(file, &Z.CamOnMemory);
  if (Z.CamOnMemory < 1) Z.CamOnMemory = 1;
  if (Z.CamOnMemory > CAM_ON_MEMORY_MAX) Z.CamOnMemory = CAM_ON_MEMORY_MAX;
  Print("SET: CamOnMemory  = %d ( Number of On-Memory Frames ) \n", Z.CamOnMemory);
  ReadSetting(file, &Z.CamBeep);
  Print("SET: CamBeep      = %d ( 1-> Beep ON ) \n", Z.CamBeep);
  fclose(file);
}

void ToggleCamera() {
  ClearSharedInfo();
  if (Z.CameraFlag == 0) {
    Z.CameraFlag = 1;
    SwitchOn(1000);
  } else {
    SwitchOff("Done.\n");
  }
  ResetMotionMeasure();
}

// The OFF banner while CameraFlag stays 1: the pause keeps the camera's
// switch as it is and only lets go of the device.
void CameraSuspend() {
  if (Z.CameraFlag != 1) return;
  Print("%s", TURNING_OFF);
  ReleaseCapture();
  Print("Done.\n");
  int flag = Z.CameraFlag;
  Z.CameraFlag = 0;
  PrintBannerLine();
  Z.CameraFlag = flag;
}

void CameraResume() {
  if (Z.CameraFlag != 1) return;
  ClearSharedInfo();
  SwitchOn(500);
}

void ZEP_Capture() {
  if (Z.CameraFlag == 0) return;
  Z.CamFrame = FrameImage;
  bool got =
      Z.CamCapture != nullptr && CameraSource.read(Z.CamCapture, Z.CamFrame) && ShapeOf(Z.CamFrame).width > 0;
  if (!got) {
    Print("cvQueryFrame() failed in ZEP_Capture().\n");
    // Why the device did not open or deliver, for the person setting it up.
    if (!LastCameraFailure.why.empty()) PrintError("%s", LastCameraFailure.why.c_str());
    LastCameraFailure.why.clear();
    SwitchOff("Done.\n\n");
    return;
  }
  // Only 320 x 240 frames of 8-bit BGR are measured: the grey slots hold
  // exactly that many bytes, and another layout would be read as garbage.
  ImageShape shape = ShapeOf(Z.CamFrame);
  if (shape.width != ZEP_F_XMAX || shape.height != ZEP_F_YMAX || shape.channels != 3 || !shape.bytes) {
    ReportWrongFrame(shape);
    SwitchOff("Done.\n\n");
    return;
  }
  // The flips change the frame itself, so the camera log shows what was measured.
  if (Z.CamFlipV != 0) FlipImage(Z.CamFrame, 0);
  if (Z.CamFlipH != 0) FlipImage(Z.CamFrame, 1);
  Z.CamGray = GrayImage;
  ConvertToGrey(Z.CamFrame, Z.CamGray);
  int slot = Z.GrayIndex == 1 ? 1 : 0;
  // The grey image is one continuous 320 x 240 block at the accepted size,
  // so its first 76800 bytes are the whole frame.
  memcpy(Z.GrayFrame[slot], ImagePixels(Z.CamGray), GRAY_SIZE);
  Z.GrayIndex = 1 - slot;
}

void LogCameraFrame() {
  if (Z.CameraFlag != 1 || Z.CamCapture == nullptr || Z.CamFrame == nullptr || ShapeOf(Z.CamFrame).width == 0)
    return;
  // The log folder is the user's to make; without it nothing is logged.
  if (!FileExists("../log")) return;
  char name[NAME_LEN];
  char frame[32];
  for (int n = 0; n < INT_MAX; ++n) {
    FrameFileName(frame, sizeof frame, n);
    snprintf(name, sizeof name, "../log/%s", frame);
    // Any name already taken is skipped, also one that cannot be read, so an
    // earlier log is never written over.
    if (FileExists(name)) continue;
    SaveImage(name, Z.CamFrame); // a log that cannot be written is no reason to stop the player
    return;
  }
}

void CameraShutdown() {
  ReleaseCapture();
  PrintSeeYouBanner();
  Display.wait_key(500);
}
