// The contents listing over 1000 folder numbers of which none exists, the
// worst case for the frame probe: every name tested on its own (baseline)
// against the listing that first reads the parent and working folders.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "contents/contents_list.h"
#include "platform/platform.h"
#include "state/state.h"

namespace {

std::string Captured;
void Capture(const char *data, size_t size) { Captured.append(data, size); }

void ListingByExistenceTests(benchmark::State &state) {
  for (auto _ : state) {
    srand(1);
    benchmark::DoNotOptimize(ListContentsFoldersByExistence());
    Captured.clear();
  }
}

void ListingByFolderReads(benchmark::State &state) {
  for (auto _ : state) {
    srand(1);
    benchmark::DoNotOptimize(ListContentsFolders());
    Captured.clear();
  }
}

BENCHMARK(ListingByExistenceTests)->Unit(benchmark::kMillisecond);
BENCHMARK(ListingByFolderReads)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
  char root[] = "/tmp/orvantis-listing-bench-XXXXXX";
  if (mkdtemp(root) == nullptr) return 1;
  std::string work = std::string(root) + "/work";
  if (mkdir(work.c_str(), 0755) != 0 || chdir(work.c_str()) != 0) return 1;
  Console = {Capture, Capture};
  Z.ContentsIndex = 0;

  // Both ways must print the same and draw the same pseudo-random numbers.
  srand(1);
  ListContentsFoldersByExistence();
  std::string plain = Captured;
  int plain_next = rand();
  Captured.clear();
  srand(1);
  ListContentsFolders();
  bool same = Captured == plain && rand() == plain_next;
  Captured.clear();
  printf("Same printed listing and random draws both ways: %s\n", same ? "yes" : "NO");

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (chdir("/") == 0) {
    rmdir(work.c_str());
    rmdir(root);
  }
  return same ? 0 : 1;
}
