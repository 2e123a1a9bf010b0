// A display and a camera source that do nothing: for programs and tests that
// run the player's code without a window or a camera, and for a build
// without the image library.
#include "platform/camera_source.h"
#include "platform/platform.h"

namespace {

void NoWindow(const char *, int) {}
void NoDestroy(const char *) {}
void NoShow(const char *, const ZepImage *) {}
int NoKey(int) { return -1; }
void NoSize(const char *, int *width, int *height) { *width = *height = 0; }

ZepCapture *NoCamera(int) { return nullptr; }
void NoFormat(ZepCapture *, int, int, double) {}
bool NoFrame(ZepCapture *, ZepImage *) { return false; }
void NoRelease(ZepCapture *) {}

} // namespace

const DisplayOps NullDisplay = {NoWindow, NoDestroy, NoShow, NoKey, NoSize};
CameraFailure LastCameraFailure;
void (*RecordedFrameName)(char *, size_t, int) = nullptr;
const CameraSourceOps NullCameraSource = {NoCamera, NoFormat, NoFrame, NoRelease};
