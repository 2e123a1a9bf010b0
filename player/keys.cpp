// The key table and its commands: one row per code, one handler per command,
// the row's argument saying how far, which tenth or which folder. The
// dispatcher prints the KEY FUNCTION line, the same whichever key runs it.
#include "player/keys.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "console/banners.h"
#include "motion/camera.h"
#include "motion/shared_pool.h"
#include "platform/platform.h"
#include "player/folders.h"
#include "player/frame_cache.h"
#include "player/motion_step.h"
#include "player/player.h"
#include "state/state.h"

namespace {

// The row's KEY FUNCTION line (while the display level is on), then its command.
void RunCommand(const KeyCommand &row) {
  if (row.function_text != nullptr && Z.DISP_WEB_CAM_INFO != 0)
    Print("KEY FUNCTION : %s\n", row.function_text);
  row.handler(row.argument);
}

// --- Frames ---

// count > 0 steps forward, count < 0 backward (z / Z / '/', x / X / '\').
void StepFrames(int count) { ReplayStep(count > 0 ? 1 : 0, abs(count)); }

// A tenth of the folder; the fraction stays in frame_no. tenth / 10.0 is the
// same double as the literal 0.1 ... 0.9, so the frame shown is the same too.
void JumpToTenth(int tenth) { Z.frame_no = Z.MaxCount >= 1 ? (Z.MaxCount - 1) * (tenth / 10.0) : 0.0; }

// A count of 0 can come from a settings file: nothing to choose from.
void RandomFrame(int) { Z.frame_no = Z.MaxCount >= 1 ? rand() % Z.MaxCount : 0.0; }

void ResetFrame(int) { Z.frame_no = 0.0; }

// --- Replay ---

void ToggleAutoReplay(int) {
  Z.AutoReplayFlag = Z.AutoReplayFlag == 0 ? 1 : 0;
  Print("SET: AutoReplayFlag = [ %s ]\n", Z.AutoReplayFlag ? "ON" : "OFF");
}

// s (+1) and S (-1). At either end the level stays and its message repeats;
// a level from outside 1..5 lands on the nearer end.
void ChangeSpeed(int delta) {
  long long slowest = SPEED_LEVELS[0].level, fastest = std::end(SPEED_LEVELS)[-1].level;
  Z.REPLAY_SPEED =
      static_cast<int>(std::clamp(static_cast<long long>(Z.REPLAY_SPEED) + delta, slowest, fastest));
  for (const SpeedLevel &speed : SPEED_LEVELS)
    if (speed.level == Z.REPLAY_SPEED) Print("%s", speed.message);
}

void TogglePause(int) { EnterPause(); }

// --- Presentation ---

// 0 and 1 alternate; a 2 from the settings file, or any stray value, turns
// into 0 so that the next presentation is a defined one.
void ChangeFlipMode(int) {
  Z.flip_mode = Z.flip_mode == 0 ? 1 : 0;
  Print("SET: flip_mode = [ %s ]\n", Z.flip_mode ? "LEFT-RIGHT REVERSE" : "NORMAL");
  // The frame on screen changes at once, not only at the next frame change.
  int f = IntegerPart(Z.frame_no);
  if (f >= 0 && f < MAX_FRAMES && Z.FrameData[f].loaded == 1) ShowFrame(f, Z.flip_mode);
}

void ToggleWindowSizing(int) {
  Z.VARIABLE_SIZE_FLAG = Z.VARIABLE_SIZE_FLAG == 0 ? 1 : 0;
  Print("SET: 画像表示用ウィンドウサイズ = [ %s ]\n", Z.VARIABLE_SIZE_FLAG ? "自動変更" : "手動変更");
  RecreateMainWindow();
}

// Level 1 belongs to the status line and is left alone; any other level
// toggles between off and the pooled per-camera line.
void ChangeDisplayLevel(int) {
  if (Z.DISP_WEB_CAM_INFO == 1) return;
  Z.DISP_WEB_CAM_INFO = Z.DISP_WEB_CAM_INFO != 0 ? 0 : 2;
  Print("SET: DISP_WEB_CAM_INFO = [ %s ]\n", Z.DISP_WEB_CAM_INFO ? "ENABLED" : "DISABLED");
}

// --- Motion threshold ---

// Roughly a hundredth of the pixels the motion measure samples in a frame (a
// step below 1 samples every pixel).
int ThresholdStep() {
  long long step = Z.DiffStep < 1 ? 1 : Z.DiffStep;
  return step > GRAY_SIZE ? 0 : static_cast<int>(GRAY_SIZE / (step * step * 100));
}

// v (-1) and V (+1): the file is the shared value, so start from it; the
// result goes back there for every copy that shares the working folder.
void ChangeThreshold(int sign) {
  if (!ReadThresholdFile()) Print("[ NG ] Read Failed : [ %s ]\n", THRESHOLD_FILE);
  long long value = static_cast<long long>(Z.ZEP_threshold) + static_cast<long long>(sign) * ThresholdStep();
  if (sign < 0 && value < 0) value = 0; // only v floors at 0; V adds to what it finds
  if (value > INT_MAX) value = INT_MAX;
  Z.ZEP_threshold = static_cast<int>(value);
  Print("SET: ZEP_threshold = [ %d ]\n", Z.ZEP_threshold);
  if (!WriteThresholdFile()) Print("[ NG ] Write Failed : [ %s ]\n", THRESHOLD_FILE);
  Z.DISP_WEB_CAM_INFO = 0;
}

void SwitchCamera(int) {
  ToggleCamera();
  ResetMotionStep();
}

// --- Contents folders ---

void ChooseRandomContents(int) { ListContents(); }

// The digits: 1..9 open S001..S009, 0 opens S010 (the argument is the index).
void SwitchFolder(int index) {
  if (ChangeFolder(index)) Print("Done.\n\n");
}

// n (+1) wraps from the last possible folder to S001; p (-1) stops at S001.
void MoveFolder(int delta) {
  if (delta > 0)
    ChangeFolder(Z.ContentsIndex >= CONTENTS_INDEX_MAX ? 0 : Z.ContentsIndex + 1);
  else
    ChangeFolder(Z.ContentsIndex <= 0 ? 0 : Z.ContentsIndex - 1);
}

// Frames added to or removed from the folder are picked up; the folder's
// settings files are not read again.
void RefreshFolder(int) {
  Print("\n ---[ REFRESH SETTINGS AND RELOAD IMAGE FILES IN CONTENTS FOLDER ]---\n");
  if (OpenContents()) Print("Done.\n\n");
}

// R: S001, then everything key r does, its KEY FUNCTION line included.
void BackToFirstFolder(int) {
  Z.ContentsIndex = 0;
  PrintChangeMessage();
  DispatchKey('r');
}

// Enter's help screen and pool clear come before the dispatch; its row takes
// the no-command path, a replay step.
void ReplayStepOnly(int) { NoCommandPath(); }

// Keys kept free on purpose: they must not even take the no-command path.
constexpr KeyCommand KeptFree(int code) { return {code, nullptr, 0, nullptr, nullptr, nullptr}; }

const char *const KF_DECREASE_FRAME = "[z][ Decrease frame_no ]";
const char *const KF_INCREASE_FRAME = "[x][ Increase frame_no ]";

} // namespace

// Neither the help text nor the key screen lists the keys kept free.
const KeyCommand KeyTable[] = {
    {KEY_BACKSPACE, ToggleWindowSizing, 0, "[BS][ Toggle VARIABLE_SIZE_FLAG ]", "[BS]", "BS"},
    {KEY_TAB, ToggleAutoReplay, 0, "[TAB][ Toggle AutoReplayFlag ]", "[TAB]", "TAB"},
    {KEY_ENTER, ReplayStepOnly, 0, nullptr, "[ENTER]", "ENTER"},
    {KEY_ESC, TogglePause, 0, nullptr, "[ESC]", "ESC"},
    {KEY_SPACE, ChooseRandomContents, 0, "[J/@][ Random Contents Selection ]", "[SPACE]", "SPACE"},
    // The shifted digits 1..9 of a Japanese layout: ! " # $ % & ' ( )
    {'!', JumpToTenth, 1, nullptr, "[SHIFT+1,2,3,4,5,6,7,8,9]", "SHIFT+1 .. 9"},
    {'"', JumpToTenth, 2, nullptr, "[SHIFT+1,2,3,4,5,6,7,8,9]", "SHIFT+1 .. 9"},
    {'#', JumpToTenth, 3, nullptr, "[SHIFT+1,2,3,4,5,6,7,8,9]", "SHIFT+1 .. 9"},
    {'$', JumpToTenth, 4, nullptr, "[SHIFT+1,2,3,4,5,6,7,8,9]", "SHIFT+1 .. 9"},
    {'%', JumpToTenth, 5, nullptr, "[SHIFT+1,2,3,4,5,6,7,8,9]", "SHIFT+1 .. 9"},
    {'&', JumpToTenth, 6, nullptr, "[SHIFT+1,2,3,4,5,6,7,8,9]", "SHIFT+1 .. 9"},
    {'\'', JumpToTenth, 7, nullptr, "[SHIFT+1,2,3,4,5,6,7,8,9]", "SHIFT+1 .. 9"},
    {'(', JumpToTenth, 8, nullptr, "[SHIFT+1,2,3,4,5,6,7,8,9]", "SHIFT+1 .. 9"},
    {')', JumpToTenth, 9, nullptr, "[SHIFT+1,2,3,4,5,6,7,8,9]", "SHIFT+1 .. 9"},
    {'/', StepFrames, -10, KF_DECREASE_FRAME, nullptr, "Z  X  /  \\"},
    {'0', SwitchFolder, 9, nullptr, "[1,2,3,4,5,6,7,8,9,0]", "1 .. 9, 0"},
    {'1', SwitchFolder, 0, nullptr, "[1,2,3,4,5,6,7,8,9,0]", "1 .. 9, 0"},
    {'2', SwitchFolder, 1, nullptr, "[1,2,3,4,5,6,7,8,9,0]", "1 .. 9, 0"},
    {'3', SwitchFolder, 2, nullptr, "[1,2,3,4,5,6,7,8,9,0]", "1 .. 9, 0"},
    {'4', SwitchFolder, 3, nullptr, "[1,2,3,4,5,6,7,8,9,0]", "1 .. 9, 0"},
    {'5', SwitchFolder, 4, nullptr, "[1,2,3,4,5,6,7,8,9,0]", "1 .. 9, 0"},
    {'6', SwitchFolder, 5, nullptr, "[1,2,3,4,5,6,7,8,9,0]", "1 .. 9, 0"},
    {'7', SwitchFolder, 6, nullptr, "[1,2,3,4,5,6,7,8,9,0]", "1 .. 9, 0"},
    {'8', SwitchFolder, 7, nullptr, "[1,2,3,4,5,6,7,8,9,0]", "1 .. 9, 0"},
    {'9', SwitchFolder, 8, nullptr, "[1,2,3,4,5,6,7,8,9,0]", "1 .. 9, 0"},
    KeptFree('@'),
    KeptFree('G'),
    KeptFree('M'),
    {'R', BackToFirstFolder, 0, nullptr, "[ R ]", "R"}, // r's line comes after the change message
    {'S', ChangeSpeed, -1, nullptr, "[ s, S ]", "s  S"},
    KeptFree('T'),
    {'V', ChangeThreshold, +1, "[V][ Increase ZEP_threshold ]", "[ v, V ]", "v  V"},
    {'X', StepFrames, +10, KF_INCREASE_FRAME, "[ Z, X ]", "Z  X  /  \\"},
    KeptFree('Y'),
    {'Z', StepFrames, -10, KF_DECREASE_FRAME, "[ Z, X ]", "Z  X  /  \\"},
    KeptFree('['),
    {'\\', StepFrames, +10, KF_INCREASE_FRAME, nullptr, "Z  X  /  \\"},
    KeptFree(']'),
    KeptFree('b'),
    {'e', ChangeFlipMode, 0, "[e][ Change Flip Mode ]", "[ e ]", "e"},
    KeptFree('f'),
    KeptFree('g'),
    KeptFree('h'),
    {'i', ChangeDisplayLevel, 0, nullptr, "[ i ]", "i"},
    {'j', RandomFrame, 0, "[j][ Set frame_no at Random ]", "[ j ]", "j"},
    KeptFree('k'),
    {'l', ResetFrame, 0, "[l][ Reset Frame Number ]", "[ l ]", "l"},
    KeptFree('m'),
    {'n', MoveFolder, +1, "[n][ Move to Next Contents Folder ]", "[ n ]", "p  n"},
    {'p', MoveFolder, -1, "[p][ Move to Previous Contents Folder ]", "[ p ]", "p  n"},
    {'q', SwitchCamera, 0, "[q][ CAMERA ON/OFF CONTROL ]", "[ q ]", "q"},
    {'r', RefreshFolder, 0, "[r][ Refresh Settings ]", "[ r ]", "r"},
    {'s', ChangeSpeed, +1, nullptr, "[ s, S ]", "s  S"},
    KeptFree('t'),
    {'v', ChangeThreshold, -1, "[v][ Decrease ZEP_threshold ]", "[ v, V ]", "v  V"},
    {'x', StepFrames, +1, KF_INCREASE_FRAME, "[ z, x ]", "z  x"},
    KeptFree('y'),
    {'z', StepFrames, -1, KF_DECREASE_FRAME, "[ z, x ]", "z  x"},
    KeptFree('|'),
};
extern const size_t KEY_TABLE_SIZE = sizeof KeyTable / sizeof KeyTable[0];

void DispatchKey(int key) {
  // A plain search: the table is small and a pass without a key skips it.

  if (key >= KEY_FIRST && key <= KEY_LAST)
    for (const KeyCommand &row : KeyTable)
      if (row.code == key) {
        if (row.handler != nullptr) RunCommand(row);
        return;
      }
  NoCommandPath();
}

bool CheckKeyTable(const KeyCommand *rows, size_t count) {
  bool bound[KEY_LAST + 1] = {};
  for (size_t i = 0; i < count; ++i) {
    int code = rows[i].code;
    if (code < KEY_FIRST || code > KEY_LAST) {
      PrintError("ERROR: key table row %zu (code 0x%02X) can never run.\n", i, static_cast<unsigned>(code));
      return false;
    }
    if (bound[code]) {
      PrintError("ERROR: key code 0x%02X is bound twice in the key table.\n", static_cast<unsigned>(code));
      return false;
    }
    bound[code] = true;
  }
  return true;
}

bool CheckKeyTable() { return CheckKeyTable(KeyTable, KEY_TABLE_SIZE); }
