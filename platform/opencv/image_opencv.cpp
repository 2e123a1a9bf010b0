#include "platform/image.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "platform/opencv/image_cv.h"
#include "platform/platform.h"

namespace {

// Released images are kept for reuse: with a cache of one frame, every frame
// change releases one image and loads the next, and decoding into the buffer
// just released avoids a large allocation (and its page faults, which cost
// several times the decoding of a 4K frame) per frame. A larger cache is
// emptied whole when full, so as many spares as it holds are kept: the next
// round of loads reuses them all, and memory stays at what the full cache held.
// Never destroyed, so that the spares stay reachable until the process ends.
std::vector<ZepImage *> &Spares = *new std::vector<ZepImage *>;

size_t SpareLimit = 2;

ZepImage *TakeSpare() {
  if (Spares.empty()) return new ZepImage;
  ZepImage *image = Spares.back();
  Spares.pop_back();
  return image;
}

// The largest frame the player decodes: 16384 x 16384 pixels (8K is an
// eighth of it). A damaged or hostile header can claim billions of pixels,
// and decoding one would exhaust memory before a single row arrives.
constexpr long long MAX_FRAME_PIXELS = 1LL << 28;

tjhandle Decoder = nullptr;
std::vector<unsigned char> FileBytes;

bool ReadWholeFile(const char *path) {
  FILE *file = fopen(path, "rb");
  if (file == nullptr) return false;
  bool ok = fseek(file, 0, SEEK_END) == 0;
  long size = ok ? ftell(file) : -1;
  ok = ok && size > 0 && fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    FileBytes.resize(static_cast<size_t>(size));
    ok = fread(FileBytes.data(), 1, FileBytes.size(), file) == FileBytes.size();
  }
  fclose(file);
  return ok;
}

enum class Decoded { Done, NotTaken, TooLarge };

// Decodes a baseline or progressive JPEG straight into image's buffer, as
// stored: an Exif orientation is not applied, so the frame and its position
// mark stay as the file holds them. NotTaken is anything the fast decoder
// leaves to the general one.
Decoded DecodeJpeg(ZepImage *image) {
  const unsigned char *data = FileBytes.data();
  size_t size = FileBytes.size();
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return Decoded::NotTaken;
  if (Decoder == nullptr && (Decoder = tjInitDecompress()) == nullptr) return Decoded::NotTaken;
  int width = 0, height = 0, subsampling = 0, colourspace = 0;
  if (tjDecompressHeader3(Decoder, data, static_cast<unsigned long>(size), &width, &height, &subsampling,
                          &colourspace) != 0)
    return Decoded::NotTaken;
  if (colourspace == TJCS_CMYK || colourspace == TJCS_YCCK || width <= 0 || height <= 0)
    return Decoded::NotTaken;
  if (static_cast<long long>(width) * height > MAX_FRAME_PIXELS) return Decoded::TooLarge;
  image->mat.create(height, width, CV_8UC3); // keeps the buffer when the size is the same
  int result = tjDecompress2(Decoder, data, static_cast<unsigned long>(size), image->mat.data, width,
                             static_cast<int>(image->mat.step), height, TJPF_BGR, TJFLAG_ACCURATEDCT);
  // A warning (a damaged tail, say) still leaves a picture, as the general decoder would.
  return result == 0 || tjGetErrorCode(Decoder) == TJERR_WARNING ? Decoded::Done : Decoded::NotTaken;
}

} // namespace

ZepImage *LoadImage(const char *path) {
  // A missing file is an ordinary null here, without the decoder's warning.
  if (!FileExists(path)) return nullptr;
  ZepImage *image = TakeSpare();
  Decoded decoded = ReadWholeFile(path) ? DecodeJpeg(image) : Decoded::NotTaken;
  if (decoded == Decoded::Done) return image;
  if (decoded == Decoded::TooLarge) {
    ReleaseImage(&image);
    return nullptr;
  }
  // Not a JPEG despite the name, or one the fast path leaves alone. The
  // general decoder reads its limit once, before its first image.
#ifdef _WIN32
  static bool limited =
      getenv("OPENCV_IO_MAX_IMAGE_PIXELS") || _putenv_s("OPENCV_IO_MAX_IMAGE_PIXELS", "268435456") == 0;
#else
  static bool limited = setenv("OPENCV_IO_MAX_IMAGE_PIXELS", "268435456", 0) == 0;
#endif
  (void)limited;
  image->mat = cv::imread(path, cv::IMREAD_COLOR | cv::IMREAD_IGNORE_ORIENTATION);
  if (!image->mat.empty()) return image;
  ReleaseImage(&image);
  return nullptr;
}

void ReleaseImage(ZepImage **image) {
  if (*image == nullptr) return;
  if (Spares.size() < SpareLimit && !(*image)->mat.empty() && (*image)->mat.isContinuous())
    Spares.push_back(*image);
  else
    delete *image;
  *image = nullptr;
}

void DrawPositionMark(ZepImage *image, double frame_no, int max_count) {
  cv::Mat &m = image->mat;
  int x = static_cast<int>(frame_no * m.cols / max_count);
  int h = m.rows;
  cv::rectangle(m, cv::Point(x, h - 5), cv::Point(x, h), cv::Scalar(0, 255, 0, 0), 10, cv::LINE_8);
  cv::rectangle(m, cv::Point(x, h - 4), cv::Point(x, h), cv::Scalar(200, 255, 200, 0), 3, cv::LINE_8);
}

void FlipImage(ZepImage *image, int code) { cv::flip(image->mat, image->mat, code); }

void KeepSpareImages(int count) { SpareLimit = static_cast<size_t>(std::max(2, count)); }

ZepImage *CreateImage() { return new ZepImage; }
void DestroyImage(ZepImage *image) { delete image; }
void EmptyImage(ZepImage *image) { image->mat.release(); }

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
