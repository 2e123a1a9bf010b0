// What the readers reach besides files: a display whose key wait returns at
// once (the knowledge-base loader waits one millisecond for a key).
#include "platform/platform.h"

namespace {
void NoWindow(const char *, int) {}
void NoDestroy(const char *) {}
void NoShow(const char *, const ZepImage *) {}
int NoKey(int) { return -1; }
} // namespace

DisplayOps Display = {NoWindow, NoDestroy, NoShow, NoKey};
