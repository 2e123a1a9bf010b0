// Puts the state record back to its start values between benchmark runs,
// releasing the images it holds first.
#pragma once

#include <cstring>
#include <new>

#include "platform/image.h"
#include "state/state.h"

inline void ResetStateRecord() {
  for (ZepImage *&image : Z.FrameCache)
    ReleaseImage(&image);
  ReleaseImage(&Z.KeyScreen);
  ReleaseImage(&Z.AttachImage);
  Z.~ZepState();
  memset(static_cast<void *>(&Z), 0, sizeof Z);
  new (&Z) ZepState;
}
