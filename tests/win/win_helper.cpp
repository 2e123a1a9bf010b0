// The second program of the Windows tests: splits its command line as the
// program does, prints the echo and each argument after its own name through
// the program's console output, appends them as the wide command line has
// them (UTF-8) to args.txt, and ends with status 3. As ffmpeg.exe beside a
// frame.jpg it converts too: frames 0 to 2 after its last argument, status 0.
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
