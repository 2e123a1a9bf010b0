#include "common/naming.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/text_values.h"
#include "platform/platform.h"

namespace {

// Formats like snprintf, then turns every blank of the result into the digit
// 0: "%3d" of 1 gives 001.
__attribute__((format(printf, 3, 4))) void FormatName(char *out, size_t size, const char *format, ...) {
  if (size == 0) return;
  va_list args;
  va_start(args, format);
  vsnprintf(out, size, format, args);
  va_end(args);
  for (char *p = out; *p != '\0'; ++p)
    if (*p == ' ') *p = '0';
}

} // namespace

void FolderName(char *out, size_t size, int k) { FormatName(out, size, "..%cS%3d", PATH_SEPARATOR, k); }

void FolderFileName(char *out, size_t size, int k, const char *leaf) {
  char folder[32];
  FolderName(folder, sizeof folder, k);
  snprintf(out, size, "%s%c%s", folder, PATH_SEPARATOR, leaf);
}

void FrameFileName(char *out, size_t size, int n) { FormatName(out, size, "clip_%5d.jpg", n); }

void FramePath(char *out, size_t size, int k, int n) {
  char leaf[32];
  FrameFileName(leaf, sizeof leaf, n);
  FolderFileName(out, size, k, leaf);
}

void FramePattern(char *out, size_t size, int k) { FolderFileName(out, size, k, "clip_%05d.jpg"); }

void FrameTableFileName(char *out, size_t size, int k) { FormatName(out, size, "frame_data%4d.dat", k); }

void SettingsFileName(char *out, size_t size, int k) { FormatName(out, size, "zep_env%4d.dat", k); }

void KeyFrameFileName(char *out, size_t size, int k) { FolderFileName(out, size, k, "qdx_config.dat"); }

void MarkerFileName(char *out, size_t size, int k) { FolderFileName(out, size, k, "check_result.txt"); }

int FrameNumberOf(const char *name) { return strlen(name) == 14 ? NumberInName(name, "clip_", ".jpg") : -1; }

int NumberInName(const char *name, const char *prefix, const char *suffix) {
  size_t length = strlen(name), before = strlen(prefix), after = strlen(suffix);
  if (length < before + after || strncmp(name, prefix, before) != 0 ||
      strcmp(name + length - after, suffix) != 0)
    return -1;
  size_t digits = length - before - after;
  long long value = 0;
  if (digits > 5 || name[before] == '-' || !ParseDecimal(name + before, digits, &value)) return -1;
  return static_cast<int>(value);
}
