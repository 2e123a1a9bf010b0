// The second program of the Windows tests.
//
//   win_helper args FILE ...   splits its own command line as the program
//                              does and writes the echo and every argument,
//                              one per line, to FILE (bytes as converted)
//   win_helper exit N          ends with exit status N
//   win_helper print           prints a Japanese text and a code page 932
//                              name through the program's console output
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

int main(int argc, char **argv) {
  if (argc >= 3 && strcmp(argv[1], "args") == 0) {
    SetProgramLocale();
    ProgramArguments args = ReadProgramArguments(argc, argv);
    FILE *out = fopen(argv[2], "wb");
    if (out == nullptr) return 2;
    fprintf(out, "%s\n", args.whole);
    for (int i = 0; i < args.count; ++i)
      fprintf(out, "%s\n", args.values[i]);
    return fclose(out) == 0 ? 0 : 2;
  }
  if (argc >= 3 && strcmp(argv[1], "exit") == 0) return atoi(argv[2]);
  if (argc >= 2 && strcmp(argv[1], "print") == 0) {
    SetupConsole();
    SetProgramLocale();
    Print("共有メモリオープン失敗\n");
    Print("[1]%s\n", "\x93\xAE\x89\xE6.mp4"); // already code page 932: passes unchanged
    Print("plain\n");
    return 0;
  }
  fprintf(stderr, "usage: win_helper args FILE ... | exit N | print\n");
  return 2;
}
