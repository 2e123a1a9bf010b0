// Images: decoded frames for the frame cache, the attachment and the key
// screen, and the camera's colour and grey frames. The rest of the program
// holds them as opaque handles; only this layer knows what is inside.
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

// Loads an image file as 3-channel colour. Returns null when it cannot be read.
ZepImage *LoadImage(const char *path);

// Loads an image file as 3-channel colour for a picture of width x height:
// scaled down by the smallest of 1/2, 1/4 and 1/8 that still keeps at least
// that size in both directions (a JPEG is decoded at that scale), whole when
// none does or when width or height is 0. Returns null when it cannot be read.
ZepImage *LoadImageScaled(const char *path, int width, int height);

// The JPEG fast path of LoadImageScaled alone: null for any file it leaves
// to the general decoder. Prints nothing; any thread may call it, each with
// a decoder and buffer of its own.
ZepImage *LoadJpegScaled(const char *path, int width, int height);

// True when the image is what LoadImageScaled gives its file for a picture of
// width x height (an image that was not loaded from a file always is).
bool ImageFits(const ZepImage *image, int width, int height);

// Makes a loaded frame what the main window shows of it: draws the position
// mark of frame_no in a folder of max_count frames (none when it is 0) into
// the bottom edge of the decoded image, a green bar with a pale green core,
// scaled with the image, then shrinks it to a user-sized window's picture of
// width x height as the display would (0 x 0: a window that follows the
// image). Called again, it moves the mark and fits anew only when the mark
// would land elsewhere or the picture changed. Any thread may call it for an
// image it alone holds.
void MarkAndFit(ZepImage *image, double frame_no, int max_count, int width, int height);

// Fits a frame MarkAndFit made to a picture of width x height, its mark kept.
void FitAgain(ZepImage *image, int width, int height);

// Releases an image and nulls the handle; a null handle is left alone. Any
// thread may release a frame it holds.
void ReleaseImage(ZepImage **image);

// How many released images are kept for reuse (at least two): as many as the
// frame cache holds, so a full cache emptied at once is decoded into again.
void KeepSpareImages(int count);

// Flips in place: code 1 around the vertical axis, 0 around the horizontal one.
void FlipImage(ZepImage *image, int code);

// An empty image for a source to read into (the camera's own frames), kept
// for the whole run. Such images are never handed to ReleaseImage.
ZepImage *CreateImage();

ImageShape ShapeOf(const ZepImage *image);

// Converts a BGR colour image into an 8-bit grey one of the same size, whose
// pixels are then one continuous block (see ImagePixels).
void ConvertToGrey(const ZepImage *colour, ZepImage *grey);

// The first pixel of an image whose rows follow each other without gaps.
const unsigned char *ImagePixels(const ZepImage *image);

// Writes an image as a file of the type its name ends in. Returns false when
// it cannot be written.
bool SaveImage(const char *path, const ZepImage *image);
