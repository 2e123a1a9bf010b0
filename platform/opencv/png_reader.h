// PNG frames where the image library reads none (the Windows build's); where
// it reads PNG itself, this reader declines.
#pragma once

#include <opencv2/core.hpp>

// Decodes a PNG file of at most max_pixels into 8-bit BGR with the pixels the
// Linux reader gives (high bytes, palette and grey widened, alpha dropped, no
// gamma), libpng's messages on standard error as there. False, `into` empty,
// for a file that is no PNG this build reads, damaged or too large.

bool ReadPngFile(const char *path, long long max_pixels, cv::Mat &into);
