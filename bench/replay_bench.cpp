// Speed of automatic replay and of the unpaced pass, each beside its baseline
// in the same run, on 1920x1080 frames made here:
//  - paced: the real loop (RunPass) with automatic replay on and a display
//    that only counts what it is shown, for 10 s of the real clock; baseline:
//    a bare loop of cv::imread held to the same 1/30 s spin;
//  - unpaced: the real loop stepping one frame per pass with key x and the
//    default cache (one frame), against bare cv::imread of the same files.
//    The two are run in alternating rounds so that load from other programs
//    on the machine falls on both alike.
// A timed harness rather than Google Benchmark: the paced figure is a rate
// over a fixed span of wall-clock time, not a per-iteration cost.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "bench/harness.h"
#include "contents/frame_table.h"
#include "platform/image.h"
#include "platform/platform.h"
#include "player/folders.h"
#include "player/keys.h"
#include "player/player.h"
#include "state/state.h"

namespace {

constexpr int FRAMES = 48;
constexpr double PACED_SECONDS = 10.0;
constexpr int UNPACED_ROUNDS = 6; // each round: every frame once, player then bare

long Shown = 0;
int Key = -1;

void CountShow(const char *, const ZepImage *) { ++Shown; }
int ScriptedKey(int) { return Key; }

// S001: frames with detail and noise, so that decoding costs what it does
// with real contents.
void MakeInstallation() {
  mkdir("../S001", 0755);
  cv::Mat base(1080, 1920, CV_8UC3);
  cv::RNG rng(11);
  for (int n = 0; n < FRAMES; ++n) {
    for (int y = 0; y < base.rows; ++y) {
      cv::Vec3b *row = base.ptr<cv::Vec3b>(y);
      for (int x = 0; x < base.cols; ++x)
        row[x] = cv::Vec3b((x + n * 7) & 255, (y + n * 3) & 255, ((x >> 2) ^ (y >> 2)) & 255);
    }
    cv::Mat noise(base.size(), CV_8UC3);
    rng.fill(noise, cv::RNG::UNIFORM, 0, 24);
    char path[64];
    snprintf(path, sizeof path, "../S001/clip_%05d.jpg", n);
    cv::imwrite(path, base + noise, {cv::IMWRITE_JPEG_QUALITY, 95});
  }
}

void OpenFolder(int auto_replay, int key) {
  ResetState();
  OpenContents();
  Z.WrapFlag = 1; // keep going round the folder
  Z.AutoReplayFlag = auto_replay;
  Key = key;
  Shown = 0;
}

const char *FramePath(int n) {
  static char path[64];
  snprintf(path, sizeof path, "../S001/clip_%05d.jpg", n % FRAMES);
  return path;
}

// Frames shown per second by the real loop with automatic replay on.
double PacedPlayer() {
  OpenFolder(1, -1);
  double start = Clock.now();
  long first = -1;
  double first_at = 0;
  while (Clock.now() - start < PACED_SECONDS + 0.5) {
    if (!RunPass()) abort();
    // Count from the first frame shown, so that the rate is of whole intervals.
    if (first < 0 && Shown > 0) {
      first = Shown;
      first_at = Clock.now();
    }
    if (first >= 0 && Clock.now() - first_at >= PACED_SECONDS) break;
  }
  return (Shown - first) / (Clock.now() - first_at);
}

// The same pacing rule around a bare cv::imread.
double PacedBare() {
  double start = Clock.now();
  double last = start;
  long frames = 0;
  while (Clock.now() - start < PACED_SECONDS) {
    cv::Mat image = cv::imread(FramePath(frames), cv::IMREAD_COLOR);
    if (image.empty()) abort();
    ++frames;
    while (Clock.now() - last < 1.0 / 30.0)
      PauseBriefly();
    last = Clock.now();
  }
  return frames / (Clock.now() - start);
}

// Seconds for one round of the real loop: FRAMES passes, each a new frame.
double UnpacedPlayerRound() {
  long before = Shown;
  double start = Clock.now();
  while (Shown - before < FRAMES)
    if (!RunPass()) abort();
  return Clock.now() - start;
}

double UnpacedBareRound() {
  double start = Clock.now();
  for (int n = 0; n < FRAMES; ++n) {
    cv::Mat image = cv::imread(FramePath(n), cv::IMREAD_COLOR);
    if (image.empty()) abort();
  }
  return Clock.now() - start;
}

} // namespace

int main() {
  Console = {Discard, Discard};
  Display = NullDisplay;
  Display.show_image = CountShow;
  Display.wait_key = ScriptedKey;
  if (!CheckKeyTable()) return 1;
  std::string root = EnterBenchFolder("replay");
  MakeInstallation();
  printf("replay_bench: %d frames of 1920x1080, JPEG quality 95\n", FRAMES);

  double paced_player = PacedPlayer();
  double paced_bare = PacedBare();
  printf("\npaced over %.0f s (target 30.00 frames/s, within 2%%: 29.40..30.60)\n", PACED_SECONDS);
  printf("  real loop, automatic replay : %6.2f frames/s  (%+.2f%% of 30)\n", paced_player,
         (paced_player / 30.0 - 1.0) * 100.0);
  printf("  baseline, bare imread paced : %6.2f frames/s  (%+.2f%% of 30)\n", paced_bare,
         (paced_bare / 30.0 - 1.0) * 100.0);

  OpenFolder(0, 'x');
  UnpacedPlayerRound(); // warm the page cache and the decoder
  UnpacedBareRound();
  double player = 0, bare = 0;
  for (int round = 0; round < UNPACED_ROUNDS; ++round) {
    player += UnpacedPlayerRound();
    bare += UnpacedBareRound();
  }
  double frames = static_cast<double>(FRAMES) * UNPACED_ROUNDS;
  printf("\nunpaced, %d frames each, alternating rounds (default cache: CamOnMemory = 1)\n",
         FRAMES * UNPACED_ROUNDS);
  printf("  real loop, key x each pass  : %6.2f passes/s\n", frames / player);
  printf("  baseline, bare cv::imread   : %6.2f images/s\n", frames / bare);
  printf("  ratio loop / bare           : %6.3f  (required >= 0.9)\n", bare / player);

  ResetState();
  return RemoveBenchFolder(root) ? 0 : 1;
}
