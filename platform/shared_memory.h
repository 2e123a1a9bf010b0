// The named shared-memory section through which running copies of the
// program pool their motion. Every copy opens the same name; the first one
// creates the section zero-filled.
#pragma once

#include <cstddef>

constexpr const char *SHARED_SECTION_NAME = "/WEX_SHARED_MEMORY";

enum SharedSectionStatus {
  SECTION_OPEN = 0,    // mapped and ready
  SECTION_OPEN_FAILED, // could not be created or opened, or cannot be used
  SECTION_MAP_FAILED,  // opened but could not be mapped
};

// Creates or opens the section `name` for this user only, grows it to `size`
// bytes when it is smaller, and maps `size` bytes of it for reading and
// writing. On success *handle and *view are set; on failure nothing stays open.
SharedSectionStatus OpenSharedSection(const char *name, size_t size, int *handle, void **view);

// True when the open section still holds at least `size` bytes, growing it
// back when some other process shrank it (touching a mapping past the end of
// its object would kill the process).
bool SharedSectionIntact(int handle, size_t size);

// Unmaps and closes a section opened above; the name stays for other copies.
void CloseSharedSection(int handle, void *view, size_t size);

// The one step tests cannot make fail by real means: mapping (it fails only
// when the address space is exhausted). Tests swap it to inject the fault.
struct SharedSectionCalls {
  void *(*map)(int handle, size_t size); // the mapped bytes, or null
};
extern SharedSectionCalls SectionCalls;

// Removes the name (tests and benchmarks clean up their own sections).
void RemoveSharedSection(const char *name);
