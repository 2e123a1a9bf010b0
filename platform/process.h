// Folders and external programs for the video import. Nothing here goes
// through a command interpreter: a name is only ever a name, whatever
// characters it holds.
#pragma once

#include <cstddef>

// Creates a folder. Returns true when it was made or already is a folder
// (a link to a folder counts); otherwise false with *error set to the errno.
bool CreateFolder(const char *path, int *error);

// What deleting the JPEG files of a folder came to.
struct JpegDeletion {
  int deleted;     // files removed
  int failed;      // *.jpg entries that could not be removed
  int first_error; // errno of the first failure, 0 when none
  bool readable;   // false when the folder itself could not be read
  bool missing;    // the folder does not exist (or is not a folder)
};

// Deletes every entry of the folder that a shell would match with *.jpg
// (a name ending in ".jpg", case as written, not starting with '.'),
// read-only ones included.
JpegDeletion DeleteJpegFiles(const char *folder);

// How a started program ended.
struct ProgramEnd {
  enum How { Exited, Signalled, NotStarted } how;
  int value; // exit status, signal number, or errno of the failed start
};

// The seam for starting programs: a test swaps in a recorder or a program
// that fails.
struct ProcessOps {
  // Starts argv[0] with the argument vector argv (null-terminated), standard
  // streams inherited, and waits for it to end. The arguments are in UTF-8 on
  // Windows (so that any wide name goes whole), as given elsewhere.
  ProgramEnd (*run_and_wait)(const char *const *argv);
};
extern ProcessOps Process;
