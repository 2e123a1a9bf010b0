// The thin operating-system layer: everything that differs between systems.
// The seams tests replace (display, camera source, clock, console) are small
// tables of function pointers that a test fills with its own.
#pragma once

#include <cstddef>
#include <cstdint>

struct ZepImage;

// --- Names and command texts -------------------------------------------------

// The separator in the names the program prints, and the deletion command the
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

// printf-style output. MinGW checks "printf" against the old Windows runtime;
// the program uses its C99 formatting (%zu, %lld), which "gnu_printf" describes.
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

// The command line in the locale's multibyte form (SetProgramLocale comes
// first) and its echo: argv joined by blanks on Linux; on Windows the wide
// command line split by the system and converted, echoed as given.
struct ProgramArguments {
  int count;
  char **values;
  const char *whole;
};
ProgramArguments ReadProgramArguments(int argc, char **argv);

// Follows the argument table's sort swapping the names at a and b.
void SwapArguments(int a, int b);

// The name at `index` of the argument table as a started program is handed
// it: on Windows as the wide command line gave it, even where code page 932
// has no character for it; elsewhere, or for a name not from the command
// line, `table_text`. Valid until the next call.
const char *ArgumentForProgram(int index, const char *table_text);

// One key from the terminal without echo; -1 at once without a terminal.
int ReadConsoleKey();

// --- Clock -----------------------------------------------------------------

struct ClockOps {
  double (*now)(); // wall-clock seconds since 1970, microsecond resolution
};
extern ClockOps Clock;

// Gives up the processor for a moment inside a spin wait.
void PauseBriefly();

// --- Threads ---------------------------------------------------------------

// How many processors this process may run on (its affinity), at least 1.
int UsableProcessors();

// Lowers the calling thread's priority, so that the main thread comes first.
void LowerThreadPriority();

// --- Display ---------------------------------------------------------------

constexpr int WINDOW_CLOSED = -2;

struct DisplayOps {
  void (*create_window)(const char *name, int autosize); // with the empty mouse callback
  void (*destroy_window)(const char *name);
  void (*show_image)(const char *name, const ZepImage *image);
  // Key code 0..255, -1 when none; 0 waits forever. WINDOW_CLOSED from the
  // moment the window manager asks to close a window of the program on.
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

// Tells one version of a file from another without reading it: a file
// rewritten in place or replaced under the same name gets another stamp.
struct FileStamp {
  long long size = -1, modified = 0, volume = 0, file = 0;
  bool operator==(const FileStamp &o) const {
    return size == o.size && modified == o.modified && volume == o.volume && file == o.file;
  }
};
// Returns false (and a stamp equal to no file's) when the file cannot be had.
bool StampFile(const char *path, FileStamp *stamp);

// Calls visit for every entry of a folder; maybe_dangling marks links and
// entries of unknown type. Returns false when the folder cannot be read,
// with *missing set when it does not exist.
bool ListFolder(const char *folder, void (*visit)(const char *name, bool maybe_dangling, void *context),
                void *context, bool *missing);

// The absolute working folder, or an empty string when it cannot be had.
bool CurrentFolder(char *buffer, size_t size);

// The folder of the running program, without a final separator; false (and
// an empty string) when the system cannot tell.
bool ProgramFolder(char *buffer, size_t size);

// Writes through a temporary renamed over the file: no reader sees half a file.
bool WriteFileAtomically(const char *path, const char *data, size_t size);

// --- External programs -----------------------------------------------------

// The ffmpeg to run: ./ffmpeg when executable, else the first on PATH.
bool FindFfmpeg(char *buffer, size_t size);

// How to get ffmpeg here, printed after the ffmpeg help; null where none.
extern const char *const FFMPEG_INSTALL_HINT;

// Sets an environment variable unless the user has; true when it has a value.

bool SetEnvironmentDefault(const char *name, const char *value);

// The byte sequence the console bell is.
void RingBell();
