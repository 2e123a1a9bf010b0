// The Linux side of the platform layer.
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

bool WriteAll(int fd, const char *data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void WriteOut(const char *data, size_t size) {
  // stdout is line buffered (SetupConsole), so each line reaches a log or a
  // supervising program when it happens.
  fwrite(data, 1, size, stdout);
}

void WriteErr(const char *data, size_t size) {
  fflush(stdout);          // keep the order of the two streams on a shared terminal
  WriteAll(2, data, size); // a closed console is not worth dying for
}

double NowSeconds() {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) * 1e-6;
}

} // namespace

ConsoleOps Console = {WriteOut, WriteErr};
ClockOps Clock = {NowSeconds};

void SetupConsole() { setvbuf(stdout, nullptr, _IOLBF, 0); }

void SetProgramLocale() {
  setlocale(LC_ALL, "");
  // Numbers keep a '.' whatever the user's locale: the messages are printed
  // byte for byte and the files are read by other copies.
  setlocale(LC_NUMERIC, "C");
}

ProgramArguments ReadProgramArguments(int argc, char **argv) {
  // The echo is kept for the run, like argv itself (a later call replaces it).
  static std::string whole;
  whole.clear();
  for (int i = 0; i < argc; ++i)
    whole.append(i > 0 ? " " : "").append(argv[i]);
  return {argc, argv, whole.c_str()};
}

void SwapArguments(int, int) {}

const char *ArgumentForProgram(int, const char *table_text) { return table_text; }

int ReadConsoleKey() {
  fflush(stdout);
  if (!isatty(STDIN_FILENO)) return -1;
  struct termios saved;
  if (tcgetattr(STDIN_FILENO, &saved) != 0) return -1;
  struct termios raw = saved;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  unsigned char c = 0;
  ssize_t n;
  do {
    n = read(STDIN_FILENO, &c, 1);
  } while (n < 0 && errno == EINTR);
  tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  return n == 1 ? c : -1;
}

void PauseBriefly() { usleep(100); }

int UsableProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return CPU_COUNT(&set) > 0 ? CPU_COUNT(&set) : 1;
}

void LowerThreadPriority() {
  // Linux gives each thread a nice value of its own, addressed by its id.
  id_t thread = static_cast<id_t>(syscall(SYS_gettid));
  errno = 0;
  int nice = getpriority(PRIO_PROCESS, thread);
  if (errno == 0) setpriority(PRIO_PROCESS, thread, nice + 5 > 19 ? 19 : nice + 5);
}

bool DisplayAvailable() {
  const char *x = getenv("DISPLAY");
  const char *w = getenv("WAYLAND_DISPLAY");
  return (x != nullptr && *x != '\0') || (w != nullptr && *w != '\0');
}

bool FileExists(const char *path) {
  struct stat st;
  return stat(path, &st) == 0;
}

bool StampFile(const char *path, FileStamp *stamp) {
  *stamp = FileStamp{};
  struct stat st;
  if (stat(path, &st) != 0) return false;
  stamp->size = st.st_size;
  stamp->modified = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
  stamp->volume = static_cast<long long>(st.st_dev);
  stamp->file = static_cast<long long>(st.st_ino);
  return true;
}

bool ListFolder(const char *folder, void (*visit)(const char *, bool, void *), void *context, bool *missing) {
  *missing = false;
  DIR *dir = opendir(folder);
  if (dir == nullptr) {
    *missing = (errno == ENOENT || errno == ENOTDIR);
    return false;
  }
  while (struct dirent *entry = readdir(dir))
    visit(entry->d_name, entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN, context);
  closedir(dir);
  return true;
}

bool CurrentFolder(char *buffer, size_t size) {
  if (getcwd(buffer, size) == nullptr) {
    if (size > 0) buffer[0] = '\0';
    return false;
  }
  return true;
}

bool ProgramFolder(char *buffer, size_t size) {
  if (size == 0) return false;
  // The link names the executable itself, through any symbolic link it was
  // started by, so an installation moved or unpacked elsewhere finds its files.
  ssize_t n = readlink("/proc/self/exe", buffer, size);
  bool whole = n > 0 && static_cast<size_t>(n) < size; // readlink cuts a long name silently
  buffer[whole ? n : 0] = '\0';
  char *slash = strrchr(buffer, '/');
  if (slash == nullptr) {
    buffer[0] = '\0';
    return false;
  }
  slash[slash == buffer ? 1 : 0] = '\0';
  return true;
}

bool WriteFileAtomically(const char *path, const char *data, size_t size) {
  char temp[4096];
  int n = snprintf(temp, sizeof temp, "%s.tmp%ld", path, static_cast<long>(getpid()));
  if (n < 0 || static_cast<size_t>(n) >= sizeof temp) return false;
  int fd = open(temp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data, size);
  if (close(fd) != 0) ok = false;
  if (ok && rename(temp, path) != 0) ok = false;
  if (!ok) unlink(temp);
  return ok;
}

bool SetEnvironmentDefault(const char *name, const char *value) { return setenv(name, value, 0) == 0; }

const char *const FFMPEG_INSTALL_HINT =
    "On Linux: install the ffmpeg package (for example: apt-get install ffmpeg).\n";

bool FindFfmpeg(char *buffer, size_t size) {
  auto executable = [](const char *p) {
    struct stat st;
    return stat(p, &st) == 0 && S_ISREG(st.st_mode) && access(p, X_OK) == 0;
  };
  if (executable("./ffmpeg")) {
    snprintf(buffer, size, "./ffmpeg");
    return true;
  }
  const char *path = getenv("PATH");
  if (path == nullptr) return false;
  while (*path != '\0') {
    const char *end = strchr(path, ':');
    size_t len = end ? static_cast<size_t>(end - path) : strlen(path);
    if (len > 0) {
      int n = snprintf(buffer, size, "%.*s/ffmpeg", static_cast<int>(len), path);
      if (n > 0 && static_cast<size_t>(n) < size && executable(buffer)) return true;
    }
    if (end == nullptr) break;
    path = end + 1;
  }
  return false;
}

void RingBell() { Print("%c", 7); }
