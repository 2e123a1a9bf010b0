// The Windows side of the platform layer.
#include <windows.h>

#include <conio.h>
#include <io.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace {

constexpr UINT JAPANESE_CODE_PAGE = 932;

// True when the bytes are well-formed UTF-8 holding at least one character
// beyond ASCII.
bool IsWideUtf8(const char *data, size_t size) {
  bool wide = false;
  for (size_t i = 0; i < size;) {
    unsigned char c = static_cast<unsigned char>(data[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t more = c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : 0;
    if (more == 0 || i + more >= size) return false;
    for (size_t k = 1; k <= more; ++k)
      if ((static_cast<unsigned char>(data[i + k]) & 0xC0) != 0x80) return false;
    wide = true;
    i += more + 1;
  }
  return wide;
}

// The program's own texts are UTF-8 in the source, and the console shows
// code page 932: each piece of output (one printf-style call) that is
// UTF-8 beyond ASCII is converted before it is written. Names that came from
// the command line or from files are already in the locale's code page and
// are not valid UTF-8, so they pass unchanged.
void WriteConverted(FILE *stream, const char *data, size_t size) {
  if (!IsWideUtf8(data, size) || size > 0x7FFFFFF) {
    fwrite(data, 1, size, stream);
    return;
  }
  int length = static_cast<int>(size);
  int wide_count = MultiByteToWideChar(CP_UTF8, 0, data, length, nullptr, 0);
  wchar_t *wide = static_cast<wchar_t *>(malloc(sizeof(wchar_t) * (wide_count > 0 ? wide_count : 1)));
  if (wide == nullptr || wide_count <= 0) {
    free(wide);
    fwrite(data, 1, size, stream);
    return;
  }
  MultiByteToWideChar(CP_UTF8, 0, data, length, wide, wide_count);
  int narrow_count =
      WideCharToMultiByte(JAPANESE_CODE_PAGE, 0, wide, wide_count, nullptr, 0, nullptr, nullptr);
  char *narrow = static_cast<char *>(malloc(narrow_count > 0 ? static_cast<size_t>(narrow_count) : 1));
  if (narrow != nullptr && narrow_count > 0) {
    WideCharToMultiByte(JAPANESE_CODE_PAGE, 0, wide, wide_count, narrow, narrow_count, nullptr, nullptr);
    fwrite(narrow, 1, static_cast<size_t>(narrow_count), stream);
  } else {
    fwrite(data, 1, size, stream);
  }
  free(narrow);
  free(wide);
}

// Standard output is flushed at every line end, also into a file or a pipe,
// so that a log or a supervising program sees each message when it happens.
// (The runtime's line-buffered mode is full buffering on Windows.)
void WriteOut(const char *data, size_t size) {
  WriteConverted(stdout, data, size);
  if (memchr(data, '\n', size) != nullptr) fflush(stdout);
}

void WriteErr(const char *data, size_t size) {
  fflush(stdout); // keep the order of the two streams on a shared console
  WriteConverted(stderr, data, size);
  fflush(stderr);
}

double NowSeconds() {
  FILETIME ft;
  GetSystemTimePreciseAsFileTime(&ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  // 100-nanosecond ticks since 1601; 1970 is 11644473600 seconds later.
  unsigned long long micro = t.QuadPart / 10ULL - 11644473600ULL * 1000000ULL;
  // Whole seconds and microseconds apart, so that no microsecond is lost to rounding.
  return static_cast<double>(micro / 1000000ULL) + // NOLINT(bugprone-integer-division)
         static_cast<double>(micro % 1000000ULL) * 1e-6;
}

// A wide string in the locale's multibyte form, whole (the argument table
// truncates it). Returns a malloc'd string, empty when memory is short.
char *ToLocaleMultibyte(const wchar_t *wide) {
  size_t need = wcstombs(nullptr, wide, 0);
  if (need == static_cast<size_t>(-1)) {
    // A character the code page lacks: convert what can be, character by
    // character, with '?' for the rest, as the console stream shows it.
    size_t len = wcslen(wide);
    char *out = static_cast<char *>(malloc(len * MB_LEN_MAX + 1));
    if (out == nullptr) return static_cast<char *>(calloc(1, 1));
    size_t used = 0;
    for (size_t i = 0; i < len; ++i) {
      char piece[MB_LEN_MAX];
      int n = wctomb(piece, wide[i]);
      if (n <= 0)
        out[used++] = '?';
      else {
        memcpy(out + used, piece, static_cast<size_t>(n));
        used += static_cast<size_t>(n);
      }
    }
    out[used] = '\0';
    return out;
  }
  char *out = static_cast<char *>(malloc(need + 1));
  if (out == nullptr) return static_cast<char *>(calloc(1, 1));
  wcstombs(out, wide, need + 1);
  return out;
}

} // namespace

ConsoleOps Console = {WriteOut, WriteErr};
ClockOps Clock = {NowSeconds};

void SetupConsole() {}

void SetProgramLocale() { setlocale(LC_ALL, "Japanese"); }

ProgramArguments ReadProgramArguments(int, char **) {
  const wchar_t *line = GetCommandLineW();
  int count = 0;
  wchar_t **split = CommandLineToArgvW(line, &count);
  if (split == nullptr) count = 0;
  // Kept for the whole run, like argv.
  char **values = static_cast<char **>(calloc(static_cast<size_t>(count) + 1, sizeof(char *)));
  if (values == nullptr) count = 0;
  for (int i = 0; i < count; ++i)
    values[i] = ToLocaleMultibyte(split[i]);
  if (split != nullptr) LocalFree(split);
  return {count, values, ToLocaleMultibyte(line)};
}

int ReadConsoleKey() {
  fflush(stdout);
  // Without a console to type on (input from a file, a pipe or NUL) nobody
  // can press the key: do not wait. Only a console has a console mode;
  // _isatty would also call NUL a terminal.
  DWORD mode = 0;
  if (!GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) return -1;
  int c = _getch();
  return c >= 0 ? c & 0xFF : -1;
}

void PauseBriefly() { Sleep(0); }

int UsableProcessors() {
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return 1;
  int count = 0;
  for (; process != 0; process &= process - 1)
    ++count;
  return count > 0 ? count : 1;
}

void LowerThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

bool DisplayAvailable() { return true; }

bool FileExists(const char *path) { return PathFileExistsA(path) != FALSE; }

// Windows compares names without regard to case: CLIP_00001.JPG is the
// frame clip_00001.jpg to PathFileExistsA and to the program. Each entry is
// therefore reported as stored and also in lower and in upper case, so that
// a caller looking for a name it built (S001, clip_00001.jpg, zep_env0001.dat)
// finds it however the file system happens to store it.
bool ListFolder(const char *folder, void (*visit)(const char *, bool, void *), void *context, bool *missing) {
  *missing = false;
  char pattern[MAX_PATH * 4];
  int n = snprintf(pattern, sizeof pattern, "%s\\*", folder);
  if (n < 0 || static_cast<size_t>(n) >= sizeof pattern) return false;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) {
    DWORD why = GetLastError();
    *missing = why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND || why == ERROR_DIRECTORY;
    return false;
  }
  do {
    // A link is settled by an existence test, which follows it.
    bool maybe_dangling = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    char lower[MAX_PATH];
    char upper[MAX_PATH];
    size_t len = strlen(found.cFileName);
    for (size_t i = 0; i <= len; ++i) {
      char c = found.cFileName[i];
      lower[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
      upper[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    visit(found.cFileName, maybe_dangling, context);
    if (strcmp(lower, found.cFileName) != 0) visit(lower, maybe_dangling, context);
    if (strcmp(upper, found.cFileName) != 0) visit(upper, maybe_dangling, context);
  } while (FindNextFileA(search, &found));
  bool complete = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(search);
  return complete;
}

bool CurrentFolder(char *buffer, size_t size) {
  if (size == 0) return false;
  DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(size), buffer);
  if (n == 0 || n >= size) {
    buffer[0] = '\0';
    return false;
  }
  return true;
}

bool ProgramFolder(char *buffer, size_t size) {
  if (size == 0) return false;
  buffer[0] = '\0';
  wchar_t wide[4096];
  DWORD n = GetModuleFileNameW(nullptr, wide, sizeof wide / sizeof wide[0]);
  if (n == 0 || n >= sizeof wide / sizeof wide[0]) return false;
  wchar_t *last = wcsrchr(wide, L'\\');
  if (last == nullptr) return false;
  *last = L'\0';
  // In the locale's code page, like every other name the program opens.
  char *narrow = ToLocaleMultibyte(wide);
  bool fits = strlen(narrow) < size;
  if (fits) memcpy(buffer, narrow, strlen(narrow) + 1);
  free(narrow);
  return fits;
}

bool WriteFileAtomically(const char *path, const char *data, size_t size) {
  char temp[MAX_PATH + 64];
  int n = snprintf(temp, sizeof temp, "%s.tmp%lu", path, GetCurrentProcessId());
  if (n < 0 || static_cast<size_t>(n) >= sizeof temp) return false;
  FILE *file = fopen(temp, "wb");
  if (file == nullptr) return false;
  bool ok = fwrite(data, 1, size, file) == size;
  if (fclose(file) != 0) ok = false;
  if (ok && !MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) ok = false;
  if (!ok) DeleteFileA(temp);
  return ok;
}

// The program refuses to run without its own copy of ffmpeg beside it; the
// echoed commands name it the way they always have.
bool SetEnvironmentDefault(const char *name, const char *value) {
  return getenv(name) != nullptr || _putenv_s(name, value) == 0;
}

const char *const FFMPEG_INSTALL_HINT = nullptr; // the help tells where ffmpeg.exe goes

bool FindFfmpeg(char *buffer, size_t size) {
  if (!PathFileExistsA(".\\ffmpeg.exe")) return false;
  snprintf(buffer, size, "%s", ".\\ffmpeg");
  return true;
}

void RingBell() { Print("%c", 7); }
