#include "tests/state_reset.h"

#include <cstring>
#include <new>

#include "platform/image.h"
#include "player/decode_ahead.h"
#include "state/state.h"

void ResetState() {
  for (ZepImage *&image : Z.FrameCache)
    ReleaseImage(&image);
  ReleaseImage(&Z.KeyScreen);
  ReleaseImage(&Z.AttachImage);
  DropDecodedAhead();
  SetDecodeWorkers(-1); // as the environment says, as at a start
  Z.~ZepState();
  memset(static_cast<void *>(&Z), 0, sizeof Z);
  new (&Z) ZepState;
}
