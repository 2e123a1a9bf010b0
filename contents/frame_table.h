// The frame table of the current contents folder.
#pragma once

// Rebuilds the frame table for ContentsIndex from a usable frame-table file,
// else by a scan, frame_no and key frames back at the start. An empty folder
// falls back to the one below; false, after saying so, when S001 has no frames.
bool ScanContents();

// Reads a frame-table file; false, the table cleared, when it cannot be opened
// or its count is outside the table.
bool ReadFrameTableFile(const char *name);

// Scans folder k for frame files against one listing of it, or by one
// existence test per number when it cannot be listed.

void ScanFolder(int folder_number);
