// The opaque image handle of the state record, as OpenCV sees it. Only the
// display, image, camera and presentation code include this header.
#pragma once

#include <opencv2/core.hpp>

struct ZepImage {
  cv::Mat mat;
};
