// The frame table of the current contents folder.
#pragma once

// Rebuilds the frame table for ContentsIndex: from the folder's frame-table
// file when there is a usable one, else by scanning the folder, and puts
// frame_no and the key frames back to the start. An empty folder falls back to the one below it.
// Returns false, after saying so, when not even S001 has frames.
bool ScanContents();

// Reads a frame-table file into the table. Returns false when the file cannot
// be opened or its count is negative or above the table size (the table is
// then cleared and the folder is scanned instead).
bool ReadFrameTableFile(const char *name);

// Scans folder number k for clip_NNNNN.jpg files. Lists the folder once and
// tests names against that listing; falls back to one existence test per
// number when the folder cannot be listed.
void ScanFolder(int folder_number);
