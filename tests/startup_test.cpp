// Start-up: the console transcript, the argument table, the start position,
// and the endings with status 1.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <numeric>

#include "app/startup.h"
#include "contents/frame_table.h"
#include "player/folders.h"
#include "player/keys.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

class Startup : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    saved_path_ = getenv("PATH") ? getenv("PATH") : "";
    setenv("DISPLAY", ":orvantis-test", 1);
    WriteText("ffmpeg", "#!/bin/sh\nexit 0\n");
    chmod("ffmpeg", 0755);
  }
  void TearDown() override {
    setenv("PATH", saved_path_.c_str(), 1);
    PlayerTest::TearDown();
  }
  void Given(const char *name) {
    Z.ArgCount = 2;
    snprintf(Z.ArgName[1], ARG_LEN, "%s", name);
    ApplyStartPosition();
  }
  int Run() {
    char program[] = "./orvantis";
    char *argv[] = {program, nullptr};
    return ProgramMain(1, argv);
  }
  std::string saved_path_;
};

TEST_F(Startup, TranscriptOfARunWithoutArguments) {
  MakeFolder(1, {0, 1});
  // The first pass turns from no direction to forward in a two-frame folder,
  // which makes frame 1 ready and lets the window draw twice (no key comes
  // then; one that did would be held for the pass).
  Recorded.keys = {-1, -1, KEY_ESC, KEY_ESC};
  EXPECT_EQ(Run(), 0);
  std::string transcript = CapturedOut, work = root_ + "/work";
  transcript.replace(transcript.find(work), work.size(), "<WORK>");
  EXPECT_EQ(transcript, ReadText(std::string(ORVANTIS_SOURCE_DIR) + "/tests/reference/startup.txt"));
  EXPECT_EQ(Recorded.events.front(), "create ORVANTIS  Ver.1.2 normal");
}

TEST_F(Startup, ArgumentsAreAllEchoedButKeptWithinTheTable) {
  std::vector<std::string> args(MAX_ARGS + 2, "x");
  args[0] = "./orvantis";
  args[2] = std::string(6000, 'v');
  std::vector<char *> argv;
  for (std::string &a : args)
    argv.push_back(a.data());
  StoreArguments({static_cast<int>(argv.size()), argv.data(), "./orvantis x"});
  EXPECT_EQ(Z.ArgCount, MAX_ARGS);
  EXPECT_EQ(strlen(Z.ArgName[2]), 4999u);
  EXPECT_NE(CapturedOut.find("\n[22001]x\n\nTotal length of file name strings = 27007\n\n"),
            std::string::npos);
}

TEST_F(Startup, AGivenFileNameSelectsFolderAndFrameWhenItFitsThePattern) {
  std::vector<int> frames(130);
  std::iota(frames.begin(), frames.end(), 0);
  MakeFolder(3, frames, 8, 8);
  MakeFolder(4, {0}, 8, 8); // the folder an index off by one would open
  for (const char *name : {"S00003_0012.jpg", "x.mp4", "A00003_00120.jpg", "S00003-00120.jpg"})
    Given(name);
  EXPECT_EQ(CapturedOut, "");
  Given("/videos/S00003_00120.jpg");
  EXPECT_EQ(Z.ContentsIndex, 2);
  EXPECT_EQ(Z.frame_no, 120.0);
  EXPECT_EQ(Z.EndFrameNum, 129);
  // Not numbers: folder index -1 (S001 by the scan), frame 0 and no replay period.
  MakeFolder(1, {0}, 8, 8);
  CapturedOut.clear();
  Given("Sabcde_zz120.jpg");
  EXPECT_EQ(CapturedOut.find("SET REPLAY PERIOD"), std::string::npos);
}

TEST_F(Startup, AnUnreadableFrameOrMissingDisplayOrFfmpegEndsWithStatusOne) {
  MakeFolder(1, {0});
  WriteText("../S001/clip_00000.jpg", "this is text");
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(CapturedErr, "[ NG ] Read Failed : [ ../S001/clip_00000.jpg ]\n");
  CapturedErr.clear();
  Recorded.events.clear();
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(std::count(CapturedErr.begin(), CapturedErr.end(), '\n'), 1);
  EXPECT_TRUE(Recorded.events.empty());
  unlink("ffmpeg");
  setenv("PATH", "/nonexistent", 1);
  CapturedOut.clear();
  EXPECT_EQ(Run(), 1);
  EXPECT_NE(CapturedOut.find("ERROR!!: Cannot find a file ->[ ffmpeg.exe ]\n\n"), std::string::npos);
  EXPECT_NE(CapturedOut.find("On Linux: install the ffmpeg package"), std::string::npos);
}

} // namespace
