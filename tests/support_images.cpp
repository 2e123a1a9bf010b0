// The parts of the test support that draw and keep real images.
#include <opencv2/imgcodecs.hpp>

#include "platform/opencv/image_cv.h"
#include "tests/support.h"

cv::Scalar FrameColour(int n) {
  return cv::Scalar((n * 37) % 256, (n * 91 + 60) % 256, (n * 53 + 120) % 256);
}

void WriteFrame(const std::string &path, int width, int height, cv::Scalar colour) {
  cv::Mat m(height, width, CV_8UC3, colour);
  ASSERT_TRUE(cv::imwrite(path, m, {cv::IMWRITE_JPEG_QUALITY, 100})) << path;
}

void WriteFrameFile(const std::string &path, int frame_number, int width, int height) {
  WriteFrame(path, width, height, FrameColour(frame_number));
}

ShownImage ShownCopy(const char *window, const ZepImage *image) { return {window, image->mat.clone()}; }
