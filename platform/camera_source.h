// The camera source seam: the camera part reaches its device only through
// this table, so that the program can run on a real webcam (or the virtual
// one the tests preload), on a recording of numbered frames, and the unit
// tests on scripted frames. The table starts filled with the device source;
// the build without the image library has no camera at all.
#pragma once

#include <cstddef>
#include <string>

struct ZepImage;

// One open camera. Each source keeps what it needs behind `source`; the
// camera part only passes the handle back.
struct ZepCapture {
  void *source;
};

struct CameraSourceOps {
  // Opens camera number `index`. Returns null when there is no such camera.
  ZepCapture *(*open)(int index);
  // Asks for a frame size and rate; a device may ignore the request.
  void (*set_format)(ZepCapture *capture, int width, int height, double rate);
  // Reads the next frame into `frame` (BGR, 8 bits per channel as far as the
  // device allows). Returns false when no frame came.
  bool (*read)(ZepCapture *capture, ZepImage *frame);
  // Closes the camera and frees the handle.
  void (*release)(ZepCapture *capture);
};
extern CameraSourceOps CameraSource;

// Why the device source's last open, or the first read after it, failed: lines
// for the person setting up an installation, naming the device and the reason
// in words (and on Linux the capture devices there are). The source fills it
// at a failure; the camera part prints it after its failure line and empties
// it. Empty when the camera works or nothing more can be told.
struct CameraFailure {
  std::string why;
};
extern CameraFailure LastCameraFailure;

// The processes that hold `path` open, as "pid 123 (name)" joined by ", ":
// on Linux from the links under /proc/*/fd; empty when none is seen (or, for
// another user's processes, cannot be seen), and always on Windows.
std::string ProcessesHolding(const char *path);

// The device source: a webcam through OpenCV's capture, by V4L2 on Linux and
// DirectShow on Windows.
extern const CameraSourceOps DeviceCameraSource;

// A recording as the camera, for rehearsing a room: the numbered JPEG frames
// (clip_00000.jpg, ...) of the folder this variable names, absolute or
// relative to the working folder, at every camera number. They loop, each
// read waiting for its frame's time at the rate asked for and scaled to the
// size asked for; the source is never taken as frozen. A folder without
// frames opens no camera. The program takes it at start when the variable is set.
constexpr const char *CAMERA_FRAMES_VARIABLE = "ORVANTIS_CAMERA_FRAMES";
extern const CameraSourceOps FramesCameraSource;
// Names the recording's frame `number` as the contents folders name theirs;
// the program sets it with the source. Null names none: no recording opens.
extern void (*RecordedFrameName)(char *out, size_t size, int number);

// The device source's rule for a camera that is gone without saying so. A
// pulled-out camera fails its read on Linux at once; on Windows the capture
// library keeps handing out its last picture, about once a second, as a
// success. So a camera counts as gone once its reads have spent a second
// waiting without a fresh frame: one read that waits a second (V4L2 gives up
// after a second), or slow reads of a repeated picture, each of them waiting
// SLOW_READ_MS or more. A webcam in a dark room drops to its own low rate, 5 to
// 15 frames per second, and may send one identical picture frame after frame:
// at 4 frames per second or more it stays on however unchanged its picture.
// The time between passes (a folder scan, the wait after switching on) is no
// camera's fault and does not count.
constexpr double FROZEN_MS = 1000.0;
constexpr double SLOW_READ_MS = 400.0;

// Takes one read's outcome: `repeated` when the picture equals the last one,
// `waited_ms` the read's own wait. `stale_ms` is the reads' waiting without a
// fresh frame so far. Returns false when the camera counts as gone.
bool KeepsDelivering(double &stale_ms, bool repeated, double waited_ms);

// A source without a camera: nothing opens.
extern const CameraSourceOps NullCameraSource;
