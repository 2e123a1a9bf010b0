#include "app/startup.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "console/banners.h"
#include "app/import.h"
#include "contents/folder_settings.h"
#include "contents/frame_table.h"
#include "motion/camera.h"
#include "platform/platform.h"
#include "platform/image.h"
#include "player/keys.h"
#include "player/player.h"
#include "state/state.h"

namespace {

void PrintWorkingFolder() {
  char folder[4096];
  CurrentFolder(folder, sizeof folder);
  Print("%s\n", folder);
}

// The decimal value of a short digit string the way atoi reads it: white
// space, a sign, digits, anything after them ignored; 0 when there are none.
int DecimalValue(const char *text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
    ++text;
  int sign = 1;
  if (*text == '+' || *text == '-') sign = (*text++ == '-') ? -1 : 1;
  long value = 0;
  for (; *text >= '0' && *text <= '9' && value < 100000000; ++text)
    value = value * 10 + (*text - '0');
  return static_cast<int>(sign * value);
}

// The key-allocation screen: the working folder's own when it has one, else
// the one installed with the program (<program folder>/../share/orvantis/),
// so that a packaged, unpacked or moved installation shows it too. Null when
// neither loads; the pause then shows nothing.
ZepImage *LoadKeyScreen() {
  char folder[4096];
  if (FileExists(KEY_SCREEN_FILE) || !ProgramFolder(folder, sizeof folder)) return LoadImage(KEY_SCREEN_FILE);
  char installed[4096 + 64];
  snprintf(installed, sizeof installed, "%s%c..%cshare%corvantis%c%s", folder, PATH_SEPARATOR, PATH_SEPARATOR,
           PATH_SEPARATOR, PATH_SEPARATOR, KEY_SCREEN_FILE);
  return LoadImage(installed);
}

} // namespace

void StoreArguments(int argc, char **argv) {
  for (int i = 0; i < argc; ++i)
    Print(i == 0 ? "%s" : " %s", argv[i]);
  Print("\n");
  for (int i = 0; i < argc; ++i)
    Print("[%d]%s\n", i, argv[i]);
  // Arguments beyond the table are echoed but not kept.
  Z.ArgCount = argc < MAX_ARGS ? argc : MAX_ARGS;
  long total = 0;
  for (int i = 0; i < Z.ArgCount; ++i) {
    snprintf(Z.ArgName[i], ARG_LEN, "%s", argv[i]);
    total += static_cast<long>(strlen(Z.ArgName[i]));
  }
  Print("\nTotal length of file name strings = %ld\n\n", total);
}

void ApplyStartPosition() {
  if (Z.ArgCount < 2) return;
  const char *name = Z.ArgName[1];
  size_t len = strlen(name);
  if (len < 16 || name[len - 16] != 'S' || name[len - 10] != '_') return;
  Print("\n***** Given File Name : [ %s ]\n", name);
  char dir[6] = {0};
  char frame[6] = {0};
  memcpy(dir, name + len - 15, 5);
  memcpy(frame, name + len - 9, 5);
  Print("DirNumString=[ %s ]   FrameNumString=[ %s ]\n", dir, frame);
  Z.ContentsIndex = DecimalValue(dir) - 1;
  Print("\n***** Changed Contents Directory to [%c%3d] \n", 'S', Z.ContentsIndex + 1);
  ScanContents();
  LoadFolderSettings();
  Z.frame_no = DecimalValue(frame);
  Print("\n***** Changed current frame_no = %f\n\n", Z.frame_no);
  if (Z.frame_no > 0) {
    Z.LastShownFrame = -1.0;
    int whole = static_cast<int>(Z.frame_no);
    Z.StartFrameNum = whole - 22000 > 0 ? whole - 22000 : 0;
    Z.EndFrameNum = whole + 22000 < Z.MaxCount - 1 ? whole + 22000 : Z.MaxCount - 1;
    Print("SET REPLAY PERIOD : [ %6d ] <-> [%6d]\n", Z.StartFrameNum, Z.EndFrameNum);
  }
}

int ProgramMain(int argc, char **argv) {
  SetupConsole();
  if (!CheckKeyTable()) return 1;
  PrintStartBanner();
  PrintWorkingFolder();
  if (!FindFfmpeg(Z.FfmpegPath, sizeof Z.FfmpegPath)) {
    PrintFfmpegHelp();
    Print("On Linux: install the ffmpeg package (for example: apt-get install ffmpeg).\n");
    ReadConsoleKey();
    return 1;
  }
  SetProgramLocale();
  ProgramArguments args = ReadProgramArguments(argc, argv);
  StoreArguments(args.count, args.values);
  if (Z.ArgCount >= 2) ImportVideos();
  srand(static_cast<unsigned>(time(nullptr)));
  if (!DisplayAvailable()) {
    PrintError("ERROR: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).\n");
    return 1;
  }
  Display.create_window(MAIN_WINDOW, 0);
  ReadCamSettings();
  Z.KeyScreen = LoadKeyScreen();
  return RunPlayer();
}
