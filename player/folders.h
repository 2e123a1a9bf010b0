// The sequences that change what the player shows as a whole: opening a
// contents folder, the random selection, the start position given on the
// command line, and the endings.
#pragma once

// Rebuilds the frame table of the folder ContentsIndex names with the cache
// emptied, the motion measure and the step reset and the window made anew,
// so the next pass shows its first frame.
// Returns false when not even S001 holds frames: the player has then ended
// (PLAYER_FAILED) after a key press and the shutdown.
bool OpenContents();

// A folder change: announces "* Changed Contents Folder to [ S... ]" for
// folder index, then opens it as above.
bool ChangeFolder(int index);

// The random selection (Space): a folder drawn from the contents listing,
// opened, with its own settings file loaded when it has one.
void ListContents();

// The first folder at start-up: settings, frame table, settings again (the
// table may have changed the folder), then the start position when one was
// given. Returns false when the player has ended.
bool OpenFirstContents();

// A first given name ending like S00003_00120.jpg opens folder S003 at frame
// 120. Returns false when the player has ended.
bool ApplyStartPosition();

// The user's own ending: the knowledge base and the camera go, and the
// farewell banner is shown.
void EndPlayer(int ending);
