#include "common/naming.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

void FormatName(char *out, size_t size, const char *format, ...) {
  if (size == 0) return;
  va_list args;
  va_start(args, format);
  vsnprintf(out, size, format, args);
  va_end(args);
  for (char *p = out; *p != '\0'; ++p)
    if (*p == ' ') *p = '0';
}

void FolderName(char *out, size_t size, int k) {
  FormatName(out, size, "%s%c%c%3d", "..", PATH_SEPARATOR, 'S', k);
}

void FramePath(char *out, size_t size, int k, int n) {
  FormatName(out, size, "%s%c%c%3d%cclip_%5d.jpg", "..", PATH_SEPARATOR, 'S', k, PATH_SEPARATOR, n);
}

void FrameTableFileName(char *out, size_t size, int k) { FormatName(out, size, "frame_data%4d.dat", k); }

void SettingsFileName(char *out, size_t size, int k) { FormatName(out, size, "zep_env%4d.dat", k); }

void KeyFrameFileName(char *out, size_t size, int k) {
  FormatName(out, size, "%s%c%c%3d%cqdx_config.dat", "..", PATH_SEPARATOR, 'S', k, PATH_SEPARATOR);
}

void MarkerFileName(char *out, size_t size, int k) {
  FormatName(out, size, "%s%c%c%3d%ccheck_result.txt", "..", PATH_SEPARATOR, 'S', k, PATH_SEPARATOR);
}
