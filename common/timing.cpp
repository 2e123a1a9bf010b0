#include "common/timing.h"

#include "platform/platform.h"
#include "state/state.h"

void mark() { Z.MarkTime = Clock.now(); }

double rate() {
  double elapsed = Clock.now() - Z.MarkTime;
  if (elapsed <= 1.0 / 999.0) return 999.0;
  return 1.0 / elapsed;
}
