// The thin operating-system layer. Everything that differs between systems,
// and the four things that tests replace (display, camera source, clock,
// console), is reached through here. The seams are small tables of function
// pointers: production code fills them with the real calls, a test swaps in
// scripted keys, a recorded display, a fake clock or captured output.
#pragma once

#include <cstddef>
#include <cstdint>

struct ZepImage;

// --- Names and command texts -------------------------------------------------

// The separator in the names the program builds and prints (..\S001\clip_00000.jpg
// on Windows, ../S001/clip_00000.jpg elsewhere), and the deletion command the
// import echoes before it empties a folder.
#ifdef _WIN32
constexpr char PATH_SEPARATOR = '\\';
constexpr const char *DELETE_COMMAND = "del  /f   ";
#else
constexpr char PATH_SEPARATOR = '/';
constexpr const char *DELETE_COMMAND = "rm  -f   ";
#endif

// --- Console ---------------------------------------------------------------

struct ConsoleOps {
  void (*write_out)(const char *data, size_t size); // standard output
  void (*write_err)(const char *data, size_t size); // standard error
};
extern ConsoleOps Console;

// printf-style output to standard output / standard error. MinGW checks
// "printf" against the old Windows runtime; the program is built with its
// C99 formatting (%zu, %lld), which "gnu_printf" describes.
#ifdef __MINGW32__
#define ZEP_PRINTF_FORMAT(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define ZEP_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#endif
void Print(const char *format, ...) ZEP_PRINTF_FORMAT(1, 2);
void PrintError(const char *format, ...) ZEP_PRINTF_FORMAT(1, 2);

// Standard output flushed at every line end.
void SetupConsole();

// The locale the arguments are converted in and the texts are printed in:
// the user's own on Linux, "Japanese" (code page 932) on Windows.
void SetProgramLocale();

// The command line as the argument table takes it, in the locale's multibyte
// form (so SetProgramLocale comes first). On Linux these are argv and the
// echo is the arguments joined by blanks; on Windows the wide command line
// is split by the system's own splitter and converted, and the echo is that
// line as it was given. Both stay valid for the whole run.
struct ProgramArguments {
  int count;
  char **values;
  const char *whole;
};
ProgramArguments ReadProgramArguments(int argc, char **argv);

// Keeps the system's own form of the arguments in the order of the argument
// table when its sort swaps the names at a and b.
void SwapArguments(int a, int b);

// The name at `index` of the argument table in the form a started program is
// handed (see ProcessOps): on Windows the name as the wide command line gave
// it, whole, even where code page 932 has no character for it (the table's
// text, `table_text`, is what is printed); elsewhere the bytes as given. A
// name the table holds that did not come from the command line is handed over
// as the table holds it. Valid until the next call.
const char *ArgumentForProgram(int index, const char *table_text);

// Reads one key from the terminal without echo. Returns at once (with -1)
// when standard input is not a terminal or is closed.
int ReadConsoleKey();

// --- Clock -----------------------------------------------------------------

struct ClockOps {
  double (*now)(); // wall-clock seconds since 1970, microsecond resolution
};
extern ClockOps Clock;

// Gives up the processor for a moment inside a spin wait.
void PauseBriefly();

// --- Threads ---------------------------------------------------------------

// How many processors this process may run on (its CPU affinity: one under
// `taskset -c 0`), at least 1.
int UsableProcessors();

// Lowers the calling thread's priority below the program's own, so that the
// main thread is served first whenever both want a processor.
void LowerThreadPriority();

// --- Display ---------------------------------------------------------------

constexpr int WINDOW_CLOSED = -2;

struct DisplayOps {
  void (*create_window)(const char *name, int autosize); // with the empty mouse callback
  void (*destroy_window)(const char *name);
  void (*show_image)(const char *name, const ZepImage *image);
  // Key code 0..255, -1 when none; 0 waits forever. WINDOW_CLOSED (at once
  // in a wait without end, else when the time is up) once the window manager
  // has asked to close one of the program's windows, from then on.
  int (*wait_key)(int milliseconds);
  // The size of the picture a window shows; 0 x 0 when it cannot be told.
  void (*window_size)(const char *name, int *width, int *height);
};
extern DisplayOps Display;

// A display that opens nothing, shows nothing and never has a key.
extern const DisplayOps NullDisplay;

// True when a window system can be reached (DISPLAY or WAYLAND_DISPLAY set).
bool DisplayAvailable();

// --- Files and folders -----------------------------------------------------

// An existence test that opens nothing (a folder counts, a broken link does not).
bool FileExists(const char *path);

// What tells one version of a file from another without reading it: its size,
// its modification time and which file it is on its volume. A file rewritten
// in place or replaced by another under the same name gets another stamp.
struct FileStamp {
  long long size = -1, modified = 0, volume = 0, file = 0;
  bool operator==(const FileStamp &o) const {
    return size == o.size && modified == o.modified && volume == o.volume && file == o.file;
  }
};
// Returns false (and a stamp equal to no file's) when the file cannot be had.
bool StampFile(const char *path, FileStamp *stamp);

// Calls visit(name, maybe_dangling) for every entry of a folder; maybe_dangling
// is set for links and entries of unknown type, which only an existence test
// can settle. Returns false when the folder cannot be read; *missing is then
// set when it does not exist at all.
bool ListFolder(const char *folder, void (*visit)(const char *name, bool maybe_dangling, void *context),
                void *context, bool *missing);

// The absolute working folder, or an empty string when it cannot be had.
bool CurrentFolder(char *buffer, size_t size);

// The folder that holds the running program itself, which need not be the
// working folder, without a separator at its end. Returns false (and an
// empty string) when the system cannot tell.
bool ProgramFolder(char *buffer, size_t size);

// Writes a whole file through a temporary beside it, then renames it over the
// old one, so that a reader never sees a half-written file.
bool WriteFileAtomically(const char *path, const char *data, size_t size);

// --- External programs -----------------------------------------------------

// The ffmpeg to run: ./ffmpeg when it is an executable file, else the first
// ffmpeg on PATH. Returns false when there is none.
bool FindFfmpeg(char *buffer, size_t size);

// A line on how to get ffmpeg on this system, printed after the ffmpeg help
// when none is found; null where the help itself says it all.
extern const char *const FFMPEG_INSTALL_HINT;

// Sets an environment variable for this process unless it is set already
// (the user's value wins). Returns true when the variable then has a value.
bool SetEnvironmentDefault(const char *name, const char *value);

// The byte sequence the console bell is.
void RingBell();
