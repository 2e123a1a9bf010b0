#include "app/import.h"

#include <cstdio>
#include <cstring>

#include "common/naming.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "state/state.h"

namespace {

// A command line is echoed whole, however long the name in it is; the
// fixed part around the name and the ffmpeg path is well under 200 bytes.
constexpr size_t COMMAND_LEN = ARG_LEN + sizeof(ZepState::FfmpegPath) + 200;
char Command[COMMAND_LEN];
char SwapBuffer[ARG_LEN];

void PrintExecuting() { Print("\n----------> EXECUTING: %s\n\n", Command); }

void MakeContentsFolder(int n) {
  char folder[NAME_LEN];
  FolderName(folder, sizeof folder, n);
  snprintf(Command, sizeof Command, "mkdir  \"%s\"", folder);
  PrintExecuting();
  int error = 0;
  if (!CreateFolder(folder, &error))
    PrintError("[ NG ] Folder Not Created : [ %s ] (%s)\n", folder, strerror(error));
}

void EmptyContentsFolder(int n) {
  char folder[NAME_LEN];
  char files[NAME_LEN];
  FolderName(folder, sizeof folder, n);
  FolderFileName(files, sizeof files, n, "*.jpg");
  snprintf(Command, sizeof Command, "%s\"%s\"", DELETE_COMMAND, files);
  PrintExecuting();
  JpegDeletion done = DeleteJpegFiles(folder);
  // A folder that is not there was already reported when it could not be
  // made; like rm -f, there is then nothing more to say.
  if (!done.readable && !done.missing)
    PrintError("[ NG ] Folder Not Emptied : [ %s ] (%s)\n", folder, strerror(done.first_error));
  else if (done.failed > 0)
    PrintError("[ NG ] Folder Not Emptied : [ %s ] (%d JPEG file(s) left: %s)\n", folder, done.failed,
               strerror(done.first_error));
}

void ConvertVideo(int n) {
  const char *name = Z.ArgName[n];
  char pattern[NAME_LEN];
  FramePattern(pattern, sizeof pattern, n);
  snprintf(Command, sizeof Command, "%s  -i \"%s\"                      -q:v 1  %s", Z.FfmpegPath, name,
           pattern);
  PrintExecuting();

  // The name goes to ffmpeg exactly as given, so that stream addresses work
  // as they would typed by hand; -i takes the next argument as its value
  // whatever its first character, so a name starting with '-' is no option.
  const char *argv[] = {Z.FfmpegPath, "-i", ArgumentForProgram(n, name), "-q:v", "1", pattern, nullptr};
  ProgramEnd end = Process.run_and_wait(argv);
  // A successful run adds nothing; a failure is said on standard error.
  switch (end.how) {
  case ProgramEnd::Exited:
    if (end.value != 0) PrintError("[ NG ] ffmpeg Failed : [ %s ] (exit status %d)\n", name, end.value);
    break;
  case ProgramEnd::Signalled:
    PrintError("[ NG ] ffmpeg Failed : [ %s ] (ended by signal %d)\n", name, end.value);
    break;
  case ProgramEnd::NotStarted:
    PrintError("[ NG ] ffmpeg Not Started : [ %s ] (%s)\n", Z.FfmpegPath, strerror(end.value));
    break;
  }
}

} // namespace

void SortArgumentNames() {
  int count = Z.ArgCount < MAX_ARGS ? Z.ArgCount : MAX_ARGS;
  // A sweep without a swap leaves the order final; the remaining sweeps of
  // the full bubble sort would change nothing.
  for (int sweep = 1; sweep < count; ++sweep) {
    bool swapped = false;
    for (int i = 1; i + 1 < count; ++i) {
      char *a = Z.ArgName[i];
      char *b = Z.ArgName[i + 1];
      if (strcmp(a, b) <= 0) continue; // strcmp compares bytes as unsigned
      memcpy(SwapBuffer, a, strlen(a) + 1);
      memcpy(a, b, strlen(b) + 1);
      memcpy(b, SwapBuffer, strlen(SwapBuffer) + 1);
      SwapArguments(i, i + 1);
      swapped = true;
    }
    if (!swapped) break;
  }
}

void ImportVideos() {
  if (Z.ArgCount > MAX_ARGS) Z.ArgCount = MAX_ARGS;
  for (int i = 0; i < Z.ArgCount; ++i)
    Z.ArgName[i][ARG_LEN - 1] = '\0';
  SortArgumentNames();
  for (int n = 1; n < Z.ArgCount; ++n) {
    MakeContentsFolder(n);
    EmptyContentsFolder(n);
    ConvertVideo(n);
  }
}
