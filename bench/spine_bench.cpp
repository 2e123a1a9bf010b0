// Speed of the playback spine, each figure beside its baseline:
//  - the frame scan by one folder listing vs the plain 25001 existence tests,
//    on a folder of 22000 frames and on an empty folder (warm cache), after
//    a check that both give the same table and print the same;
//  - one frame change (load, mark, show to a display that keeps nothing) vs a
//    bare cv::imread of the same 1920x1080 files;
//  - start-up to the first frame shown with a 22000-frame folder.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "app/startup.h"
#include "bench/harness.h"
#include "common/naming.h"
#include "contents/frame_table.h"
#include "platform/image.h"
#include "platform/opencv/image_cv.h"
#include "platform/platform.h"
#include "player/folders.h"
#include "player/frame_cache.h"
#include "state/state.h"

namespace {

int Escape(int) { return 0x1B; }

void MakeInstallation() {
  // S001: 22000 frames (only frame 0 is an image; the scan never opens them).
  mkdir("../S001", 0755);
  cv::Mat small(120, 160, CV_8UC3, cv::Scalar(30, 60, 200));
  cv::imwrite("../S001/clip_00000.jpg", small);
  for (int n = 1; n < MAX_FRAMES; ++n) {
    char path[64];
    snprintf(path, sizeof path, "../S001/clip_%05d.jpg", n);
    std::ofstream(path).put('x');
  }
  mkdir("../S002", 0755); // empty
  // S003: 1920x1080 frames with detail, so that decoding costs what it does in use.
  mkdir("../S003", 0755);
  cv::Mat big(1080, 1920, CV_8UC3);
  cv::RNG rng(7);
  for (int n = 0; n < 24; ++n) {
    for (int y = 0; y < big.rows; ++y)
      for (int x = 0; x < big.cols; ++x)
        big.at<cv::Vec3b>(y, x) = cv::Vec3b((x + n * 9) & 255, (y + n * 5) & 255, (x ^ y) & 255);
    cv::Mat noise(big.size(), CV_8UC3);
    rng.fill(noise, cv::RNG::UNIFORM, 0, 24);
    cv::Mat frame = big + noise;
    char path[64];
    snprintf(path, sizeof path, "../S003/clip_%05d.jpg", n);
    cv::imwrite(path, frame, {cv::IMWRITE_JPEG_QUALITY, 95});
  }
}

// Baseline: the scan with one existence test per frame number, by the same
// rules (numbers 0..25000 in order, gaps closed up, a stop after more than
// 22000 misses in a row or a full table).
void ScanByExistenceTests(int k) {
  char path[NAME_LEN];
  int misses = 0;
  for (int n = 0; n <= MAX_FRAME_NUMBER && Z.MaxCount < MAX_FRAMES; ++n) {
    FramePath(path, sizeof path, k, n);
    if (!FileExists(path)) {
      if (++misses > SCAN_GAP_LIMIT) break;
      continue;
    }
    snprintf(Z.FrameData[Z.MaxCount++].path, PATH_FIELD, "%s", path);
    misses = 0;
    if (Z.MaxCount % SCAN_PROGRESS_EVERY == 0)
      Print("\n [ %6d ]  MaxCount = [ %6d ]  ( %s )\n", n, Z.MaxCount, path);
  }
}

void ScanInto(void (*scan)(int), int k) {
  memset(Z.FrameData, 0, FRAME_TABLE_BYTES);
  Z.MaxCount = 0;
  scan(k);
}

// The table a scan of folder k makes, and what it prints.
std::string ScanResult(void (*scan)(int), int k) {
  Captured.clear();
  ScanInto(scan, k);
  return std::string(reinterpret_cast<const char *>(Z.FrameData), FRAME_TABLE_BYTES) + Captured;
}

void ScanTimed(benchmark::State &state, void (*scan)(int), int k) {
  for (auto _ : state) {
    ScanInto(scan, k);
    benchmark::DoNotOptimize(Z.MaxCount);
  }
  state.counters["frames"] = Z.MaxCount;
}

void BM_ScanFull_Listing(benchmark::State &s) { ScanTimed(s, ScanFolder, 1); }
void BM_ScanFull_ExistenceTests(benchmark::State &s) { ScanTimed(s, ScanByExistenceTests, 1); }
void BM_ScanEmpty_Listing(benchmark::State &s) { ScanTimed(s, ScanFolder, 2); }
void BM_ScanEmpty_ExistenceTests(benchmark::State &s) { ScanTimed(s, ScanByExistenceTests, 2); }

void BM_FrameChange_Player(benchmark::State &state) {
  ResetState();
  Z.ContentsIndex = 2;
  OpenContents();
  int f = 0;
  for (auto _ : state) {
    Z.frame_no = f;
    if (!PresentFrame()) state.SkipWithError("frame did not load");
    f = (f + 1) % Z.MaxCount;
  }
}

void BM_FrameChange_BareImread(benchmark::State &state) {
  int f = 0;
  cv::Mat image;
  for (auto _ : state) {
    char path[64];
    snprintf(path, sizeof path, "../S003/clip_%05d.jpg", f);
    image = cv::imread(path, cv::IMREAD_COLOR);
    benchmark::DoNotOptimize(image.data);
    f = (f + 1) % 24;
  }
}

// Start-up to the first frame shown: the whole start-up sequence of the
// program with a display that only notes when the first image arrives.
double FirstShownAt = 0;
void NoteFirstShow(const char *, const ZepImage *) {
  if (FirstShownAt == 0) FirstShownAt = Clock.now();
}

void BM_StartupToFirstFrame(benchmark::State &state) {
  setenv("DISPLAY", ":bench", 1);
  symlink("/usr/bin/true", "ffmpeg");
  for (auto _ : state) {
    ResetState();
    Display = NullDisplay;
    Display.show_image = NoteFirstShow;
    Display.wait_key = Escape;
    FirstShownAt = 0;
    char program[] = "./orvantis";
    char *argv[] = {program, nullptr};
    double start = Clock.now();
    ProgramMain(1, argv);
    state.SetIterationTime(FirstShownAt - start);
  }
  Display = NullDisplay;
  Display.wait_key = Escape;
}

} // namespace

BENCHMARK(BM_ScanFull_Listing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanFull_ExistenceTests)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanEmpty_Listing)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScanEmpty_ExistenceTests)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameChange_Player)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_FrameChange_BareImread)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_StartupToFirstFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

int main(int argc, char **argv) {
  Console = {Capture, Capture};
  Display = NullDisplay;
  Display.wait_key = Escape;
  std::string root = EnterBenchFolder("spine");
  MakeInstallation();
  bool same = true;
  for (int k = 1; k <= 3; ++k)
    same = same && ScanResult(ScanFolder, k) == ScanResult(ScanByExistenceTests, k);
  printf("Same frame table and progress lines both ways: %s\n", same ? "yes" : "NO");
  Console = {Discard, Discard};
  if (same) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  }
  return RemoveBenchFolder(root) && same ? 0 : 1;
}
