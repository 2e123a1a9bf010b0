#include "tests/kb_writer.h"

#include <cstdio>
#include <cstring>
#include <fstream>

namespace {

template <typename U, typename T> void PutLittleEndian(std::string &out, T v) {
  U u;
  memcpy(&u, &v, sizeof u);
  for (size_t i = 0; i < sizeof u; ++i)
    out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

} // namespace

void PutInt32(std::string &out, int32_t v) { PutLittleEndian<uint32_t>(out, v); }
void PutDouble(std::string &out, double v) { PutLittleEndian<uint64_t>(out, v); }

KBRecord MakeSample(int mode, int gesture, int sample, double base) {
  KBRecord r{};
  r.mode = mode;
  r.gesture = gesture;
  r.sample = sample;
  for (int i = 0; i < 64; ++i) {
    r.Re[i] = base + i;
    r.Ps[i] = base - i;
  }
  return r;
}

std::string SampleBytes(const KBRecord &r) {
  std::string out;
  for (int32_t v : {r.mode, r.gesture, r.sample, r.reserved})
    PutInt32(out, v);
  for (const double *values : {r.Re, r.Ps})
    for (int i = 0; i < 64; ++i)
      PutDouble(out, values[i]);
  return out;
}

void WriteKeyFrameFile(int folder_number, const std::vector<int32_t> &entries, const std::string &tail) {
  std::string bytes;
  for (int i = 0; i < PIVOT_NUM; ++i)
    PutInt32(bytes, i < static_cast<int>(entries.size()) ? entries[i] : 0);
  char path[64];
  snprintf(path, sizeof path, "../S%03d/qdx_config.dat", folder_number);
  std::ofstream(path, std::ios::binary) << bytes + tail;
}

std::string SettingsText(const std::vector<std::string> &values, size_t count) {
  std::string text;
  // Any white space separates values; vary it as hand-edited files do.
  for (size_t i = 0; i < count && i < values.size(); ++i)
    text += values[i] + ((i % 7 == 6) ? "\n" : (i % 5 == 4) ? "\t" : " ");
  return text;
}
