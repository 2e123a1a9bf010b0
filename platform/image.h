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

// True when the image is what LoadImageScaled gives its file for a picture of
// width x height (an image that was not loaded from a file always is).
bool ImageFits(const ZepImage *image, int width, int height);

// Decoding ahead: a small pool of worker threads, one for each processor the
// process may run on (ORVANTIS_DECODE_WORKERS=N sets another number, 1 to 16),
// each with its own decoder and buffer, at a lower priority than the main
// thread. A worker decodes one file, as LoadImageScaled would for JPEG files,
// prints nothing and touches only its buffer. There are none when the
// environment sets ORVANTIS_DECODE_AHEAD=off or ORVANTIS_DECODE_WORKERS=0.
// How many files DecodeAhead takes at once: the number of workers, 0 when off.
int DecodeAheadWorkers();

// Asks for the files that most likely come next, nearest first, each for a
// picture of width x height; the first DecodeAheadWorkers of them are taken.
// The list replaces the one before: a file still in it keeps its worker and
// result, the result of a file no longer in it is dropped (a worker still at
// it drops it when done). At most one decoded image per worker is held.
void DecodeAhead(const char *const *paths, int count, int width, int height);

// The image decoded ahead for this file, as LoadImageScaled gives it for a
// picture of width x height, waiting for its worker when it is still at it;
// null when the file was not asked for, the result has another scale, the
// worker could not decode it, or the file changed or went since it was read
// (the caller then loads the file as it is now). Other files' results stay,
// so they can be taken in any order.
ZepImage *TakeDecodedAhead(const char *path, int width, int height);

// Forgets every request and its result (the files may be other ones next time).
void DropDecodedAhead();

// Releases an image and nulls the handle; a null handle is left alone.
void ReleaseImage(ZepImage **image);

// How many released images are kept for reuse (at least two): as many as the
// frame cache holds, so a full cache emptied at once is decoded into again.
void KeepSpareImages(int count);

// Draws the position mark of frame_no in a folder of max_count frames into the
// bottom edge of the image: a green bar with a pale green core. On an image
// loaded scaled down, the mark is scaled with it.
void DrawPositionMark(ZepImage *image, double frame_no, int max_count);

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
