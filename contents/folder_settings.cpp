#include "contents/folder_settings.h"

#include <climits>
#include <cmath>
#include <vector>

#include "common/byte_order.h"
#include "common/naming.h"
#include "common/text_values.h"
#include "gesture/knowledge_base.h"
#include "platform/platform.h"
#include "state/state.h"

namespace {

constexpr const char *COMMON_SETTINGS_FILE = "zep_env.dat";
constexpr size_t PIVOT_BLOCK_BYTES = sizeof(int32_t) * PIVOT_NUM; // 92,000

// Values that index a table, divide, or drive a loop keep their previous
// value when the file holds one outside the range the player can use.
// DiffStep stops at the frame width: a wider step samples one pixel anyway,
// and larger steps would overflow the threshold arithmetic of the keys.
constexpr int DIFF_STEP_MAX = ZEP_F_XMAX;

void LoadInt(ValueRun &run, int *variable, int low = INT_MIN, int high = INT_MAX) {
  int value = 0;
  if (ReadInt(run, &value) == 1 && value >= low && value <= high) *variable = value;
}

// frame_no must keep an integer part that can index (or miss) the frame
// table; NaN, infinities and magnitudes beyond int would leave the player
// stepping a number that never moves. VR_step must at least be finite.
void LoadDouble(ValueRun &run, double *variable, bool (*usable)(double)) {
  double value = 0.0;
  if (ReadDouble(run, &value) == 1 && usable(value)) *variable = value;
}

// Values 1298 to 1302: each printed with its read count and the value the
// variable holds afterwards (the old one when the read failed).
void LoadAdditionalValue(ValueRun &run, int *field, const char *line) {
  int read = ReadInt(run, field);
  Print(line, read, *field);
}

void LoadAdditionalParameters(ValueRun &run) {
  int start = 0;
  int read = ReadInt(run, &start);
  if (read <= 0) {
    Z.StartFrameNum = 0;
    Z.EndFrameNum = 0;
    Z.MouseReverseFlag = 0;
    Z.MouseVertFlag = 0;
    Z.flip_mode = 0;
    return;
  }
  Print("\nLOADING Additional Parameters...\n\n");
  Z.StartFrameNum = start;
  Print("SET(%d): StartFrameNum = %d\n", read, Z.StartFrameNum);
  LoadAdditionalValue(run, &Z.EndFrameNum, "SET(%d): EndFrameNum   = %d\n");
  LoadAdditionalValue(run, &Z.MouseReverseFlag, "SET(%d): MouseReverseFlag = %d\n");
  LoadAdditionalValue(run, &Z.MouseVertFlag, "SET(%d): MouseVertFlag    = %d\n");
  LoadAdditionalValue(run, &Z.flip_mode, "SET(%d): flip_mode = %d\n");
}

} // namespace

void ReadSettingsFile(FILE *file, const char *name) {
  ValueRun run{file};
  LoadInt(run, &Z.DiffStep, 1, DIFF_STEP_MAX);
  LoadInt(run, &Z.ContentsIndex, 0, CONTENTS_INDEX_MAX);
  LoadInt(run, &Z.MaxCount, 0, MAX_FRAMES);
  LoadDouble(run, &Z.frame_no, [](double v) { return v > -2147483648.0 && v < 2147483648.0; });
  LoadInt(run, &Z.VR_threshold);
  LoadInt(run, &Z.PlayDirection, 0, 1); // the player only knows 1 forward and 0 backward
  LoadDouble(run, &Z.VR_step, [](double v) { return std::isfinite(v) != 0; });
  LoadInt(run, &Z.TurnCount);
  LoadInt(run, &Z.RestCount);
  LoadInt(run, &Z.KeyFrameMode);
  LoadInt(run, &Z.SteerCounter);
  LoadInt(run, &Z.SteerLimit);
  LoadInt(run, &Z.DISP_WEB_CAM_INFO);
  LoadInt(run, &Z.CamLogMode);
  LoadInt(run, &Z.WrapFlag);
  LoadInt(run, &Z.SteerType);
  LoadInt(run, &Z.KeyFrameIndex, 0, KEYFRAME_NUM - 1);
  for (double &key_frame : Z.KeyFrameNumber)
    ReadDouble(run, &key_frame);
  LoadAdditionalParameters(run);
  Print("Finished Reading ZEP Parameters from File : %s\n", name);
}

void ImportKeyFrames(FILE *file, const char *path) {
  Print("\nFound a file [ qdx_config.dat ] in the Contents Folder...\n");
  Print("\nNow, Importing [ %s ]\n", path);
  // A short file replaces only the values it holds whole; the rest of the
  // block stays as it was.
  std::vector<unsigned char> block(PIVOT_BLOCK_BYTES);
  size_t got = fread(block.data(), 1, block.size(), file);
  for (size_t i = 0; i < got / sizeof(int32_t); ++i)
    Z.PivotHistory[i] = LoadInt32(&block[i * sizeof(int32_t)]);
  ScanInt(file, &Z.PivotSpare);
  Print("\n");
  for (int i = 0; i <= 10; ++i)
    Print("PivotHistory[ %6d ] = [ %6d ]\n", i, Z.PivotHistory[i]);
  Print("\n");
  for (int i = 0; i < KEYFRAME_NUM; ++i) {
    Z.KeyFrameNumber[i] = Z.PivotHistory[i];
    if (Z.PivotHistory[i] > 0) Print("SET: KeyFrameNumber[ %d ] = %f.\n", i, Z.KeyFrameNumber[i]);
  }
  Print("\nThat is all.\n");
  Print("Finished Importing [ %s ]\n", path);
}

void LoadFolderSettings() {
  char name[NAME_LEN];
  SettingsFileName(name, sizeof name, Z.ContentsIndex + 1);
  if (FILE *own = fopen(name, "r"))
    fclose(own);
  else
    snprintf(name, sizeof name, "%s", COMMON_SETTINGS_FILE);
  if (FILE *file = fopen(name, "r")) {
    ReadSettingsFile(file, name);
    fclose(file);
  }

  // The block is raw int32 data: read it in binary mode so that no system's
  // line-end translation can touch it.
  char path[NAME_LEN];
  KeyFrameFileName(path, sizeof path, Z.ContentsIndex + 1);
  if (FILE *file = fopen(path, "rb")) {
    ImportKeyFrames(file, path);
    fclose(file);
  }

  ReadKB();
}
