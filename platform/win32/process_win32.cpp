// The Windows side of folders and external programs. As on Linux, nothing
// here goes through the command interpreter (cmd.exe): ffmpeg is started
// with CreateProcessW and a command line quoted so that the program's own
// splitter gives back exactly the arguments, whatever characters a name holds.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/process.h"

namespace {

// The errno that the callers report with strerror.
int ErrnoOf(DWORD error) {
  switch (error) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
  case ERROR_INVALID_NAME:
  case ERROR_BAD_PATHNAME: return ENOENT;
  case ERROR_ACCESS_DENIED:
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION: return EACCES;
  case ERROR_ALREADY_EXISTS:
  case ERROR_FILE_EXISTS: return EEXIST;
  case ERROR_NOT_ENOUGH_MEMORY:
  case ERROR_OUTOFMEMORY: return ENOMEM;
  case ERROR_BAD_EXE_FORMAT: return ENOEXEC;
  case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
  default: return EIO;
  }
}

// An argument in UTF-8 (ArgumentForProgram's form) as a wide string; false
// when it is not UTF-8.
bool ToWide(const char *text, std::wstring *wide) {
  int need = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (need <= 0) return false;
  wide->resize(static_cast<size_t>(need));
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, &(*wide)[0], need);
  wide->pop_back(); // the terminator
  return true;
}

// Appends one argument quoted by the rules CommandLineToArgvW and the C
// runtime split by: inside quotes, backslashes count only before a quote
// (2n + 1 of them give n and a literal quote) and at the very end.
void AppendQuoted(std::wstring &out, const std::wstring &arg) {
  out += L'"';
  size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    out += c;
    slashes = 0;
  }
  out.append(slashes * 2, L'\\');
  out += L'"';
}

// The whole command line, every argument quoted; false when an argument
// cannot be converted.
bool BuildCommandLine(const char *const *argv, std::wstring *line) {
  std::wstring wide;
  for (size_t i = 0; argv[i] != nullptr; ++i) {
    if (!ToWide(argv[i], &wide)) return false;
    if (i > 0) *line += L' ';
    AppendQuoted(*line, wide);
  }
  return true;
}

// While the program runs, Ctrl-C belongs to it alone, as with a command run
// from a console: the import then goes on with the next name. A handler
// (unlike ignoring the event outright) is not passed on to the program.
BOOL WINAPI KeepRunning(DWORD event) { return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT; }

void InheritStandardHandle(DWORD which, HANDLE *into) {
  HANDLE h = GetStdHandle(which);
  if (h != nullptr && h != INVALID_HANDLE_VALUE)
    SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  *into = h;
}

ProgramEnd CreateAndWait(const char *const *argv) {
  // Output written so far must come before the program's own.
  fflush(stdout);
  fflush(stderr);

  std::wstring line;
  if (!BuildCommandLine(argv, &line)) return {ProgramEnd::NotStarted, EILSEQ};

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  InheritStandardHandle(STD_INPUT_HANDLE, &startup.hStdInput);
  InheritStandardHandle(STD_OUTPUT_HANDLE, &startup.hStdOutput);
  InheritStandardHandle(STD_ERROR_HANDLE, &startup.hStdError);
  PROCESS_INFORMATION started{};

  SetConsoleCtrlHandler(KeepRunning, TRUE);
  // No application name: the first word of the line is the program, and a
  // name without an extension is looked for with ".exe" (.\ffmpeg).
  BOOL created =
      CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started);
  ProgramEnd end{ProgramEnd::NotStarted, created ? 0 : ErrnoOf(GetLastError())};
  if (created) {
    CloseHandle(started.hThread);
    DWORD status = 0;
    if (WaitForSingleObject(started.hProcess, INFINITE) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(started.hProcess, &status))
      end = {ProgramEnd::Exited, static_cast<int>(status)};
    else
      end = {ProgramEnd::NotStarted, ErrnoOf(GetLastError())};
    CloseHandle(started.hProcess);
  }
  SetConsoleCtrlHandler(KeepRunning, FALSE);
  return end;
}

bool IsFolder(const char *path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

ProcessOps Process = {CreateAndWait};

bool CreateFolder(const char *path, int *error) {
  *error = 0;
  if (CreateDirectoryA(path, nullptr)) return true;
  DWORD why = GetLastError();
  if (why == ERROR_ALREADY_EXISTS && IsFolder(path)) return true;
  *error = ErrnoOf(why);
  return false;
}

JpegDeletion DeleteJpegFiles(const char *folder) {
  JpegDeletion result{0, 0, 0, true, false};
  if (!IsFolder(folder)) {
    result.readable = false;
    result.missing = true;
    result.first_error = ENOENT;
    return result;
  }
  char pattern[MAX_PATH * 4];
  char path[MAX_PATH * 4];
  int n = snprintf(pattern, sizeof pattern, "%s\\*.jpg", folder);
  if (n < 0 || static_cast<size_t>(n) >= sizeof pattern) {
    result.readable = false;
    result.first_error = ENAMETOOLONG;
    return result;
  }
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) {
    DWORD why = GetLastError();
    if (why != ERROR_FILE_NOT_FOUND && why != ERROR_NO_MORE_FILES) {
      result.readable = false;
      result.first_error = ErrnoOf(why);
    }
    return result;
  }
  // Like del /f: files only (a folder named x.jpg is not a JPEG file),
  // read-only ones included.
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    snprintf(path, sizeof path, "%s\\%s", folder, found.cFileName);
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0)
      SetFileAttributesA(path, found.dwFileAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    if (DeleteFileA(path)) {
      ++result.deleted;
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) { // gone meanwhile is as good as deleted
      if (result.failed++ == 0) result.first_error = ErrnoOf(GetLastError());
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return result;
}
