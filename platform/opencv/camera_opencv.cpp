// The real camera source: a webcam through OpenCV's capture (V4L2 on Linux, DirectShow on Windows).
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "platform/camera_source.h"
#include "platform/opencv/image_cv.h"

namespace {

struct DeviceCamera {
  cv::VideoCapture capture;
  cv::Size wanted; // the size asked for; (0, 0) until set_format
  cv::Mat scaled;  // reused while the device ignores the size
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

bool ReadDevice(ZepCapture *capture, ZepImage *frame) {
  DeviceCamera *device = Device(capture);
  try {
    if (!device->capture.read(frame->mat) || frame->mat.empty()) return false;
    // Many webcams ignore the requested size and deliver 640 x 480 or more;
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

const CameraSourceOps DeviceCameraSource = {OpenDevice, SetDeviceFormat, ReadDevice, ReleaseDevice};
CameraSourceOps CameraSource = DeviceCameraSource;
