// The demo program: the player with a camera that plays a video file or an
// image folder (tools/democam/camera_file.cpp). Never shipped.
#include "app/startup.h"
#include "platform/camera_source.h"

extern const CameraSourceOps FileCameraSource;

int main(int argc, char **argv) {
  CameraSource = FileCameraSource;
  return ProgramMain(argc, argv);
}
