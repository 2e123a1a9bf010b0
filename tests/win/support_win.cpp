// The test support of the Windows core build: no image library (frames are
// files that exist, shown images noted by window only) and no fmemopen.
#include <windows.h>

#include "tests/support.h"

void WriteFrameFile(const std::string &path, int, int, int) { WriteText(path, "frame"); }

ShownImage ShownCopy(const char *window, const ZepImage *) { return {window}; }

FILE *fmemopen(void *buffer, size_t size, const char *) {
  char folder[MAX_PATH], name[MAX_PATH];
  FILE *file = nullptr;
  if (GetTempPathA(sizeof folder, folder) != 0 && GetTempFileNameA(folder, "orv", 0, name) != 0)
    file = fopen(name, "w+bD"); // D: deleted when closed
  if (file != nullptr && fwrite(buffer, 1, size, file) == size) {
    rewind(file);
    return file;
  }
  if (file != nullptr) fclose(file);
  return nullptr;
}
