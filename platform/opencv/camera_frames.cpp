// A recording as the camera, looped at the rate asked for, as from a webcam
// that keeps only its latest frame: rehearsals without a webcam on both
// systems (Windows has no preloaded virtual camera).

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <opencv2/imgproc.hpp>

#include "platform/camera_source.h"
#include "platform/image.h"
#include "platform/opencv/image_cv.h"
#include "platform/platform.h"

namespace {

using Steady = std::chrono::steady_clock;

// clip_00000.jpg .. clip_99999.jpg, the frame numbers of the contents folders.
constexpr int MAX_RECORDED_FRAMES = 100000;

struct RecordedCamera {
  std::string folder;
  int count = 0;      // frames clip_00000.jpg .. clip_<count - 1>.jpg, none missing
  cv::Size wanted;    // the size asked for; (0, 0) until set_format
  double rate = 60.0; // frames per second
  bool started = false;
  Steady::time_point start; // the first read's time: frame n is due n / rate after it
  long long next = 0;       // the frame due next, counted on through the loops
};

RecordedCamera *Recorded(ZepCapture *capture) { return static_cast<RecordedCamera *>(capture->source); }

std::string RecordedFrame(const std::string &folder, int number) {
  char leaf[32];
  RecordedFrameName(leaf, sizeof leaf, number);
  return folder + PATH_SEPARATOR + leaf;
}

// Every camera number gets the recording; a folder without clip_00000.jpg
// opens none, and says so after the camera part's failure line.
ZepCapture *OpenRecorded(int) {
  if (RecordedFrameName == nullptr) return nullptr;
  const char *folder = getenv(CAMERA_FRAMES_VARIABLE);
  auto *camera = new RecordedCamera;
  camera->folder = folder != nullptr ? folder : "";
  while (camera->count < MAX_RECORDED_FRAMES &&
         FileExists(RecordedFrame(camera->folder, camera->count).c_str()))
    ++camera->count;
  if (camera->count == 0) {
    LastCameraFailure.why = std::string("Camera recording ") + CAMERA_FRAMES_VARIABLE + "=" + camera->folder +
                            ": no " + RecordedFrame(camera->folder, 0) + "\n";
    delete camera;
    return nullptr;
  }
  return new ZepCapture{camera};
}

void SetRecordedFormat(ZepCapture *capture, int width, int height, double rate) {
  RecordedCamera *camera = Recorded(capture);
  camera->wanted = cv::Size(width, height);
  if (rate > 0.0) camera->rate = rate;
}

// A read waits for the next frame's time; one that comes late gets the frame
// of its own time, those in between skipped, so the recording keeps its pace
// however slowly it is read.
void WaitForFrame(RecordedCamera *camera) {
  Steady::time_point now = Steady::now();
  if (!camera->started) camera->start = now, camera->started = true;
  auto due =
      static_cast<long long>(std::chrono::duration<double>(now - camera->start).count() * camera->rate);
  if (due > camera->next) camera->next = due;
  std::chrono::duration<double> at(static_cast<double>(camera->next) / camera->rate);
  std::this_thread::sleep_until(camera->start + std::chrono::duration_cast<Steady::duration>(at));
}

// Returns false when the frame cannot be read (gone or damaged since the open).
bool ReadRecorded(ZepCapture *capture, ZepImage *frame) {
  RecordedCamera *camera = Recorded(capture);
  WaitForFrame(camera);
  int number = static_cast<int>(camera->next++ % camera->count);
  ZepImage *picture = LoadImageScaled(RecordedFrame(camera->folder, number).c_str(), camera->wanted.width,
                                      camera->wanted.height);
  if (picture == nullptr) return false;
  // Scaled to the size asked for as the device source scales a webcam's frames.
  if (camera->wanted.area() > 0 && picture->mat.size() != camera->wanted)
    cv::resize(picture->mat, frame->mat, camera->wanted, 0, 0, cv::INTER_AREA);
  else
    picture->mat.copyTo(frame->mat);
  ReleaseImage(&picture);
  return true;
}

void ReleaseRecorded(ZepCapture *capture) {
  if (capture == nullptr) return;
  delete Recorded(capture);
  delete capture;
}

} // namespace

const CameraSourceOps FramesCameraSource = {OpenRecorded, SetRecordedFormat, ReadRecorded, ReleaseRecorded};
