// How contents folders, frames and their companion files are named: each
// name is formatted here and nowhere else, and read back by the parser beside
// its format. Numbers in names are zero-padded (S001, clip_00012.jpg).
#pragma once

#include <cstddef>

constexpr size_t NAME_LEN = 5000;

// Folder number k is folder index k - 1: ../S001 for k = 1, ../S1000 for 1000.
void FolderName(char *out, size_t size, int folder_number);
void FolderLeafName(char *out, size_t size, int folder_number); // S001, as announced on a change
// A file in folder k: ../S001/<leaf>. The leaf is taken as it is.
void FolderFileName(char *out, size_t size, int folder_number, const char *leaf);
void FrameFileName(char *out, size_t size, int frame_number);                // clip_00012.jpg
void FramePath(char *out, size_t size, int folder_number, int frame_number); // ../S001/clip_00012.jpg
// ../S001/clip_%05d.jpg: the frame names of folder k as ffmpeg numbers its output.
void FramePattern(char *out, size_t size, int folder_number);
void FrameTableFileName(char *out, size_t size, int folder_number); // frame_data0001.dat
void SettingsFileName(char *out, size_t size, int folder_number);   // zep_env0001.dat
void KeyFrameFileName(char *out, size_t size, int folder_number);   // ../S001/qdx_config.dat
void MarkerFileName(char *out, size_t size, int folder_number);     // ../S001/check_result.txt

// The number of a frame file name as FrameFileName makes it; -1 for any other.
int FrameNumberOf(const char *name);
// A start position given by a name ending like S00003_00120.jpg ("S", five
// characters, "_", five, a four-character extension; users make them): the
// two fields as they stand and as atoi reads them. False for any other name.
struct StartPositionName {
  char folder_text[6], frame_text[6];
  int folder_number, frame_number;
};
bool ParseStartPositionName(const char *name, StartPositionName *parsed);

// The number in a name that is prefix, one to five digits and suffix; -1 for
// any other. Leading zeros are taken: compare with the built name if need be.

int NumberInName(const char *name, const char *prefix, const char *suffix);
