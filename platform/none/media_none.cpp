// The build without the image library: images are empty handles, no window
// opens, no camera is found and no frame image loads; the rest runs as usual.

#include "platform/camera_source.h"
#include "platform/image.h"
#include "platform/platform.h"

struct ZepImage {};

ZepImage *LoadImage(const char *) { return nullptr; }
ZepImage *LoadImageScaled(const char *, int, int) { return nullptr; }
ZepImage *LoadJpegScaled(const char *, int, int) { return nullptr; }
bool ImageFits(const ZepImage *, int, int) { return true; }
void MarkAndFit(ZepImage *, double, int, int, int) {}
void FitAgain(ZepImage *, int, int) {}

void ReleaseImage(ZepImage **image) {
  if (image != nullptr) *image = nullptr;
}

void KeepSpareImages(int) {}
void FlipImage(ZepImage *, int) {}
ZepImage *CreateImage() { return new ZepImage; }
ImageShape ShapeOf(const ZepImage *) { return {0, 0, 0, 0, false}; }
void ConvertToGrey(const ZepImage *, ZepImage *) {}
const unsigned char *ImagePixels(const ZepImage *) { return nullptr; }
bool SaveImage(const char *, const ZepImage *) { return false; }

DisplayOps Display = NullDisplay;
const CameraSourceOps DeviceCameraSource = NullCameraSource;
const CameraSourceOps FramesCameraSource = NullCameraSource;
CameraSourceOps CameraSource = NullCameraSource;
