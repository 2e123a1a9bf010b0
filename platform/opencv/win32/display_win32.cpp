// The real display on Windows: OpenCV's own Win32 image windows and key wait.
// That window reports Shift+letter, Tab, Backspace, Enter and Esc as the
// characters they type, so no key filter is needed (see display_opencv.cpp
// for the Linux one). Keys that type no character (arrows, function keys)
// arrive from cv::waitKeyEx above 0xFF and are dropped, as on Linux.
#include <opencv2/highgui.hpp>

#include "platform/opencv/image_cv.h"
#include "platform/platform.h"

namespace {

void OnMouse(int, int, int, int, void *) {}

void CreateWindow(const char *name, int autosize) {
  int flags = (autosize ? cv::WINDOW_AUTOSIZE : cv::WINDOW_NORMAL) | cv::WINDOW_GUI_NORMAL;
  cv::namedWindow(name, flags);
  cv::setMouseCallback(name, OnMouse, nullptr);
}

void DestroyWindow(const char *name) {
  try {
    cv::destroyWindow(name);
  } catch (const cv::Exception &) {
    // no such window: nothing to destroy
  }
}

void ShowImage(const char *name, const ZepImage *image) {
  if (image != nullptr && !image->mat.empty()) cv::imshow(name, image->mat);
}

// A key with a code (0..255) or -1.
int Typed(int k) { return k >= 0 && k <= 0xFF ? k : -1; }

int WaitKey(int milliseconds) {
  if (milliseconds <= 0) {
    for (;;) {
      int k = Typed(cv::waitKeyEx(10));
      if (k >= 0) return k;
    }
  }
  double deadline = Clock.now() + milliseconds / 1000.0;
  do {
    int k = Typed(cv::waitKeyEx(1));
    if (k >= 0) return k;
  } while (Clock.now() < deadline);
  return -1;
}

} // namespace

DisplayOps Display = {CreateWindow, DestroyWindow, ShowImage, WaitKey};
