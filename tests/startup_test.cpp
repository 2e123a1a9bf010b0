// Start-up: the console transcript, the argument table, the start position.
// (The endings with status 1 are run for real by tests/e2e/error_endings.sh.)
#include <sys/stat.h>

#include <cstring>
#include <numeric>
#include <tuple>

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
    setenv("DISPLAY", ":orvantis-test", 1);
    WriteText("ffmpeg", "#!/bin/sh\nexit 0\n");
    chmod("ffmpeg", 0755);
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
};

TEST_F(Startup, TranscriptOfARunWithoutArguments) {
  MakeFolder(1, {0, 1});
  // The first pass turns from no direction to forward in a two-frame folder: frame 1 is
  // made ready and the window draws twice (a key then would be held for the pass).
  Recorded.keys = {-1, -1, KEY_ESC, KEY_ESC};
  EXPECT_EQ(Run(), 0);
  std::string transcript = CapturedOut, work = root_ + "/work";
  transcript.replace(transcript.find(work), work.size(), "<WORK>");
  EXPECT_EQ(transcript, ReadText(std::string(ORVANTIS_SOURCE_DIR) + "/tests/reference/startup.txt"));
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
  EXPECT_EQ(std::make_tuple(Z.ContentsIndex, Z.frame_no), std::make_tuple(2, 120.0));
  for (const char *line :
       {"DirNumString=[ 00003 ]   FrameNumString=[ 00120 ]\n", "[      0 ] <-> [   129]\n"})
    EXPECT_NE(CapturedOut.find(line), std::string::npos) << line;
  // Not numbers: folder index -1 (S001 by the scan), frame 0 and no replay period.
  MakeFolder(1, {0}, 8, 8);
  CapturedOut.clear();
  Given("Sabcde_zz120.jpg");
  EXPECT_EQ(CapturedOut.find("SET REPLAY PERIOD"), std::string::npos);
}

} // namespace
