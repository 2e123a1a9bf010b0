#include "tests/support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <opencv2/imgcodecs.hpp>
#include <sstream>

#include "motion/shared_pool.h"
#include "platform/image_cv.h"
#include "platform/platform.h"
#include "player/frame_cache.h"
#include "player/image.h"
#include "state/state.h"

RecordedDisplay Recorded;
std::string CapturedOut;
std::string CapturedErr;
double FakeNow = 1000.0;
double FakeTick = 0.001;

namespace {

void CaptureOut(const char *data, size_t size) { CapturedOut.append(data, size); }
void CaptureErr(const char *data, size_t size) { CapturedErr.append(data, size); }
double FakeClock() { return FakeNow += FakeTick; }

void RecordCreate(const char *name, int autosize) {
  Recorded.events.push_back(std::string("create ") + name + (autosize ? " autosize" : " normal"));
}
void RecordDestroy(const char *name) { Recorded.events.push_back(std::string("destroy ") + name); }
void RecordShow(const char *name, const ZepImage *image) {
  Recorded.shown.push_back({name, image->mat.clone()});
}
int ScriptedKey(int ms) {
  Recorded.events.push_back("wait " + std::to_string(ms));
  // A loop that never ends would hang the test: long after the script ran
  // out, every key wait says ESC.
  if (Recorded.keys.empty() && ++Recorded.waits_after_script > 100000) return 0x1B;
  if (Recorded.keys.empty()) return ms == 0 ? Recorded.keys_after_script : -1;
  int k = Recorded.keys.front();
  Recorded.keys.pop_front();
  return k;
}

std::string MakeTempRoot() {
  char pattern[] = "/tmp/orvantis-test-XXXXXX";
  char *made = mkdtemp(pattern);
  return made ? made : "";
}

} // namespace

void ResetState() {
  for (ZepImage *&image : Z.FrameCache)
    ReleaseImage(&image);
  ReleaseImage(&Z.KeyScreen);
  ReleaseImage(&Z.AttachImage);
  Z.~ZepState();
  memset(static_cast<void *>(&Z), 0, sizeof Z);
  new (&Z) ZepState;
}

std::string TestSectionName() { return "/orvantis-test-" + std::to_string(getpid()); }

void PlayerTest::SetUp() {
  ResetState();
  Recorded = RecordedDisplay{};
  CapturedOut.clear();
  CapturedErr.clear();
  FakeNow = 1000.0;
  FakeTick = 0.001;
  Console = {CaptureOut, CaptureErr};
  Clock = {FakeClock};
  Display = {RecordCreate, RecordDestroy, RecordShow, ScriptedKey};
  static std::string section = TestSectionName();
  PlayerSectionName = section.c_str();
  root_ = MakeTempRoot();
  ASSERT_FALSE(root_.empty());
  ASSERT_EQ(mkdir((root_ + "/work").c_str(), 0755), 0);
  ASSERT_EQ(chdir((root_ + "/work").c_str()), 0);
}

void PlayerTest::TearDown() {
  if (Z.SharedView != nullptr) CloseSharedInfo();
  RemoveSharedSection(PlayerSectionName);
  ResetState();
  if (chdir("/") != 0) return;
  std::string command = "rm -rf '" + root_ + "'";
  if (system(command.c_str()) != 0) ADD_FAILURE() << "could not remove " << root_;
}

cv::Scalar FrameColour(int n) {
  return cv::Scalar((n * 37) % 256, (n * 91 + 60) % 256, (n * 53 + 120) % 256);
}

void WriteFrame(const std::string &path, int width, int height, cv::Scalar colour) {
  cv::Mat m(height, width, CV_8UC3, colour);
  ASSERT_TRUE(cv::imwrite(path, m, {cv::IMWRITE_JPEG_QUALITY, 100})) << path;
}

void MakeFolder(int k, const std::vector<int> &numbers, int width, int height) {
  char folder[64];
  snprintf(folder, sizeof folder, "../S%03d", k);
  mkdir(folder, 0755);
  for (int n : numbers) {
    char path[128];
    snprintf(path, sizeof path, "%s/clip_%05d.jpg", folder, n);
    WriteFrame(path, width, height, FrameColour(n));
  }
}

void WriteText(const std::string &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string ReadText(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
