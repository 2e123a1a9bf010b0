// What the bridge benchmarks reach of other processes through /proc: small
// files whole, the CPU time a process has used, and the section of a site
// (a process holding a mount namespace with its own /dev/shm).
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "state/state.h"

// The first kilobyte of a file, or "" when it cannot be read.
inline std::string ReadSmallFile(const std::string &path) {
  FILE *file = fopen(path.c_str(), "r");
  if (file == nullptr) return "";
  char buffer[1024] = {};
  size_t got = fread(buffer, 1, sizeof buffer - 1, file);
  fclose(file);
  return std::string(buffer, got);
}

// CPU seconds (user + system) of process `pid`, 0 for this one; -1 when it
// cannot be read.
inline double CpuSeconds(int pid) {
  std::string stat = ReadSmallFile(pid == 0 ? "/proc/self/stat" : "/proc/" + std::to_string(pid) + "/stat");
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  unsigned long user = 0, system = 0;
  if (sscanf(stat.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user,
             &system) != 2)
    return -1;
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The section of the site whose namespace process `holder` holds, mapped here,
// once its bridge has made it; tried every 50 ms up to `tries` times. Null
// when it never came.
inline SharedInfo *MapSiteSection(int holder, int tries) {
  const std::string path = "/proc/" + std::to_string(holder) + "/root/dev/shm/WEX_SHARED_MEMORY";
  for (int i = 0; i < tries; ++i) {
    int fd = open(path.c_str(), O_RDWR);
    if (fd >= 0) {
      void *view = mmap(nullptr, SHARED_SIZE, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
      close(fd);
      if (view != MAP_FAILED) return static_cast<SharedInfo *>(view);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return nullptr;
}
