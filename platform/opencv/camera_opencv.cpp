// The real camera source: a webcam through OpenCV's capture (V4L2 on Linux, DirectShow on Windows).
#include <chrono>
#include <cstdio>
#include <string>

#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "platform/camera_source.h"
#include "platform/opencv/image_cv.h"
#include "platform/platform.h"

#ifdef __linux__
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/videodev2.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace {

// Before its first frame a device may take this long to start streaming.
constexpr double START_MS = 3000.0;

struct DeviceCamera {
  cv::VideoCapture capture;
  cv::Size wanted;        // the size asked for; (0, 0) until set_format
  cv::Mat scaled;         // reused while the device ignores the size
  cv::Mat previous;       // the last picture read, to tell a repeat from a fresh frame
  double stale_ms = -1.0; // time reads waited without a fresh frame; -1 until the first frame
  int index = 0;          // the camera number it was opened as
};

#ifdef __linux__
std::string DeviceName(int index) { return "/dev/video" + std::to_string(index); }

// The capture devices there are, as "Capture devices found: /dev/video0
// (card), ..." on a line. Probed by name, as the capture library opens them.
std::string CaptureDevicesFound() {
  std::string found;
  for (int n = 0; n < 64; ++n) {
    int fd = open(DeviceName(n).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    v4l2_capability cap{};
    if (ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0) {
      unsigned caps = cap.capabilities & V4L2_CAP_DEVICE_CAPS ? cap.device_caps : cap.capabilities;
      if (caps & V4L2_CAP_VIDEO_CAPTURE)
        found +=
            (found.empty() ? " " : ", ") + DeviceName(n) + " (" + reinterpret_cast<char *>(cap.card) + ")";
    }
    close(fd);
  }
  return "Capture devices found:" + (found.empty() ? std::string(" none") : found) + "\n";
}

std::string PermissionDenied(const std::string &name) {
  std::string why = "permission denied";
  struct stat st {};
  const group *owner = stat(name.c_str(), &st) == 0 ? getgrgid(st.st_gid) : nullptr;
  const passwd *user = getpwuid(geteuid());
  if (owner != nullptr && user != nullptr)
    why += std::string("; join its group ") + owner->gr_name + " (sudo usermod -aG " + owner->gr_name + " " +
           user->pw_name + ") and log in again";
  return why;
}

std::string Busy(const std::string &name) {
  std::string holders = ProcessesHolding(name.c_str());
  return "busy, " + (holders.empty() ? std::string("another program holds it") : "held by " + holders);
}

// What keeps camera `index` from opening or streaming, "" when nothing is
// seen. Asked only after the capture library failed, with the device let go.
std::string DiagnoseDevice(int index) {
  const std::string name = DeviceName(index);
  int fd = open(name.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    int e = errno;
    if (e == EACCES || e == EPERM) return PermissionDenied(name);
    if (e == EBUSY) return Busy(name);
    return e == ENOENT || e == ENODEV || e == ENXIO ? "no such device" : strerror(e);
  }
  std::string why;
  v4l2_capability cap{};
  v4l2_requestbuffers none{}; // asks for no buffers: refused only while another program streams
  none.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  none.memory = V4L2_MEMORY_MMAP;
  v4l2_format format{};
  format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  if (ioctl(fd, VIDIOC_QUERYCAP, &cap) != 0 || !(cap.capabilities & V4L2_CAP_VIDEO_CAPTURE)) {
    why = "not a video capture device";
  } else if (ioctl(fd, VIDIOC_REQBUFS, &none) != 0 && errno == EBUSY) {
    why = Busy(name);
  } else if (ioctl(fd, VIDIOC_G_FMT, &format) == 0 && ioctl(fd, VIDIOC_S_FMT, &format) != 0) {
    why = "the size or rate is not supported (" + std::to_string(format.fmt.pix.width) + " x " +
          std::to_string(format.fmt.pix.height) + " refused: " + strerror(errno) + ")";
  }
  close(fd);
  return why;
}

// What is said of a device that does not open though nothing is seen wrong with it.
constexpr const char *NOT_OPENED = "the capture library could not open it";
std::string DeviceLabel(int index) { return DeviceName(index); }
#else
std::string DeviceLabel(int index) { return "DirectShow device " + std::to_string(index); }
constexpr const char *NOT_OPENED = "no camera at this number";
#endif

// Records why camera `index` failed: what a look at the device finds, else
// `otherwise`.
void RecordFailure(int index, const char *otherwise) {
#ifdef __linux__
  std::string seen = DiagnoseDevice(index), found = CaptureDevicesFound();
#else
  std::string seen, found; // DirectShow tells no more
#endif
  LastCameraFailure.why =
      "Camera " + DeviceLabel(index) + ": " + (seen.empty() ? otherwise : seen) + "\n" + found;
}

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
  LastCameraFailure.why.clear();
  auto *device = new DeviceCamera;
  device->index = index;
  // A missing camera is an ordinary case here (the first grab reports it, with
  // the reason recorded below), so the capture library's own warnings about it
  // stay off the console.
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
    RecordFailure(index, NOT_OPENED);
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

// Reads a frame and tells whether the camera still delivers (see
// KeepsDelivering).
bool ReadFresh(DeviceCamera *device, cv::Mat &frame) {
  auto start = std::chrono::steady_clock::now();
  bool got = device->capture.read(frame) && !frame.empty();
  // A device that is still starting gets its read again.
  while (!got && device->stale_ms < 0.0 && MillisecondsSince(start) < START_MS)
    got = device->capture.read(frame) && !frame.empty();
  if (!got) return false;
  const cv::Mat &last = device->previous;
  bool repeated = device->stale_ms >= 0.0 && frame.size() == last.size() && frame.type() == last.type() &&
                  cv::norm(frame, last, cv::NORM_INF) == 0.0;
  if (!repeated) frame.copyTo(device->previous);
  return KeepsDelivering(device->stale_ms, repeated, MillisecondsSince(start));
}

bool ReadDevice(ZepCapture *capture, ZepImage *frame) {
  DeviceCamera *device = Device(capture);
  try {
    if (!ReadFresh(device, frame->mat)) {
      if (device->stale_ms >= 0.0) return false;
      // The first read failed: the device is let go and looked at again.
      device->capture.release();
      RecordFailure(device->index, "opens, but delivered no picture");
      return false;
    }
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

std::string ProcessesHolding(const char *path) {
  std::string holders;
#ifdef __linux__
  DIR *proc = opendir("/proc");
  while (dirent *entry = proc != nullptr ? readdir(proc) : nullptr) {
    const std::string pid = entry->d_name, fds = "/proc/" + pid + "/fd";
    DIR *open_files =
        pid.find_first_not_of("0123456789") == std::string::npos ? opendir(fds.c_str()) : nullptr;
    bool holds = false;
    while (dirent *fd = !holds && open_files != nullptr ? readdir(open_files) : nullptr) {
      char target[256];
      ssize_t n = readlink((fds + "/" + fd->d_name).c_str(), target, sizeof target - 1);
      holds = n > 0 && (target[n] = '\0', strcmp(target, path) == 0);
    }
    if (open_files != nullptr) closedir(open_files);
    if (!holds) continue;
    char command[64] = "";
    if (FILE *comm = fopen(("/proc/" + pid + "/comm").c_str(), "re")) {
      if (fscanf(comm, "%63[^\n]", command) != 1) command[0] = '\0';
      fclose(comm);
    }
    holders += (holders.empty() ? "pid " : ", pid ") + pid + " (" + command + ")";
  }
  if (proc != nullptr) closedir(proc);
#else
  (void)path;
#endif
  return holders;
}

const CameraSourceOps DeviceCameraSource = {OpenDevice, SetDeviceFormat, ReadDevice, ReleaseDevice};
CameraSourceOps CameraSource = DeviceCameraSource;
