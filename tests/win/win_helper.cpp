// The second program of the Windows tests. It splits its own command line as
// the program does, prints the echo and every argument after its own name,
// one a line, through the program's console output, appends the same
// arguments to args.txt in the current folder, and ends with status 3.
// Copied in as ffmpeg.exe it stands in for the converter.
#include <cstdio>

#include "platform/platform.h"

int main(int argc, char **argv) {
  SetupConsole();
  SetProgramLocale();
  ProgramArguments args = ReadProgramArguments(argc, argv);
  FILE *record = fopen("args.txt", "ab");
  if (record == nullptr) return 2;
  Print("%s\n", args.whole);
  for (int i = 1; i < args.count; ++i) {
    Print("%s\n", args.values[i]);
    fprintf(record, "%s\n", args.values[i]);
  }
  return fclose(record) == 0 ? 3 : 2;
}
