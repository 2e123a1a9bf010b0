// Reading numbers from the program's text files the way scanf's "%d" reads
// them, but without its undefined behaviour on numbers out of range.
#pragma once

#include <cstdio>

// Skips white space and reads one decimal integer into *value. Returns 1 when
// a number was read, 0 when the text there is not a number (then nothing
// past the white space is consumed, so later reads fail too), -1 at the end
// of the file. A number beyond the int range is held at INT_MAX or INT_MIN.
int ScanInt(FILE* file, int* value);
