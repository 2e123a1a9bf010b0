// The load of a venue for bench/venue.sh: every site's camera slot written at
// 30 Hz into that site's own section (a mount namespace of its own, reached
// through /proc/<holder>/root/dev/shm), the arrivals timed on another site,
// and at the end every final value looked for on every site.
//
//   venue_driver SECONDS SITES_FILE BROKER_PID
//
// SITES_FILE has one line per site: "ROOM SITE OFFSET OWN HOLDER_PID BRIDGE_PID",
// OFFSET the bridge's slot offset (0 without one), OWN the local slot this
// site's camera writes, so that its pool slot is (OWN + OFFSET) mod 32 and
// local slot j of that site holds pool slot (j + OFFSET) mod 32. Rooms are
// numbered 0.., sites 0.. within a room.
//
// A value stamps where and when it was written: tick * 1024 + room * 32 +
// pool slot + 1 (never 0: 0 is an empty slot). All slots are written in one
// pass per tick, 29.97 times a second: a camera's clock is not the
// computer's, and running 0.1 % slow moves the writes through every phase of
// the bridges' 30 Hz readings (once in 33 s), so that the wait for the sending
// bridge's next reading of its section takes every value from 0 to 33.3 ms
// instead of one fixed one. A reader thread polls every slot of one site per
// room (the site half a room away from the sampled writer, the site whose
// pool slot is 0) every 0.1 ms and times each new value from the moment its
// pass began: the figure includes that wait, the two bridges and the broker
// hop, and errs late (by the poll and the pass) never early.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/process_stats.h"
#include "state/state.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double PERIOD = 1.001 / 30; // 29.97 Hz
constexpr double SETTLE_MAX = 10.0;   // seconds the final values may take
constexpr double JOIN_MAX = 30.0;     // seconds for every site to see every other once

double Seconds() { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); }
void SleepUntil(double t) {
  double wait = t - Seconds();
  if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
}

struct Site {
  int Room = 0, Index = 0, Offset = 0, Own = 0;
  int Holder = 0, Bridge = 0;
  volatile int32_t *Slots = nullptr; // the section's WebCamDiff
  int PoolSlot() const { return (Own + Offset) % SHARED_SLOTS; }
  // Local slot of this site that holds pool slot m.
  int LocalOf(int m) const { return (m - Offset + SHARED_SLOTS) % SHARED_SLOTS; }
};

int32_t Stamp(int tick, int room, int pool_slot) { return tick * 1024 + room * 32 + pool_slot + 1; }

bool MapSection(Site *site) {
  SharedInfo *section = MapSiteSection(site->Holder, 200);
  if (section != nullptr) site->Slots = section->WebCamDiff;
  return section != nullptr;
}

void Figures(const char *what, std::vector<double> ms, long written) {
  std::sort(ms.begin(), ms.end());
  auto at = [&](double q) {
    return ms.empty() ? 0.0 : ms[static_cast<size_t>(q * static_cast<double>(ms.size() - 1))];
  };
  printf("%s: %zu arrivals timed (%ld values written): p50 %.1f ms, p99 %.1f ms, max %.1f ms\n", what,
         ms.size(), written, at(0.5), at(0.99), at(1.0));
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: venue_driver SECONDS SITES_FILE BROKER_PID\n");
    return 2;
  }
  const double seconds = atof(argv[1]);
  const int broker = atoi(argv[3]);
  std::vector<Site> sites;
  FILE *list = fopen(argv[2], "r");
  if (list == nullptr) {
    fprintf(stderr, "venue_driver: cannot read %s\n", argv[2]);
    return 2;
  }
  Site s;
  while (fscanf(list, "%d %d %d %d %d %d", &s.Room, &s.Index, &s.Offset, &s.Own, &s.Holder, &s.Bridge) == 6)
    sites.push_back(s);
  fclose(list);
  int rooms = 0;
  for (const Site &site : sites)
    rooms = std::max(rooms, site.Room + 1);
  const int ticks = static_cast<int>(seconds / PERIOD);
  if (sites.empty() || rooms > 32 || seconds <= 0 || Stamp(ticks + 1, 31, 31) < 0 ||
      ticks + 1 > INT32_MAX / 1024) {
    fprintf(stderr, "venue_driver: between 1 and 32 rooms and at most 69000 seconds\n");
    return 2;
  }
  for (Site &site : sites)
    if (!MapSection(&site)) {
      fprintf(stderr, "venue_driver: no section on site %d of room %d\n", site.Index, site.Room);
      return 1;
    }
  // Per room: the sampled writer (pool slot 0) and the reader half a room away.
  std::vector<int> writer(rooms, -1), reader(rooms, -1);
  std::vector<int> per_room(rooms, 0);
  for (size_t i = 0; i < sites.size(); ++i) {
    ++per_room[sites[i].Room];
    if (sites[i].PoolSlot() == 0) writer[sites[i].Room] = static_cast<int>(i);
  }
  for (size_t i = 0; i < sites.size(); ++i)
    if (sites[i].Index == per_room[sites[i].Room] / 2) reader[sites[i].Room] = static_cast<int>(i);
  for (int r = 0; r < rooms; ++r)
    if (writer[r] < 0 || reader[r] < 0 || writer[r] == reader[r]) {
      fprintf(stderr, "venue_driver: room %d needs a site on pool slot 0 and another to read\n", r);
      return 2;
    }

  // Joining: tick 0 written everywhere, then wait until every site holds every value.
  auto write_all = [&](int tick) {
    for (Site &site : sites)
      site.Slots[site.Own] = Stamp(tick, site.Room, site.PoolSlot());
  };
  // Which pool slots are written in each room (a room may have fewer than 32 sites).
  std::vector<std::vector<bool>> used(rooms, std::vector<bool>(SHARED_SLOTS, false));
  for (const Site &site : sites)
    used[site.Room][site.PoolSlot()] = true;
  auto missing_at = [&](int tick) {
    long missing = 0;
    for (const Site &site : sites)
      for (int m = 0; m < SHARED_SLOTS; ++m)
        if (used[site.Room][m] && site.Slots[site.LocalOf(m)] != Stamp(tick, site.Room, m)) ++missing;
    return missing;
  };
  write_all(0);
  double join_start = Seconds();
  while (missing_at(0) > 0 && Seconds() - join_start < JOIN_MAX)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  long not_joined = missing_at(0);
  printf("joined: %zu sites in %d rooms, %.1f s until every site held every slot%s\n", sites.size(), rooms,
         Seconds() - join_start, not_joined ? " (NOT ALL: see below)" : "");
  if (not_joined) {
    printf("join: %ld of %ld values missing after %.0f s, for example:", not_joined,
           static_cast<long>(sites.size()) * SHARED_SLOTS, JOIN_MAX);
    int shown = 0;
    for (const Site &site : sites)
      for (int m = 0; m < SHARED_SLOTS && shown < 6; ++m)
        if (used[site.Room][m] && site.Slots[site.LocalOf(m)] != Stamp(0, site.Room, m))
          printf(" room %d site %d pool slot %d holds %d%s", site.Room, site.Index, m,
                 static_cast<int>(site.Slots[site.LocalOf(m)]), ++shown < 6 ? ";" : "\n");
  }
  // The measured run.
  std::vector<std::unique_ptr<std::atomic<double>[]>> began(rooms);
  for (auto &b : began) {
    b.reset(new std::atomic<double>[ticks + 2]);
    for (int t = 0; t < ticks + 2; ++t)
      b[t].store(0);
  }
  std::atomic<bool> settled_flag{false};
  std::vector<std::vector<double>> sampled(rooms), all(rooms);
  std::vector<long> foreign(rooms, 0);
  std::thread read([&] {
    std::vector<std::vector<int32_t>> last(rooms, std::vector<int32_t>(SHARED_SLOTS, 0));
    for (int r = 0; r < rooms; ++r)
      for (int j = 0; j < SHARED_SLOTS; ++j)
        last[r][j] = sites[reader[r]].Slots[j];
    while (!settled_flag.load()) {
      double now = Seconds();
      for (int r = 0; r < rooms; ++r) {
        const Site &site = sites[reader[r]];
        for (int j = 0; j < SHARED_SLOTS; ++j) {
          int32_t v = site.Slots[j];
          if (v == last[r][j] || j == site.Own) continue;
          last[r][j] = v;
          int m = (j + site.Offset) % SHARED_SLOTS;
          int tick = (v - 1) / 1024;
          if (v <= 0 || (v - 1) % 1024 != r * 32 + m || tick < 1 || tick > ticks) {
            ++foreign[r];
            continue;
          }
          double t0 = began[r][tick].load(std::memory_order_acquire);
          double ms = (now - t0) * 1000;
          all[r].push_back(ms);
          if (m == 0) sampled[r].push_back(ms);
        }
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  });

  std::vector<double> cpu_before(sites.size());
  for (size_t i = 0; i < sites.size(); ++i)
    cpu_before[i] = CpuSeconds(sites[i].Bridge);
  double broker_before = CpuSeconds(broker), self_before = CpuSeconds(0);
  const double start = Seconds();
  printf("window starts %.3f\n",
         std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count());
  fflush(stdout);
  double late = 0;
  for (int tick = 1; tick <= ticks; ++tick) {
    double at = start + (tick - 1) * PERIOD;
    SleepUntil(at);
    late = std::max(late, Seconds() - at);
    for (int r = 0; r < rooms; ++r) {
      began[r][tick].store(Seconds(), std::memory_order_release);
      for (Site &site : sites)
        if (site.Room == r) site.Slots[site.Own] = Stamp(tick, r, site.PoolSlot());
    }
  }
  SleepUntil(start + ticks * PERIOD);
  const double elapsed = Seconds() - start;
  printf("window ends %.3f\n",
         std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count());
  double broker_cpu = (CpuSeconds(broker) - broker_before) / elapsed * 100;
  double self_cpu = (CpuSeconds(0) - self_before) / elapsed * 100;
  double bridge_sum = 0, bridge_max = 0;
  for (size_t i = 0; i < sites.size(); ++i) {
    double share = (CpuSeconds(sites[i].Bridge) - cpu_before[i]) / elapsed * 100;
    bridge_sum += share;
    bridge_max = std::max(bridge_max, share);
  }

  // Every final value on every site.
  double settle_start = Seconds();
  long missing = missing_at(ticks);
  while (missing > 0 && Seconds() - settle_start < SETTLE_MAX) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    missing = missing_at(ticks);
  }
  double settled = Seconds() - settle_start;
  std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the last arrivals timed
  settled_flag.store(true);
  read.join();

  long expected = 0;
  for (const Site &site : sites)
    for (int m = 0; m < SHARED_SLOTS; ++m)
      expected += used[site.Room][m] ? 1 : 0;
  printf("run: %d rooms, %zu sites, %d values per slot over %.1f s (%.2f Hz); writer at most %.1f ms late\n",
         rooms, sites.size(), ticks, elapsed, ticks / elapsed, late * 1000);
  printf("final values: %ld of %ld in place on every site%s (%.0f ms after the last write)\n",
         expected - missing, expected, missing ? ", MISSING SOME" : "", settled * 1000);
  std::vector<double> every_sampled, every_all;
  for (int r = 0; r < rooms; ++r) {
    char what[160];
    snprintf(what, sizeof what, "room %d, pool slot 0 (site %d) seen on site %d", r, sites[writer[r]].Index,
             sites[reader[r]].Index);
    Figures(what, sampled[r], ticks);
    if (foreign[r] > 0) printf("room %d: %ld values not of this room and slot\n", r, foreign[r]);
    every_sampled.insert(every_sampled.end(), sampled[r].begin(), sampled[r].end());
    every_all.insert(every_all.end(), all[r].begin(), all[r].end());
  }
  if (rooms > 1) Figures("all rooms, pool slot 0", every_sampled, static_cast<long>(ticks) * rooms);
  Figures("all rooms, every other pool slot on the reading site", every_all,
          static_cast<long>(ticks) * static_cast<long>(expected / static_cast<long>(sites.size()) - 1) *
              rooms);
  printf(
      "CPU, %% of one core over the run: broker %.1f; bridges %.1f in all, mean %.2f, max %.2f; this driver "
      "%.1f\n",
      broker_cpu, bridge_sum, bridge_sum / static_cast<double>(sites.size()), bridge_max, self_cpu);
  return missing == 0 ? 0 : 1;
}
