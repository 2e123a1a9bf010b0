#include "platform/opencv/png_reader.h"

#ifdef _WIN32
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

namespace {

// One file's decoder, released however the read ends. Errors and warnings go
// through libpng's own handlers, so a damaged file is reported in the same
// words as by the Linux reader, which uses the same library the same way.
struct PngRead {
  FILE *file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr, end = nullptr;
  ~PngRead() {
    png_destroy_read_struct(&png, &info, &end);
    if (file != nullptr) fclose(file);
  }
};

// Reads the chunks up to the image data. Returns false on a damaged file.
// Only plain values live in the functions that set a jump point: an error
// jumps back over the frames libpng called in between, never over a destructor.
bool ReadHeader(PngRead &read) {
  if (setjmp(png_jmpbuf(read.png)) != 0) return false;
  png_init_io(read.png, read.file);
  png_read_info(read.png, read.info);
  return true;
}

// Decodes the image into rows of 3 * width bytes, with the transforms Debian's
// OpenCV sets for a colour image, and reads the chunks after it as that does.
// Returns false on a damaged file (the rows may then be partly written).
bool DecodeRows(PngRead &read, png_uint_32 width, png_bytep *rows) {
  if (setjmp(png_jmpbuf(read.png)) != 0) return false;
  int depth = png_get_bit_depth(read.png, read.info);
  int colour = png_get_color_type(read.png, read.info);
  if (depth == 16) png_set_strip_16(read.png);
  png_set_strip_alpha(read.png);
  if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(read.png);
  if ((colour & PNG_COLOR_MASK_COLOR) == 0 && depth < 8) png_set_expand_gray_1_2_4_to_8(read.png);
  if ((colour & PNG_COLOR_MASK_COLOR) != 0)
    png_set_bgr(read.png);
  else
    png_set_gray_to_rgb(read.png);
  png_set_interlace_handling(read.png);
  png_read_update_info(read.png, read.info);
  // Any other row size would write past the rows given.
  if (png_get_rowbytes(read.png, read.info) != 3 * static_cast<size_t>(width)) return false;
  png_read_image(read.png, rows);
  png_read_end(read.png, read.end);
  return true;
}

} // namespace

bool ReadPngFile(const char *path, long long max_pixels, cv::Mat &into) {
  into.release();
  PngRead read;
  if ((read.file = fopen(path, "rb")) == nullptr) return false;
  unsigned char signature[8];
  if (fread(signature, 1, sizeof signature, read.file) != sizeof signature ||
      png_sig_cmp(signature, 0, 8) != 0)
    return false;
  rewind(read.file);
  read.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (read.png == nullptr || (read.info = png_create_info_struct(read.png)) == nullptr ||
      (read.end = png_create_info_struct(read.png)) == nullptr || !ReadHeader(read))
    return false;
  png_uint_32 width = png_get_image_width(read.png, read.info);
  png_uint_32 height = png_get_image_height(read.png, read.info);
  if (width == 0 || height == 0 || static_cast<long long>(width) * height > max_pixels) return false;
  into.create(static_cast<int>(height), static_cast<int>(width), CV_8UC3);
  std::vector<png_bytep> rows(height);
  for (png_uint_32 y = 0; y < height; y++)
    rows[y] = into.ptr(static_cast<int>(y));
  if (!DecodeRows(read, width, rows.data())) {
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
