// The motion measure and the pool: the grid sum and one copy in-process, then
// real copies (pool_peer processes) on a real section whose name belongs to the test.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <map>
#include <string>

#include "motion/shared_pool.h"
#include "platform/shared_memory.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

// One pool_peer process on the test's section, given "CAMERA CHAN SUM
// [fail-map]", answering the commands written to it one line each.
class Peer {
 public:
  explicit Peer(const std::string &args) {
    static int count = 0;
    const std::string fifo = "peer" + std::to_string(++count);
    EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    out_ =
        popen(("'" POOL_PEER "' " + std::string(PlayerSectionName) + " " + args + " <" + fifo).c_str(), "r");
    in_ = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
  }
  ~Peer() { Finish(); }
  std::string Line() {
    char buffer[1024];
    return fgets(buffer, sizeof buffer, out_) ? std::string(buffer, strcspn(buffer, "\n")) : "<eof>";
  }
  std::string Ask(const std::string &command) {
    dprintf(in_, "%s\n", command.c_str());
    return Line();
  }
  // Closes its input; its exit status.
  int Finish() {
    if (out_ == nullptr) return -1;
    close(in_);
    const int status = pclose(out_);
    out_ = nullptr;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  FILE *out_;
  int in_;
};

// What "show" answers: the total, then the 32 slots.
std::string Slots(int total, std::map<int, int> set) {
  std::string line = std::to_string(total);
  for (int i = 0; i < SHARED_SLOTS; ++i)
    line += " " + std::to_string(set[i]);
  return line;
}

// Each test has a section of its own, removed after it.
using SharedPool = PlayerTest;

// The section as an outsider sees it.
SharedInfo *MapDirectly() {
  int handle;
  void *view;
  EXPECT_EQ(OpenSharedSection(PlayerSectionName, SHARED_SIZE, &handle, &view), SECTION_OPEN);
  close(handle);
  return static_cast<SharedInfo *>(view);
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

TEST_F(SharedPool, OneCopyGrowsTheSectionAdoptsThePoolAndOutlivesAShrink) {
  int fd = shm_open(PlayerSectionName, O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 100), 0);
  OpenSharedInfo(PlayerSectionName);
  struct stat st;
  ASSERT_EQ(fstat(fd, &st), 0);
  EXPECT_EQ(st.st_size, SHARED_SIZE);
  SharedInfo *outside = MapDirectly();
  outside->DiffSum = 4321;
  memset(Z.GrayFrame, 7, sizeof Z.GrayFrame);
  Z.VR_threshold = Z.ZEP_threshold + 1; // a settings load gave another threshold
  CalcDifferenceSum();
  EXPECT_EQ(Z.DifferenceSum, 0);
  Z.VR_threshold = Z.ZEP_threshold;
  CalcDifferenceSum();
  EXPECT_EQ(Z.DifferenceSum, 4321);
  EXPECT_EQ(Z.GrayFrame[0][0] | Z.GrayFrame[1][GRAY_SIZE - 1], 0);
  // Shrunk under a running copy: grown back on its next pass instead of a bus error.
  munmap(outside, SHARED_SIZE);
  ASSERT_EQ(ftruncate(fd, 0), 0);
  Z.CameraFlag = 1;
  Z.CamChan = 3;
  Z.GrayFrame[1][0] = 123;
  CalcDifferenceSum();
  EXPECT_EQ(Z.DifferenceSum, 123);
  outside = MapDirectly();
  EXPECT_EQ(std::make_pair(outside->DiffSum, outside->WebCamDiff[3]), std::make_pair(123, 123));
  munmap(outside, SHARED_SIZE);
  close(fd);
}

TEST_F(SharedPool, CopiesPoolTheirMotionClearItAndTakeScribblesAsTheyAre) {
  Peer one("1 2 5000"), two("1 5 700"), three("0 0 0");
  for (Peer *p : {&one, &two, &three})
    ASSERT_EQ(p->Line(), "ready");
  SharedInfo *outside = MapDirectly();
  for (int i = 0; i < 892; ++i)
    outside->reserved[i] = static_cast<uint8_t>(i * 7);
  EXPECT_EQ(one.Ask("pass"), "5000");
  EXPECT_EQ(two.Ask("pass"), "700");
  EXPECT_EQ(one.Ask("show"), Slots(5700, {{2, 5000}, {5, 700}}));
  EXPECT_EQ(three.Ask("pass"), "5700");
  EXPECT_EQ(three.Ask("clear"), "cleared");
  EXPECT_EQ(two.Ask("show"), Slots(0, {}));
  // Camera numbers outside 0..31 own no slot but still write the total. A
  // new copy's start clears the pool.
  EXPECT_EQ(one.Ask("pass"), "5000");
  Peer stray("1 -1 300");
  ASSERT_EQ(stray.Line(), "ready");
  EXPECT_EQ(one.Ask("show"), Slots(0, {}));
  for (int chan : {-1, 32}) {
    EXPECT_EQ(stray.Ask("chan " + std::to_string(chan)), "chan " + std::to_string(chan));
    outside->DiffSum = 1;
    EXPECT_EQ(one.Ask("pass"), "5000");
    EXPECT_EQ(stray.Ask("pass"), "300");
    EXPECT_EQ(stray.Ask("show"), Slots(5000, {{2, 5000}}));
  }
  // Scribbled by another process: the total wraps as an int32 would,
  // 2 * INT_MAX + 5000 = 4998.
  outside->WebCamDiff[0] = outside->WebCamDiff[1] = INT_MAX;
  outside->DiffSum = -7;
  EXPECT_EQ(three.Ask("pass"), "-7");
  EXPECT_EQ(one.Ask("pass"), "5000");
  EXPECT_EQ(three.Ask("pass"), "4998");
  EXPECT_EQ(one.Finish(), 0);
  EXPECT_EQ(three.Finish(), 0);
  for (int i = 0; i < 892; ++i)
    ASSERT_EQ(outside->reserved[i], static_cast<uint8_t>(i * 7)) << i;
  munmap(outside, SHARED_SIZE);
}

TEST_F(SharedPool, SectionThatCannotBeUsedEndsWithTheMessage) {
  // The first line of a copy that ends at once, and its exit status.
  auto ending = [](const char *extra) {
    Peer peer(std::string("0 0 0") + extra);
    const std::string line = peer.Line();
    return std::make_pair(line, peer.Finish());
  };
  const auto open_failed = std::make_pair(std::string("共有メモリオープン失敗"), 1);
  const std::string other = std::string("/dev/shm") + PlayerSectionName;
  ASSERT_EQ(mkdir(other.c_str(), 0700), 0); // something else under the name
  EXPECT_EQ(ending(""), open_failed);
  rmdir(other.c_str());
  // A section of another user (or, without the rights to make one, one we may not open).
  int fd = shm_open(PlayerSectionName, O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(geteuid() == 0 ? fchown(fd, 65534, 65534) : fchmod(fd, 0), 0);
  close(fd);
  EXPECT_EQ(ending(""), open_failed);
  RemoveSharedSection(PlayerSectionName);
  EXPECT_EQ(ending(" fail-map"), std::make_pair(std::string("共有メモリマッピング失敗"), 1));
}

} // namespace
