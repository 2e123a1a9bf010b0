// The bridge's system calls on Windows: the console's control events and the
// computer's name.
#include <windows.h>

#include <cerrno>
#include <cstdio>

#include "platform/daemon.h"

namespace {

volatile LONG Stop = 0;
HANDLE Finished = nullptr; // set by StopFinished

// Closing the console, log-off and shut-down end the process when this
// returns (Windows allows about 5 s for a closing console): it waits for the
// goodbye first. Ctrl-C and Ctrl-Break only ask.
BOOL WINAPI OnControlEvent(DWORD event) {
  InterlockedExchange(&Stop, 1);
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
    WaitForSingleObject(Finished, 4500);
  return TRUE;
}

} // namespace

// The C runtime has no line buffering: unbuffered, each printf goes out whole.
void SetupDaemonOutput() { setvbuf(stdout, nullptr, _IONBF, 0); }

void WatchForStop() {
  Finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnControlEvent, TRUE);
}

bool StopWasRequested() { return InterlockedCompareExchange(&Stop, 0, 0) != 0; }

void StopFinished() {
  if (Finished != nullptr) SetEvent(Finished);
}

bool ComputerName(char *buffer, size_t size) {
  if (size == 0) return false;
  DWORD length = static_cast<DWORD>(size);
  buffer[0] = '\0';
  return GetComputerNameExA(ComputerNameDnsHostname, buffer, &length) != 0;
}

bool FileReadable(const char *path) {
  FILE *file = fopen(path, "rb");
  if (file == nullptr) return false;
  fclose(file);
  return true;
}
