// The bridge between computers with real processes: a broker (mosquitto) on
// 127.0.0.1, "computers" as mount namespaces with a private /dev/shm each, one
// orvantis_bridge per site. Measures
//   1. propagation A -> B: a new value in A's slot 3, time until B's section
//      holds it, over 1000 changes (about 30 per second), with the bridges
//      reading at 30 Hz and, as the baseline of the broker hop alone, 1000 Hz;
//   2. 8 sites x 4 slots (all 32) changing at 30 Hz for 60 s: every site's
//      section must end with all 32 final values; the bridges' CPU.
//
//   bridge_bench [changes=1000] [seconds=60]
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/harness.h"
#include "bench/process_stats.h"
#include "state/state.h"

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }
void Nap(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

std::string Folder;
int Port = 0;
pid_t Broker = -1;

// Starts a program with output to `log` (or /dev/null).
pid_t Start(const std::vector<std::string> &args, const std::string &log = "/dev/null") {
  std::vector<char *> argv;
  for (const std::string &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

bool Accepts(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

struct Site {
  pid_t Holder = -1, Bridge = -1;
  SharedInfo *Section = nullptr;
};

// A site with its bridge, its section mapped here. False when it did not come up.
bool StartSite(Site *site, const std::string &name, int rate) {
  site->Holder = Start({"unshare", "--mount", "sh", "-c",
                        "mount -t tmpfs -o size=1m,mode=1777 tmpfs /dev/shm && exec sleep 3600"});
  const std::string proc = "/proc/" + std::to_string(site->Holder);
  for (int i = 0; i < 100 && ReadSmallFile(proc + "/comm") != "sleep\n"; ++i)
    Nap(0.05);
  site->Bridge = Start({"nsenter", "--mount=" + proc + "/ns/mnt", "--", BRIDGE_PROGRAM, "--broker",
                        "127.0.0.1:" + std::to_string(Port), "--site", name, "--rate", std::to_string(rate)},
                       Folder + "/bridge-" + name + ".log");
  site->Section = MapSiteSection(site->Holder, 100);
  return site->Section != nullptr;
}

void StopSite(Site *site) {
  Stop(site->Bridge);
  Stop(site->Holder);
  if (site->Section != nullptr) munmap(site->Section, SHARED_SIZE);
  *site = Site{};
}

volatile int32_t &Slot(Site &site, int n) {
  return const_cast<volatile int32_t &>(site.Section->WebCamDiff[n]);
}

// Waits until `site` holds `value` in slot `n`; the seconds it took, or -1.
double WaitFor(Site &site, int n, int32_t value, double limit) {
  Clock::time_point start = Clock::now();
  while (Slot(site, n) != value) {
    if (Since(start) > limit) return -1;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return Since(start);
}

void MeasureLatency(int changes, int rate) {
  Site a, b;
  if (!StartSite(&a, "A", rate) || !StartSite(&b, "B", rate)) {
    printf("latency at %d Hz: the sites did not come up\n", rate);
    StopSite(&a), StopSite(&b);
    return;
  }
  Slot(a, 3) = 1;
  if (WaitFor(b, 3, 1, 10) < 0) printf("latency at %d Hz: the bridges never joined\n", rate);
  std::vector<double> times;
  int lost = 0;
  Clock::time_point start = Clock::now();
  for (int i = 0; i < changes; ++i) {
    int32_t value = 1000 + i;
    Slot(a, 3) = value;
    double t = WaitFor(b, 3, value, 1.0);
    if (t < 0)
      ++lost;
    else
      times.push_back(t * 1000);
    // The arrival follows A's reading by a fixed hop; the next change comes
    // 0 to 33.3 ms later, so that it falls anywhere in A's reading period
    // (about 30 changes per second on the whole).
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 33334));
  }
  double per_second = changes / Since(start);
  std::sort(times.begin(), times.end());
  auto at = [&](double q) { return times.empty() ? 0 : times[static_cast<size_t>(q * (times.size() - 1))]; };
  printf(
      "latency A -> B, bridges reading at %4d Hz, %d changes at %.1f per second: p50 %.1f ms, p99 %.1f ms, "
      "max %.1f ms, lost %d\n",
      rate, changes, per_second, at(0.5), at(0.99), at(1.0), lost);
  StopSite(&a);
  StopSite(&b);
}

void MeasureRoom(double seconds) {
  constexpr int SITES = 8, SLOTS_EACH = SHARED_SLOTS / SITES;
  Site sites[SITES];
  for (int s = 0; s < SITES; ++s)
    if (!StartSite(&sites[s], "site" + std::to_string(s), 30)) {
      printf("room: site %d did not come up\n", s);
      for (Site &site : sites)
        StopSite(&site);
      return;
    }
  Nap(1.0); // all connected
  double cpu_before[SITES];
  for (int s = 0; s < SITES; ++s)
    cpu_before[s] = CpuSeconds(sites[s].Bridge);
  Clock::time_point start = Clock::now(), next = start;
  int32_t tick = 0;
  while (Since(start) < seconds) {
    ++tick;
    for (int s = 0; s < SITES; ++s)
      for (int k = 0; k < SLOTS_EACH; ++k)
        Slot(sites[s], s * SLOTS_EACH + k) = tick * SHARED_SLOTS + s * SLOTS_EACH + k + 1;
    next += std::chrono::microseconds(33333);
    std::this_thread::sleep_until(next);
  }
  double elapsed = Since(start);
  double cpu_max = 0, cpu_sum = 0;
  for (int s = 0; s < SITES; ++s) {
    double share = (CpuSeconds(sites[s].Bridge) - cpu_before[s]) / elapsed * 100;
    cpu_max = std::max(cpu_max, share);
    cpu_sum += share;
  }
  // Every section must end with every site's final values.
  int missing = 0;
  double settle = 0;
  for (int s = 0; s < SITES; ++s)
    for (int n = 0; n < SHARED_SLOTS; ++n) {
      double t = WaitFor(sites[s], n, tick * SHARED_SLOTS + n + 1, 3.0);
      if (t < 0)
        ++missing;
      else
        settle = std::max(settle, t);
    }
  printf(
      "room of %d sites x %d slots at 30 Hz for %.0f s (%d changes per slot): %d of %d final values missing "
      "(all there %.0f ms after the last change); bridge CPU mean %.1f %%, max %.1f %% of one core\n",
      SITES, SLOTS_EACH, elapsed, tick, missing, SITES * SHARED_SLOTS, settle * 1000, cpu_sum / SITES,
      cpu_max);
  for (Site &site : sites)
    StopSite(&site);
}

} // namespace

int main(int argc, char **argv) {
  int changes = argc > 1 ? atoi(argv[1]) : 1000;
  double seconds = argc > 2 ? atof(argv[2]) : 60;
  if (system("unshare --mount true 2>/dev/null") != 0 || system("command -v mosquitto >/dev/null") != 0) {
    printf("bridge_bench: skipped (needs unshare --mount and mosquitto)\n");
    return 0;
  }
  Folder = EnterBenchFolder("bridge");
  Port = FreePort();
  FILE *config = fopen((Folder + "/broker.conf").c_str(), "w");
  fprintf(config, "listener %d 127.0.0.1\nallow_anonymous true\npersistence false\nset_tcp_nodelay true\n",
          Port);
  fclose(config);
  Broker = Start({"mosquitto", "-c", Folder + "/broker.conf"}, Folder + "/broker.log");
  for (int i = 0; i < 100 && !Accepts(Port); ++i)
    Nap(0.05);
  MeasureLatency(changes, 30);
  MeasureLatency(changes, 1000);
  MeasureRoom(seconds);
  Stop(Broker);
  return RemoveBenchFolder(Folder) ? 0 : 1;
}
