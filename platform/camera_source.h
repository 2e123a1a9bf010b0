// The camera source seam: the camera part reaches its device only through
// this table, so that the program can run on a real webcam, the demo build on
// a video file, and the tests on scripted frames. The table starts filled
// with the real device source.
#pragma once

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

// The real device source (V4L2 on Linux).
extern const CameraSourceOps DeviceCameraSource;

// A source without a camera: nothing opens.
extern const CameraSourceOps NullCameraSource;
