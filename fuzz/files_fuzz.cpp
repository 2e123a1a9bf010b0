// One libFuzzer target per reader that takes a file by name; FUZZ_FILE picks
// which. Each input becomes that file in a working folder of the target's own,
// then the program's own reader runs on it. Besides the sanitizers' checks,
// the target traps when a reader leaves a value the player relies on outside
// its range.
#include <unistd.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#include "common/naming.h"
#include "contents/frame_table.h"
#include "motion/camera.h"
#include "platform/image.h"
#include "platform/platform.h"
#include "player/keys.h"
#include "player/player.h"
#include "state/state.h"

namespace {

void Discard(const char *, size_t) {}

char Folder[] = "/dev/shm/orvantis-fuzz-XXXXXX"; // in memory: every run writes its file
std::string SmallFrame, LargeFrame;              // well-formed JPEGs of two sizes

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void WriteFile(const char *name, const uint8_t *data, size_t size) {
  FILE *file = fopen(name, "wb");
  if (file == nullptr) abort();
  if (size > 0 && fwrite(data, 1, size, file) != size) abort();
  fclose(file);
}

// The frame table: with a first byte 'F' the rest is the head of a whole
// table (zeros after it) followed by the count text, so that the count and the
// checks after it are reached; otherwise the input is the file as it stands.
void FuzzFrameTable(const uint8_t *data, size_t size) {
  char name[NAME_LEN];
  FrameTableFileName(name, sizeof name, 1);
  if (size > 0 && data[0] == 'F') {
    size_t head = size - 1 < 4 * sizeof(FrameRecord) ? size - 1 : 4 * sizeof(FrameRecord);
    FILE *file = fopen(name, "wb");
    if (file == nullptr) abort();
    fwrite(data + 1, 1, head, file);
    fseek(file, static_cast<long>(FRAME_TABLE_BYTES), SEEK_SET);
    fwrite(data + 1 + head, 1, size - 1 - head, file);
    fclose(file);
  } else {
    WriteFile(name, data, size);
  }
  if (!ReadFrameTableFile(name)) return;
  Check(Z.MaxCount >= 0 && Z.MaxCount <= MAX_FRAMES);
  for (const FrameRecord &rec : Z.FrameData)
    Check(rec.path[PATH_FIELD - 1] == '\0' && rec.http[PATH_FIELD - 1] == '\0' &&
          rec.file[PATH_FIELD - 1] == '\0');
}

void FuzzCameraSettings(const uint8_t *data, size_t size) {
  WriteFile("SetCamera3.txt", data, size);
  ReadCamSettings();
  Check(Z.CamOnMemory >= 1 && Z.CamOnMemory <= CAM_ON_MEMORY_MAX);
}

// The pass's re-read, then v and V on the value found (they read it again).
void FuzzThreshold(const uint8_t *data, size_t size) {
  WriteFile(THRESHOLD_FILE, data, size);
  ReloadThreshold();
  Check(Z.VR_threshold == Z.ZEP_threshold);
  DispatchKey('V');
  WriteFile(THRESHOLD_FILE, data, size);
  DispatchKey('v');
  Check(Z.ZEP_threshold >= 0);
}

// Arbitrary bytes as a frame, between well-formed frames of two sizes, so that
// each load may decode into a buffer an image of another size released; the
// size of the input picks the picture it is decoded for (whole, or scaled).
void FuzzFrame(const uint8_t *data, size_t size) {
  const char *name = "clip_00000.jpg";
  int picture = static_cast<int>(size % 3) * 40;
  auto load = [name, picture](const std::string &bytes) {
    WriteFile(name, reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    ZepImage *image = LoadImageScaled(name, picture, picture * 3 / 4);
    if (image != nullptr) {
      MarkAndFit(image, 3.0, 7, picture, picture * 3 / 4);
      MarkAndFit(image, 5.0, 7, picture * 2 / 3, picture / 2); // the mark moves, the picture shrinks
      FlipImage(image, 1);
      ReleaseImage(&image);
    }
  };
  load(LargeFrame);
  load(std::string(reinterpret_cast<const char *>(data), size));
  load(SmallFrame);
  load(std::string(reinterpret_cast<const char *>(data), size));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  Console = {Discard, Discard};
  Display = NullDisplay; // no window
  if (mkdtemp(Folder) == nullptr || chdir(Folder) != 0) abort();
  atexit([] {
    for (const char *name : {"frame_data0001.dat", "SetCamera3.txt", THRESHOLD_FILE, "clip_00000.jpg"})
      unlink(name);
    rmdir(Folder);
  });
  std::vector<uchar> bytes;
  cv::imencode(".jpg", cv::Mat(48, 64, CV_8UC3, cv::Scalar(10, 200, 30)), bytes);
  SmallFrame.assign(bytes.begin(), bytes.end());
  cv::imencode(".jpg", cv::Mat(120, 203, CV_8UC3, cv::Scalar(200, 20, 90)), bytes);
  LargeFrame.assign(bytes.begin(), bytes.end());
  Z.DiffStep = 4;
  Z.CamOnMemory = 3;
  Z.DISP_WEB_CAM_INFO = 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  switch (FUZZ_FILE) {
  case 0: FuzzFrameTable(data, size); break;
  case 1: FuzzCameraSettings(data, size); break;
  case 2: FuzzThreshold(data, size); break;
  case 3: FuzzFrame(data, size); break;
  }
  return 0;
}
