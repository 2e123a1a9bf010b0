#include "motion/shared_pool.h"

#include <cstdint>
#include <cstring>

#include "platform/platform.h"
#include "state/state.h"

namespace {

void StoreSharedInfo() { memcpy(Z.SharedView, &Z.SI, SHARED_SIZE); }

int GreyDifference(const uint8_t *a, const uint8_t *b, int step) {
  if (step == 1) {
    // The whole frame is one run of bytes; a flat loop lets the compiler use
    // vector instructions: 16-bit partial sums over blocks of 256 bytes
    // (256 x 255 still fits) keep the vectors wide.
    uint32_t total = 0;
    for (int block = 0; block < GRAY_SIZE; block += 256) {
      uint16_t part = 0;
      for (int i = block; i < block + 256; ++i)
        part = static_cast<uint16_t>(part + static_cast<uint8_t>(a[i] > b[i] ? a[i] - b[i] : b[i] - a[i]));
      total += part;
    }
    return static_cast<int>(total);
  }
  int sum = 0;
  for (size_t y = 0; y < ZEP_F_YMAX; y += static_cast<size_t>(step)) {
    const uint8_t *ra = a + y * ZEP_F_XMAX;
    const uint8_t *rb = b + y * ZEP_F_XMAX;
    for (int x = 0; x < ZEP_F_XMAX; x += step)
      sum += ra[x] > rb[x] ? ra[x] - rb[x] : rb[x] - ra[x];
  }
  return sum; // at most 76800 * 255, well within int
}

} // namespace

const char *PlayerSectionName = SHARED_SECTION_NAME;

bool OpenSharedInfo(const char *name) {
  int handle = -1;
  void *view = nullptr;
  switch (OpenSharedSection(name, SHARED_SIZE, &handle, &view)) {
  case SECTION_OPEN: break;
  case SECTION_OPEN_FAILED: Print("共有メモリオープン失敗\n"); return false;
  case SECTION_MAP_FAILED: Print("共有メモリマッピング失敗\n"); return false;
  }
  Z.SharedHandle = handle;
  Z.SharedView = static_cast<SharedInfo *>(view);
  ClearSharedInfo();
  return true;
}

bool LoadSharedInfo() {
  if (Z.SharedView == nullptr || !SharedSectionIntact(Z.SharedHandle, SHARED_SIZE)) return false;
  memcpy(&Z.SI, Z.SharedView, SHARED_SIZE);
  return true;
}

void ResetMotionMeasure() {
  Z.DifferenceSum = 0;
  Z.GrayIndex = 0;
}

void ClearSharedInfo() {
  if (!LoadSharedInfo()) return;
  Z.SI.DiffSum = 0;
  memset(Z.SI.WebCamDiff, 0, sizeof Z.SI.WebCamDiff);
  StoreSharedInfo();
}

void CalcDifferenceSum() {
  Z.DifferenceSum = 0;
  if (Z.CameraFlag != 0) {
    // A step below 1 would never leave the grid; the folder settings should
    // not give one, and if they do the full grid is the safe reading.
    int step = Z.DiffStep >= 1 ? Z.DiffStep : 1;
    int sum = GreyDifference(Z.GrayFrame[0], Z.GrayFrame[1], step);
    bool shared = LoadSharedInfo();
    // Tested unsigned, so that a negative camera number owns no slot either.
    if (static_cast<unsigned>(Z.CamChan) < static_cast<unsigned>(SHARED_SLOTS))
      Z.SI.WebCamDiff[Z.CamChan] = sum;
    Z.SI.DiffSum = PooledTotal(Z.SI);
    if (shared) StoreSharedInfo();
    Z.DifferenceSum = sum;
    return;
  }
  if (Z.VR_threshold == Z.ZEP_threshold) {
    LoadSharedInfo();
    Z.DifferenceSum = Z.SI.DiffSum;
  }
  // The first difference after the camera comes on then compares against black.
  memset(Z.GrayFrame, 0, sizeof Z.GrayFrame);
}
