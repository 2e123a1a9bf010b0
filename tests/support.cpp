#include "tests/support.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>

#include "motion/shared_pool.h"
#include "platform/image.h"
#include "player/decode_ahead.h"
#include "platform/platform.h"
#include "platform/shared_memory.h"
#include "state/state.h"

namespace fs = std::filesystem;

RecordedDisplay Recorded;
std::string CapturedOut;
std::string CapturedErr;
double FakeNow = 1000.0;

namespace {

void CaptureOut(const char *data, size_t size) { CapturedOut.append(data, size); }
void CaptureErr(const char *data, size_t size) { CapturedErr.append(data, size); }
double FakeClock() { return FakeNow += 0.001; }

void RecordCreate(const char *name, int autosize) {
  Recorded.events.push_back(std::string("create ") + name + (autosize ? " autosize" : " normal"));
}
void RecordDestroy(const char *name) { Recorded.events.push_back(std::string("destroy ") + name); }
void RecordShow(const char *name, const ZepImage *image) { Recorded.shown.push_back(ShownCopy(name, image)); }
void RecordSize(const char *, int *width, int *height) {
  *width = Recorded.width;
  *height = Recorded.height;
}
int ScriptedKey(int ms) {
  Recorded.events.push_back("wait " + std::to_string(ms));
  // A loop that never ends would hang the test: long after the script ran
  // out, every key wait says ESC.
  if (Recorded.keys.empty() && ++Recorded.waits_after_script > 100000) return 0x1B;
  if (Recorded.keys.empty()) return ms == 0 ? 0x1B : -1;
  int k = Recorded.keys.front();
  Recorded.keys.pop_front();
  return k;
}

// Tests of one run may go in parallel processes; the process number keeps
// their folders and sections apart.
std::string ProcessTag() { return std::to_string(getpid()); }

std::string MakeTempRoot() {
  static unsigned counter = 0;
  std::error_code error;
  fs::path base = fs::temp_directory_path(error);
  for (int attempt = 0; !error && attempt < 100; ++attempt) {
    fs::path root = base / ("orvantis-test-" + ProcessTag() + "-" + std::to_string(++counter));
    if (fs::create_directory(root, error)) return root.string();
  }
  return "";
}

} // namespace

void ResetState() {
  for (ZepImage *&image : Z.FrameCache)
    ReleaseImage(&image);
  ReleaseImage(&Z.KeyScreen);
  ReleaseImage(&Z.AttachImage);
  DropDecodedAhead();
  SetDecodeWorkers(-1); // as the environment says, as at a start
  Z.~ZepState();
  memset(static_cast<void *>(&Z), 0, sizeof Z);
  new (&Z) ZepState;
}

void PlayerTest::SetUp() {
  ResetState();
  Recorded = RecordedDisplay{};
  CapturedOut.clear();
  CapturedErr.clear();
  FakeNow = 1000.0;
  Console = {CaptureOut, CaptureErr};
  Clock = {FakeClock};
  Display = {RecordCreate, RecordDestroy, RecordShow, ScriptedKey, RecordSize};
  static std::string section = "/orvantis-test-" + ProcessTag();
  PlayerSectionName = section.c_str();
  root_ = MakeTempRoot();
  ASSERT_FALSE(root_.empty());
  std::error_code error;
  ASSERT_TRUE(fs::create_directory(fs::path(root_) / "work", error)) << error.message();
  fs::current_path(fs::path(root_) / "work", error);
  ASSERT_FALSE(error) << error.message();
}

void PlayerTest::TearDown() {
  CloseSharedSection(Z.SharedHandle, Z.SharedView, SHARED_SIZE);
  RemoveSharedSection(PlayerSectionName);
  ResetState();
  std::error_code error;
  fs::current_path(fs::temp_directory_path(error), error);
  if (!error) fs::remove_all(root_, error);
  if (error) ADD_FAILURE() << "could not remove " << root_ << ": " << error.message();
}

void MakeFolder(int k, const std::vector<int> &numbers, int width, int height) {
  char folder[64];
  snprintf(folder, sizeof folder, "..%cS%03d", PATH_SEPARATOR, k);
  std::error_code error;
  fs::create_directory(folder, error);
  for (int n : numbers) {
    char path[128];
    snprintf(path, sizeof path, "%s%cclip_%05d.jpg", folder, PATH_SEPARATOR, n);
    WriteFrameFile(path, n, width, height);
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
