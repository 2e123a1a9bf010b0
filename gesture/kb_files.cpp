#include "gesture/kb_files.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "common/byte_order.h"
#include "common/text_values.h"
#include "gesture/knowledge_base.h"
#include "platform/platform.h"
#include "state/state.h"

namespace {

// A binary file read in large pieces. Take hands out the next n bytes, or
// nothing once fewer are left: a value cut by the end is never half stored.
struct ByteStream {
  FILE *file;
  std::vector<unsigned char> buffer;
  size_t pos = 0;
  size_t len = 0;
};

constexpr size_t STREAM_BUFFER = 1 << 16;

void Refill(ByteStream &in) {
  memmove(in.buffer.data(), in.buffer.data() + in.pos, in.len - in.pos);
  in.len -= in.pos;
  in.pos = 0;
  while (in.len < in.buffer.size()) {
    size_t got = fread(in.buffer.data() + in.len, 1, in.buffer.size() - in.len, in.file);
    if (got == 0) break;
    in.len += got;
  }
}

inline const unsigned char *Take(ByteStream &in, size_t n) {
  if (in.len - in.pos < n) {
    Refill(in);
    if (in.len - in.pos < n) return nullptr;
  }
  const unsigned char *p = in.buffer.data() + in.pos;
  in.pos += n;
  return p;
}

// An int32 or a double; false at the end of the data, leaving *v as it was.
template <typename T> bool TakeValue(ByteStream &in, T *v) {
  const unsigned char *p = Take(in, sizeof(T));
  if (p == nullptr) return false;
  if constexpr (sizeof(T) == 4)
    *v = LoadInt32(p);
  else
    *v = LoadDouble(p);
  return true;
}

// An array of ints or doubles, plain or std::array.
template <typename Values> bool TakeValues(ByteStream &in, Values &values) {
  for (auto &v : values)
    if (!TakeValue(in, &v)) return false;
  return true;
}

bool TakeGesture(ByteStream &in, GestureEntry &entry) {
  const unsigned char *name = Take(in, sizeof entry.name);
  if (name == nullptr) return false;
  memcpy(entry.name, name, sizeof entry.name);
  entry.name[sizeof entry.name - 1] = '\0'; // whatever the file holds, the name ends in its field
  return TakeValue(in, &entry.number) && TakeValue(in, &entry.length);
}

bool TakeLearnHistory(ByteStream &in) {
  for (auto &learned : Z.LearnHistory)
    for (auto &compared : learned)
      for (auto &mode : compared)
        for (LearnEntry &entry : mode)
          if (!TakeValue(in, &entry.valid) || !TakeValue(in, &entry.padding) ||
              !TakeValue(in, &entry.score) || !TakeValue(in, &entry.match))
            return false;
  return true;
}

// Values above this are reported as abnormal; so is NaN, which no
// comparison would catch and which is no less broken.
constexpr double ABNORMAL_VALUE = 1.0e9;

bool IsAbnormal(double v) { return !(v <= ABNORMAL_VALUE); }

// The same test on the bits of a double, which a compiler can run on many
// values at once: positive doubles order like their bits as signed integers,
// negative ones are below 0, and NaN has all exponent bits and a mantissa.
inline uint64_t AbnormalBits(uint64_t bits) {
  constexpr uint64_t LIMIT = 0x41CDCD6500000000; // 1.0e9
  constexpr uint64_t MAGNITUDE = 0x7FFFFFFFFFFFFFFF;
  constexpr uint64_t INFINITE = 0x7FF0000000000000;
  return static_cast<uint64_t>(static_cast<int64_t>(bits) > static_cast<int64_t>(LIMIT)) |
         static_cast<uint64_t>((bits & MAGNITUDE) > INFINITE);
}

// Decodes 64 doubles; says whether any of them is abnormal.
bool DecodeValues(const unsigned char *p, double (&values)[64]) {
  uint64_t abnormal = 0;
  for (size_t i = 0; i < 64; ++i) {
    uint64_t bits =
        static_cast<uint64_t>(LoadLE32(p + 8 * i)) | static_cast<uint64_t>(LoadLE32(p + 8 * i + 4)) << 32;
    abnormal |= AbnormalBits(bits);
    memcpy(&values[i], &bits, sizeof bits);
  }
  return abnormal != 0;
}

// Decodes one record into a new allocation and reports its abnormal values.
KBRecord *DecodeSample(const unsigned char *p) {
  auto *r = new KBRecord;
  r->mode = LoadInt32(p);
  r->gesture = LoadInt32(p + 4);
  r->sample = LoadInt32(p + 8);
  r->reserved = LoadInt32(p + 12);
  if (DecodeValues(p + 16, r->Re))
    for (double v : r->Re)
      if (IsAbnormal(v)) Print("Abnormal Data Exist in Re(%d %d %d)\n", r->mode, r->gesture, r->sample);
  if (DecodeValues(p + 528, r->Ps))
    for (double v : r->Ps)
      if (IsAbnormal(v)) Print("Abnormal Data Exist in Ps(%d %d %d)\n", r->mode, r->gesture, r->sample);
  return r;
}

void PrintLoadedBanner() {
  Print("\nReadKB:\n         OOO            O \n");
  Print("        O               O \n");
  Print("        O       OOOO    O \n");
  Print("        O OOOO O    O   O \n");
  Print("        O   O  O    O   O \n");
  Print("        O   O  O    O     \n");
  Print("         OOO    OOOO    O \n\n");
}

} // namespace

void KBFileName(char *out, size_t size, int folder_number, int file) {
  snprintf(out, size, "TALOS_data-%d-%d.dat", folder_number, file);
}

void ReadKBParameters(FILE *file) {
  ValueRun run{file};
  ReadInt(run, &Z.DThreshold);
  ReadInt(run, &Z.OK_HIGH);
  ReadDouble(run, &Z.OCThreshold);
  ReadInt(run, &Z.MThreshold);
  ReadInt(run, &Z.pos_num);
  ReadInt(run, &Z.GRATE);
  ReadDouble(run, &Z.GRATE_SUM);
  ReadInt(run, &Z.GRATE_COUNT);
  ReadInt(run, &Z.NEROI);
  ReadDouble(run, &Z.SKIP);
  ReadDouble(run, &Z.GRATE_SUM2);
  ReadDouble(run, &Z.RSKIP);
  ReadInt(run, &Z.GRATE_COUNT2);
  ReadDouble(run, &Z.RF_COEFFICIENT);
  ReadInt(run, &Z.IdealGRATE);
  Print("DThreshold=%d OK_HIGH=%d OCThreshold=%lf MThreshold=%d pos_num=%d ", Z.DThreshold, Z.OK_HIGH,
        Z.OCThreshold, Z.MThreshold, Z.pos_num);
  Print("GRATE=%d GRATE_SUM=%lf GRATE_COUNT=%d NEROI=%d SKIP=%lf GRATE_SUM2=%lf ", Z.GRATE, Z.GRATE_SUM,
        Z.GRATE_COUNT, Z.NEROI, Z.SKIP, Z.GRATE_SUM2);
  Print("RSKIP=%lf GRATE_COUNT2=%d RF_COEFFICIENT=%lf IdealGRATE=%d \n", Z.RSKIP, Z.GRATE_COUNT2,
        Z.RF_COEFFICIENT, Z.IdealGRATE);
  // SIMILAR_LEFT is kept as loaded; the player does not act on it.
  ReadInt(run, &Z.SIMILAR_LEFT);
  ReadDouble(run, &Z.MAP_BIAS);
  ReadInt(run, &Z.HOLD_COUNT);
  ReadDouble(run, &Z.SPARE_PARAM);
  ReadInt(run, &Z.READY_COUNT);
  ReadInt(run, &Z.FIXED_MODES);
}

void ReadKBTables(FILE *file) {
  ByteStream in{file, std::vector<unsigned char>(STREAM_BUFFER)};
  for (GestureEntry &entry : Z.GestureTable)
    if (!TakeGesture(in, entry)) return;
  if (!TakeLearnHistory(in)) return;
  if (!TakeValues(in, Z.ModeEnable)) return;
  for (auto &counts : Z.KBCount)
    if (!TakeValues(in, counts)) return;
}

void ReadKBCalibration(FILE *file) {
  ByteStream in{file, std::vector<unsigned char>(KB_CALIBRATION_BYTES)};
  if (!TakeValues(in, Z.RecogThreshold) || !TakeValues(in, Z.ReservedValue) ||
      !TakeValues(in, Z.SpreadLimit) || !TakeValues(in, Z.AmbiguityLimit))
    return;
  for (auto &contributions : Z.ModeContribution)
    if (!TakeValues(in, contributions)) return;
  for (ReviewSums &sums : Z.ReviewSum)
    if (!TakeValue(in, &sums.best) || !TakeValue(in, &sums.spread) || !TakeValue(in, &sums.ambiguity)) return;
  for (ReviewCounts &counts : Z.ReviewCount)
    if (!TakeValue(in, &counts.best) || !TakeValue(in, &counts.spread) || !TakeValue(in, &counts.ambiguity))
      return;
  if (!TakeValues(in, Z.LearnFrameCount)) return;
  TakeValues(in, Z.ModeCandidate);
}

void ReadKBSamples(FILE *file) {
  ByteStream in{file, std::vector<unsigned char>(STREAM_BUFFER)};
  for (int accepted = 0; accepted < KB_RECORD_MAX; ++accepted) {
    const unsigned char *p = Take(in, KB_RECORD_BYTES);
    if (p == nullptr) return; // the end, or a last record cut short
    int mode = LoadInt32(p);
    int gesture = LoadInt32(p + 4);
    int sample = LoadInt32(p + 8);
    if (mode < 0 || mode >= MODE_NUM || gesture < 0 || gesture >= GESTURE_NUM || sample < 0 ||
        sample >= SAMPLE_NUM) {
      Print("Illegal Index Number Detected in ReadKB(). Data Number = %d\n", accepted);
      Print("index1=%d, index2=%d,  index3=%d\n", mode, gesture, sample);
      return;
    }
    KBRecord *&slot = Z.KBData[mode][gesture][sample];
    delete slot; // a later record for the same slot replaces the earlier one
    slot = DecodeSample(p);
    Z.KBFlag[mode][gesture][sample] = 1;
  }
}

int ReadKB() {
  static const char *const modes[] = {"r", "rb", "rb", "rb"};
  char names[4][64];
  for (int f = 0; f < 4; ++f) {
    KBFileName(names[f], sizeof names[f], Z.ContentsIndex + 1, f + 1);
    FILE *probe = fopen(names[f], modes[f]);
    if (probe == nullptr) return -1;
    fclose(probe);
  }
  FreeKnowledgeBase();
  void (*const readers[])(FILE *) = {ReadKBParameters, ReadKBTables, ReadKBCalibration, ReadKBSamples};
  for (int f = 0; f < 4; ++f) {
    FILE *file = fopen(names[f], modes[f]);
    if (file == nullptr) {
      PrintError("Couldn't Open File in ReadKB()-[ %s ].\n", names[f]);
      if (f == 3) return 0;
      continue;
    }
    readers[f](file);
    fclose(file);
  }
  Display.wait_key(1);
  if (Z.CamBeep == 1) RingBell();
  PrintLoadedBanner();
  return 0;
}
