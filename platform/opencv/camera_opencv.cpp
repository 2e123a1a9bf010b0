// The real camera source: a webcam through OpenCV's capture (V4L2 on Linux, DirectShow on Windows).
#include <chrono>

#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "platform/camera_source.h"
#include "platform/opencv/image_cv.h"
#include "platform/platform.h"

namespace {

// Before its first frame a device may take this long to start streaming.
constexpr double START_MS = 3000.0;

struct DeviceCamera {
  cv::VideoCapture capture;
  cv::Size wanted;        // the size asked for; (0, 0) until set_format
  cv::Mat scaled;         // reused while the device ignores the size
  cv::Mat previous;       // the last picture read, to tell a repeat from a fresh frame
  double stale_ms = -1.0; // time reads waited without a fresh frame; -1 until the first frame
};

DeviceCamera *Device(ZepCapture *capture) { return static_cast<DeviceCamera *>(capture->source); }

ZepCapture *OpenDevice(int index) {
#ifdef __linux__
  const int api = cv::CAP_V4L2;
#elif defined(_WIN32)
  const int api = cv::CAP_DSHOW;
#else
  const int api = cv::CAP_ANY;
#endif
  // OpenCV's V4L2 capture waits 10 s for a frame by default; a read that
  // waits a second is already a camera gone (see ReadDevice).
  SetEnvironmentDefault("OPENCV_VIDEOIO_V4L_SELECT_TIMEOUT", "1");
  auto *device = new DeviceCamera;
  // A missing camera is an ordinary case here (the first grab reports it),
  // so the capture library's own warnings about it stay off the console.
  cv::utils::logging::LogLevel level = cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_ERROR);
  bool opened = false;
  try {
    opened = device->capture.open(index, api);
  } catch (const cv::Exception &) {
    opened = false;
  }
  cv::utils::logging::setLogLevel(level);
  if (!opened) {
    delete device;
    return nullptr;
  }
  // One buffered frame at most, so that the two frames the motion measure
  // compares are the latest ones rather than frames queued seconds ago.
  device->capture.set(cv::CAP_PROP_BUFFERSIZE, 1);
  return new ZepCapture{device};
}

void SetDeviceFormat(ZepCapture *capture, int width, int height, double rate) {
  DeviceCamera *device = Device(capture);
  device->capture.set(cv::CAP_PROP_FRAME_WIDTH, width);
  device->capture.set(cv::CAP_PROP_FRAME_HEIGHT, height);
  device->capture.set(cv::CAP_PROP_FPS, rate);
  device->wanted = cv::Size(width, height);
}

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

bool SamePicture(const cv::Mat &a, const cv::Mat &b) {
  return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0.0;
}

// Reads a frame and tells whether the camera still delivers (see
// KeepsDelivering).
bool ReadFresh(DeviceCamera *device, cv::Mat &frame) {
  auto start = std::chrono::steady_clock::now();
  bool got = device->capture.read(frame) && !frame.empty();
  // A device that is still starting gets its read again.
  while (!got && device->stale_ms < 0.0 && MillisecondsSince(start) < START_MS)
    got = device->capture.read(frame) && !frame.empty();
  if (!got) return false;
  bool repeated = device->stale_ms >= 0.0 && SamePicture(frame, device->previous);
  if (!repeated) frame.copyTo(device->previous);
  return KeepsDelivering(device->stale_ms, repeated, MillisecondsSince(start));
}

bool ReadDevice(ZepCapture *capture, ZepImage *frame) {
  DeviceCamera *device = Device(capture);
  try {
    if (!ReadFresh(device, frame->mat)) return false;
    // Many webcams ignore the requested size and deliver 640 x 480 or more;
    // the capture layer may decide how frames reach the requested size, and
    // scaled down they serve the motion measure just as well.
    if (device->wanted.area() > 0 && frame->mat.size() != device->wanted) {
      cv::resize(frame->mat, device->scaled, device->wanted, 0, 0, cv::INTER_AREA);
      frame->mat = device->scaled;
    }
  } catch (const cv::Exception &) {
    return false;
  }
  return true;
}

void ReleaseDevice(ZepCapture *capture) {
  if (capture == nullptr) return;
  delete Device(capture);
  delete capture;
}

} // namespace

bool KeepsDelivering(double &stale_ms, bool repeated, double waited_ms) {
  if (!repeated) {
    stale_ms = 0.0;
    return true;
  }
  stale_ms = waited_ms >= SLOW_READ_MS ? stale_ms + waited_ms : 0.0;
  return stale_ms < FROZEN_MS;
}

const CameraSourceOps DeviceCameraSource = {OpenDevice, SetDeviceFormat, ReadDevice, ReleaseDevice};
CameraSourceOps CameraSource = DeviceCameraSource;
