#include "app/startup.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "app/import.h"
#include "common/naming.h"
#include "console/banners.h"
#include "contents/folder_settings.h"
#include "contents/frame_table.h"
#include "motion/camera.h"
#include "platform/camera_source.h"
#include "platform/image.h"
#include "platform/platform.h"
#include "player/keys.h"
#include "player/player.h"
#include "state/state.h"

namespace {

// The key-allocation screen: the working folder's own, else the one installed
// with the program (<program folder>/../share/orvantis/); null when neither loads.

ZepImage *LoadKeyScreen() {
  char folder[4096];
  if (FileExists(KEY_SCREEN_FILE) || !ProgramFolder(folder, sizeof folder)) return LoadImage(KEY_SCREEN_FILE);
  char installed[4096 + 64];
  snprintf(installed, sizeof installed, "%s%c..%cshare%corvantis%c%s", folder, PATH_SEPARATOR, PATH_SEPARATOR,
           PATH_SEPARATOR, PATH_SEPARATOR, KEY_SCREEN_FILE);
  return LoadImage(installed);
}

} // namespace

void StoreArguments(const ProgramArguments &args) {
  Print("%s\n", args.whole);
  for (int i = 0; i < args.count; ++i)
    Print("[%d]%s\n", i, args.values[i]);
  // Arguments beyond the table are echoed but not kept.
  Z.ArgCount = args.count < MAX_ARGS ? args.count : MAX_ARGS;
  long total = 0;
  for (int i = 0; i < Z.ArgCount; ++i) {
    snprintf(Z.ArgName[i], ARG_LEN, "%s", args.values[i]);
    total += static_cast<long>(strlen(Z.ArgName[i]));
  }
  Print("\nTotal length of file name strings = %ld\n\n", total);
}

int ProgramMain(int argc, char **argv) {
  SetupConsole();
  if (!CheckKeyTable()) return 1;
  PrintStartBanner();
  char folder[4096];
  CurrentFolder(folder, sizeof folder);
  Print("%s\n", folder);
  if (!FindFfmpeg(Z.FfmpegPath, sizeof Z.FfmpegPath)) {
    PrintFfmpegHelp();
    if (FFMPEG_INSTALL_HINT != nullptr) Print("%s", FFMPEG_INSTALL_HINT);
    ReadConsoleKey();
    return 1;
  }
  SetProgramLocale();
  StoreArguments(ReadProgramArguments(argc, argv));
  if (Z.ArgCount >= 2) ImportVideos();
  srand(static_cast<unsigned>(time(nullptr)));
  if (!DisplayAvailable()) {
    PrintError("ERROR: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).\n");
    return 1;
  }
  Display.create_window(MAIN_WINDOW, 0);
  // A recording of the room stands in for the webcam when the environment
  // names one (a rehearsal).
  const char *recording = getenv(CAMERA_FRAMES_VARIABLE);
  if (recording != nullptr && recording[0] != '\0') {
    CameraSource = FramesCameraSource;
    RecordedFrameName = FrameFileName;
  }
  ReadCamSettings();
  Z.KeyScreen = LoadKeyScreen();
  return RunPlayer();
}
