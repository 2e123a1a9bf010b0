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
#include <utility>

#include "platform/platform.h"

namespace {

// The console shows code page 932, which the program's texts are compiled
// into and names arrive in: every byte goes out as it is. Standard output is
// flushed at every line end by hand, since the runtime's line-buffered mode
// is full buffering on Windows.
void WriteOut(const char *data, size_t size) {
  fwrite(data, 1, size, stdout);
  if (memchr(data, '\n', size) != nullptr) fflush(stdout);
}

void WriteErr(const char *data, size_t size) {
  fflush(stdout); // keep the order of the two streams on a shared console
  fwrite(data, 1, size, stderr);
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

// A wide string in the locale's multibyte form, whole, '?' for a character
// the code page lacks; malloc'd, empty when memory is short.
char *ToLocaleMultibyte(const wchar_t *wide) {
  size_t len = wcslen(wide);
  char *out = static_cast<char *>(malloc(len * MB_LEN_MAX + 1));
  if (out == nullptr) return static_cast<char *>(calloc(1, 1));
  size_t used = 0;
  for (size_t i = 0; i < len; ++i) {
    int n = wctomb(out + used, wide[i]);
    if (n <= 0)
      out[used++] = '?';
    else
      used += static_cast<size_t>(n);
  }
  out[used] = '\0';
  return out;
}

// A wide string as UTF-8, the form names are handed to started programs in;
// malloc'd, null when memory is short.
char *ToUtf8(const wchar_t *wide) {
  int need = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  char *out = need > 0 ? static_cast<char *>(malloc(static_cast<size_t>(need))) : nullptr;
  if (out != nullptr) WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, need, nullptr, nullptr);
  return out;
}

// The arguments as the wide command line gave them and as the table holds
// them (code page 932), both in the table's order.
struct KeptArguments {
  int count = 0;
  wchar_t **wide = nullptr;
  char **narrow = nullptr;
};
KeptArguments Kept;
char *Handed = nullptr; // the last name handed out

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
  // Kept for the import as well, in an order of their own that follows the table's sort.
  Kept.count = 0;
  Kept.wide = static_cast<wchar_t **>(calloc(static_cast<size_t>(count) + 1, sizeof(wchar_t *)));
  Kept.narrow = static_cast<char **>(calloc(static_cast<size_t>(count) + 1, sizeof(char *)));
  bool keep = Kept.wide != nullptr && Kept.narrow != nullptr;
  for (int i = 0; i < count; ++i) {
    values[i] = ToLocaleMultibyte(split[i]);
    if (keep && (Kept.wide[i] = _wcsdup(split[i])) == nullptr) keep = false;
    if (keep) Kept.narrow[i] = values[i];
  }
  if (keep) Kept.count = count;
  if (split != nullptr) LocalFree(split);
  return {count, values, ToLocaleMultibyte(line)};
}

void SwapArguments(int a, int b) {
  if (a < 0 || b < 0 || a >= Kept.count || b >= Kept.count) return;
  std::swap(Kept.wide[a], Kept.wide[b]);
  std::swap(Kept.narrow[a], Kept.narrow[b]);
}

const char *ArgumentForProgram(int index, const char *table_text) {
  free(Handed);
  Handed = nullptr;
  if (index >= 0 && index < Kept.count && strcmp(Kept.narrow[index], table_text) == 0) {
    Handed = ToUtf8(Kept.wide[index]);
  } else {
    size_t need = mbstowcs(nullptr, table_text, 0);
    wchar_t *wide = need != static_cast<size_t>(-1)
                        ? static_cast<wchar_t *>(malloc(sizeof(wchar_t) * (need + 1)))
                        : nullptr;
    if (wide != nullptr) {
      mbstowcs(wide, table_text, need + 1);
      Handed = ToUtf8(wide);
    }
    free(wide);
  }
  // Unconvertible text (or no memory) is handed over as it is: the started
  // program's command line then cannot be made, and that is reported.
  return Handed != nullptr ? Handed : table_text;
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

// Without opening the file: a file put in place of another under the same
// name has its own creation time, which stands in for the file's identity.
bool StampFile(const char *path, FileStamp *stamp) {
  *stamp = FileStamp{};
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
  auto join = [](DWORD high, DWORD low) {
    return static_cast<long long>((static_cast<ULONGLONG>(high) << 32) | low);
  };
  stamp->size = join(data.nFileSizeHigh, data.nFileSizeLow);
  stamp->modified = join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
  stamp->file = join(data.ftCreationTime.dwHighDateTime, data.ftCreationTime.dwLowDateTime);
  return true;
}

// Windows compares names without regard to case, so each entry is reported as
// stored and in lower and upper case: a caller looking for a name it built
// finds it however the file system stores it.
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

// A rename over a file another copy or a virus scanner holds open is refused.
// After about 50 ms of refusals the file is rewritten whole in one call
// through a shared handle: a reader sees the old text, the new one or an
// empty file, never a mix of two numbers.

bool WriteFileAtomically(const char *path, const char *data, size_t size) {
  char temp[MAX_PATH + 64];
  int n = snprintf(temp, sizeof temp, "%s.tmp%lu", path, GetCurrentProcessId());
  if (n < 0 || static_cast<size_t>(n) >= sizeof temp || size > 0x7FFFFFFF) return false;
  FILE *file = fopen(temp, "wb");
  if (file == nullptr) return false;
  bool ok = fwrite(data, 1, size, file) == size;
  if (fclose(file) != 0) ok = false;
  if (!ok) {
    DeleteFileA(temp);
    return false;
  }
  for (int tries = 0; tries < 10; ++tries) {
    if (MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    DWORD why = GetLastError();
    if (why != ERROR_ACCESS_DENIED && why != ERROR_SHARING_VIOLATION) break;
    Sleep(5);
  }
  DeleteFileA(temp);
  HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  ok = WriteFile(h, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
  if (!FlushFileBuffers(h)) ok = false;
  CloseHandle(h);
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
