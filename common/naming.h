// How contents folders, frames and their companion files are named. Every
// name is formatted with printf-style fields and then every blank in it turns
// into the digit 0, so numbers come out zero-padded (S001, clip_00012.jpg).
#pragma once

#include <cstddef>

constexpr size_t NAME_LEN = 5000;

// Formats like snprintf, then replaces every blank of the result by '0'.
void FormatName(char *out, size_t size, const char *format, ...) __attribute__((format(printf, 3, 4)));

// Folder number k is folder index k - 1: ../S001 for k = 1, ../S1000 for 1000.
void FolderName(char *out, size_t size, int folder_number);
void FramePath(char *out, size_t size, int folder_number, int frame_number);
void FrameTableFileName(char *out, size_t size, int folder_number); // frame_data0001.dat
void SettingsFileName(char *out, size_t size, int folder_number);   // zep_env0001.dat
void KeyFrameFileName(char *out, size_t size, int folder_number);   // ../S001/qdx_config.dat
void MarkerFileName(char *out, size_t size, int folder_number);     // ../S001/check_result.txt
