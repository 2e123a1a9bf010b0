// The Linux side of folders and external programs.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/process.h"

extern char **environ; // NOLINT(readability-redundant-declaration): POSIX asks the program to declare it

namespace {

bool EndsInJpg(const char *name) {
  size_t len = strlen(name);
  return name[0] != '.' && len > 4 && strcmp(name + len - 4, ".jpg") == 0;
}

ProgramEnd SpawnAndWait(const char *const *argv) {
  // Output written so far must come before the program's own.
  fflush(stdout);
  fflush(stderr);

  // While the program runs, Ctrl-C belongs to it alone, as with a command
  // run from a shell: the import then goes on with the next name.
  struct sigaction ignore {
  }, saved_int{}, saved_quit{};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGINT, &ignore, &saved_int);
  sigaction(SIGQUIT, &ignore, &saved_quit);

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGQUIT);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);

  pid_t pid = 0;
  // posix_spawn takes char* const[] for historical reasons; it does not
  // write through it.
  int error = posix_spawn(&pid, argv[0], nullptr, &attr, const_cast<char *const *>(argv), environ);
  posix_spawnattr_destroy(&attr);

  ProgramEnd end{ProgramEnd::NotStarted, error};
  if (error == 0) {
    int status = 0;
    pid_t got;
    do {
      got = waitpid(pid, &status, 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0)
      end = {ProgramEnd::NotStarted, errno};
    else if (WIFEXITED(status))
      end = {ProgramEnd::Exited, WEXITSTATUS(status)};
    else
      end = {ProgramEnd::Signalled, WIFSIGNALED(status) ? WTERMSIG(status) : 0};
  }
  sigaction(SIGINT, &saved_int, nullptr);
  sigaction(SIGQUIT, &saved_quit, nullptr);
  return end;
}

} // namespace

ProcessOps Process = {SpawnAndWait};

bool CreateFolder(const char *path, int *error) {
  *error = 0;
  if (mkdir(path, 0777) == 0) return true;
  int why = errno;
  struct stat st;
  if (why == EEXIST && stat(path, &st) == 0 && S_ISDIR(st.st_mode)) return true;
  *error = why;
  return false;
}

JpegDeletion DeleteJpegFiles(const char *folder) {
  JpegDeletion result{0, 0, 0, true, false};
  DIR *dir = opendir(folder);
  if (dir == nullptr) {
    result.readable = false;
    result.missing = (errno == ENOENT || errno == ENOTDIR);
    result.first_error = errno;
    return result;
  }
  int fd = dirfd(dir);
  // Removing the entry just returned does not disturb the walk.
  while (struct dirent *entry = readdir(dir)) {
    if (!EndsInJpg(entry->d_name)) continue;
    if (unlinkat(fd, entry->d_name, 0) == 0) {
      ++result.deleted;
    } else if (errno != ENOENT) { // gone meanwhile is as good as deleted
      if (result.failed++ == 0) result.first_error = errno;
    }
  }
  closedir(dir);
  return result;
}
