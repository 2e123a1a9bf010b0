// OpenCV's Win32 window reports Shift+letter, Tab, Backspace, Enter and Esc
// as the characters they type: its own key wait serves, nothing is queued.
#include "platform/opencv/key_source.h"

void StartKeySource() {}
bool TakeQueuedKey(int *) { return false; }
bool KeysOnlyQueued() { return false; }
