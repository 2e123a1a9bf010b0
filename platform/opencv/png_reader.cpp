#include "platform/opencv/png_reader.h"

#ifdef _WIN32
#include <png.h>

#include <cstring>

bool ReadPngFile(const char *path, long long max_pixels, cv::Mat &into) {
  into.release();
  png_image png;
  memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path)) return false;
  if (png.width == 0 || png.height == 0 || static_cast<long long>(png.width) * png.height > max_pixels) {
    png_image_free(&png);
    return false;
  }
  png.format = PNG_FORMAT_BGR;
  into.create(static_cast<int>(png.height), static_cast<int>(png.width), CV_8UC3);
  if (!png_image_finish_read(&png, nullptr, into.data, static_cast<png_int_32>(into.step), nullptr)) {
    png_image_free(&png);
    into.release();
    return false;
  }
  return true;
}
#else
bool ReadPngFile(const char *, long long, cv::Mat &into) {
  into.release();
  return false;
}
#endif
