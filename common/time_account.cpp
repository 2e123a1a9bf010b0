#include "common/time_account.h"

#ifdef ORVANTIS_ACCOUNT
#include <atomic>
#include <chrono>
#include <thread>

namespace {

constexpr int MOST_THREADS = 32;

struct ThreadSums {
  std::atomic<long long> ns[SPENT_KINDS] = {};
};
ThreadSums Sums[MOST_THREADS];
std::atomic<int> Threads{1};                               // Sums[0] is the main thread's
const std::thread::id MainId = std::this_thread::get_id(); // set before main, on its thread

long long NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

ThreadSums *Mine() {
  thread_local ThreadSums *mine = nullptr;
  if (mine == nullptr) {
    int n = std::this_thread::get_id() == MainId ? 0 : Threads++;
    mine = &Sums[n < MOST_THREADS ? n : MOST_THREADS - 1];
  }
  return mine;
}

} // namespace

Spending::Spending(Spent what) : what_(what), start_(NowNs()) {}

Spending::~Spending() { Mine()->ns[what_] += NowNs() - start_; }

void PrintTimeAccount(FILE *out) {
  static const char *const kinds[SPENT_KINDS] = {"decoding", "marking+shrinking", "drawing", "waiting"};
  for (int t = 0; t < Threads && t < MOST_THREADS; ++t) {
    fprintf(out, "  %s %2d:", t == 0 ? "main  " : "worker", t);
    for (int k = 0; k < SPENT_KINDS; ++k)
      fprintf(out, " %s %8.1f ms;", kinds[k], Sums[t].ns[k].exchange(0) / 1e6);
    fprintf(out, "\n");
  }
}
#endif
