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
#include <fstream>
#include <iterator>
#include <string>

#include "platform/platform.h"

int main(int argc, char **argv) {
  SetupConsole();
  SetProgramLocale();
  ProgramArguments args = ReadProgramArguments(argc, argv);
  FILE *record = fopen("args.txt", "ab");
  if (record == nullptr) return 2;
  Print("%s\n", args.whole);
  for (int i = 1; i < args.count; ++i)
    Print("%s\n", args.values[i]);
  int count = 0;
  wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; i < count; ++i) {
    char name[4096];
    if (WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, name, sizeof name, nullptr, nullptr) <= 0) return 2;
    fprintf(record, "%s\n", name);
  }
  if (fclose(record) != 0) return 2;
  std::ifstream frame("frame.jpg", std::ios::binary);
  if (!frame) return 3;
  std::string bytes((std::istreambuf_iterator<char>(frame)), std::istreambuf_iterator<char>());
  for (int i = 0; i < 3; ++i) {
    char name[1024];
    snprintf(name, sizeof name, args.values[args.count - 1], i);
    std::ofstream(name, std::ios::binary) << bytes;
  }
  return 0;
}
