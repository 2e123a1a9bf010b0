// The sequences that change what the player shows as a whole: opening a
// contents folder, the random selection, the start position given on the
// command line, and the endings.
#pragma once

// Rebuilds the frame table of folder ContentsIndex with the cache emptied,
// motion reset and the window made anew. False when not even S001 holds
// frames: the player has then ended (PLAYER_FAILED).
bool OpenContents();

// Announces the change to folder index, then opens it.
bool ChangeFolder(int index);

// The random selection (Space), with the folder's own settings loaded.
void ListContents();

// The first folder at start-up: settings, frame table, settings again (the
// table may change the folder), then any start position; false when ended.
bool OpenFirstContents();

// A first given name ending like S00003_00120.jpg opens folder S003 at frame
// 120. Returns false when the player has ended.
bool ApplyStartPosition();

// The user's own ending: knowledge base and camera go, the farewell shows.

void EndPlayer(int ending);
