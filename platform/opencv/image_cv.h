// The opaque image handle of the state record, as OpenCV sees it. Only the
// display, image, camera and presentation code include this header.
#pragma once

#include <opencv2/core.hpp>

struct ZepImage {
  cv::Mat mat;
  int scale = 1;      // loaded at 1 / scale of its file's size
  int file_width = 0; // the size the file holds, when loaded from one
  int file_height = 0;
};
