// The keyboard commands of the player.
#pragma once

constexpr int KEY_NONE = 0xFF;
constexpr int KEY_BACKSPACE = 0x08;
constexpr int KEY_TAB = 0x09;
constexpr int KEY_ENTER = 0x0D;
constexpr int KEY_ESC = 0x1B;

// Runs the command bound to a key code (0..255; 0xFF when no key came).
void DispatchKey(int key);
