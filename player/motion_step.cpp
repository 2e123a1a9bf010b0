#include "player/motion_step.h"

#include "platform/image.h"
#include "platform/platform.h"
#include "player/frame_cache.h"
#include "player/player.h"
#include "state/state.h"

namespace {

// A two-frame folder swaps between its frames at every turn; the frame the
// new direction leads to is loaded now so that the swap shows without delay.
void PreloadTurnFrame() {
  if (Z.MaxCount != 2 || (Z.PlayDirection != 0 && Z.PlayDirection != 1)) return;
  int f = Z.PlayDirection;
  FrameRecord &rec = Z.FrameData[f];
  if (rec.loaded == 0) {
    ZepImage *image = LoadImageScaled(rec.path, Z.ShownWidth, Z.ShownHeight);
    if (image == nullptr) return;
    ReleaseImage(&Z.FrameCache[f]);
    Z.FrameCache[f] = image;
    rec.loaded = 1;
  }
  LetWindowDraw();
  LetWindowDraw();
}

} // namespace

void MotionStep() {
  if (Z.DifferenceSum > 0) {
    if (Z.DifferenceSum > Z.VR_threshold) {
      Z.MotionCount += 1;
      Z.frame_no = FrameAfter(Z.frame_no, Z.PlayDirection, Z.VR_step);
    } else {
      if (Z.MotionCount > Z.TurnCount) Z.PlayDirection = Z.PlayDirection == 0 ? 1 : 0;
      if (Z.MotionCount > Z.RestCount) Z.MotionCount = 0;
    }
  }
  if (Z.PlayDirection == Z.PrevDirection) return;
  Z.PrevDirection = Z.PlayDirection;
  PreloadTurnFrame();
}

void ResetMotionStep() {
  Z.MotionCount = 0;
  Z.PlayDirection = 1;
}
