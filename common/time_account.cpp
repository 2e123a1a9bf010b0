#include "common/time_account.h"

#ifdef ORVANTIS_ACCOUNT
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

constexpr int MOST_THREADS = 32; // more share the last sums
std::atomic<long long> Sums[MOST_THREADS][SPENT_KINDS];
std::atomic<int> Threads{1};                               // row 0 is the main thread's
const std::thread::id MainId = std::this_thread::get_id(); // set before main, on its thread

long long NowNs() {
  return std::chrono::steady_clock::now().time_since_epoch() / std::chrono::nanoseconds(1);
}

} // namespace

Spending::Spending(Spent what) : what_(what), start_(NowNs()) {}

Spending::~Spending() {
  thread_local int row = std::this_thread::get_id() == MainId ? 0 : std::min(Threads++, MOST_THREADS - 1);
  Sums[row][what_] += NowNs() - start_;
}

void PrintTimeAccount(FILE *out) {
  static const char *const kinds[SPENT_KINDS] = {"decoding", "marking+shrinking", "drawing", "waiting"};
  for (int t = 0; t < Threads && t < MOST_THREADS; ++t) {
    fprintf(out, "  %s %2d:", t == 0 ? "main  " : "worker", t);
    for (int k = 0; k < SPENT_KINDS; ++k)
      fprintf(out, " %s %8.1f ms;", kinds[k], Sums[t][k].exchange(0) / 1e6);
    fprintf(out, "\n");
  }
}
#endif
