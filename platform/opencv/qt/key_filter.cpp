// The Qt key filter: an application-wide event filter takes each key press on
// our windows before Qt handles it, turns its typed text (or Tab, Backspace,
// Enter, Esc) into the key code, and queues it for the key wait.
#include <QApplication>
#include <QKeyEvent>
#include <QObject>
#include <deque>

#include "platform/opencv/key_source.h"

namespace {

std::deque<int> &PendingKeys = *new std::deque<int>;

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
  return c == 0 || c >= 0x7F ? -1 : c;
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

} // namespace

void StartKeySource() {
  if (Filter != nullptr) return;
  QCoreApplication *app = QCoreApplication::instance();
  if (app == nullptr) return;
  Filter = new KeyFilter;
  app->installEventFilter(Filter);
}

bool TakeQueuedKey(int *code) {
  if (PendingKeys.empty()) return false;
  *code = PendingKeys.front();
  PendingKeys.pop_front();
  return true;
}

// Without the filter (a window system that is not Qt's) OpenCV's key wait serves.
bool KeysOnlyQueued() { return Filter != nullptr; }
