#include "player/image.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/image_cv.h"
#include "platform/platform.h"

ZepImage* LoadImage(const char* path) {
  // A missing file is an ordinary null here, without the decoder's warning.
  if (!FileExists(path)) return nullptr;
  cv::Mat mat = cv::imread(path, cv::IMREAD_COLOR);
  if (mat.empty()) return nullptr;
  return new ZepImage{std::move(mat)};
}

void ReleaseImage(ZepImage** image) {
  delete *image;
  *image = nullptr;
}

void DrawPositionMark(ZepImage* image, double frame_no, int max_count) {
  cv::Mat& m = image->mat;
  int x = static_cast<int>(frame_no * m.cols / max_count);
  int h = m.rows;
  cv::rectangle(m, cv::Point(x, h - 5), cv::Point(x, h), cv::Scalar(0, 255, 0, 0), 10, cv::LINE_8);
  cv::rectangle(m, cv::Point(x, h - 4), cv::Point(x, h), cv::Scalar(200, 255, 200, 0), 3, cv::LINE_8);
}

void FlipImage(ZepImage* image, int code) { cv::flip(image->mat, image->mat, code); }
