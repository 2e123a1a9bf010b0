// The keyboard commands of the player.
#pragma once

#include <cstddef>

constexpr int KEY_NONE = 0xFF;
constexpr int KEY_BACKSPACE = 0x08;
constexpr int KEY_TAB = 0x09;
constexpr int KEY_ENTER = 0x0D;
constexpr int KEY_ESC = 0x1B;

// The codes the key table may bind; every other code is the no-command path.
constexpr int KEY_FIRST = 0x08;
constexpr int KEY_LAST = 0x7C;

// One row of the key table: the code, the command and its argument (a step
// count, a tenth, a folder index, a direction), and the KEY FUNCTION text the
// dispatcher prints before the command while DISP_WEB_CAM_INFO is non-zero
// (null for commands that announce themselves or not at all).
struct KeyCommand {
  int code;
  void (*handler)(int argument);
  int argument;
  const char *function_text;
};

// Runs the command bound to a key code (0..255; 0xFF when no key came).
void DispatchKey(int key);

// Checks a key table: every code bound once and within KEY_FIRST..KEY_LAST.
// Prints the first fault on standard error and returns false.
bool CheckKeyTable(const KeyCommand *rows, size_t count);

// The same check on the player's own table; run once at start-up.
bool CheckKeyTable();
