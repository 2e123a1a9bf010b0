// The parts of the test support that draw and keep real images.
#include <opencv2/imgcodecs.hpp>

#include "platform/opencv/image_cv.h"
#include "tests/support.h"

cv::Scalar FrameColour(int n) {
  return cv::Scalar((n * 37) % 256, (n * 91 + 60) % 256, (n * 53 + 120) % 256);
}

void WriteFrameFile(const std::string &path, int frame_number, int width, int height) {
  cv::Mat m(height, width, CV_8UC3, FrameColour(frame_number));
  ASSERT_TRUE(cv::imwrite(path, m, {cv::IMWRITE_JPEG_QUALITY, 100})) << path;
}

ShownImage ShownCopy(const char *window, const ZepImage *image) { return {window, image->mat.clone()}; }
