// Decoding ahead: while a frame is shown, worker threads make the frames most
// likely next ready to show as the main thread would, so that a frame change
// is a show and, at most, a wait. One worker per usable processor (at most
// 16), at a lower priority; they decode JPEG files only, print nothing and
// touch only the images they hold.
#pragma once

struct ZepImage;

// How many workers decode ahead (0: none): ORVANTIS_DECODE_WORKERS when it
// is a number of 0 to 16, else one per usable processor; 0 when
// ORVANTIS_DECODE_AHEAD=off. The environment is read at the first call only.
int DecodeWorkers();

// Sets the number of workers, 0 to 16; below 0, the environment's number.
void SetDecodeWorkers(int count);

// Starts the workers DecodeWorkers asks for that are not running yet.
void StartDecodeWorkers();

// A frame to decode ahead and the frame number whose mark it gets.
struct FrameAhead {
  const char *path;
  double frame_no;
};

// Asks for the frames most likely next, nearest first, for a picture of width
// x height; one more than there are workers is taken, so that a worker that
// finishes starts the next at once. The list replaces the one before: a frame
// still in it keeps its result or worker, others' results are dropped.
void DecodeAhead(const FrameAhead *frames, int count, int max_count, int width, int height);

// The frame decoded ahead for this file, waiting for its worker if need be,
// ready to show but for MarkAndFit; null when it was not asked for, needs
// another scale, could not be decoded, or changed since it was read (the
// caller then loads it itself). Other files' results stay.
ZepImage *TakeDecodedAhead(const char *path, int width, int height);

// Forgets every request and its result.

void DropDecodedAhead();
