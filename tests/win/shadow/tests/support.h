// What the unit tests drive the program with, for the Windows core build:
// the same fixture and helpers as tests/support.h without the image library.
// The Windows test build puts this folder before the source root, so that the
// shared tests' #include "tests/support.h" finds this header. Frames here are
// files that exist (the scan and the listing never open them); the recorded
// display notes the windows and images shown but holds no pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

struct ShownImage {
  std::string window;
};

struct RecordedDisplay {
  std::deque<int> keys;              // scripted keys; when none are left the display sends ESC
  std::vector<ShownImage> shown;     // every image shown
  std::vector<std::string> events;   // "create NAME autosize", "destroy NAME", "wait N"
  int keys_after_script = 0x1B;
};

extern RecordedDisplay Recorded;
extern std::string CapturedOut;
extern std::string CapturedErr;
extern double FakeNow; // seconds; each read of the clock advances it by FakeTick
extern double FakeTick;

// Clears the state record and every seam, and makes a fresh folder tree
// <tmp>\work (the working folder, made current) beside <tmp>\S001 and so on.
class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string root_; // the folder that holds work\ and the contents folders
};

void ResetState();

// Makes folder ..\S<k> (relative to the working folder) with frame files of
// the given numbers.
void MakeFolder(int folder_number, const std::vector<int>& frame_numbers, int width = 64, int height = 48);

void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);

// Windows has no fmemopen; the shared tests that read values out of a string
// get the bytes back through a temporary file, deleted when it is closed.
FILE* fmemopen(void* buffer, size_t size, const char* mode);
