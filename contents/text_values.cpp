#include "contents/text_values.h"

#include <cctype>
#include <climits>

int ScanInt(FILE* file, int* value) {
  int c;
  do {
    c = fgetc(file);
  } while (c != EOF && isspace(c));
  if (c == EOF) return -1;
  bool negative = false;
  if (c == '+' || c == '-') {
    int next = fgetc(file);
    if (next == EOF || !isdigit(next)) {
      // scanf would have consumed the sign; one character of push-back is
      // all stdio promises, so keep the sign and lose nothing else.
      if (next != EOF) ungetc(next, file);
      else ungetc(c, file);
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
