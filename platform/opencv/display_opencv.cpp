// The real display: OpenCV image windows, with key presses read by an
// application-wide Qt event filter. Debian's OpenCV draws its windows with
// Qt 5 and its own key wait turns Shift+letter into the lower-case letter,
// lets Qt take the first Tab of a window for focus, and can abort on some
// Japanese-keyboard keys. So we take every key press before Qt handles it,
// turn its typed text into the key code, and queue it for our key wait.
#include <QApplication>
#include <QKeyEvent>
#include <QObject>
#include <algorithm>
#include <cmath>
#include <deque>
#include <opencv2/highgui.hpp>
#include <opencv2/imgproc.hpp>
#include <set>
#include <string>

#include "platform/opencv/image_cv.h"
#include "platform/platform.h"

namespace {

std::deque<int> PendingKeys;

// Returns the key code of a press, or -1 for keys the player has no use for.
int KeyCode(const QKeyEvent *e) {
  switch (e->key()) {
  case Qt::Key_Tab:
  case Qt::Key_Backtab: return 0x09;
  case Qt::Key_Backspace: return 0x08;
  case Qt::Key_Return:
  case Qt::Key_Enter: return 0x0D;
  case Qt::Key_Escape: return 0x1B;
  default: break;
  }
  QByteArray text = e->text().toLatin1();
  if (text.size() != 1) return -1;
  unsigned char c = static_cast<unsigned char>(text[0]);
  if (c == 0 || c >= 0x7F) return -1;
  return c;
}

class KeyFilter : public QObject {
 public:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() == QEvent::KeyPress) {
      int code = KeyCode(static_cast<QKeyEvent *>(event));
      if (code >= 0) PendingKeys.push_back(code);
      return true; // neither Qt nor the window sees the key
    }
    if (event->type() == QEvent::ShortcutOverride) return true; // keeps Tab from focus handling
    return QObject::eventFilter(watched, event);
  }
};

KeyFilter *Filter = nullptr;

void InstallKeyFilter() {
  if (Filter != nullptr) return;
  QCoreApplication *app = QCoreApplication::instance();
  if (app == nullptr) return;
  Filter = new KeyFilter;
  app->installEventFilter(Filter);
}

void OnMouse(int, int, int, int, void *) {}

// The windows the user sizes (the others follow their image), and the
// buffer an image is shrunk into before such a window shows it.
std::set<std::string> &UserSized = *new std::set<std::string>;
cv::Mat &Shrunk = *new cv::Mat;

void CreateWindow(const char *name, int autosize) {
  if (autosize)
    UserSized.erase(name);
  else
    UserSized.insert(name);
  int flags = (autosize ? cv::WINDOW_AUTOSIZE : cv::WINDOW_NORMAL) | cv::WINDOW_GUI_NORMAL;
  cv::namedWindow(name, flags);
  cv::setMouseCallback(name, OnMouse, nullptr);
  InstallKeyFilter();
}

void DestroyWindow(const char *name) {
  UserSized.erase(name);
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

// A user-sized window is handed no more pixels than it shows: a larger image
// is shrunk to fit first, which costs less than the toolkit's own scaling of
// the whole. Frames decoded for the window's size are less than twice as
// large, and interpolation serves them; only a larger step needs averaging.
// The picture's size is the last image's: an image of another shape (the key
// screen between frames) is handed over whole, for the window to fit.
void ShowImage(const char *name, const ZepImage *image) {
  if (image == nullptr || image->mat.empty()) return;
  const cv::Mat &m = image->mat;
  int width = 0, height = 0;
  if (UserSized.count(name) != 0) WindowSize(name, &width, &height);
  double fit = 1;
  if (width > 0 && std::abs(static_cast<double>(width) * m.rows / height / m.cols - 1) < 0.02)
    fit = std::min(static_cast<double>(width) / m.cols, static_cast<double>(height) / m.rows);
  if (fit >= 1) {
    cv::imshow(name, m);
    return;
  }
  cv::Size size(std::max(1, static_cast<int>(std::lround(m.cols * fit))),
                std::max(1, static_cast<int>(std::lround(m.rows * fit))));
  cv::resize(m, Shrunk, size, 0, 0, fit >= 0.5 ? cv::INTER_LINEAR : cv::INTER_AREA);
  cv::imshow(name, Shrunk);
}

int TakePending() {
  int k = PendingKeys.front();
  PendingKeys.pop_front();
  return k;
}

int WaitKey(int milliseconds) {
  if (!PendingKeys.empty()) {
    cv::waitKey(1); // keep the window drawn
    return TakePending();
  }
  if (milliseconds <= 0) {
    while (PendingKeys.empty())
      cv::waitKey(10);
    return TakePending();
  }
  double deadline = Clock.now() + milliseconds / 1000.0;
  do {
    int k = cv::waitKey(1);
    if (!PendingKeys.empty()) return TakePending();
    if (k >= 0 && Filter == nullptr) return k & 0xFF; // a window system without our filter
  } while (Clock.now() < deadline);
  return -1;
}

} // namespace

DisplayOps Display = {CreateWindow, DestroyWindow, ShowImage, WaitKey, WindowSize};
