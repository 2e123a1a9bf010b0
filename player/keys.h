// The keyboard commands of the player.
#pragma once

#include <cstddef>

constexpr int KEY_NONE = 0xFF;
constexpr int KEY_BACKSPACE = 0x08;
constexpr int KEY_TAB = 0x09;
constexpr int KEY_ENTER = 0x0D;
constexpr int KEY_ESC = 0x1B;
constexpr int KEY_SPACE = 0x20;

// The codes the key table may bind; every other code is the no-command path.
constexpr int KEY_FIRST = KEY_BACKSPACE;
constexpr int KEY_LAST = '|';

// The keys with a command that the help text leaves out: / and \ do what Z
// and X do. Every other key with a command has its line in the help.
inline constexpr char KEYS_NOT_IN_HELP[] = "/\\";

// One row of the key table: a key, its command, and where the key is explained.
struct KeyCommand {
  int code;
  void (*handler)(int argument); // null for a key kept free: it does nothing at all
  int argument;                  // a step count, a tenth, a folder index, a direction
  const char *function_text; // of the KEY FUNCTION line printed first while DISP_WEB_CAM_INFO != 0, or null
  const char *help_label;    // what opens the key's line in the help text ("[ z, x ]"), or null
  const char *screen_label;  // the keys of its row on the key screen ("z  x"), or null
};

// The player's key table.
extern const KeyCommand KeyTable[];
extern const size_t KEY_TABLE_SIZE;

// Runs the command bound to a key code (0..255; 0xFF when no key came).
void DispatchKey(int key);

// Checks a key table: every code bound once and within KEY_FIRST..KEY_LAST.
// Prints the first fault on standard error and returns false.
bool CheckKeyTable(const KeyCommand *rows, size_t count);

// The same check on the player's own table; run once at start-up.
bool CheckKeyTable();
