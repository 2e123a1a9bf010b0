#include <algorithm>
#include <cmath>
#include <mutex>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "platform/image.h"
#include "platform/opencv/image_cv.h"

namespace {

// Released images are kept for reuse: decoding into a buffer just released
// avoids a large allocation per frame, whose page faults cost several times
// the decoding of a 4K frame. As many spares as the cache holds are kept,
// since a full cache is emptied whole. Shared with the threads that decode
// ahead; never destroyed, so the spares stay reachable until the end.

struct SparePile {
  std::mutex lock;
  std::vector<ZepImage *> images;
  size_t limit = 2;
} &Spares = *new SparePile;

// The bottom rows of a frame a position mark may cover, at any scale.
constexpr int MARK_ROWS = 16;

MarkPlace PlaceOf(const ZepImage *image, double frame_no, int max_count) {
  const cv::Mat &m = image->decoded;
  MarkPlace place;
  if (max_count < 1) return place;
  if (image->scale == 1) {
    int x = static_cast<int>(frame_no * m.cols / max_count);
    return {x, x, x, x};
  }
  double at = frame_no * m.cols / max_count, scale = 1.0 / image->scale;
  auto ends = [&](double half_width, int &left, int &right) {
    left = static_cast<int>(std::lround(at - half_width * scale));
    right = std::max(left + 1, static_cast<int>(std::lround(at + half_width * scale)));
  };
  ends(5.5, place.bar_left, place.bar_right);
  ends(1.5, place.core_left, place.core_right);
  return place;
}

// A green bar with a pale green core on the bottom edge; on an image loaded
// scaled down, the same boxes as on the whole frame (a bar 11 wide and 10
// high, a core 3 wide and 5 high), scaled, at least a pixel.
void DrawMark(ZepImage *image, const MarkPlace &place) {
  cv::Mat &m = image->decoded;
  int h = m.rows;
  if (image->scale == 1) {
    int x = place.bar_left;
    cv::rectangle(m, cv::Point(x, h - 5), cv::Point(x, h), cv::Scalar(0, 255, 0, 0), 10, cv::LINE_8);
    cv::rectangle(m, cv::Point(x, h - 4), cv::Point(x, h), cv::Scalar(200, 255, 200, 0), 3, cv::LINE_8);
    return;
  }
  double scale = 1.0 / image->scale;
  auto box = [&](int left, int right, double height, const cv::Scalar &colour) {
    int top = h - std::max(1, static_cast<int>(std::lround(height * scale)));
    cv::Rect inside = cv::Rect(left, top, right - left, h - top) & cv::Rect(0, 0, m.cols, h);
    if (!inside.empty()) m(inside).setTo(colour);
  };
  box(place.bar_left, place.bar_right, 10, cv::Scalar(0, 255, 0, 0));
  if (1.5 * scale >= 0.5) box(place.core_left, place.core_right, 5, cv::Scalar(200, 255, 200, 0));
}

} // namespace

ZepImage *TakeSpare() {
  std::lock_guard<std::mutex> hold(Spares.lock);
  if (Spares.images.empty()) return new ZepImage;
  ZepImage *image = Spares.images.back();
  Spares.images.pop_back();
  return image;
}

void ReleaseImage(ZepImage **image) {
  if (*image == nullptr) return;
  if (!(*image)->mat.empty() && (*image)->mat.isContinuous()) {
    std::lock_guard<std::mutex> hold(Spares.lock);
    if (Spares.images.size() < Spares.limit) {
      Spares.images.push_back(*image);
      *image = nullptr;
      return;
    }
  }
  delete *image;
  *image = nullptr;
}

void KeepSpareImages(int count) {
  std::lock_guard<std::mutex> hold(Spares.lock);
  Spares.limit = static_cast<size_t>(std::max(2, count));
}

bool FitToPicture(const cv::Mat &m, cv::Mat &into, int width, int height) {
  if (width <= 0 || height <= 0 || m.empty()) return false;
  if (std::abs(static_cast<double>(width) * m.rows / height / m.cols - 1) >= 0.02) return false;
  double fit = std::min(static_cast<double>(width) / m.cols, static_cast<double>(height) / m.rows);
  if (fit >= 1) return false;
  // Frames decoded for the picture are less than twice as large, and
  // interpolation serves them; only a larger step needs averaging.
  cv::Size size(std::max(1, static_cast<int>(std::lround(m.cols * fit))),
                std::max(1, static_cast<int>(std::lround(m.rows * fit))));
  cv::resize(m, into, size, 0, 0, fit >= 0.5 ? cv::INTER_LINEAR : cv::INTER_AREA);
  return true;
}

void MarkAndFit(ZepImage *image, double frame_no, int max_count, int width, int height) {
  cv::Mat &d = image->decoded;
  if (d.empty()) return;
  MarkPlace place = PlaceOf(image, frame_no, max_count);
  if (image->marked && place == image->mark && width == image->picture_width &&
      height == image->picture_height)
    return;
  cv::Mat bottom = d.rowRange(d.rows - std::min(d.rows, MARK_ROWS), d.rows);
  if (image->marked)
    image->under_mark.copyTo(bottom); // the mark moves: the rows under the old one come back first
  else
    bottom.copyTo(image->under_mark);
  if (max_count >= 1) DrawMark(image, place);
  image->mat = FitToPicture(d, image->fitted, width, height) ? image->fitted : d;
  image->marked = true;
  image->mark = place;
  image->picture_width = width;
  image->picture_height = height;
}

void FitAgain(ZepImage *image, int width, int height) {
  if (!image->marked || (width == image->picture_width && height == image->picture_height)) return;
  image->mat = FitToPicture(image->decoded, image->fitted, width, height) ? image->fitted : image->decoded;
  image->picture_width = width;
  image->picture_height = height;
}

void FlipImage(ZepImage *image, int code) { cv::flip(image->mat, image->mat, code); }

ZepImage *CreateImage() { return new ZepImage; }

ImageShape ShapeOf(const ZepImage *image) {
  const cv::Mat &m = image->mat;
  if (m.empty()) return {0, 0, 0, 0, false};
  return {m.cols, m.rows, m.channels(), static_cast<int>(m.elemSize1() * 8), m.depth() == CV_8U};
}

void ConvertToGrey(const ZepImage *colour, ZepImage *grey) {
  cv::cvtColor(colour->mat, grey->mat, cv::COLOR_BGR2GRAY);
}

const unsigned char *ImagePixels(const ZepImage *image) { return image->mat.data; }

bool SaveImage(const char *path, const ZepImage *image) {
  try {
    return cv::imwrite(path, image->mat);
  } catch (const cv::Exception &) {
    return false;
  }
}
