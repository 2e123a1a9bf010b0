#include "tests/kb_writer.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>

namespace {

void WriteBytes(const std::string &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ParameterText() {
  char text[1024];
  snprintf(text, sizeof text, "%d %d %lf %d %d %d %lf %d %d %lf %lf %lf %d %lf %d %d %lf %d %lf %d %d ",
           Z.DThreshold, Z.OK_HIGH, Z.OCThreshold, Z.MThreshold, Z.pos_num, Z.GRATE, Z.GRATE_SUM,
           Z.GRATE_COUNT, Z.NEROI, Z.SKIP, Z.GRATE_SUM2, Z.RSKIP, Z.GRATE_COUNT2, Z.RF_COEFFICIENT,
           Z.IdealGRATE, Z.SIMILAR_LEFT, Z.MAP_BIAS, Z.HOLD_COUNT, Z.SPARE_PARAM, Z.READY_COUNT,
           Z.FIXED_MODES);
  return text;
}

std::string TablesBytes() {
  std::string out;
  out.reserve(9831776);
  for (const GestureEntry &g : Z.GestureTable) {
    out.append(g.name, sizeof g.name);
    PutInt32(out, g.number);
    PutInt32(out, g.length);
  }
  for (auto &learned : Z.LearnHistory)
    for (auto &compared : learned)
      for (auto &mode : compared)
        for (const LearnEntry &e : mode) {
          PutInt32(out, e.valid);
          PutInt32(out, 0);
          PutDouble(out, e.score);
          PutDouble(out, e.match);
        }
  for (int32_t v : Z.ModeEnable)
    PutInt32(out, v);
  for (auto &counts : Z.KBCount)
    for (int32_t v : counts)
      PutInt32(out, v);
  return out;
}

std::string CalibrationBytes() {
  std::string out;
  for (double v : Z.RecogThreshold)
    PutDouble(out, v);
  for (double v : Z.ReservedValue)
    PutDouble(out, v);
  for (double v : Z.SpreadLimit)
    PutDouble(out, v);
  for (double v : Z.AmbiguityLimit)
    PutDouble(out, v);
  for (auto &row : Z.ModeContribution)
    for (double v : row)
      PutDouble(out, v);
  for (const ReviewSums &s : Z.ReviewSum) {
    PutDouble(out, s.best);
    PutDouble(out, s.spread);
    PutDouble(out, s.ambiguity);
  }
  for (const ReviewCounts &c : Z.ReviewCount) {
    PutInt32(out, c.best);
    PutInt32(out, c.spread);
    PutInt32(out, c.ambiguity);
  }
  for (int32_t v : Z.LearnFrameCount)
    PutInt32(out, v);
  for (int32_t v : Z.ModeCandidate)
    PutInt32(out, v);
  return out;
}

} // namespace

void PutInt32(std::string &out, int32_t v) {
  uint32_t u;
  memcpy(&u, &v, sizeof u);
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

void PutDouble(std::string &out, double v) {
  uint64_t u;
  memcpy(&u, &v, sizeof u);
  for (int i = 0; i < 8; ++i)
    out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

std::string SampleBytes(const KBRecord &r) {
  std::string out;
  PutInt32(out, r.mode);
  PutInt32(out, r.gesture);
  PutInt32(out, r.sample);
  PutInt32(out, r.reserved);
  for (double v : r.Re)
    PutDouble(out, v);
  for (double v : r.Ps)
    PutDouble(out, v);
  return out;
}

std::string KBName(int folder_number, int file) {
  return "TALOS_data-" + std::to_string(folder_number) + "-" + std::to_string(file) + ".dat";
}

void WriteKBFiles(int folder_number, const std::vector<KBRecord> &records) {
  WriteBytes(KBName(folder_number, 1), ParameterText());
  WriteBytes(KBName(folder_number, 2), TablesBytes());
  WriteBytes(KBName(folder_number, 3), CalibrationBytes());
  std::string samples;
  samples.reserve(records.size() * sizeof(KBRecord));
  for (const KBRecord &r : records)
    samples += SampleBytes(r);
  WriteBytes(KBName(folder_number, 4), samples);
}

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

void WriteKeyFrameFile(int folder_number, const std::vector<int32_t> &entries, const std::string &tail) {
  std::string bytes;
  for (int i = 0; i < PIVOT_NUM; ++i)
    PutInt32(bytes, i < static_cast<int>(entries.size()) ? entries[i] : 0);
  char path[64];
  snprintf(path, sizeof path, "../S%03d/qdx_config.dat", folder_number);
  WriteBytes(path, bytes + tail);
}

std::string SettingsText(const std::vector<std::string> &values, size_t count) {
  std::string text;
  for (size_t i = 0; i < count && i < values.size(); ++i) {
    text += values[i];
    // Any white space separates values; vary it as hand-edited files do.
    text += (i % 7 == 6) ? "\n" : (i % 5 == 4) ? "\t" : " ";
  }
  return text;
}

void CutFile(const std::string &path, size_t size) {
  if (truncate(path.c_str(), static_cast<off_t>(size)) != 0) perror(path.c_str());
}
