// The frame pipeline, timed frame by frame, each figure beside its baseline:
//   frames    frame change (load, mark, show to a display that keeps nothing)
//             on 1080p and 4K sequences made by ffmpeg, plain and noisy,
//             against "release the old image, cv::imread the new one";
//   step      stepping through 300 1080p frames as fast as possible, beside
//             mpv decoding the same files with no output (when installed);
//   replay    automatic replay at 30 frames per second on 4K frames, plain
//             and noisy, for --seconds each (default 30): the work of each
//             pass apart from the pacing wait, the intervals between frames
//             shown, and the late ones;
//   memory    resident memory while replaying a 22000-frame 1080p folder;
//   pass      the share of each step of a pass without a frame change;
//   window    the steps of a pass that changes frame in a real window
//             (load and mark, show, key wait), when a display is there.
//   view      in a real window of 400x300 and of 1280x720: unpaced stepping
//             through 1080p, 4K and 8K sequences, plain and noisy, beside
//             today's path (whole decoding, none ahead) and the plain loop;
//   view-replay  automatic replay in a real window, beside today's path.
//   one       a single measure in the default window, for scripts that set
//             the workers and processors (bench/run_decode_pool.sh):
//             one step|plain|replay|memory SEQUENCE (k of the view table)
//             COUNT (frame changes, seconds, or unused for memory), then
//             where each thread's time went (decoding, marking+shrinking,
//             drawing, waiting; the bench build keeps those sums).
// Usage: frame_pipeline_bench [frames|step|replay|memory|pass|window|view|view-replay|all] [--seconds N]
//        frame_pipeline_bench one step|plain|replay|memory K COUNT
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <opencv2/highgui.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "bench/harness.h"
#include "common/time_account.h"
#include "common/timing.h"
#include "contents/frame_table.h"
#include "platform/image.h"
#include "platform/opencv/image_cv.h"
#include "platform/platform.h"
#include "player/decode_ahead.h"
#include "player/folders.h"
#include "player/frame_cache.h"
#include "player/keys.h"
#include "player/motion_step.h"
#include "player/player.h"
#include "state/state.h"

namespace {

std::string Root;
int ReplaySeconds = 30;

double LastShow = 0;
std::vector<double> ShowIntervals;
void NoteShow(const char *, const ZepImage *) {
  double t = Now();
  if (LastShow > 0) ShowIntervals.push_back(t - LastShow);
  LastShow = t;
}

bool Run(const std::string &command) { return system(command.c_str()) == 0; }

// Makes ../S<k> with count frames by ffmpeg, unless it is there already.
void MakeSequence(int k, int width, int height, int count, bool noisy) {
  char folder[64];
  snprintf(folder, sizeof folder, "../S%03d", k);
  char first[96];
  snprintf(first, sizeof first, "%s/clip_%05d.jpg", folder, count - 1);
  if (FileExists(first)) return;
  mkdir(folder, 0755);
  char command[512];
  snprintf(command, sizeof command,
           "ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=%dx%d:rate=30 -frames:v %d %s -q:v 1 "
           "-start_number 0 %s/clip_%%05d.jpg",
           width, height, count, noisy ? "-vf noise=alls=12:allf=t+u" : "", folder);
  if (!Run(command)) {
    fprintf(stderr, "ffmpeg failed: %s\n", command);
    exit(1);
  }
}

void Report(const char *what, const std::vector<double> &ms) {
  printf("  %-34s median %7.2f ms   p99 %7.2f ms   max %7.2f ms   (%zu frames)\n", what, Percentile(ms, 0.5),
         Percentile(ms, 0.99), *std::max_element(ms.begin(), ms.end()), ms.size());
}

std::vector<double> TimePlayer(int k, int changes, int cached = 1) {
  ResetState();
  Z.ContentsIndex = k - 1;
  OpenContents();
  Z.CamOnMemory = cached;
  std::vector<double> ms;
  for (int i = 0; i < changes; ++i) {
    Z.frame_no = i % Z.MaxCount;
    double t = Now();
    if (!PresentFrame()) exit(1);
    ms.push_back((Now() - t) * 1000);
  }
  return ms;
}

std::vector<double> TimeImread(int k, int count, int changes) {
  std::vector<double> ms;
  cv::Mat image;
  for (int i = 0; i < changes; ++i) {
    char path[96];
    snprintf(path, sizeof path, "../S%03d/clip_%05d.jpg", k, i % count);
    double t = Now();
    image.release();
    image = cv::imread(path, cv::IMREAD_COLOR);
    ms.push_back((Now() - t) * 1000);
  }
  return ms;
}

void BenchFrames() {
  struct Sequence {
    const char *name;
    int k, width, height, count;
    bool noisy;
  } sequences[] = {{"1080p testsrc2", 1, 1920, 1080, 60, false},
                   {"1080p noisy", 2, 1920, 1080, 60, true},
                   {"4K testsrc2", 3, 3840, 2160, 40, false},
                   {"4K noisy", 4, 3840, 2160, 40, true}};
  printf("Frame change (load, mark, show), 1 frame cached, each sequence played 3 times:\n");
  for (const Sequence &s : sequences) {
    MakeSequence(s.k, s.width, s.height, s.count, s.noisy);
    int changes = s.count * 3;
    std::vector<double> base = TimeImread(s.k, s.count, changes);
    std::vector<double> ours = TimePlayer(s.k, changes);
    printf(" %s\n", s.name);
    Report("baseline: release + cv::imread", base);
    Report("player frame change", ours);
    printf("  median ratio %.2f x imread; p99 / median %.2f\n", Percentile(ours, 0.5) / Percentile(base, 0.5),
           Percentile(ours, 0.99) / Percentile(ours, 0.5));
  }
  // A larger cache is emptied whole when full, so its images are released
  // and loaded again in bursts. Its first filling takes fresh buffers.
  std::vector<double> ours = TimePlayer(3, 120, 5);
  std::vector<double> filling(ours.begin(), ours.begin() + 5);
  ours.erase(ours.begin(), ours.begin() + 5);
  printf(" 4K testsrc2, 5 frames cached (first filling: slowest %.2f ms)\n",
         *std::max_element(filling.begin(), filling.end()));
  Report("player frame change", ours);
  printf("  p99 / median %.2f\n", Percentile(ours, 0.99) / Percentile(ours, 0.5));
}

void BenchStep() {
  MakeSequence(5, 1920, 1080, 300, false);
  ResetState();
  Z.ContentsIndex = 4;
  OpenContents();
  double t = Now();
  for (int f = 0; f < Z.MaxCount; ++f) {
    Z.frame_no = f;
    if (!PresentFrame()) exit(1);
  }
  double ours = Z.MaxCount / (Now() - t);
  printf("Stepping through 300 1080p frames: player %.1f frames/s\n", ours);
  if (!Run("command -v mpv >/dev/null 2>&1")) {
    printf("  mpv is not installed (Debian package mpv): no side-by-side figure\n");
    return;
  }
  t = Now();
  Run("mpv --no-config --vo=null --untimed --no-audio --really-quiet 'mf://../S005/*.jpg' >/dev/null 2>&1");
  double theirs = 300 / (Now() - t);
  printf("  mpv --vo=null --untimed: %.1f frames/s; player / mpv = %.2f\n", theirs, ours / theirs);
}

// The end of a pass's own work: the key wait follows the frame's show, and
// what comes after it (threshold re-read, replay step) takes microseconds
// before the pacing spin.
double WorkEnd = 0;
int NoteKeyWait(int) {
  WorkEnd = Now();
  return -1;
}

// Runs automatic replay for seconds, wrapping at the end, and returns the
// work of each pass in ms (up to the end of its key wait, the pacing apart);
// the shows are noted in ShowIntervals.
std::vector<double> TimeReplayPasses(double seconds) {
  Z.AutoReplayFlag = 1;
  ShowIntervals.clear();
  LastShow = 0;
  std::vector<double> work;
  mark();
  double end = Now() + seconds;
  while (Now() < end) {
    // Wrapping restarts the sequence; keep the folder's wrap across the scan.
    Z.WrapFlag = 1;
    double start = Now();
    if (!RunPass()) exit(1);
    work.push_back((WorkEnd - start) * 1000);
  }
  return work;
}

void ReplayFor(const char *name, int k) {
  ResetState();
  Z.ContentsIndex = k - 1;
  OpenContents();
  Display.show_image = NoteShow;
  Display.wait_key = NoteKeyWait;
  std::vector<double> work = TimeReplayPasses(ReplaySeconds);
  Display.wait_key = NullDisplay.wait_key;
  // The first pass decodes into a fresh buffer, whose pages the system
  // hands out on first touch; it is the start of replay, reported apart.
  double first = work.front();
  work.erase(work.begin());
  int late = 0, slow = 0;
  std::vector<double> ms;
  for (double s : ShowIntervals) {
    late += s > 1.0 / 30.0 + 0.001;
    ms.push_back(s * 1000);
  }
  for (double w : work)
    slow += w > 1000.0 / 30.0;
  printf(" %s (first pass, into a fresh buffer: %.2f ms)\n", name, first);
  Report("work of a pass (pacing wait apart)", work);
  Report("interval between frames shown", ms);
  printf(
      "  passes over 33.3 ms of work: %d of %zu; frames shown per second %.2f; intervals over 34.3 ms: %d\n",
      slow, work.size(), ShowIntervals.size() / (double)ReplaySeconds, late);
}

void BenchReplay() {
  MakeSequence(3, 3840, 2160, 40, false);
  MakeSequence(4, 3840, 2160, 40, true);
  printf("Automatic replay of 4K frames, %d s each:\n", ReplaySeconds);
  ReplayFor("4K testsrc2", 3);
  ReplayFor("4K noisy", 4);
}

// The steps of a pass that changes frame, in a real window (needs a display):
// the load and mark, the show, and the 1 ms key wait that follows it.
void BenchWindow(const DisplayOps &window) {
  if (!DisplayAvailable()) {
    printf("Window steps: no display (set DISPLAY, e.g. under Xvfb)\n");
    return;
  }
  printf("Steps of a pass that changes frame, shown in a real window (medians):\n");
  for (int k : {1, 3}) {
    MakeSequence(k, k == 1 ? 1920 : 3840, k == 1 ? 1080 : 2160, k == 1 ? 60 : 40, false);
    ResetState();
    Z.ContentsIndex = k - 1;
    OpenContents();
    window.create_window(MAIN_WINDOW, 1);
    std::vector<double> load, show, wait;
    for (int i = 0; i < 120; ++i) {
      Z.frame_no = i % Z.MaxCount;
      Display.show_image = NoteShow;
      double t = Now();
      if (!PresentFrame()) exit(1);
      double t1 = Now();
      window.show_image(MAIN_WINDOW, Z.FrameCache[i % Z.MaxCount]);
      double t2 = Now();
      window.wait_key(1);
      double t3 = Now();
      load.push_back((t1 - t) * 1000);
      show.push_back((t2 - t1) * 1000);
      wait.push_back((t3 - t2) * 1000);
    }
    window.destroy_window(MAIN_WINDOW);
    printf("  %s: load and mark %.2f ms, show %.2f ms, key wait (1 ms asked) %.2f ms\n",
           k == 1 ? "1080p" : "4K", Percentile(load, 0.5), Percentile(show, 0.5), Percentile(wait, 0.5));
  }
}

long ResidentKiB() {
  FILE *f = fopen("/proc/self/statm", "r");
  long pages = 0, resident = 0;
  if (f != nullptr) {
    if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void DefaultPicture(const char *, int *width, int *height) {
  *width = 400; // what the default 400x300 window shows of a 16:9 frame
  *height = 225;
}

// Resident memory while showing 22000 frames, links to the frames of folder
// source (so that the disk holds little) in folder k, one frame cached.
void MemoryOver(const char *what, int source, int count, int k) {
  char folder[16], last[48];
  snprintf(folder, sizeof folder, "../S%03d", k);
  snprintf(last, sizeof last, "%s/clip_21999.jpg", folder);
  if (!FileExists(last)) {
    mkdir(folder, 0755);
    for (int n = 0; n < MAX_FRAMES; ++n) {
      char link[96], target[96];
      snprintf(link, sizeof link, "%s/clip_%05d.jpg", folder, n);
      snprintf(target, sizeof target, "../S%03d/clip_%05d.jpg", source, n % count);
      if (symlink(target, link) != 0) exit(1);
    }
  }
  ResetState();
  Z.ContentsIndex = k - 1;
  OpenContents();
  Z.CamOnMemory = 1;
  printf("Resident memory while showing frames of a 22000-frame %s folder, 1 frame cached:\n", what);
  long after100 = 0;
  for (int f = 0; f < MAX_FRAMES; ++f) {
    Z.frame_no = f;
    if (!PresentFrame()) exit(1);
    if (f == 100) after100 = ResidentKiB();
    if (f == 100 || f == 1000 || f == 5000 || f == 10000 || f == MAX_FRAMES - 1)
      printf("  after frame %5d: %ld KiB\n", f, ResidentKiB());
  }
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  printf("  growth after frame 100: %ld KiB; peak resident %ld KiB\n", ResidentKiB() - after100,
         usage.ru_maxrss);
}

void BenchMemory(bool only_4k = false) {
  Display.show_image = NullDisplay.show_image; // the interval record would grow by a frame's 8 bytes
  MakeSequence(1, 1920, 1080, 60, false);
  if (!only_4k) MemoryOver("1080p", 1, 60, 6);
  // 4K in the default window: decoded at 1/8, the next frames ahead.
  MakeSequence(3, 3840, 2160, 40, false);
  Display.window_size = DefaultPicture;
  MemoryOver("4K (shown as in the default window)", 3, 40, 9);
  Display.window_size = NullDisplay.window_size;
  Display.show_image = NoteShow;
}

void BenchPass() {
  MakeSequence(1, 1920, 1080, 60, false);
  ResetState();
  OpenContents();
  if (!PresentFrame()) exit(1);
  const int passes = 20000;
  double t = Now();
  for (int i = 0; i < passes; ++i)
    ReloadThreshold();
  double reload = (Now() - t) / passes;
  t = Now();
  for (int i = 0; i < passes; ++i)
    RunPass();
  double pass = (Now() - t) / passes;
  printf(
      "A pass without a frame change (no key wait): %.2f us, of which the threshold file re-read %.2f us\n",
      pass * 1e6, reload * 1e6);
}

// --- In a real window: decoding at the size shown, and ahead ---------------

// The path before either: frames decoded whole, none ahead, and the window
// handed the whole image to scale.
void WholeShow(const char *name, const ZepImage *image) {
  if (image != nullptr && !image->mat.empty()) cv::imshow(name, image->mat);
}
DisplayOps WindowOps, TodayOps; // the real display, and it as it was before

// Prepares folder k in a real main window of width x height (0: auto-size),
// through our path or today's.
int PoolWorkers = -1; // the environment's number of workers
void OpenInWindow(int k, bool ours, int width, int height) {
  ResetState();
  if (PoolWorkers < 0) PoolWorkers = DecodeWorkers();
  SetDecodeWorkers(ours ? PoolWorkers : 0);
  Display = ours ? WindowOps : TodayOps;
  Z.ContentsIndex = k - 1;
  Z.VARIABLE_SIZE_FLAG = width == 0;
  if (!OpenContents()) exit(1);
  if (width > 0) cv::resizeWindow(MAIN_WINDOW, width, height);
  for (int i = 0; i < 5; ++i)
    cv::waitKey(5);
}

// Unpaced motion-steered stepping: each pass steps one frame on and shows it,
// with the 1 ms key wait in which the window draws. Milliseconds per pass.
std::vector<double> StepInWindow(int k, bool ours, int width, int height, int changes) {
  OpenInWindow(k, ours, width, height);
  Z.VR_threshold = 1000;
  Z.WrapFlag = 1;
  Z.PlayDirection = Z.PrevDirection = 1;
  std::vector<double> ms;
  for (int i = 0; i < changes; ++i) {
    double t = Now();
    Z.DifferenceSum = 2000;
    MotionStep();
    if (!PresentFrame()) exit(1);
    Display.wait_key(1);
    ms.push_back((Now() - t) * 1000);
  }
  Display.destroy_window(MAIN_WINDOW);
  return ms;
}

// Unpaced stepping with key x through the key table, as a user holding it.
std::vector<double> KeyStepInWindow(int k, bool ours, int changes) {
  OpenInWindow(k, ours, 400, 300);
  Z.WrapFlag = 1;
  std::vector<double> ms;
  for (int i = 0; i < changes; ++i) {
    double t = Now();
    DispatchKey('x');
    if (!PresentFrame()) exit(1);
    Display.wait_key(1);
    ms.push_back((Now() - t) * 1000);
  }
  Display.destroy_window(MAIN_WINDOW);
  return ms;
}

// The plain loop: cv::imread, the mark, cv::imshow, cv::waitKey(1).
std::vector<double> PlainLoop(int k, int count, int changes) {
  cv::namedWindow("plain", cv::WINDOW_NORMAL | cv::WINDOW_GUI_NORMAL);
  for (int i = 0; i < 5; ++i)
    cv::waitKey(5);
  std::vector<double> ms;
  for (int i = 0; i < changes; ++i) {
    char path[96];
    snprintf(path, sizeof path, "../S%03d/clip_%05d.jpg", k, i % count);
    double t = Now();
    cv::Mat m = cv::imread(path, cv::IMREAD_COLOR);
    int x = (i % count) * m.cols / count;
    cv::rectangle(m, cv::Point(x, m.rows - 5), cv::Point(x, m.rows), cv::Scalar(0, 255, 0), 10);
    cv::imshow("plain", m);
    cv::waitKey(1);
    ms.push_back((Now() - t) * 1000);
  }
  cv::destroyWindow("plain");
  return ms;
}

// Runs a measure twice each way, interleaved (ours, today's, ours, today's),
// and reports both with the median of the two medians.
template <typename Measure> void Interleaved(const char *what, Measure measure) {
  std::vector<double> ours, today, ours_medians, today_medians;
  for (int round = 0; round < 2; ++round)
    for (bool mine : {true, false}) {
      std::vector<double> ms = measure(mine);
      (mine ? ours_medians : today_medians).push_back(Median(ms));
      (mine ? ours : today).insert((mine ? ours : today).end(), ms.begin(), ms.end());
    }
  printf(" %s\n", what);
  Report("ours: per frame change", ours);
  Report("today's path: per frame change", today);
  double a = (ours_medians[0] + ours_medians[1]) / 2, b = (today_medians[0] + today_medians[1]) / 2;
  printf("  rounds' medians %.2f / %.2f ms against %.2f / %.2f ms: %.1f against %.1f frames/s, %.2f x\n",
         ours_medians[0], ours_medians[1], today_medians[0], today_medians[1], 1000 / a, 1000 / b, b / a);
}

struct ViewSequence {
  const char *name;
  int k, width, height, count;
  bool noisy;
};
const ViewSequence ViewSequences[] = {
    {"1080p testsrc2", 1, 1920, 1080, 60, false}, {"1080p noisy", 2, 1920, 1080, 60, true},
    {"4K testsrc2", 3, 3840, 2160, 40, false},    {"4K noisy", 4, 3840, 2160, 40, true},
    {"8K testsrc2", 7, 7680, 4320, 20, false},    {"8K noisy", 8, 7680, 4320, 20, true}};

void BenchView() {
  if (!DisplayAvailable()) {
    printf("View: no display (set DISPLAY, e.g. under Xvfb)\n");
    return;
  }
  for (const ViewSequence &s : ViewSequences)
    MakeSequence(s.k, s.width, s.height, s.count, s.noisy);
  const int sizes[][2] = {{400, 300}, {1280, 720}};
  for (const auto &size : sizes) {
    printf("Unpaced motion-steered stepping in a %dx%d window, beside today's path (whole decoding, "
           "none ahead):\n",
           size[0], size[1]);
    for (const ViewSequence &s : ViewSequences) {
      int changes = s.count * (s.width > 4000 ? 1 : 2);
      Interleaved(s.name, [&](bool ours) { return StepInWindow(s.k, ours, size[0], size[1], changes); });
      if (size[0] == 400 && s.k == 4) {
        std::vector<double> plain = PlainLoop(s.k, s.count, changes);
        std::vector<double> more = PlainLoop(s.k, s.count, changes);
        plain.insert(plain.end(), more.begin(), more.end());
        Report("plain loop (imread, mark, imshow, waitKey(1))", plain);
      }
    }
  }
  printf("Unpaced key-x stepping in the default window, beside today's path:\n");
  Interleaved("1080p testsrc2", [](bool ours) { return KeyStepInWindow(1, ours, 120); });
}

DisplayOps Inner; // the display a noting wrapper passes on to
void NoteShowThen(const char *name, const ZepImage *image) {
  NoteShow(name, image);
  Inner.show_image(name, image);
}
int KeyWaitThen(int milliseconds) {
  Spending spent(SPENT_DRAWING);
  int key = Inner.wait_key(milliseconds);
  WorkEnd = Now();
  return key;
}

// Automatic replay in a real window of width x height (0: auto-size) for
// seconds: the work of each pass up to the end of its key wait (the drawing
// included, the pacing wait apart) and the frames shown per second.
void ReplayInWindow(const char *name, int k, bool ours, int width, int height, int seconds) {
  OpenInWindow(k, ours, width, height);
  Inner = Display;
  Display.show_image = NoteShowThen;
  Display.wait_key = KeyWaitThen;
  std::vector<double> work = TimeReplayPasses(seconds);
  Display = Inner;
  Display.destroy_window(MAIN_WINDOW);
  work.erase(work.begin()); // the first pass decodes into fresh memory
  int slow = 0;
  for (double w : work)
    slow += w > 1000.0 / 30.0;
  printf(" %s, %s\n", name, ours ? "ours" : "today's path");
  Report("work of a pass (pacing wait apart)", work);
  printf("  passes over 33.3 ms of work: %d of %zu; frames shown per second %.2f\n", slow, work.size(),
         ShowIntervals.size() / static_cast<double>(seconds));
}

void BenchViewReplay() {
  if (!DisplayAvailable()) return;
  MakeSequence(4, 3840, 2160, 40, true);
  MakeSequence(8, 7680, 4320, 20, true);
  printf("Automatic replay in a real window, %d s each, interleaved:\n", ReplaySeconds);
  for (int round = 0; round < 2; ++round)
    for (bool ours : {true, false})
      ReplayInWindow("4K noisy, 400x300 window", 4, ours, 400, 300, ReplaySeconds);
  for (bool ours : {true, false})
    ReplayInWindow("8K noisy, 400x300 window", 8, ours, 400, 300, ReplaySeconds / 3);
  for (bool ours : {true, false})
    ReplayInWindow("4K noisy, auto-size window", 4, ours, 0, 0, ReplaySeconds / 3);
}

// One measure of sequence k in the default window, with the workers and
// processors the caller gave the process.
void BenchOne(const std::string &what, int k, int count) {
  const ViewSequence *s = nullptr;
  for (const ViewSequence &v : ViewSequences)
    if (v.k == k) s = &v;
  if (s == nullptr || (what != "memory" && !DisplayAvailable())) exit(2);
  MakeSequence(s->k, s->width, s->height, s->count, s->noisy);
  printf("%s, %s, %d decoding workers:\n", s->name, what.c_str(), DecodeWorkers());
  if (what == "replay") {
    ReplayInWindow(s->name, k, true, 400, 300, count);
  } else if (what == "memory") {
    BenchMemory(true);
  } else {
    std::vector<double> ms =
        what == "plain" ? PlainLoop(k, s->count, count) : StepInWindow(k, true, 400, 300, count);
    double sum = 0;
    for (double m : ms)
      sum += m;
    Report(what == "plain" ? "plain loop: per frame" : "per frame change", ms);
    printf("  %.2f frames/s\n", 1000 * ms.size() / sum);
  }
  printf(" where each thread's time went:\n");
  PrintTimeAccount(stdout);
}

} // namespace

int main(int argc, char **argv) {
  std::string what = argc > 1 ? argv[1] : "all";
  for (int i = 1; i + 1 < argc; ++i)
    if (strcmp(argv[i], "--seconds") == 0) ReplaySeconds = atoi(argv[i + 1]);
  Console = {Discard, Discard};
  const DisplayOps window = Display;
  Display = NullDisplay;
  Display.show_image = NoteShow;
  const char *keep = getenv("ORVANTIS_BENCH_DIR"); // reuse made sequences between runs
  if (keep != nullptr) {
    Root = keep;
    mkdir(Root.c_str(), 0755);
    mkdir((Root + "/work").c_str(), 0755);
    if (chdir((Root + "/work").c_str()) != 0) return 1;
  } else {
    Root = EnterBenchFolder("pipeline");
  }
  if (what == "frames" || what == "all") BenchFrames();
  if (what == "step" || what == "all") BenchStep();
  if (what == "replay" || what == "all") BenchReplay();
  if (what == "memory" || what == "all") BenchMemory();
  if (what == "pass" || what == "all") BenchPass();
  if (what == "window" || what == "all") BenchWindow(window);
  WindowOps = window;
  TodayOps = window;
  TodayOps.window_size = NullDisplay.window_size;
  TodayOps.show_image = WholeShow;
  if (what == "view" || what == "all") BenchView();
  if (what == "view-replay" || what == "all") BenchViewReplay();
  if (what == "one" && argc > 4) BenchOne(argv[2], atoi(argv[3]), atoi(argv[4]));
  return keep != nullptr || RemoveBenchFolder(Root) ? 0 : 1;
}
