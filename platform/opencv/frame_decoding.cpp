// Frame files decoded at the scale for the picture: JPEG files straight into
// a reused buffer by the fast decoder, anything else by the general one.
#include <turbojpeg.h>

#include <cstdio>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "platform/image.h"
#include "platform/opencv/image_cv.h"
#include "platform/opencv/png_reader.h"
#include "platform/platform.h"

namespace {

// The largest frame the player decodes: 16384 x 16384 pixels (8K is an
// eighth of it). A damaged or hostile header can claim billions of pixels,
// and decoding one would exhaust memory before a single row arrives.
constexpr long long MAX_FRAME_PIXELS = 1LL << 28;

// One decoder with the bytes of the file it reads, for each thread that decodes.
struct JpegDecoder {
  tjhandle handle = nullptr;
  std::vector<unsigned char> bytes;
  JpegDecoder() = default;
  JpegDecoder(const JpegDecoder &) = delete;
  JpegDecoder &operator=(const JpegDecoder &) = delete;
  ~JpegDecoder() {
    if (handle != nullptr) tjDestroy(handle);
  }
};
thread_local JpegDecoder Decoder;

bool ReadWholeFile(const char *path, std::vector<unsigned char> &bytes) {
  FILE *file = fopen(path, "rb");
  if (file == nullptr) return false;
  bool ok = fseek(file, 0, SEEK_END) == 0;
  long size = ok ? ftell(file) : -1;
  ok = ok && size > 0 && fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    bytes.resize(static_cast<size_t>(size));
    ok = fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
  }
  fclose(file);
  return ok;
}

// The scale (1, 2, 4 or 8) an image of the file's size is loaded at for a
// picture of width x height: the largest that keeps at least that size.
int ScaleFor(int file_width, int file_height, int width, int height) {
  if (width <= 0 || height <= 0) return 1;
  int scale = 1;
  while (scale < 8 && (file_width + 2 * scale - 1) / (2 * scale) >= width &&
         (file_height + 2 * scale - 1) / (2 * scale) >= height)
    scale *= 2;
  return scale;
}

enum class Decoded { Done, NotTaken, TooLarge };

// Decodes a baseline or progressive JPEG straight into the image's buffer, as
// stored, at the scale for a picture of width x height: an Exif orientation is
// not applied, so the frame and its position mark stay as the file holds them.
// NotTaken is anything the fast decoder leaves to the general one.
Decoded DecodeJpeg(JpegDecoder &decoder, ZepImage *image, int width, int height) {
  const unsigned char *data = decoder.bytes.data();
  size_t size = decoder.bytes.size();
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return Decoded::NotTaken;
  if (decoder.handle == nullptr && (decoder.handle = tjInitDecompress()) == nullptr) return Decoded::NotTaken;
  int file_width = 0, file_height = 0, subsampling = 0, colourspace = 0;
  if (tjDecompressHeader3(decoder.handle, data, static_cast<unsigned long>(size), &file_width, &file_height,
                          &subsampling, &colourspace) != 0)
    return Decoded::NotTaken;
  if (colourspace == TJCS_CMYK || colourspace == TJCS_YCCK || file_width <= 0 || file_height <= 0)
    return Decoded::NotTaken;
  if (static_cast<long long>(file_width) * file_height > MAX_FRAME_PIXELS) return Decoded::TooLarge;
  int scale = ScaleFor(file_width, file_height, width, height);
  int w = (file_width + scale - 1) / scale, h = (file_height + scale - 1) / scale;
  cv::Mat &m = image->decoded;
  m.create(h, w, CV_8UC3); // keeps the buffer when the size is the same
  image->scale = scale;
  image->file_width = file_width;
  image->file_height = file_height;
  int result = tjDecompress2(decoder.handle, data, static_cast<unsigned long>(size), m.data, w,
                             static_cast<int>(m.step), h, TJPF_BGR, TJFLAG_ACCURATEDCT);
  // A warning (a damaged tail, say) still leaves a picture, as the general decoder would.
  return result == 0 || tjGetErrorCode(decoder.handle) == TJERR_WARNING ? Decoded::Done : Decoded::NotTaken;
}

// The fast path into a spare image; null with `decoded` saying why not.
ZepImage *LoadJpeg(const char *path, int width, int height, Decoded *decoded) {
  ZepImage *image = TakeSpare();
  *decoded =
      ReadWholeFile(path, Decoder.bytes) ? DecodeJpeg(Decoder, image, width, height) : Decoded::NotTaken;
  image->marked = false;
  image->mat = image->decoded;
  if (*decoded != Decoded::Done) ReleaseImage(&image);
  return image;
}

// The general decoder: the whole file, then averaged down to the size the
// JPEG decoder gives at the scale for the picture.
ZepImage *LoadOther(const char *path, int width, int height) {
  // It reads its limit once, before its first image.
  static bool limited = SetEnvironmentDefault("OPENCV_IO_MAX_IMAGE_PIXELS", "268435456");
  (void)limited;
  ZepImage *image = TakeSpare();
  cv::Mat &m = image->decoded;
  m = cv::imread(path, cv::IMREAD_COLOR | cv::IMREAD_IGNORE_ORIENTATION);
  if (m.empty()) ReadPngFile(path, MAX_FRAME_PIXELS, m);
  if (m.empty()) {
    ReleaseImage(&image);
    return nullptr;
  }
  image->file_width = m.cols;
  image->file_height = m.rows;
  int scale = image->scale = ScaleFor(m.cols, m.rows, width, height);
  if (scale > 1) {
    cv::Mat scaled;
    cv::resize(m, scaled, cv::Size((m.cols + scale - 1) / scale, (m.rows + scale - 1) / scale), 0, 0,
               cv::INTER_AREA);
    m = scaled;
  }
  image->marked = false;
  image->mat = m;
  return image;
}

} // namespace

ZepImage *LoadImage(const char *path) { return LoadImageScaled(path, 0, 0); }

ZepImage *LoadImageScaled(const char *path, int width, int height) {
  // A missing file is an ordinary null here, without the decoder's warning.
  if (!FileExists(path)) return nullptr;
  Decoded decoded = Decoded::NotTaken;
  ZepImage *image = LoadJpeg(path, width, height, &decoded);
  // Not a JPEG despite the name, or one the fast path leaves alone.
  return decoded == Decoded::NotTaken ? LoadOther(path, width, height) : image;
}

ZepImage *LoadJpegScaled(const char *path, int width, int height) {
  Decoded decoded = Decoded::NotTaken;
  return LoadJpeg(path, width, height, &decoded);
}

bool ImageFits(const ZepImage *image, int width, int height) {
  if (image->file_width <= 0) return true;
  return ScaleFor(image->file_width, image->file_height, width, height) == image->scale;
}
