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

// The decimal value of a five-character field the way atoi reads it.
int AtoiValue(const char *text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
    ++text;
  bool negative = *text == '-';
  if (negative || *text == '+') ++text;
  long long value = 0;
  ParseDecimal(text, strspn(text, "0123456789"), &value); // five characters at most: no overflow
  return static_cast<int>(negative ? -value : value);
}

} // namespace

void FolderLeafName(char *out, size_t size, int k) { FormatName(out, size, "S%3d", k); }

void FolderName(char *out, size_t size, int k) {
  char leaf[16];
  FolderLeafName(leaf, sizeof leaf, k);
  snprintf(out, size, "..%c%s", PATH_SEPARATOR, leaf);
}

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

bool ParseStartPositionName(const char *name, StartPositionName *parsed) {
  size_t length = strlen(name);
  if (length < 16 || name[length - 16] != 'S' || name[length - 10] != '_') return false;
  snprintf(parsed->folder_text, sizeof parsed->folder_text, "%.5s", name + length - 15);
  snprintf(parsed->frame_text, sizeof parsed->frame_text, "%.5s", name + length - 9);
  parsed->folder_number = AtoiValue(parsed->folder_text);
  parsed->frame_number = AtoiValue(parsed->frame_text);
  return true;
}
