// The parts of the test support that draw and keep real images.
#include <opencv2/imgcodecs.hpp>

#include "platform/opencv/image_cv.h"
#include "tests/support.h"

// Each frame number has a solid colour of its own.
void WriteFrameFile(const std::string &path, int n, int width, int height) {
  cv::Mat m(height, width, CV_8UC3, cv::Scalar((n * 37) % 256, (n * 91 + 60) % 256, (n * 53 + 120) % 256));
  ASSERT_TRUE(cv::imwrite(path, m, {cv::IMWRITE_JPEG_QUALITY, 100})) << path;
}

ShownImage ShownCopy(const char *window, const ZepImage *image) { return {window, image->mat.clone()}; }
