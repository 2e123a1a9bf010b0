#include "player/frame_cache.h"

#include <climits>
#include <cstdio>

#include "platform/image.h"
#include "platform/platform.h"
#include "state/state.h"

void EmptyFrameCache() {
  for (int i = 0; i < MAX_FRAMES; ++i)
    if (Z.FrameCache[i] != nullptr) ReleaseImage(&Z.FrameCache[i]);
  for (int i = 0; i < Z.MaxCount && i < MAX_FRAMES; ++i)
    Z.FrameData[i].loaded = 0;
}

void PrintChangeMessage() {
  char message[64];
  snprintf(message, sizeof message, "*_Changed_Contents_Folder_to_[_%c%3d_]\n", 'S', Z.ContentsIndex + 1);
  for (char *p = message; *p != '\0'; ++p) {
    if (*p == ' ')
      *p = '0';
    else if (*p == '_')
      *p = ' ';
  }
  Print("\n%s\n", message);
}

void RecreateMainWindow() {
  Display.destroy_window(MAIN_WINDOW);
  Display.create_window(MAIN_WINDOW, Z.VARIABLE_SIZE_FLAG != 0);
  ShowFrameAgain();
}

void ShowFrameAgain() { Z.LastShownFrame = NO_FRAME_SHOWN; }

void ShowFrame(int index, int flip) {
  ZepImage *image = Z.FrameCache[index];
  if (image == nullptr) return;
  int code = flip == 1 ? 1 : flip == 2 ? 0 : -1;
  if (code < 0) {
    Display.show_image(MAIN_WINDOW, image);
    return;
  }
  // The cached image stays unflipped: flip, show, flip back.
  FlipImage(image, code);
  Display.show_image(MAIN_WINDOW, image);
  FlipImage(image, code);
}

int IntegerPart(double value) {
  // NaN and values beyond int cannot index anything; keep them out of the cast.
  if (!(value > -2147483648.0 && value < 2147483648.0)) return INT_MIN;
  return static_cast<int>(value);
}

namespace {

int LoadedFrames() {
  int count = 0;
  for (int i = 0; i < Z.MaxCount; ++i)
    count += (Z.FrameData[i].loaded != 0);
  return count;
}

// Brings frame f into the cache with its position mark. Returns false when the
// image cannot be read.
bool LoadFrame(int f) {
  FrameRecord &rec = Z.FrameData[f];
  if (rec.loaded != 0 || rec.path[0] == '\0') return true;
  KeepSpareImages(Z.CamOnMemory);
  if (LoadedFrames() >= Z.CamOnMemory) EmptyFrameCache();
  ZepImage *image = LoadImage(rec.path);
  if (image == nullptr) {
    PrintError("[ NG ] Read Failed : [ %s ]\n", rec.path);
    return false;
  }
  Z.FrameCache[f] = image;
  rec.loaded = 1;
  if (Z.MaxCount >= 1) DrawPositionMark(image, Z.frame_no, Z.MaxCount);
  return true;
}

void LoadAttachment(int f) {
  const FrameRecord &rec = Z.FrameData[f];
  if (rec.http[0] != '\0') Print("DISP: FrameData[ %5d ].http[2] = [%s]\n", f, rec.http);
  if (rec.file[0] != '\0') {
    ReleaseImage(&Z.AttachImage);
    Z.AttachImage = LoadImage(rec.file);
    Print("DISP: FrameData[ %5d ].file[3] = [%s]\n", f, rec.file);
  }
}

} // namespace

bool PresentFrame() {
  int f = IntegerPart(Z.frame_no);
  int l = IntegerPart(Z.LastShownFrame);
  bool in_table = f >= 0 && f < Z.MaxCount && f < MAX_FRAMES;
  if (f == l) {
    // A still frame: once, let the window system catch up.
    // The count stops at ten: a frame held for weeks must not overflow it.
    if (Z.UnchangedPasses < 10 && ++Z.UnchangedPasses == 10 && in_table && Z.FrameData[f].loaded)
      Display.wait_key(1);
    return true;
  }
  Z.UnchangedPasses = 0;
  if (in_table) {
    if (!LoadFrame(f)) return false;
    LoadAttachment(f);
    ShowFrame(f, Z.flip_mode);
  }
  Z.LastShownFrame = Z.frame_no;
  return true;
}
