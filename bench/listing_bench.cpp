// The contents listing over 1000 folder numbers of which none exists, the
// worst case for the frame probe: every name tested on its own (baseline)
// against the listing that first reads the parent and working folders.
// Before it measures, it checks on a tree of awkward folders that both ways
// print the same, write the same markers and draw the same pseudo-random
// numbers.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/harness.h"
#include "common/naming.h"
#include "contents/contents_list.h"
#include "platform/daemon.h"
#include "platform/platform.h"
#include "state/state.h"

namespace {

// Baseline: the listing with an open or an existence test for every name it
// tries: the settings file, the frame-table file, the first frame, the
// marker, then frames at pseudo-random gaps of 1 to k.
bool ListByExistenceTests() {
  Print("\n*** Following is the list of contents with associated file: \n\n");
  Z.ContentsListCount = 0;
  memset(Z.ContentsList, 0, sizeof Z.ContentsList);
  bool probed = false;
  for (int k = 1; k <= 1000; ++k) {
    char names[4][NAME_LEN], path[NAME_LEN];
    SettingsFileName(names[0], NAME_LEN, k);
    FrameTableFileName(names[1], NAME_LEN, k);
    FramePath(names[2], NAME_LEN, k, 0);
    MarkerFileName(names[3], NAME_LEN, k);
    const char *found = nullptr;
    for (const char *name : names)
      if (found == nullptr && FileReadable(name)) found = name;
    int n = 0;
    while (found == nullptr && n < 22000) {
      FramePath(path, sizeof path, k, n);
      if (FileExists(path))
        found = path;
      else
        n += 1 + rand() % k;
    }
    if (found != nullptr) {
      Print("[S%3d] FILE [ %s ] exists!\n", k, found);
      if (Z.ContentsListCount < CONTENTS_LIST_MAX) Z.ContentsList[Z.ContentsListCount++] = k - 1;
    }
    if (found == path) {
      probed = true;
      FILE *marker = fopen(names[3], "w");
      bool written = marker != nullptr && fprintf(marker, "FOUND: clip_%05d.jpg\n", n) > 0;
      if (marker != nullptr && fclose(marker) != 0) written = false;
      if (written) Print("*** Created a file[ %s ] ***\n", names[3]);
    }
    if (k - 1 == Z.ContentsIndex) Print("       <<< You Are Here Now >>>\n");
  }
  return probed;
}

void Touch(const char *path) {
  if (FILE *file = fopen(path, "w")) fclose(file);
}

// Folders the listing must treat alike both ways: a probe that meets every
// number, frames beyond the probe, a marker that cannot be written, an empty
// folder, a settings file alone, a marker alone, dangling links among the
// frames, and the last folder number.
void MakeAwkwardTree() {
  const std::vector<std::pair<int, std::vector<int>>> frames = {
      {1, {5}},
      {2, {50, 51, 52, 53, 22000}},
      {4, {9, 10, 11, 12}},
      {5, {}},
      {10, {7}},
      {12, {9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}},
      {1000, {0}}};
  char path[NAME_LEN];
  for (const auto &[k, numbers] : frames) {
    FolderName(path, sizeof path, k);
    mkdir(path, 0755);
    for (int n : numbers) {
      FramePath(path, sizeof path, k, n);
      Touch(path);
    }
  }
  if (symlink("missing/marker", "../S004/check_result.txt") != 0 ||
      symlink("nowhere.jpg", "../S012/clip_00000.jpg") != 0 ||
      symlink("nowhere.jpg", "../S012/clip_00004.jpg") != 0)
    perror("symlink");
  Touch("zep_env0008.dat");
  Touch("../S010/check_result.txt");
}

// One listing of the current tree: what it printed and returned, the markers
// it wrote (removed again) and the next pseudo-random number.
std::string ListingResult(bool (*list)()) {
  Captured.clear();
  srand(99);
  Z.ContentsIndex = 11;
  std::string result = list() ? "probed\n" : "not probed\n";
  result += Captured + std::to_string(rand()) + "\n";
  for (const char *marker :
       {"../S001/check_result.txt", "../S002/check_result.txt", "../S012/check_result.txt"}) {
    FILE *file = fopen(marker, "r");
    char line[64] = "";
    if (file != nullptr && fgets(line, sizeof line, file) == nullptr) line[0] = '\0';
    if (file != nullptr) fclose(file);
    result += std::string(marker) + ": " + line;
    unlink(marker);
  }
  return result;
}

void Listing(benchmark::State &state, bool (*list)()) {
  for (auto _ : state) {
    srand(1);
    benchmark::DoNotOptimize(list());
  }
}

void ListingByExistenceTests(benchmark::State &state) { Listing(state, ListByExistenceTests); }
void ListingByFolderReads(benchmark::State &state) { Listing(state, ListContentsFolders); }

BENCHMARK(ListingByExistenceTests)->Unit(benchmark::kMillisecond);
BENCHMARK(ListingByFolderReads)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
  Console = {Capture, Capture};
  std::string root = EnterBenchFolder("listing-check");
  MakeAwkwardTree();
  bool same = ListingResult(ListByExistenceTests) == ListingResult(ListContentsFolders);
  printf("Same printed listing, markers and random draws both ways: %s\n", same ? "yes" : "NO");
  bool removed = RemoveBenchFolder(root);

  Console = {Discard, Discard};
  root = EnterBenchFolder("listing");
  Z.ContentsIndex = 0;
  if (same) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  }
  return RemoveBenchFolder(root) && removed && same ? 0 : 1;
}
