// Reading numbers from text files as scanf's "%d" and "%lf" do, without its
// undefined behaviour out of range and whatever the locale's decimal point.
#pragma once

#include <cstdio>

// Skips white space and reads one decimal integer: 1 when read, 0 when the
// text is not a number (nothing past the white space consumed), -1 at the end
// of the file. Beyond the int range it is held at INT_MAX or INT_MIN.
int ScanInt(FILE *file, int *value);

// The same for a floating-point number, "inf", "infinity", "nan" and
// "nan(...)" included in any case. On 0 the stream is put back where the
// text began (one that cannot seek keeps only the character that ended the
// attempt). Out of range as strtod gives it.
int ScanDouble(FILE *file, double *value);

// Values read like the conversions of one scanf call: the first that is not
// a number stops the run, and every later read gives 0 without reading.
struct ValueRun {
  FILE *file;
  bool stopped = false;
};
int ReadInt(ValueRun &run, int *value);
int ReadDouble(ValueRun &run, double *value);

// The one decimal reader for names and short texts: the whole of
// text[0..length) is an optional '-' and digits, nothing else; false for
// any other text or a value beyond long long, *value set only on success.

bool ParseDecimal(const char *text, size_t length, long long *value);
