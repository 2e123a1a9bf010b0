// The shared section on POSIX shared memory: shm_open + ftruncate + mmap.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/shared_memory.h"

namespace {

// Grows the object to `size` bytes when smaller (copies growing it at once ask
// for the same size); a larger one is left alone for processes that mapped more.

bool HoldsAtLeast(int fd, size_t size) {
  struct stat st;
  if (fstat(fd, &st) != 0) return false;
  if (static_cast<size_t>(st.st_size) >= size) return true;
  return ftruncate(fd, static_cast<off_t>(size)) == 0;
}

void *MapSection(int handle, size_t size) {
  void *mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, handle, 0);
  return mapped == MAP_FAILED ? nullptr : mapped;
}

} // namespace

SharedSectionCalls SectionCalls = {MapSection};

SharedSectionStatus OpenSharedSection(const char *name, size_t size, int *handle, void **view) {
  int fd = shm_open(name, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return SECTION_OPEN_FAILED;
  // The pool is user-only: a section of another user (or anything but a
  // plain memory object under that name) is not ours to read or feed.
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() || !HoldsAtLeast(fd, size)) {
    close(fd);
    return SECTION_OPEN_FAILED;
  }
  void *mapped = SectionCalls.map(fd, size);
  if (mapped == nullptr) {
    close(fd);
    return SECTION_MAP_FAILED;
  }
  *handle = fd;
  *view = mapped;
  return SECTION_OPEN;
}

bool SharedSectionIntact(int handle, size_t size) { return handle >= 0 && HoldsAtLeast(handle, size); }

void CloseSharedSection(int handle, void *view, size_t size) {
  if (view != nullptr) munmap(view, size);
  if (handle >= 0) close(handle);
}

void RemoveSharedSection(const char *name) { shm_unlink(name); }
