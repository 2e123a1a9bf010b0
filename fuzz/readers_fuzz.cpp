// One libFuzzer target per file reader; FUZZ_READER picks which. Each input
// is the whole file. Besides the sanitizers' checks, the target traps when a
// reader leaves a value outside the range the player relies on.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "contents/folder_settings.h"
#include "gesture/kb_files.h"
#include "gesture/knowledge_base.h"
#include "platform/platform.h"
#include "state/state.h"

namespace {

void Discard(const char *, size_t) {}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void CheckSettings() {
  Check(Z.DiffStep >= 1 && Z.DiffStep <= ZEP_F_XMAX);
  Check(Z.ContentsIndex >= 0 && Z.ContentsIndex <= CONTENTS_INDEX_MAX);
  Check(Z.MaxCount >= 0 && Z.MaxCount <= MAX_FRAMES);
  Check(Z.KeyFrameIndex >= 0 && Z.KeyFrameIndex < KEYFRAME_NUM);
  Check(std::isfinite(Z.frame_no) && std::fabs(Z.frame_no) < 2147483648.0);
  Check(std::isfinite(Z.VR_step));
  Check(Z.PlayDirection == 0 || Z.PlayDirection == 1);
}

void CheckTables() {
  for (const GestureEntry &g : Z.GestureTable)
    Check(g.name[sizeof g.name - 1] == '\0');
}

// Every record sits in the slot its own indices name, and goes again after
// the run so that the next input starts empty.
void CheckAndFreeSamples() {
  for (int m = 0; m < MODE_NUM; ++m)
    for (int g = 0; g < GESTURE_NUM; ++g)
      for (int s = 0; s < SAMPLE_NUM; ++s)
        if (Z.KBFlag[m][g][s]) {
          const KBRecord *r = Z.KBData[m][g][s];
          Check(r != nullptr && r->mode == m && r->gesture == g && r->sample == s);
        }
  FreeKnowledgeBase();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  Console = {Discard, Discard};
  Display = NullDisplay; // the knowledge-base loader waits a millisecond for a key
  InitKnowledgeBase();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // fmemopen refuses an empty buffer; an empty file is still worth a run.
  static char empty[1];
  FILE *file = size > 0 ? fmemopen(const_cast<uint8_t *>(data), size, "rb") : fmemopen(empty, 1, "r");
  if (file == nullptr) return 0;
  if (size == 0) fgetc(file); // now at its end
  switch (FUZZ_READER) {
  case 0:
    ReadSettingsFile(file, "zep_env.dat");
    CheckSettings();
    break;
  case 1: ImportKeyFrames(file, "../S001/qdx_config.dat"); break;
  case 2: ReadKBParameters(file); break;
  case 3:
    ReadKBTables(file);
    CheckTables();
    break;
  case 4: ReadKBCalibration(file); break;
  case 5:
    ReadKBSamples(file);
    CheckAndFreeSamples();
    break;
  }
  fclose(file);
  return 0;
}
