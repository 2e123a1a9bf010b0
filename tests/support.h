// What the unit tests drive the program with: a fresh state record, a working
// folder with contents folders beside it, captured output, a recorded display
// with scripted keys, a fake clock. Without an image library
// (ORVANTIS_TESTS_WITHOUT_IMAGES) frames are files never opened, and the
// display holds no pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#ifndef ORVANTIS_TESTS_WITHOUT_IMAGES
#include <opencv2/core.hpp>
#endif

#include "tests/state_reset.h"

struct ZepImage;

struct ShownImage {
  std::string window;
#ifndef ORVANTIS_TESTS_WITHOUT_IMAGES
  cv::Mat image; // a copy, as it was when shown
#endif
};

struct RecordedDisplay {
  std::deque<int> keys;            // scripted keys; when none are left the display sends ESC
  std::vector<ShownImage> shown;   // every image shown
  std::vector<std::string> events; // "create NAME autosize", "destroy NAME", "wait N"
  int waits_after_script = 0;
  int width = 0, height = 0; // the picture size the main window reports
};

extern RecordedDisplay Recorded;
extern std::string CapturedOut;
extern std::string CapturedErr;
extern double FakeNow; // seconds; each read of the clock advances it by a millisecond

// Clears the state and every seam; makes <tmp>/work current beside <tmp>/S001...
class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string root_; // the folder that holds work/ and the contents folders
};

// Makes ../S<k> with frames of the given numbers, each coloured by its number.
void MakeFolder(int folder_number, const std::vector<int> &frame_numbers, int width = 64, int height = 48);

// Values of several types side by side, for one comparison.
template <typename... T> std::vector<double> AsDoubles(T... values) {
  return {static_cast<double>(values)...};
}

void WriteText(const std::string &path, const std::string &text);
std::string ReadText(const std::string &path);

#ifdef _WIN32
// Windows has no fmemopen: a temporary file, deleted when closed.

FILE *fmemopen(void *buffer, size_t size, const char *mode);
#endif

// What depends on the image library (support_images.cpp, or without it
// tests/win/support_win.cpp): a frame file of MakeFolder, a shown image's record.
void WriteFrameFile(const std::string &path, int frame_number, int width, int height);
ShownImage ShownCopy(const char *window, const ZepImage *image);
