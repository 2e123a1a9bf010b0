// The real display: OpenCV image windows and their key wait, with the keys
// taken from the key source where the window system's own are wrong
// (key_source.h).
#include <opencv2/highgui.hpp>
#include <opencv2/imgproc.hpp>
#include <set>
#include <string>

#include "platform/opencv/image_cv.h"
#include "platform/opencv/key_source.h"
#include "platform/platform.h"

namespace {

void OnMouse(int, int, int, int, void *) {}

// The windows the user sizes (the others follow their image), and the
// buffer an image is shrunk into before such a window shows it.
std::set<std::string> &UserSized = *new std::set<std::string>;
cv::Mat &Shrunk = *new cv::Mat;

// The windows made and not destroyed by the program. One of them gone all
// the same was closed by the window manager (its close button, Alt+F4),
// which both window systems grant without asking the program.
std::set<std::string> &Made = *new std::set<std::string>;
bool Closed = false;

bool CloseRequested() {
  for (const std::string &name : Made) {
    if (Closed) break;
    try {
      Closed = cv::getWindowProperty(name, cv::WND_PROP_VISIBLE) <= 0;
    } catch (const cv::Exception &) {
      Closed = true; // the toolkit's last window went, and its state with it
    }
  }
  return Closed;
}

void CreateWindow(const char *name, int autosize) {
  if (autosize)
    UserSized.erase(name);
  else
    UserSized.insert(name);
  int flags = (autosize ? cv::WINDOW_AUTOSIZE : cv::WINDOW_NORMAL) | cv::WINDOW_GUI_NORMAL;
  cv::namedWindow(name, flags);
  Made.insert(name);
  cv::setMouseCallback(name, OnMouse, nullptr);
  StartKeySource();
}

void DestroyWindow(const char *name) {
  UserSized.erase(name);
  Made.erase(name);
  try {
    cv::destroyWindow(name);
  } catch (const cv::Exception &) {
    // no such window: nothing to destroy
  }
}

void WindowSize(const char *name, int *width, int *height) {
  cv::Rect shown(0, 0, 0, 0);
  try {
    shown = cv::getWindowImageRect(name);
  } catch (const cv::Exception &) {
    // no such window
  }
  bool known = shown.width > 0 && shown.height > 0;
  *width = known ? shown.width : 0;
  *height = known ? shown.height : 0;
}

// A user-sized window is handed no more pixels than it shows, which costs
// less than the toolkit's own scaling. Frames come fitted (MarkAndFit); an
// image of another shape (the key screen) is handed over whole.
void ShowImage(const char *name, const ZepImage *image) {
  if (image == nullptr || image->mat.empty()) return;
  int width = 0, height = 0;
  if (UserSized.count(name) != 0) WindowSize(name, &width, &height);
  cv::imshow(name, FitToPicture(image->mat, Shrunk, width, height) ? Shrunk : image->mat);
}

// A key with a code (0..255), or -1: keys that type no character (arrows,
// function keys) arrive from the key wait above 0xFF and are dropped.
int Typed(int k) { return k >= 0 && k <= 0xFF ? k : -1; }

// Waits up to `milliseconds` (0: without end) for a key, keeping the windows
// drawn all the while; a closed window ends a wait without end.
int WaitKey(int milliseconds) {
  int k = -1;
  if (TakeQueuedKey(&k)) {
    cv::waitKey(1); // keep the window drawn
    return k;
  }
  double deadline = Clock.now() + milliseconds / 1000.0;
  do {
    int raw = cv::waitKeyEx(milliseconds <= 0 ? 10 : 1);
    if (TakeQueuedKey(&k)) return k;
    if (!KeysOnlyQueued() && (k = Typed(raw)) >= 0) return k;
    if (milliseconds <= 0 && CloseRequested()) return WINDOW_CLOSED;
  } while (milliseconds <= 0 || Clock.now() < deadline);
  return CloseRequested() ? WINDOW_CLOSED : -1;
}

} // namespace

DisplayOps Display = {CreateWindow, DestroyWindow, ShowImage, WaitKey, WindowSize};
