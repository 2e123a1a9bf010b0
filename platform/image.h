// Images, held by the rest of the program as opaque handles: decoded frames,
// the key screen, the camera's colour and grey frames.
#pragma once

struct ZepImage;

// The size and pixel layout of an image; all zero for an empty one.
struct ImageShape {
  int width;
  int height;
  int channels;   // 1 grey, 3 colour (BGR)
  int depth_bits; // bits per channel value
  bool bytes;     // channel values are unsigned bytes
};

// Loads an image file as 3-channel colour; null when it cannot be read.
ZepImage *LoadImage(const char *path);

// The same for a picture of width x height: scaled down by the smallest of
// 1/2, 1/4 and 1/8 that still covers it (a JPEG is decoded at that scale),
// whole when none does or when width or height is 0.
ZepImage *LoadImageScaled(const char *path, int width, int height);

// The JPEG fast path of LoadImageScaled alone (null for any other file);
// silent, for any thread, each with a decoder and buffer of its own.
ZepImage *LoadJpegScaled(const char *path, int width, int height);

// True when the image is what LoadImageScaled gives its file for a picture of
// width x height (an image that was not loaded from a file always is).
bool ImageFits(const ZepImage *image, int width, int height);

// Makes a loaded frame what the main window shows: the position mark of
// frame_no among max_count frames (none when 0) drawn into its bottom edge,
// then shrunk to a user-sized window's picture of width x height (0 x 0: the
// window follows the image). Called again, it redoes only what changed. Any
// thread may call it for an image it alone holds.
void MarkAndFit(ZepImage *image, double frame_no, int max_count, int width, int height);

// Fits a frame MarkAndFit made to a picture of width x height, its mark kept.
void FitAgain(ZepImage *image, int width, int height);

// Releases an image (from any thread) and nulls the handle; null is left alone.
void ReleaseImage(ZepImage **image);

// How many released images are kept for reuse (at least two): as many as the
// frame cache holds, so a full cache emptied at once is decoded into again.
void KeepSpareImages(int count);

// Flips in place: code 1 around the vertical axis, 0 around the horizontal one.
void FlipImage(ZepImage *image, int code);

// An empty image for a source to read into, kept for the whole run.
ZepImage *CreateImage();

ImageShape ShapeOf(const ZepImage *image);

// BGR colour into 8-bit grey of the same size, its pixels one block.
void ConvertToGrey(const ZepImage *colour, ZepImage *grey);

// The first pixel of an image whose rows follow each other without gaps.
const unsigned char *ImagePixels(const ZepImage *image);

// Writes an image as a file of the type its name ends in.

bool SaveImage(const char *path, const ZepImage *image);
