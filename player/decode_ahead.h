// Decoding ahead: while a frame is shown, worker threads make the frames that
// most likely come next ready to show, each as the main thread would (decoded
// at the scale for the picture, marked, fitted to it), so that a frame change
// on the main thread is a show and, at most, a wait. One worker per processor
// the process may run on (at most 16), each with its own decoder and buffer,
// at a lower priority than the main thread; they decode JPEG files only,
// print nothing and touch only the images they hold.
#pragma once

struct ZepImage;

// How many workers decode ahead (0: none): ORVANTIS_DECODE_WORKERS when it
// is a number of 0 to 16, else one per usable processor; 0 when
// ORVANTIS_DECODE_AHEAD=off. The environment is read at the first call only.
int DecodeWorkers();

// Sets the number of workers for the rest of the run, 0 to 16; below 0, the
// environment's number again.
void SetDecodeWorkers(int count);

// Starts the workers DecodeWorkers asks for that are not running yet.
void StartDecodeWorkers();

// A frame to decode ahead: its file, and the frame number it is likely shown
// at, whose position mark it gets.
struct FrameAhead {
  const char *path;
  double frame_no;
};

// Asks for the frames that most likely come next, nearest first, in a folder
// of max_count frames, for a picture of width x height; at most one more than
// there are workers is taken, so that a worker that finishes starts the next
// at once. The list replaces the one before: a frame still in it keeps its
// result or worker, the result of one no longer in it is dropped (a worker
// still at it drops it when done).
void DecodeAhead(const FrameAhead *frames, int count, int max_count, int width, int height);

// The frame decoded ahead for this file, waiting for its worker when it is
// still at it, ready to show but for a mark that may have to move or a picture
// of another size at the same scale (MarkAndFit); null when the file was not
// asked for, has another scale than the picture of width x height needs,
// could not be decoded by a worker, or changed or went since it was read (the
// caller then loads it as it is now). Other files' results stay, to be taken
// in any order.
ZepImage *TakeDecodedAhead(const char *path, int width, int height);

// Forgets every request and its result (the files may be other ones next time).
void DropDecodedAhead();
