// The import of a 10 s 1280x720 video: the same ffmpeg run started directly
// (baseline) against the whole import (sort, folder, emptying, ffmpeg), and
// the import's own work alone with a program start that returns at once.
// Rounds alternate so that both sides see the same machine load.
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/import.h"
#include "bench/harness.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "state/state.h"

namespace {

constexpr int ROUNDS = 6;

// ffmpeg's own progress output would drown the figures.
int QuietStderr() {
  int saved = dup(2);
  int null = open("/dev/null", O_WRONLY);
  dup2(null, 2);
  close(null);
  return saved;
}
void RestoreStderr(int saved) {
  dup2(saved, 2);
  close(saved);
}

int CountFrames(const char *folder) {
  int count = 0;
  if (DIR *dir = opendir(folder)) {
    while (struct dirent *e = readdir(dir))
      count += strncmp(e->d_name, "clip_", 5) == 0;
    closedir(dir);
  }
  return count;
}

ProgramEnd ReturnAtOnce(const char *const *) { return {ProgramEnd::Exited, 0}; }

void CopyFolder(const char *from, const char *to) {
  DIR *dir = opendir(from);
  if (dir == nullptr) return;
  std::vector<char> buffer(1 << 20);
  while (struct dirent *e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    std::string a = std::string(from) + "/" + e->d_name, b = std::string(to) + "/" + e->d_name;
    int in = open(a.c_str(), O_RDONLY), out = open(b.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ssize_t n;
    while (in >= 0 && out >= 0 && (n = read(in, buffer.data(), buffer.size())) > 0)
      if (write(out, buffer.data(), static_cast<size_t>(n)) != n) break;
    if (in >= 0) close(in);
    if (out >= 0) close(out);
  }
  closedir(dir);
}

// Processor seconds used so far by this process or by its waited-for children.
double CpuSeconds(int who) {
  struct rusage u;
  getrusage(who, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}
double CpuNow() { return CpuSeconds(RUSAGE_SELF) + CpuSeconds(RUSAGE_CHILDREN); }

} // namespace

int main() {
  std::string root = EnterBenchFolder("import");
  if (!FindFfmpeg(Z.FfmpegPath, sizeof Z.FfmpegPath)) {
    fprintf(stderr, "no ffmpeg\n");
    return 1;
  }
  Console = {Discard, Discard};

  int saved = QuietStderr();
  const char *make[] = {
      Z.FfmpegPath, "-y",      "-f",       "lavfi", "-i", "testsrc2=size=1280x720:rate=25:duration=10",
      "-pix_fmt",   "yuv420p", "clip.mp4", nullptr};
  ProgramEnd made = Process.run_and_wait(make);
  RestoreStderr(saved);
  if (made.how != ProgramEnd::Exited || made.value != 0) {
    fprintf(stderr, "could not make the test video\n");
    return 1;
  }

  snprintf(Z.ArgName[0], ARG_LEN, "./orvantis");
  snprintf(Z.ArgName[1], ARG_LEN, "clip.mp4");
  Z.ArgCount = 2;
  const char *direct[] = {Z.FfmpegPath, "-i", "file:clip.mp4", "-q:v", "1", "../S001/clip_%05d.jpg", nullptr};

  std::vector<double> baseline, import, own, baseline_cpu, import_cpu;
  int frames = 0;
  for (int round = 0; round < ROUNDS; ++round) {
    // Baseline: ffmpeg alone, into a folder emptied beforehand (not timed).
    // The whole import also empties the frames left by the run before it.
    // The two go first in turn, so that neither always meets a warmer cache.
    ProcessOps real = Process;
    auto run_baseline = [&] {
      Process = {ReturnAtOnce};
      ImportVideos();
      Process = real;
      int quiet = QuietStderr();
      double t0 = Now(), c0 = CpuNow();
      Process.run_and_wait(direct);
      baseline.push_back(Now() - t0);
      baseline_cpu.push_back(CpuNow() - c0);
      RestoreStderr(quiet);
      frames = CountFrames("../S001");
    };
    auto run_import = [&] {
      int quiet = QuietStderr();
      double t0 = Now(), c0 = CpuNow();
      ImportVideos();
      import.push_back(Now() - t0);
      import_cpu.push_back(CpuNow() - c0);
      RestoreStderr(quiet);
    };
    if (round % 2 == 0) {
      run_baseline();
      run_import();
    } else {
      run_import();
      run_baseline();
    }
    printf("  round %d: baseline %.3f s, import %.3f s (processor %.3f s, %.3f s)\n", round + 1,
           baseline.back(), import.back(), baseline_cpu.back(), import_cpu.back());
    fflush(stdout);

    // The import's own work alone: the same folder of frames to empty, a
    // program start that returns at once.
    mkdir("../stash", 0755);
    CopyFolder("../S001", "../stash");
    Process = {ReturnAtOnce};
    double t0 = Now();
    ImportVideos();
    own.push_back(Now() - t0);
    Process = real;
    CopyFolder("../stash", "../S001");
    if (system(("rm -rf '" + root + "/stash'").c_str()) != 0) return 1;
  }

  double b = Median(baseline), i = Median(import), o = Median(own);
  printf("Import of a 10 s 1280x720 video (%d frames), median of %d rounds:\n", frames, ROUNDS);
  printf("  baseline, ffmpeg started directly : %8.3f s  %7.1f frames/s\n", b, frames / b);
  printf("  whole import                      : %8.3f s  %7.1f frames/s\n", i, frames / i);
  printf("  wall-clock difference             : %+7.2f %%  (machine load makes this noisy)\n",
         100.0 * (i - b) / b);
  double bc = Median(baseline_cpu), ic = Median(import_cpu);
  printf("  processor time, ffmpeg directly   : %8.3f s\n", bc);
  printf("  processor time, whole import      : %8.3f s  (%+.2f %%)\n", ic, 100.0 * (ic - bc) / bc);
  printf("  import's own work alone           : %8.4f s  (%.2f %% of the ffmpeg run)\n", o, 100.0 * o / b);

  return RemoveBenchFolder(root) ? 0 : 1;
}
