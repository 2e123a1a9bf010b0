// The listing of contents folders and the random pick among them (Space).
#pragma once

// The random selection (Space): lists the contents folders S001 to S1000
// unless an earlier listing may be reused, then sets ContentsIndex to a folder
// drawn at random from the list. Returns false when there is none to go to
// (or the display level keeps the key from working).
bool PickRandomContents();

// Loads the current folder's own settings file (zep_env<n>.dat) when there is
// one, after naming it.
void LoadOwnFolderSettings();

// The listing alone: prints one line per folder found, fills ContentsList
// and its count, writes a marker file into each folder that only the frame
// probe revealed. Returns true when the probe found any folder.
//
// One read of the parent folder tells which S-folders exist at all, and one
// read of the working folder which settings and frame-table files do; only
// names that can exist are then tested. The printed lines, the markers and
// the pseudo-random numbers drawn are those of a listing that tests every
// name on its own.
bool ListContentsFolders();
