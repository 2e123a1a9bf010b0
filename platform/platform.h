// The thin operating-system layer. Everything that differs between systems,
// and the four things that tests replace (display, camera source, clock,
// console), is reached through here. The seams are small tables of function
// pointers: production code fills them with the real calls, a test swaps in
// scripted keys, a recorded display, a fake clock or captured output.
#pragma once

#include <cstddef>
#include <cstdint>

struct ZepImage;

// --- Console ---------------------------------------------------------------

struct ConsoleOps {
  void (*write_out)(const char* data, size_t size); // standard output
  void (*write_err)(const char* data, size_t size); // standard error
};
extern ConsoleOps Console;

// printf-style output to standard output / standard error.
void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));
void PrintError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Locale from the environment, standard output flushed at every line end.
void SetupConsole();

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

// --- Display ---------------------------------------------------------------

struct DisplayOps {
  void (*create_window)(const char* name, int autosize); // with the empty mouse callback
  void (*destroy_window)(const char* name);
  void (*show_image)(const char* name, const ZepImage* image);
  int (*wait_key)(int milliseconds); // key code 0..255, -1 when none; 0 waits forever
};
extern DisplayOps Display;

// True when a window system can be reached (DISPLAY or WAYLAND_DISPLAY set).
bool DisplayAvailable();

// --- Files and folders -----------------------------------------------------

// An existence test that opens nothing (a folder counts, a broken link does not).
bool FileExists(const char* path);

// Calls visit(name, maybe_dangling) for every entry of a folder; maybe_dangling
// is set for links and entries of unknown type, which only an existence test
// can settle. Returns false when the folder cannot be read; *missing is then
// set when it does not exist at all.
bool ListFolder(const char* folder, void (*visit)(const char* name, bool maybe_dangling, void* context),
                void* context, bool* missing);

// The absolute working folder, or an empty string when it cannot be had.
bool CurrentFolder(char* buffer, size_t size);

// Writes a whole file through a temporary beside it, then renames it over the
// old one, so that a reader never sees a half-written file.
bool WriteFileAtomically(const char* path, const char* data, size_t size);

// --- External programs -----------------------------------------------------

// The ffmpeg to run: ./ffmpeg when it is an executable file, else the first
// ffmpeg on PATH. Returns false when there is none.
bool FindFfmpeg(char* buffer, size_t size);

// The byte sequence the console bell is.
void RingBell();
