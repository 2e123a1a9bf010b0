// The program's printf-style console output, the same on every system: the
// text is formatted here and handed whole to the console seam.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace {

void PrintTo(void (*sink)(const char *, size_t), const char *format, va_list args) {
  char small[1024];
  va_list copy;
  va_copy(copy, args);
  int n = vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof small) {
    sink(small, static_cast<size_t>(n));
    return;
  }
  char *big = static_cast<char *>(malloc(static_cast<size_t>(n) + 1));
  if (big == nullptr) return;
  vsnprintf(big, static_cast<size_t>(n) + 1, format, args);
  sink(big, static_cast<size_t>(n));
  free(big);
}

} // namespace

void Print(const char *format, ...) {
  va_list args;
  va_start(args, format);
  PrintTo(Console.write_out, format, args);
  va_end(args);
}

void PrintError(const char *format, ...) {
  va_list args;
  va_start(args, format);
  PrintTo(Console.write_err, format, args);
  va_end(args);
}
