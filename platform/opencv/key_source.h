// Where the key wait gets its keys besides OpenCV's own. Qt 5's key wait
// turns Shift+letter into lower case, gives the first Tab to focus and can
// abort on some Japanese-keyboard keys, so there a filter queues every key
// press first (qt/key_filter.cpp); the Win32 window queues nothing.
#pragma once

// Called whenever a window is made: the filter goes in once the GUI exists.
void StartKeySource();

// Takes the oldest queued key code; false when none is queued.
bool TakeQueuedKey(int *code);

// True when keys arrive only through the queue: OpenCV's key wait is ignored.

bool KeysOnlyQueued();
