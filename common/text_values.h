// Reading numbers from the program's text files the way scanf's "%d" and
// "%lf" read them, but without scanf's undefined behaviour on numbers out of
// range and independent of the locale's decimal point (our files always use
// '.').
#pragma once

#include <cstdio>

// Skips white space and reads one decimal integer into *value. Returns 1 when
// a number was read, 0 when the text there is not a number (then nothing
// past the white space is consumed, so later reads fail too), -1 at the end
// of the file. A number beyond the int range is held at INT_MAX or INT_MIN.
int ScanInt(FILE *file, int *value);

// Skips white space and reads one floating-point number into *value: decimal
// with optional sign, fraction and exponent, or "inf", "infinity", "nan",
// "nan(...)" in any case. Returns 1 when a number was read, 0 when the text
// there is not a number, -1 at the end of the file. On 0 the stream is put
// back where the text began (a stream that cannot seek keeps only the
// character that ended the attempt). Magnitudes beyond double are +-inf,
// below its range 0, as strtod gives them.
int ScanDouble(FILE *file, double *value);

// A run of values read like the conversions of one scanf call: the first
// value that is not a number stops the run, and every later read then
// fails with 0 without touching the stream. At the end of the file every
// read gives -1.
struct ValueRun {
  FILE *file;
  bool stopped = false;
};
int ReadInt(ValueRun &run, int *value);
int ReadDouble(ValueRun &run, double *value);

// The one decimal reader for names and short texts: the whole of
// text[0..length) must be an optional '-' and one or more digits, nothing
// else (no blanks, no '+'). Leading zeros are allowed. Returns false for any
// other text or a value beyond long long; *value is set only on success.
bool ParseDecimal(const char *text, size_t length, long long *value);
