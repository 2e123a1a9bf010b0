#include "common/text_values.h"

#include <cctype>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <string>

namespace {

// The first character after white space, as scanf skips it; EOF at the end.
int SkipSpace(FILE *file) {
  int c;
  do {
    c = fgetc(file);
  } while (c != EOF && isspace(c));
  return c;
}

} // namespace

int ScanInt(FILE *file, int *value) {
  int c = SkipSpace(file);
  if (c == EOF) return -1;
  bool negative = false;
  if (c == '+' || c == '-') {
    int next = fgetc(file);
    if (next == EOF || !isdigit(next)) {
      // A sign without digits is not a number. scanf consumes the sign as
      // well, so only the character after it goes back.
      ungetc(next != EOF ? next : c, file);
      return 0;
    }
    negative = (c == '-');
    c = next;
  } else if (!isdigit(c)) {
    ungetc(c, file);
    return 0;
  }
  long long magnitude = 0;
  for (; c != EOF && isdigit(c); c = fgetc(file))
    if (magnitude <= INT_MAX + 1LL) magnitude = magnitude * 10 + (c - '0');
  if (c != EOF) ungetc(c, file);
  long long v = negative ? -magnitude : magnitude;
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  *value = static_cast<int>(v);
  return 1;
}

namespace {

// The characters of one number as they are read: c is the next character,
// not yet taken into text.
struct NumberText {
  FILE *file;
  int c;
  std::string text;
};

void Take(NumberText &t) {
  t.text.push_back(static_cast<char>(t.c));
  t.c = fgetc(t.file);
}

bool IsDigit(int c) { return c >= '0' && c <= '9'; }
int Lower(int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

int TakeDigits(NumberText &t) {
  int n = 0;
  for (; IsDigit(t.c); ++n)
    Take(t);
  return n;
}

// Takes the letters of word (lower case) in any case; false at the first
// character that differs.
bool TakeWord(NumberText &t, const char *word) {
  for (; *word != '\0'; ++word) {
    if (Lower(t.c) != *word) return false;
    Take(t);
  }
  return true;
}

// Takes the longest text that can begin a number, as scanf does, and says
// whether what was taken is a whole number ("1e" or "-" is not).
bool TakeNumber(NumberText &t) {
  if (t.c == '+' || t.c == '-') Take(t);
  if (IsDigit(t.c) || t.c == '.') {
    int digits = TakeDigits(t);
    if (t.c == '.') {
      Take(t);
      digits += TakeDigits(t);
    }
    if (digits == 0) return false;
    if (t.c == 'e' || t.c == 'E') {
      Take(t);
      if (t.c == '+' || t.c == '-') Take(t);
      if (TakeDigits(t) == 0) return false;
    }
    return true;
  }
  if (Lower(t.c) == 'i') {
    if (!TakeWord(t, "inf")) return false;
    return Lower(t.c) != 'i' || TakeWord(t, "inity");
  }
  if (Lower(t.c) == 'n') {
    if (!TakeWord(t, "nan")) return false;
    if (t.c != '(') return true;
    Take(t);
    while (isalnum(t.c) || t.c == '_')
      Take(t);
    if (t.c != ')') return false;
    Take(t);
    return true;
  }
  return false;
}

// strtod reads the locale's decimal point; the files always use '.'.
double ConvertNumber(const std::string &text) {
  const char *point = localeconv()->decimal_point;
  std::string local = text;
  size_t dot = local.find('.'); // a number has one at most
  if (dot != std::string::npos && point != nullptr && point[0] != '\0') local.replace(dot, 1, point);
  return strtod(local.c_str(), nullptr);
}

} // namespace

int ScanDouble(FILE *file, double *value) {
  int c = SkipSpace(file);
  if (c == EOF) return -1;
  NumberText t{file, c, {}};
  if (TakeNumber(t)) {
    if (t.c != EOF) ungetc(t.c, file);
    *value = ConvertNumber(t.text);
    return 1;
  }
  // Not a number: go back to where its text began, so that the stream reads
  // the same for the next caller. Counting back from here is exact where
  // text and binary streams are the same (POSIX).
  long taken = static_cast<long>(t.text.size()) + (t.c != EOF ? 1 : 0);
  if (fseek(file, -taken, SEEK_CUR) != 0) {
    clearerr(file);
    if (t.c != EOF) ungetc(t.c, file);
  }
  return 0;
}

namespace {

template <typename T> int ReadValue(ValueRun &run, T *value, int (*scan)(FILE *, T *)) {
  if (run.stopped) return 0;
  int read = scan(run.file, value);
  if (read == 0) run.stopped = true;
  return read;
}

} // namespace

int ReadInt(ValueRun &run, int *value) { return ReadValue(run, value, ScanInt); }
int ReadDouble(ValueRun &run, double *value) { return ReadValue(run, value, ScanDouble); }

bool ParseDecimal(const char *text, size_t length, long long *value) {
  bool negative = length > 0 && text[0] == '-';
  size_t i = negative ? 1 : 0;
  if (i == length) return false;
  unsigned long long magnitude = 0;
  const unsigned long long limit = negative ? 0ULL - static_cast<unsigned long long>(LLONG_MIN) : LLONG_MAX;
  for (; i < length; ++i) {
    if (!IsDigit(text[i])) return false;
    unsigned digit = static_cast<unsigned>(text[i] - '0');
    if (magnitude > (limit - digit) / 10) return false;
    magnitude = magnitude * 10 + digit;
  }
  *value = negative ? static_cast<long long>(0ULL - magnitude) : static_cast<long long>(magnitude);
  return true;
}
