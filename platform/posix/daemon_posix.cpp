// The bridge's system calls on Linux: signals and the host name.
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "platform/daemon.h"

namespace {

volatile sig_atomic_t Stop = 0;

void RequestStop(int) { Stop = 1; }

} // namespace

void SetupDaemonOutput() { setvbuf(stdout, nullptr, _IOLBF, 0); }

void WatchForStop() {
  struct sigaction action = {};
  action.sa_handler = RequestStop;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

bool StopWasRequested() { return Stop != 0; }

void StopFinished() {}

bool ComputerName(char *buffer, size_t size) {
  if (size == 0) return false;
  buffer[0] = '\0';
  if (gethostname(buffer, size - 1) != 0) return false;
  buffer[size - 1] = '\0';
  return true;
}

bool FileReadable(const char *path) { return access(path, R_OK) == 0; }
