// The opaque image handle of the state record, as OpenCV sees it. Only the
// display, image, camera and presentation code include this header.
#pragma once

#include <opencv2/core.hpp>

// Where a position mark lands on a frame's image: the columns of its bar and
// of its core, ends included.
struct MarkPlace {
  int bar_left = -1, bar_right = -1, core_left = -1, core_right = -1;
  bool operator==(const MarkPlace &o) const {
    return bar_left == o.bar_left && bar_right == o.bar_right && core_left == o.core_left &&
           core_right == o.core_right;
  }
};

struct ZepImage {
  cv::Mat mat;        // the pixels shown: `decoded`, or `fitted` when that is shrunk from it
  int scale = 1;      // loaded at 1 / scale of its file's size
  int file_width = 0; // the size the file holds, when loaded from one
  int file_height = 0;
  // A frame's image: as decoded (then marked), the buffer it was shrunk into
  // for the picture, and the bottom rows of the decoded image as they were
  // before the mark went on them.
  cv::Mat decoded, fitted, under_mark;
  bool marked = false; // marked and fitted, for this mark and picture:
  MarkPlace mark;
  int picture_width = 0, picture_height = 0;
};

// A released image to decode into, or a new one. Any thread may take one.
ZepImage *TakeSpare();

// Shrinks m into `into` as a user-sized window of width x height shows it, and
// returns true; false when it is shown as it is (it fits, has another shape,
// or the size is unknown).
bool FitToPicture(const cv::Mat &m, cv::Mat &into, int width, int height);
