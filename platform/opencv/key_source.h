// Where the key wait gets its keys besides OpenCV's own. Debian's OpenCV
// draws its windows with Qt 5, whose key wait turns Shift+letter into the
// lower-case letter, lets Qt take the first Tab of a window for focus, and
// can abort on some Japanese-keyboard keys; there a filter takes every key
// press first and queues its code (qt/key_filter.cpp). OpenCV's Win32 window
// reports keys right, and nothing is queued (win32/key_source_win32.cpp).
#pragma once

// Called whenever a window is made: the filter goes in once the GUI exists.
void StartKeySource();

// Takes the oldest queued key code. Returns false when none is queued.
bool TakeQueuedKey(int *code);

// True when keys arrive only through the queue, so that what OpenCV's key
// wait returns is to be ignored.
bool KeysOnlyQueued();
