// Where each thread's time goes, for the benchmarks: sums of steady-clock
// spans per thread and kind, kept only in a build with ORVANTIS_ACCOUNT (the
// bench preset); elsewhere a Spending costs nothing. The program prints none.
#pragma once

#include <cstdio>

enum Spent { SPENT_DECODING, SPENT_FITTING, SPENT_DRAWING, SPENT_WAITING, SPENT_KINDS };

#ifdef ORVANTIS_ACCOUNT
// Adds the time from its making to its end to the calling thread's sum for `what`.
class Spending {
 public:
  explicit Spending(Spent what);
  ~Spending();
  Spending(const Spending &) = delete;
  Spending &operator=(const Spending &) = delete;

 private:
  Spent what_;
  long long start_;
};

// Prints each thread's sums in ms, the main thread's first, and clears them.
void PrintTimeAccount(FILE *out);
#else
struct Spending {
  explicit Spending(Spent) {}
};
inline void PrintTimeAccount(FILE *) {}
#endif
