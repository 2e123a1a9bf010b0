// PNG frames where the image library reads none: the Windows build's OpenCV
// is built with JPEG only, and libpng reads PNG for it there. Debian's OpenCV
// reads PNG itself, and there this reader declines.
#pragma once

#include <opencv2/core.hpp>

// Decodes a PNG file of at most max_pixels into 8-bit BGR with the pixels the
// Linux reader gives: 16-bit values cut to their high byte, palette and grey
// widened to BGR, alpha and transparency dropped with the stored colours kept,
// no gamma applied. libpng's warnings and errors go to standard error in its
// own words, as there. Returns false, leaving `into` empty, when the file is
// no PNG this build reads, is damaged or too large.
bool ReadPngFile(const char *path, long long max_pixels, cv::Mat &into);
