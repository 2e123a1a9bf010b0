// Values of the program's binary files are little-endian whatever the host:
// they are put together from their bytes, never cast from a buffer.
#pragma once

#include <cstdint>
#include <cstring>

inline uint32_t LoadLE32(const unsigned char *p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

inline int32_t LoadInt32(const unsigned char *p) {
  uint32_t u = LoadLE32(p);
  int32_t v;
  memcpy(&v, &u, sizeof v);
  return v;
}

inline double LoadDouble(const unsigned char *p) {
  uint64_t u = static_cast<uint64_t>(LoadLE32(p)) | static_cast<uint64_t>(LoadLE32(p + 4)) << 32;
  double v;
  memcpy(&v, &u, sizeof v);
  return v;
}
