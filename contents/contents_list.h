// The listing of contents folders and the random pick among them (Space).
#pragma once

// The random selection (Space): lists S001 to S1000 unless an earlier listing
// may be reused, then sets ContentsIndex to a folder drawn from the list.
// False when there is none (or the display level keeps the key from working).
bool PickRandomContents();

// Loads the current folder's own settings file, if any, after naming it.
void LoadOwnFolderSettings();

// The listing alone: prints one line per folder found, fills ContentsList,
// writes a marker into each folder only the frame probe revealed. Returns
// true when the probe found any folder. Reads of the parent and working
// folders rule names out first; lines, markers and random numbers drawn are
// those of a listing that tests every name on its own.

bool ListContentsFolders();
