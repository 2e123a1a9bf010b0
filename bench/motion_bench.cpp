// The motion measure and whole passes of the main loop.
//
// CalcDifferenceSum at DiffStep 4 and 1, beside OpenCV's absdiff + sum over
// the same grid (the grid picked with a nearest-neighbour resize, which
// samples exactly the columns and rows 0, step, 2 step, ...). Then one whole
// pass of the loop with the camera on (a scripted 320 x 240 source whose frame
// never changes, default cache of one frame) and with it off.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <string>

#include "bench/harness.h"
#include "contents/frame_table.h"
#include "motion/camera.h"
#include "motion/shared_pool.h"
#include "platform/camera_source.h"
#include "platform/opencv/image_cv.h"
#include "platform/platform.h"
#include "player/folders.h"
#include "player/player.h"
#include "state/state.h"

namespace {

std::string SectionName() { return "/orvantis-bench-" + std::to_string(getpid()); }

void FillNoise() {
  std::mt19937 random(42);
  for (auto &slot : Z.GrayFrame)
    for (uint8_t &b : slot)
      b = static_cast<uint8_t>(random());
}

void BM_CalcDifferenceSum(benchmark::State &state) {
  FillNoise();
  Z.CameraFlag = 1;
  Z.CamChan = 0;
  Z.DiffStep = static_cast<int>(state.range(0));
  for (auto _ : state) {
    CalcDifferenceSum();
    benchmark::DoNotOptimize(Z.DifferenceSum);
  }
}
BENCHMARK(BM_CalcDifferenceSum)->Arg(4)->Arg(1);

// Baseline: the same sum with OpenCV, the grid taken by a nearest resize.
void BM_OpenCvAbsdiffSum(benchmark::State &state) {
  FillNoise();
  int step = static_cast<int>(state.range(0));
  cv::Mat a(ZEP_F_YMAX, ZEP_F_XMAX, CV_8UC1, Z.GrayFrame[0]);
  cv::Mat b(ZEP_F_YMAX, ZEP_F_XMAX, CV_8UC1, Z.GrayFrame[1]);
  cv::Size grid((ZEP_F_XMAX + step - 1) / step, (ZEP_F_YMAX + step - 1) / step);
  cv::Mat ga, gb, diff;
  for (auto _ : state) {
    if (step == 1) {
      cv::absdiff(a, b, diff);
    } else {
      cv::resize(a, ga, grid, 0, 0, cv::INTER_NEAREST);
      cv::resize(b, gb, grid, 0, 0, cv::INTER_NEAREST);
      cv::absdiff(ga, gb, diff);
    }
    benchmark::DoNotOptimize(static_cast<int>(cv::sum(diff)[0]));
  }
}
BENCHMARK(BM_OpenCvAbsdiffSum)->Arg(4)->Arg(1);

// --- Whole passes ---

cv::Mat StillFrame;
ZepCapture *StillOpen(int) { return new ZepCapture{nullptr}; }
void StillSet(ZepCapture *, int, int, double) {}
bool StillRead(ZepCapture *, ZepImage *frame) {
  StillFrame.copyTo(frame->mat); // as a device delivers a fresh buffer
  return true;
}
void StillRelease(ZepCapture *capture) { delete capture; }

std::string Root;

// A working folder with one 320 x 240 frame beside it, the seams quiet.
void PreparePlayerOnce() {
  if (!Root.empty()) return;
  Root = EnterBenchFolder("motion");
  mkdir("../S001", 0755);
  cv::imwrite("../S001/clip_00000.jpg", cv::Mat(240, 320, CV_8UC3, cv::Scalar(40, 90, 160)));
  Console = {Discard, Discard};
  Display = NullDisplay;
  StillFrame = cv::Mat(240, 320, CV_8UC3, cv::Scalar(90, 120, 30));
  CameraSource = {StillOpen, StillSet, StillRead, StillRelease};
  OpenContents();
  Z.frame_no = 0.0;
  RunPass(); // loads and shows the frame once
}

void BM_Pass(benchmark::State &state) {
  PreparePlayerOnce();
  bool camera = state.range(0) != 0;
  if ((Z.CameraFlag != 0) != camera) ToggleCamera();
  for (auto _ : state) {
    if (!RunPass()) state.SkipWithError("the pass asked to stop");
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(camera ? "camera on" : "camera off");
}
BENCHMARK(BM_Pass)->Arg(1)->Arg(0);

} // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  OpenSharedInfo(SectionName().c_str());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  RemoveSharedSection(SectionName().c_str());
  return Root.empty() || RemoveBenchFolder(Root) ? 0 : 1;
}
