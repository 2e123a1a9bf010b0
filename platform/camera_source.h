// The camera source seam: the camera part reaches its device only through
// this table, filled with a webcam, a recording of numbered frames, or (in
// unit tests) scripted frames.
#pragma once

#include <cstddef>
#include <string>

struct ZepImage;

// One open camera; each source keeps what it needs behind `source`.
struct ZepCapture {
  void *source;
};

struct CameraSourceOps {
  // Null when there is no camera `index`.
  ZepCapture *(*open)(int index);
  // Asks for a frame size and rate; a device may ignore the request.
  void (*set_format)(ZepCapture *capture, int width, int height, double rate);
  // The next frame, BGR; false when none came.
  bool (*read)(ZepCapture *capture, ZepImage *frame);
  void (*release)(ZepCapture *capture);
};
extern CameraSourceOps CameraSource;

// Why the device source's last open, or the first read after it, failed, in
// words for the person setting up: the camera part prints it after its
// failure line and empties it.
struct CameraFailure {
  std::string why;
};
extern CameraFailure LastCameraFailure;

// The processes that hold `path` open, as "pid 123 (name)" joined by ", ";
// empty when none is seen, and always on Windows.
std::string ProcessesHolding(const char *path);

// A webcam through OpenCV's capture (V4L2 on Linux, DirectShow on Windows).
extern const CameraSourceOps DeviceCameraSource;

// A recording as every camera, for rehearsing a room: the numbered JPEG frames
// of the folder this variable names, looped at the rate and size asked for;
// never taken as frozen. The program takes it at start when the variable is set.
constexpr const char *CAMERA_FRAMES_VARIABLE = "ORVANTIS_CAMERA_FRAMES";
extern const CameraSourceOps FramesCameraSource;
// Names the recording's frames as the contents folders do; null: none opens.
extern void (*RecordedFrameName)(char *out, size_t size, int number);

// A camera gone without saying so: on Windows the capture library keeps
// handing out its last picture, about once a second, as a success. So a camera
// counts as gone once its reads have spent a second waiting without a fresh
// frame, counting only slow reads (SLOW_READ_MS or more) of a repeated picture:
// a webcam in a dark room drops to 5 to 15 frames per second and may repeat
// one picture, and at 4 per second or more it stays on. Time between passes
// does not count.
constexpr double FROZEN_MS = 1000.0;
constexpr double SLOW_READ_MS = 400.0;

// Takes one read's outcome into `stale_ms`; false when the camera counts as gone.

bool KeepsDelivering(double &stale_ms, bool repeated, double waited_ms);

// A source without a camera: nothing opens.
extern const CameraSourceOps NullCameraSource;
