// A camera that plays a video file or a folder of images instead of a device,
// for demonstrations and tests on machines without a webcam. It is built only
// into the demo program, never into the shipped one.
//
// The source is the path in ORVANTIS_DEMO_CAMERA when that is set, else the
// path the demo program was built with (ORVANTIS_DEMO_CAMERA_PATH, "democam"
// in the working folder unless configured otherwise). Frames come at the
// video's own rate (30 per second for a folder), and the source loops, so it
// behaves like a camera that someone keeps moving in front of.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <string>
#include <thread>
#include <vector>

#include "platform/camera_source.h"
#include "platform/opencv/image_cv.h"

#ifndef ORVANTIS_DEMO_CAMERA_PATH
#define ORVANTIS_DEMO_CAMERA_PATH "democam"
#endif

namespace {

using SteadyClock = std::chrono::steady_clock;

struct FileCamera {
  cv::VideoCapture video;          // when the source is a video file
  std::vector<std::string> images; // when it is a folder, in name order
  size_t next_image = 0;
  double interval = 1.0 / 30.0; // seconds between frames
  SteadyClock::time_point due;  // when the next frame may be handed out
  cv::Size wanted;
  cv::Mat raw;
};

bool IsImageName(const std::string &name) {
  auto ends = [&](const char *e) {
    std::string s(e);
    return name.size() > s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0;
  };
  return ends(".jpg") || ends(".jpeg") || ends(".png") || ends(".bmp");
}

std::vector<std::string> ImagesIn(const std::string &folder) {
  std::vector<std::string> names;
  if (DIR *dir = opendir(folder.c_str())) {
    while (struct dirent *e = readdir(dir))
      if (IsImageName(e->d_name)) names.push_back(folder + "/" + e->d_name);
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

ZepCapture *OpenFile(int) {
  const char *env = getenv("ORVANTIS_DEMO_CAMERA");
  std::string path = env != nullptr && *env != '\0' ? env : ORVANTIS_DEMO_CAMERA_PATH;
  auto *camera = new FileCamera;
  struct stat st;
  bool ok = false;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    camera->images = ImagesIn(path);
    ok = !camera->images.empty();
  } else if (stat(path.c_str(), &st) == 0) {
    try {
      ok = camera->video.open(path);
    } catch (const cv::Exception &) {
      ok = false;
    }
    double fps = ok ? camera->video.get(cv::CAP_PROP_FPS) : 0.0;
    if (fps > 0.0 && fps <= 240.0) camera->interval = 1.0 / fps;
  }
  if (!ok) {
    delete camera;
    return nullptr;
  }
  camera->due = SteadyClock::now();
  return new ZepCapture{camera};
}

void SetFileFormat(ZepCapture *capture, int width, int height, double) {
  static_cast<FileCamera *>(capture->source)->wanted = cv::Size(width, height);
}

bool NextFrame(FileCamera *camera) {
  if (!camera->images.empty()) {
    camera->raw = cv::imread(camera->images[camera->next_image], cv::IMREAD_COLOR);
    camera->next_image = (camera->next_image + 1) % camera->images.size();
    return !camera->raw.empty();
  }
  if (camera->video.read(camera->raw) && !camera->raw.empty()) return true;
  camera->video.set(cv::CAP_PROP_POS_FRAMES, 0); // the end: start again
  return camera->video.read(camera->raw) && !camera->raw.empty();
}

bool ReadFile(ZepCapture *capture, ZepImage *frame) {
  auto *camera = static_cast<FileCamera *>(capture->source);
  // A camera hands out a frame only when it has one: waiting for the frame's
  // time keeps consecutive frames apart as a real device would.
  std::this_thread::sleep_until(camera->due);
  auto interval =
      std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(camera->interval));
  camera->due = std::max(camera->due + interval, SteadyClock::now());
  try {
    if (!NextFrame(camera)) return false;
    if (camera->wanted.area() > 0 && camera->raw.size() != camera->wanted)
      cv::resize(camera->raw, frame->mat, camera->wanted, 0, 0, cv::INTER_AREA);
    else
      camera->raw.copyTo(frame->mat);
  } catch (const cv::Exception &) {
    return false;
  }
  return true;
}

void ReleaseFile(ZepCapture *capture) {
  if (capture == nullptr) return;
  delete static_cast<FileCamera *>(capture->source);
  delete capture;
}

} // namespace

extern const CameraSourceOps FileCameraSource = {OpenFile, SetFileFormat, ReadFile, ReleaseFile};
