// The image library is not part of the Windows core build: images, windows
// and the camera are stood in for by handles that never exist. Everything
// that only names them (the frame table, the cache bookkeeping, the settings,
// the pool) runs as it does in the program; a frame image never loads.
#include "platform/camera_source.h"
#include "platform/platform.h"
#include "platform/image.h"

ZepImage *LoadImage(const char *) { return nullptr; }

void ReleaseImage(ZepImage **image) {
  if (image != nullptr) *image = nullptr;
}

void DrawPositionMark(ZepImage *, double, int) {}

void FlipImage(ZepImage *, int) {}

namespace {

void NoWindow(const char *, int) {}
void NoDestroy(const char *) {}
void NoShow(const char *, const ZepImage *) {}
int NoKey(int) { return -1; }

ZepCapture *NoCamera(int) { return nullptr; }
void NoFormat(ZepCapture *, int, int, double) {}
bool NoFrame(ZepCapture *, ZepImage *) { return false; }
void NoRelease(ZepCapture *) {}

} // namespace

DisplayOps Display = {NoWindow, NoDestroy, NoShow, NoKey};

const CameraSourceOps DeviceCameraSource = {NoCamera, NoFormat, NoFrame, NoRelease};
CameraSourceOps CameraSource = DeviceCameraSource;
