#include "player/frame_cache.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "common/naming.h"
#include "common/time_account.h"
#include "platform/image.h"
#include "platform/platform.h"
#include "player/player.h"
#include "state/state.h"

void EmptyFrameCache() {
  for (int i = 0; i < MAX_FRAMES; ++i)
    if (Z.FrameCache[i] != nullptr) ReleaseImage(&Z.FrameCache[i]);
  for (int i = 0; i < Z.MaxCount && i < MAX_FRAMES; ++i)
    Z.FrameData[i].loaded = 0;
}

void PrintChangeMessage() {
  char folder[16];
  FolderLeafName(folder, sizeof folder, Z.ContentsIndex + 1);
  Print("\n* Changed Contents Folder to [ %s ]\n\n", folder);
}

void RecreateMainWindow() {
  Display.destroy_window(MAIN_WINDOW);
  Display.create_window(MAIN_WINDOW, Z.VARIABLE_SIZE_FLAG != 0);
  ShowFrameAgain();
}

void LetWindowDraw() {
  int key = Display.wait_key(1);
  // Held for the pass rather than dropped, so that no key the user pressed is lost.
  if (key >= 0 && Z.HeldKey < 0) Z.HeldKey = key;
}

void ShowFrameAgain() { Z.LastShownFrame = NO_FRAME_SHOWN; }

void ShowFrame(int index, int flip) {
  ZepImage *image = Z.FrameCache[index];
  if (image == nullptr) return;
  Spending spent(SPENT_DRAWING);
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

// Frames are decoded for the main window's picture while the user sizes it,
// whole while it follows the image. At a frame change, cached frames of
// another scale leave the cache and the others are fitted anew.

void FollowShownSize() {
  int width = 0, height = 0;
  if (Z.VARIABLE_SIZE_FLAG == 0) Display.window_size(MAIN_WINDOW, &width, &height);
  if (width == Z.ShownWidth && height == Z.ShownHeight) return;
  Z.ShownWidth = width;
  Z.ShownHeight = height;
  for (int i = 0; i < MAX_FRAMES; ++i) {
    if (Z.FrameCache[i] == nullptr) continue;
    if (ImageFits(Z.FrameCache[i], width, height)) {
      FitAgain(Z.FrameCache[i], width, height);
      continue;
    }
    ReleaseImage(&Z.FrameCache[i]);
    if (i < Z.MaxCount) Z.FrameData[i].loaded = 0;
  }
}

// Up to `most` uncached frames the next frame changes most likely bring,
// nearest first, with the frame numbers they are likely shown at: after f in
// the play direction, by the replay or motion step, across the wrap if on.
int UpcomingFrames(int f, FrameAhead *frames, int most) {
  if (Z.PlayDirection != 0 && Z.PlayDirection != 1) return 0;
  double step = Z.AutoReplayFlag != 0 ? 1.0 : Z.VR_step;
  if (!(step > 0.0)) return 0;
  int found = 0, last = f;
  double next = Z.frame_no;
  for (int i = 0; i < 64 * most && found < most; ++i) {
    double after = FrameAfter(next, Z.PlayDirection, step);
    if (after == next) break; // held at an end without wrapping
    next = after;
    int n = IntegerPart(next);
    if (n == last) continue; // a step below one frame
    if (n == f || n < 0 || n >= Z.MaxCount || n >= MAX_FRAMES) break;
    const char *path = Z.FrameData[n].path;
    auto same = [path](const FrameAhead &a) { return a.path == path; };
    if (std::any_of(frames, frames + found, same)) break; // round the folder again
    last = n;
    if (Z.FrameData[n].loaded == 0 && path[0] != '\0') frames[found++] = {path, next};
  }
  return found;
}

// While frame f is shown, the workers make the frames that most likely follow
// ready; LoadFrame takes each when the guess was right.
void DecodeNextAhead(int f) {
  if (DecodeWorkers() == 0) return;
  StartDecodeWorkers();
  constexpr int MOST = 17; // the most requests the workers take at once
  FrameAhead frames[MOST];
  int count = UpcomingFrames(f, frames, std::min(MOST, DecodeWorkers() + 1));
  DecodeAhead(frames, count, Z.MaxCount, Z.ShownWidth, Z.ShownHeight);
}

// Brings frame f into the cache as it is shown: with its position mark, fitted
// to the picture. Returns false when the image cannot be read.
bool LoadFrame(int f) {
  FrameRecord &rec = Z.FrameData[f];
  if (rec.loaded != 0 || rec.path[0] == '\0') return true;
  KeepSpareImages(Z.CamOnMemory);
  if (LoadedFrames() >= Z.CamOnMemory) EmptyFrameCache();
  ZepImage *image = TakeDecodedAhead(rec.path, Z.ShownWidth, Z.ShownHeight);
  if (image == nullptr) {
    DecodeNextAhead(f); // not guessed (a start, a jump): the workers start on the next ones meanwhile
    Spending spent(SPENT_DECODING);
    image = LoadImageScaled(rec.path, Z.ShownWidth, Z.ShownHeight);
  }
  if (image == nullptr) {
    PrintError("[ NG ] Read Failed : [ %s ]\n", rec.path);
    return false;
  }
  Z.FrameCache[f] = image;
  rec.loaded = 1;
  Spending spent(SPENT_FITTING);
  MarkAndFit(image, Z.frame_no, Z.MaxCount, Z.ShownWidth, Z.ShownHeight); // as a worker has, or anew
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
      LetWindowDraw();
    return true;
  }
  Z.UnchangedPasses = 0;
  if (in_table) {
    FollowShownSize();
    if (!LoadFrame(f)) return false;
    DecodeNextAhead(f); // before the show, so that no worker idles meanwhile
    LoadAttachment(f);
    ShowFrame(f, Z.flip_mode);
  }
  Z.LastShownFrame = Z.frame_no;
  return true;
}
