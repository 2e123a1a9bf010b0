// Decoded images for the frame cache, the attachment and the key screen.
#pragma once

struct ZepImage;

// Loads an image file as 3-channel colour. Returns null when it cannot be read.
ZepImage *LoadImage(const char *path);

// Releases an image and nulls the handle; a null handle is left alone.
void ReleaseImage(ZepImage **image);

// Draws the position mark of frame_no in a folder of max_count frames into the
// bottom edge of the image: a green bar with a pale green core.
void DrawPositionMark(ZepImage *image, double frame_no, int max_count);

// Flips in place: code 1 around the vertical axis, 0 around the horizontal one.
void FlipImage(ZepImage *image, int code);
