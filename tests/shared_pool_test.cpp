// The motion measure and the pool: the grid sum, and one copy on a real section of
// the test's own name, the other copies writing into it from outside.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>

#include "motion/shared_pool.h"
#include "platform/shared_memory.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

// The total and the slots in use: "5700 2:5000 5:700".
std::string Slots(const SharedInfo &info) {
  std::string line = std::to_string(info.DiffSum);
  for (int i = 0; i < SHARED_SLOTS; ++i)
    if (info.WebCamDiff[i] != 0) line += " " + std::to_string(i) + ":" + std::to_string(info.WebCamDiff[i]);
  return line;
}

// Each test has a section of its own, removed after it.
using SharedPool = PlayerTest;

// The section as another copy sees it.
SharedInfo *MapDirectly() {
  int handle;
  void *view;
  EXPECT_EQ(OpenSharedSection(PlayerSectionName, SHARED_SIZE, &handle, &view), SECTION_OPEN);
  close(handle);
  return static_cast<SharedInfo *>(view);
}

// One pass of this copy: with a camera on slot chan whose two frames differ
// by `sum` (every pixel sampled), or with none (the frames as they are).
int Pass(bool camera, int chan = 0, int sum = 0) {
  Z.CameraFlag = camera;
  Z.CamChan = chan;
  Z.DiffStep = 1;
  if (camera) {
    memset(Z.GrayFrame, 0, sizeof Z.GrayFrame);
    memset(Z.GrayFrame[1], 1, static_cast<size_t>(sum));
  }
  CalcDifferenceSum();
  return Z.DifferenceSum;
}

TEST_F(SharedPool, DifferenceSumSamplesTheGrid) {
  Z.CameraFlag = 1;
  memset(Z.GrayFrame[1], 255, GRAY_SIZE);
  const std::pair<int, int> cases[] = {
      {4, 1224000}, {1, 19584000}, {3, 107 * 80 * 255}, {0, 19584000}}; // 0 is taken as 1
  for (auto [step, want] : cases) {
    Z.DiffStep = step;
    CalcDifferenceSum();
    EXPECT_EQ(Z.DifferenceSum, want) << "step " << step;
  }
  // Step 3: the last sampled column and row are 318 and 237; equal pixels add nothing.
  memset(Z.GrayFrame[1], 0, GRAY_SIZE);
  Z.DiffStep = 3;
  Z.GrayFrame[0][239 * 320 + 319] = 255;
  Z.GrayFrame[1][237 * 320 + 318] = 9;
  CalcDifferenceSum();
  EXPECT_EQ(Z.DifferenceSum, 9);
}

TEST_F(SharedPool, CopiesPoolTheirMotionClearItTakeScribblesAsTheyAreAndOutliveAShrink) {
  // A copy's start grows a smaller section to its size and clears the pool.
  int fd = shm_open(PlayerSectionName, O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(pwrite(fd, &fd, sizeof fd, 0), static_cast<ssize_t>(sizeof fd));
  ASSERT_EQ(ftruncate(fd, 100), 0);
  ASSERT_TRUE(OpenSharedInfo(PlayerSectionName));
  struct stat st;
  ASSERT_EQ(fstat(fd, &st), 0);
  EXPECT_EQ(st.st_size, SHARED_SIZE);
  SharedInfo *other = MapDirectly();
  EXPECT_EQ(Slots(*other), "0");
  memset(other->reserved, 0x5A, sizeof other->reserved); // bytes other copies may use
  other->WebCamDiff[31] = 700;                           // published by a copy with camera 31, the last
  EXPECT_EQ(Pass(true, 2, 5000), 5000);
  EXPECT_EQ(Slots(*other), "5700 2:5000 31:700");
  // Without a camera the pooled total steers, unless a settings load gave
  // another threshold; the grey frames go black either way.
  Z.VR_threshold = Z.ZEP_threshold + 1;
  EXPECT_EQ(Pass(false), 0);
  Z.VR_threshold = Z.ZEP_threshold;
  memset(Z.GrayFrame, 7, sizeof Z.GrayFrame);
  EXPECT_EQ(Pass(false), 5700);
  EXPECT_EQ(Z.GrayFrame[0][0] | Z.GrayFrame[1][GRAY_SIZE - 1], 0);
  ClearSharedInfo();
  EXPECT_EQ(Slots(*other), "0");
  // Camera numbers outside 0..31 own no slot but still write the total.
  for (int chan : {-1, 32}) {
    other->WebCamDiff[2] = 5000;
    other->DiffSum = 1;
    EXPECT_EQ(Pass(true, chan, 300), 300);
    EXPECT_EQ(Slots(*other), "5000 2:5000") << chan;
  }
  // Scribbled by another process: adopted as it is, and the total wraps as
  // an int32 would, 2 * INT_MAX + 5000 = 4998.
  other->WebCamDiff[0] = other->WebCamDiff[1] = INT_MAX;
  other->DiffSum = -7;
  EXPECT_EQ(Pass(false), -7);
  Pass(true, 2, 5000);
  EXPECT_EQ(other->DiffSum, 4998);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(other->reserved), sizeof other->reserved),
            std::string(sizeof other->reserved, '\x5A'));
  // Shrunk under a running copy: grown back on its next pass instead of a bus error.
  munmap(other, SHARED_SIZE);
  ASSERT_EQ(ftruncate(fd, 0), 0);
  EXPECT_EQ(Pass(true, 3, 123), 123);
  other = MapDirectly();
  EXPECT_EQ(Slots(*other), "123 3:123");
  munmap(other, SHARED_SIZE);
  close(fd);
}

void *NoMapping(int, size_t) { return nullptr; }

TEST_F(SharedPool, SectionThatCannotBeUsedIsRefusedWithTheMessage) {
  auto opening = [] {
    CapturedOut.clear();
    return OpenSharedInfo(PlayerSectionName) ? std::string("open") : CapturedOut;
  };
  // A section of another user (or, without the rights to make one, one we may not open).
  int fd = shm_open(PlayerSectionName, O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(geteuid() == 0 ? fchown(fd, 65534, 65534) : fchmod(fd, 0), 0);
  close(fd);
  EXPECT_EQ(opening(), "共有メモリオープン失敗\n");
  RemoveSharedSection(PlayerSectionName);
  const SharedSectionCalls real = SectionCalls;
  SectionCalls.map = NoMapping;
  EXPECT_EQ(opening(), "共有メモリマッピング失敗\n");
  SectionCalls = real;
  EXPECT_EQ(Z.SharedView, nullptr);
}

} // namespace
