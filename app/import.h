// Cutting the videos named on the command line into contents folders.
#pragma once

// Sorts the given names, then for the n-th creates ../S<n>, deletes its JPEG
// files and has ffmpeg cut the video into ../S<n>/clip_NNNNN.jpg. A failure
// of any step is reported and the next step runs.

void ImportVideos();

// The bubble sort of the given names, ascending in unsigned byte order
// (movie10.mp4 before movie9.mp4). Entry 0, the program, stays where it is.
void SortArgumentNames();
