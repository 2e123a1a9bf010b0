// The bounded cache of decoded frames beside the frame table, and the main
// window that shows them.
#pragma once

#include "player/decode_ahead.h" // what feeds the cache, and a folder change drops

// Releases every image of the cache and clears the loaded flags of the folder.
void EmptyFrameCache();

// Prints "* Changed Contents Folder to [ S002 ]" for the current folder.
void PrintChangeMessage();

// Destroys and re-creates the main window, sized by VARIABLE_SIZE_FLAG; the
// new window is empty until the frame is shown again.
void RecreateMainWindow();

// Waits a millisecond so that the window can draw. A key that comes meanwhile
// is held for the pass's own key wait, not lost.
void LetWindowDraw();

// Makes the next pass show the current frame, whether or not it changed.
void ShowFrameAgain();

// Loads, marks and shows the current frame when it changed. Returns false when
// its image cannot be read (the message is printed here).
bool PresentFrame();

// Shows a cached frame in the main window, mirrored per flip mode 0, 1 or 2.
void ShowFrame(int index, int flip);

// The integer part of a frame number; INT_MIN for NaN or values beyond int.
int IntegerPart(double value);
