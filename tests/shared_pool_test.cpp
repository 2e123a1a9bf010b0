// The motion measure and the pool: the grid sum and one copy in-process, then
// real copies (pool_peer processes) on a real section whose name belongs to the test.
#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "motion/shared_pool.h"
#include "platform/shared_memory.h"
#include "state/state.h"
#include "tests/support.h"

extern char **environ;

namespace {

// One pool_peer process with a pipe each way.
class Peer {
 public:
  Peer(const std::string &name, int camera, int chan, int sum, const char *extra = nullptr) {
    int to[2], from[2];
    // Close-on-exec, so that a later peer does not hold this one's input open.
    EXPECT_EQ(pipe2(to, O_CLOEXEC) | pipe2(from, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, to[0], 0);
    posix_spawn_file_actions_adddup2(&actions, from[1], 1);
    std::vector<std::string> args = {POOL_PEER, name, std::to_string(camera), std::to_string(chan),
                                     std::to_string(sum)};
    if (extra) args.push_back(extra);
    std::vector<char *> argv;
    for (auto &a : args)
      argv.push_back(&a[0]);
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&pid_, POOL_PEER, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(to[0]);
    close(from[1]);
    in_ = to[1];
    out_ = fdopen(from[0], "r");
  }
  ~Peer() {
    if (pid_ > 0) Finish();
  }
  std::string Line() {
    char buffer[1024];
    if (fgets(buffer, sizeof buffer, out_) == nullptr) return "<eof>";
    return std::string(buffer, strcspn(buffer, "\n"));
  }
  std::string Ask(const std::string &command) {
    std::string c = command + "\n";
    EXPECT_EQ(write(in_, c.data(), c.size()), static_cast<ssize_t>(c.size()));
    return Line();
  }
  // Closes its input, collects the rest of its output, returns its exit status.
  int Finish(std::string *rest = nullptr) {
    close(in_);
    for (int c; (c = fgetc(out_)) != EOF;)
      if (rest) rest->push_back(static_cast<char>(c));
    fclose(out_);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  FILE *out_ = nullptr;
};

std::string Slots(int total, std::vector<std::pair<int, int>> set) {
  std::vector<int> v(SHARED_SLOTS, 0);
  for (auto &s : set)
    v[s.first] = s.second;
  std::string line = std::to_string(total);
  for (int x : v)
    line += " " + std::to_string(x);
  return line;
}

class SharedPool : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    static int counter = 0;
    name_ = "/orvantis-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
  }
  void TearDown() override {
    CloseSharedInfo();
    RemoveSharedSection(name_.c_str());
    rmdir(("/dev/shm" + name_).c_str());
    PlayerTest::TearDown();
  }
  // The section as an outsider sees it.
  SharedInfo *MapDirectly() {
    int handle;
    void *view;
    EXPECT_EQ(OpenSharedSection(name_.c_str(), SHARED_SIZE, &handle, &view), SECTION_OPEN);
    close(handle);
    return static_cast<SharedInfo *>(view);
  }
  std::string name_;
};

TEST_F(SharedPool, DifferenceSumSamplesTheGrid) {
  Z.CameraFlag = 1;
  memset(Z.GrayFrame[1], 255, GRAY_SIZE);
  const std::pair<int, int> cases[] = {{4, 1224000}, {1, 19584000}, {3, 107 * 80 * 255}, {0, 19584000}};
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
  int fd = shm_open(name_.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 100), 0);
  OpenSharedInfo(name_.c_str());
  struct stat st;
  ASSERT_EQ(fstat(fd, &st), 0);
  EXPECT_EQ(st.st_size, SHARED_SIZE);
  SharedInfo *outside = MapDirectly();
  outside->DiffSum = 4321;
  munmap(outside, SHARED_SIZE);
  memset(Z.GrayFrame, 7, sizeof Z.GrayFrame);
  Z.VR_threshold = Z.ZEP_threshold + 1; // a settings load gave another threshold
  CalcDifferenceSum();
  EXPECT_EQ(Z.DifferenceSum, 0);
  Z.VR_threshold = Z.ZEP_threshold;
  CalcDifferenceSum();
  EXPECT_EQ(Z.DifferenceSum, 4321);
  EXPECT_EQ(Z.GrayFrame[0][0] | Z.GrayFrame[1][GRAY_SIZE - 1], 0);
  // Shrunk under a running copy: grown back on its next pass instead of a bus error.
  ASSERT_EQ(ftruncate(fd, 0), 0);
  Z.CameraFlag = 1;
  Z.CamChan = 3;
  Z.GrayFrame[1][0] = 123;
  CalcDifferenceSum();
  EXPECT_EQ(Z.DifferenceSum, 123);
  outside = MapDirectly();
  EXPECT_EQ(outside->DiffSum, 123);
  EXPECT_EQ(outside->WebCamDiff[3], 123);
  munmap(outside, SHARED_SIZE);
  close(fd);
}

TEST_F(SharedPool, CopiesPoolTheirMotionClearItAndTakeScribblesAsTheyAre) {
  Peer one(name_, 1, 2, 5000), two(name_, 1, 5, 700), three(name_, 0, 0, 0);
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
  Peer stray(name_, 1, -1, 300);
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
  outside->WebCamDiff[0] = INT_MAX;
  outside->WebCamDiff[1] = INT_MAX;
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
  auto ending = [&](const char *extra) {
    std::string out;
    EXPECT_EQ(Peer(name_, 0, 0, 0, extra).Finish(&out), 1);
    return out;
  };
  const std::string open_failed = "共有メモリオープン失敗\n";
  // Something else under the name.
  ASSERT_EQ(mkdir(("/dev/shm" + name_).c_str(), 0700), 0);
  EXPECT_EQ(ending(nullptr), open_failed);
  rmdir(("/dev/shm" + name_).c_str());
  // A section of another user (or, without the rights to make one, one we may not open).
  int fd = shm_open(name_.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(geteuid() == 0 ? fchown(fd, 65534, 65534) : fchmod(fd, 0), 0);
  close(fd);
  EXPECT_EQ(ending(nullptr), open_failed);
  RemoveSharedSection(name_.c_str());
  EXPECT_EQ(ending("fail-map"), "共有メモリマッピング失敗\n");
}

} // namespace
