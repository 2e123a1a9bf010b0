#include <cstdio>
#include <utility>

#include "common/text_values.h"
#include "common/timing.h"
#include "console/banners.h"
#include "gesture/knowledge_base.h"
#include "motion/camera.h"
#include "motion/shared_pool.h"
#include "platform/platform.h"
#include "player/folders.h"
#include "player/frame_cache.h"
#include "player/keys.h"
#include "player/motion_step.h"
#include "player/player.h"
#include "state/state.h"

namespace {

// Returns false when the player cannot start (the reason has been printed).
bool PreparePlayer() {
  Print("\n");
  if (!OpenSharedInfo(PlayerSectionName)) return false;
  InitKnowledgeBase();
  Z.VR_threshold = 2 * GRAY_SIZE / (Z.DiffStep * Z.DiffStep); // two grey levels a sampled pixel
  Print("The system is starting up. This may take a while.\n\n");
  if (!OpenFirstContents()) return false;
  ShowHelp();
  mark();
  Z.CamLogMode = 2;
  return true;
}

void EstablishPlaybackValues() {
  Z.TurnCount = Z.CameraFlag == 1 ? 3 : 5;
  Z.RestCount = Z.CameraFlag == 1 ? 1 : 2;
  // A level from outside the table keeps the factor of the last pass.
  for (const SpeedLevel &speed : SPEED_LEVELS)
    if (speed.level == Z.REPLAY_SPEED) Z.SpeedFactor = speed.factor;
  Z.VR_step = Z.SpeedFactor;
}

void PrintStatus() {
  if (Z.DISP_WEB_CAM_INFO == 1 || Z.DISP_WEB_CAM_INFO == 2) LoadSharedInfo();
  if (Z.DISP_WEB_CAM_INFO == 1) {
    Print("[S%d] [%5d /%5d] [DifferenceSum=%7d (SI.DiffSum=%7d )] [VR_threshold= %d ] [VR_step=%6.2f ] "
          "[f_rate=%6.2f [fps]]\n",
          Z.ContentsIndex + 1, IntegerPart(Z.frame_no), Z.MaxCount - 1, Z.DifferenceSum, Z.SI.DiffSum,
          Z.VR_threshold, Z.VR_step, Z.f_rate);
  } else if (Z.DISP_WEB_CAM_INFO == 2) {
    Print("*[SI.DiffSum=%7d ] ", Z.SI.DiffSum);
    for (int i = 0; i < SHARED_SLOTS; ++i)
      if (Z.SI.WebCamDiff[i] >= 1) Print("[WebCam( %2d ) =%7d ] ", i, Z.SI.WebCamDiff[i]);
    Print("\n");
  }
  mark();
  if (Z.DISP_WEB_CAM_INFO == -1) Z.DISP_WEB_CAM_INFO = 0;
}

} // namespace

int NextKey(int milliseconds) {
  // A key that came during a drawing wait is handed to the pass, not dropped.
  if (Z.HeldKey >= 0 && milliseconds == 0) {
    int held = Z.HeldKey;
    Z.HeldKey = -1;
    return held;
  }
  // The wait also lets the window draw; a key that comes now waits its turn.
  int key = Display.wait_key(milliseconds);
  if (key == WINDOW_CLOSED) return key;
  if (Z.HeldKey >= 0) std::swap(key, Z.HeldKey);
  return key & 0xFF;
}

bool ReadThresholdFile() {
  FILE *file = fopen(THRESHOLD_FILE, "r");
  if (file == nullptr) return false;
  int value = 0;
  if (ScanInt(file, &value) == 1) Z.ZEP_threshold = value;
  fclose(file);
  return true;
}

bool WriteThresholdFile() {
  char text[16];
  int length = snprintf(text, sizeof text, "%d", Z.ZEP_threshold);
  return WriteFileAtomically(THRESHOLD_FILE, text, static_cast<size_t>(length));
}

void ReloadThreshold() {
  ReadThresholdFile();
  Z.VR_threshold = Z.ZEP_threshold;
}

bool RunPass() {
  EstablishPlaybackValues();
  if (Z.AutoReplayFlag == 0) {
    Z.f_rate = rate();
    mark();
  }
  ZEP_Capture();
  CalcDifferenceSum();
  MotionStep();
  if (Z.CamLogMode == 1 && Z.DISP_WEB_CAM_INFO == 0 && Z.CameraFlag == 1 && Z.CamCapture != nullptr)
    LogCameraFrame();
  PrintStatus();
  if (!PresentFrame()) {
    Z.PlayerEnding = PLAYER_FAILED;
    return false;
  }
  int key = NextKey(1);
  if (key == WINDOW_CLOSED) {
    EndPlayer(PLAYER_QUIT); // as the second ESC, without the pause
    return false;
  }
  // Enter's help and pool clear come before the threshold file is read, so a
  // value another copy writes meanwhile is this pass's.
  if (key == KEY_ENTER) {
    ShowHelp();
    ClearSharedInfo();
  }
  ReloadThreshold();
  DispatchKey(key);
  return Z.PlayerEnding == PLAYER_RUNNING;
}

int RunPlayer() {
  if (PreparePlayer()) {
    while (RunPass()) {
    }
  }
  return Z.PlayerEnding == PLAYER_QUIT ? 0 : 1;
}

double FrameAfter(double frame_no, int direction, double amount) {
  if (direction == 1) {
    frame_no += amount;
    if (IntegerPart(frame_no) >= Z.MaxCount) frame_no = Z.WrapFlag ? 0.0 : Z.MaxCount - 1.0;
  } else if (direction == 0) {
    frame_no -= amount;
    if (frame_no < 0.0) frame_no = Z.WrapFlag ? Z.MaxCount - 1.0 : 0.0;
  }
  return frame_no;
}

void ReplayStep(int direction, int count) {
  Z.frame_no = FrameAfter(Z.frame_no, direction, count);
  Z.PlayDirection = direction;
  if (Z.WrapFlag == 0) Z.PrevDirection = direction;
  int f = IntegerPart(Z.frame_no);
  if (f < 0 || f >= MAX_FRAMES) return;
  const FrameRecord &rec = Z.FrameData[f];
  if (rec.http[0] != '\0') Print("\nFrameData[ %5d ].http[2] = [%s]\n", f, rec.http);
  if (rec.file[0] != '\0') Print("FrameData[ %5d ].file[3] = [%s]\n", f, rec.file);
}

void NoCommandPath() {
  if (Z.AutoReplayFlag == 0 || (Z.PlayDirection != 1 && Z.PlayDirection != 0)) return;
  ReplayStep(Z.PlayDirection, 1);
  // Best effort 30 frames per second, measured from the status step's mark.
  while ((Z.f_rate = rate()) > 30.0)
    PauseBriefly();
  mark();
}

void EnterPause() {
  CameraSuspend();
  if (Z.KeyScreen != nullptr) Display.show_image(MAIN_WINDOW, Z.KeyScreen);
  PrintPauseBanner();
  EmptyFrameCache();
  int key;
  do {
    key = NextKey(0);
  } while (key != KEY_ENTER && key != KEY_ESC && key != WINDOW_CLOSED);
  if (key != KEY_ENTER) {
    EndPlayer(PLAYER_QUIT);
    return;
  }
  CameraResume();
  PrintGoBanner();
  ShowFrameAgain();
}
