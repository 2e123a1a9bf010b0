// The rows of the key-allocation screen shown during the pause, {the keys as
// the screen labels them, what they do}: tools/make_key_screen.cpp draws them,
// and each row of the key table names the one that explains its key.
#pragma once

inline constexpr const char *KeyScreenRows[][2] = {
    {"ESC", "pause  (then ENTER resumes, ESC quits)"},
    {"q", "camera on / off"},
    {"z  x", "one frame back / forward"},
    {"Z  X  /  \\", "ten frames back / forward"},
    {"SHIFT+1 .. 9", "jump to 10% .. 90% of the folder"},
    {"j", "random frame"},
    {"l", "first frame of the folder"},
    {"e", "mirror the picture left-right"},
    {"s  S", "replay faster / slower (5 speeds)"},
    {"TAB", "automatic replay on / off (30 fps)"},
    {"i", "motion figures on the console"},
    {"v  V", "motion threshold down / up"},
    {"BS", "window follows the picture size"},
    {"p  n", "previous / next contents folder"},
    {"1 .. 9, 0", "contents folder S001 .. S010"},
    {"R", "back to S001"},
    {"r", "reload the frames of this folder"},
    {"SPACE", "random contents folder"},
    {"ENTER", "help on the console"},
};
