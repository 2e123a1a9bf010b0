// The shared section on Windows: a named file mapping backed by the paging
// file. The first copy creates it zero-filled; every later one opens the
// same section by name, which is how copies find each other.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/shared_memory.h"

namespace {

// Section names are written in the POSIX form ("/WEX_SHARED_MEMORY"); a
// kernel object name has no leading slash, so it is dropped here.
wchar_t *KernelName(const char *name) {
  if (name[0] == '/') ++name;
  int count = MultiByteToWideChar(CP_UTF8, 0, name, -1, nullptr, 0);
  if (count <= 0) return nullptr;
  wchar_t *wide = static_cast<wchar_t *>(malloc(sizeof(wchar_t) * static_cast<size_t>(count)));
  if (wide != nullptr) MultiByteToWideChar(CP_UTF8, 0, name, -1, wide, count);
  return wide;
}

// Windows documents that kernel handles keep their meaning in 32 bits, so
// the state record's int holds one.
int HandleNumber(HANDLE h) { return static_cast<int>(reinterpret_cast<intptr_t>(h)); }
HANDLE HandleOf(int number) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(number)); }

void *MapSection(int handle, size_t size) {
  return MapViewOfFile(HandleOf(handle), FILE_MAP_ALL_ACCESS, 0, 0, size);
}

} // namespace

SharedSectionCalls SectionCalls = {MapSection};

SharedSectionStatus OpenSharedSection(const char *name, size_t size, int *handle, void **view) {
  wchar_t *wide = KernelName(name);
  if (wide == nullptr) return SECTION_OPEN_FAILED;
  HANDLE mapping =
      CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size), wide);
  free(wide);
  if (mapping == nullptr) return SECTION_OPEN_FAILED;
  void *mapped = SectionCalls.map(HandleNumber(mapping), size);
  if (mapped == nullptr) {
    CloseHandle(mapping);
    return SECTION_MAP_FAILED;
  }
  *handle = HandleNumber(mapping);
  *view = mapped;
  return SECTION_OPEN;
}

// A section of the paging file cannot be shrunk by anyone, and a view of
// `size` bytes was granted at the open (a section created smaller by some
// other program fails that mapping instead).
bool SharedSectionIntact(int handle, size_t) { return handle != -1 && handle != 0; }

void CloseSharedSection(int handle, void *view, size_t) {
  if (view != nullptr) UnmapViewOfFile(view);
  if (handle != -1 && handle != 0) CloseHandle(HandleOf(handle));
}

// The system discards the section with the last handle; there is no name to
// remove.
void RemoveSharedSection(const char *) {}
