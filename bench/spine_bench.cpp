// Speed of the playback spine, each figure beside its baseline:
//  - the frame scan by one folder listing vs the plain 25001 existence tests,
//    on a folder of 22000 frames and on an empty folder (warm cache);
//  - one frame change (load, mark, show to a display that keeps nothing) vs a
//    bare cv::imread of the same 1920x1080 files;
//  - start-up to the first frame shown with a 22000-frame folder.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "app/startup.h"
#include "bench/bench_state.h"
#include "contents/frame_table.h"
#include "platform/image.h"
#include "platform/opencv/image_cv.h"
#include "platform/platform.h"
#include "player/folders.h"
#include "player/frame_cache.h"
#include "state/state.h"

namespace {

std::string Root;

void Quiet(const char *, size_t) {}
int Escape(int) { return 0x1B; }

void MakeInstallation() {
  char pattern[] = "/tmp/orvantis-bench-XXXXXX";
  Root = mkdtemp(pattern);
  mkdir((Root + "/work").c_str(), 0755);
  if (chdir((Root + "/work").c_str()) != 0) abort();
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

void ScanWith(benchmark::State &state, void (*scan)(int), int folder) {
  for (auto _ : state) {
    memset(Z.FrameData, 0, FRAME_TABLE_BYTES);
    Z.MaxCount = 0;
    scan(folder);
    benchmark::DoNotOptimize(Z.MaxCount);
  }
  state.counters["frames"] = Z.MaxCount;
}

void BM_ScanFull_Listing(benchmark::State &s) { ScanWith(s, ScanFolder, 1); }
void BM_ScanFull_ExistenceTests(benchmark::State &s) { ScanWith(s, ScanFolderByExistence, 1); }
void BM_ScanEmpty_Listing(benchmark::State &s) { ScanWith(s, ScanFolder, 2); }
void BM_ScanEmpty_ExistenceTests(benchmark::State &s) { ScanWith(s, ScanFolderByExistence, 2); }

void BM_FrameChange_Player(benchmark::State &state) {
  ResetStateRecord();
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
    ResetStateRecord();
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
  Console = {Quiet, Quiet};
  Display = NullDisplay;
  Display.wait_key = Escape;
  MakeInstallation();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (chdir("/") == 0) system(("rm -rf '" + Root + "'").c_str());
  return 0;
}
