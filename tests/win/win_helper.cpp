// The second program of the Windows tests. It splits its own command line as
// the program does, prints the echo and every argument after its own name,
// one a line, through the program's console output, appends the same
// arguments as the wide command line has them (in UTF-8) to args.txt in the
// current folder, and ends with status 3.
// Copied in as ffmpeg.exe it stands in for the converter; when frame.jpg is
// in the current folder it converts as well: three copies of it as frames 0
// to 2 after the pattern of its last argument, and status 0.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>

#include "platform/platform.h"

int main(int argc, char **argv) {
  SetupConsole();
  SetProgramLocale();
  ProgramArguments args = ReadProgramArguments(argc, argv);
  Print("%s\n", args.whole);
  for (int i = 1; i < args.count; ++i)
    Print("%s\n", args.values[i]);
  FILE *record = fopen("args.txt", "ab");
  int count = 0;
  wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
  char name[4096];
  for (int i = 1; record != nullptr && i < count; ++i)
    if (WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, name, sizeof name, nullptr, nullptr) > 0)
      fprintf(record, "%s\n", name);
  if (record == nullptr || fclose(record) != 0) return 2;
  for (int i = 0; i < 3; ++i) {
    snprintf(name, sizeof name, args.values[args.count - 1], i);
    if (!CopyFileA("frame.jpg", name, FALSE)) return 3;
  }
  return 0;
}
