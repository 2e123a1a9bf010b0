// Start-up: the console transcript, the argument table, the start position,
// and the endings without ffmpeg or display.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "app/startup.h"
#include "contents/frame_table.h"
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
  // The transcript with this run's working folder written as <WORK>.
  std::string Transcript() {
    std::string text = CapturedOut;
    std::string work = root_ + "/work";
    for (size_t at; (at = text.find(work)) != std::string::npos;)
      text.replace(at, work.size(), "<WORK>");
    return text;
  }
  std::string saved_path_;
};

TEST_F(Startup, TranscriptOfARunWithoutArguments) {
  MakeFolder(1, {0, 1});
  char program[] = "./orvantis";
  char *argv[] = {program, nullptr};
  // The first pass turns from no direction to forward in a two-frame folder,
  // which makes frame 1 ready and waits twice for a key (both discarded).
  Recorded.keys = {-1, -1, KEY_ESC, KEY_ESC};
  EXPECT_EQ(ProgramMain(1, argv), 0);
  std::string expected = ReadText(std::string(ORVANTIS_SOURCE_DIR) + "/tests/reference/startup.txt");
  EXPECT_EQ(Transcript(), expected);
  if (Transcript() != expected) WriteText("/tmp/orvantis-startup-actual.txt", Transcript());
  EXPECT_EQ(Recorded.events.front(), "create ORVANTIS  Ver.1.2 normal");
  ASSERT_FALSE(Recorded.shown.empty());
}

TEST_F(Startup, ArgumentsAreEchoedAndKeptWithinTheTable) {
  std::string longest(6000, 'v');
  char a0[] = "./orvantis";
  char a1[] = "b.mp4";
  char *argv[] = {a0, a1, longest.data(), nullptr};
  StoreArguments(3, argv);
  EXPECT_EQ(Z.ArgCount, 3);
  EXPECT_EQ(strlen(Z.ArgName[2]), 4999u);
  EXPECT_EQ(CapturedOut.substr(0, 30), "./orvantis b.mp4 vvvvvvvvvvvvv");
  EXPECT_NE(CapturedOut.find("\n[0]./orvantis\n[1]b.mp4\n[2]vvv"), std::string::npos);
  EXPECT_NE(CapturedOut.find("\nTotal length of file name strings = 5014\n\n"), std::string::npos);
}

TEST_F(Startup, GivenFileNameSelectsFolderAndFrame) {
  std::vector<int> frames;
  for (int i = 0; i < 130; ++i)
    frames.push_back(i);
  MakeFolder(3, frames, 8, 8);
  Z.ArgCount = 2;
  snprintf(Z.ArgName[1], ARG_LEN, "/videos/S00003_00120.jpg");
  ApplyStartPosition();
  EXPECT_EQ(Z.ContentsIndex, 2);
  EXPECT_EQ(Z.frame_no, 120.0);
  EXPECT_EQ(Z.MaxCount, 130);
  EXPECT_NE(CapturedOut.find("\n***** Given File Name : [ /videos/S00003_00120.jpg ]\n"
                             "DirNumString=[ 00003 ]   FrameNumString=[ 00120 ]\n"
                             "\n***** Changed Contents Directory to [S  3] \n"),
            std::string::npos);
  EXPECT_NE(CapturedOut.find("\n***** Changed current frame_no = 120.000000\n\n"
                             "SET REPLAY PERIOD : [      0 ] <-> [   129]\n"),
            std::string::npos);
}

TEST_F(Startup, NamesThatDoNotFitLeaveTheStartAlone) {
  MakeFolder(1, {0}, 8, 8);
  ScanContents();
  Z.ArgCount = 2;
  for (const char *name : {"S00003_0012.jpg", "x.mp4", "", "A00003_00120.jpg", "S00003-00120.jpg"}) {
    CapturedOut.clear();
    snprintf(Z.ArgName[1], ARG_LEN, "%s", name);
    ApplyStartPosition();
    EXPECT_EQ(CapturedOut, "") << name;
    EXPECT_EQ(Z.ContentsIndex, 0);
  }
  // Not numbers: folder index -1 falls back to S001, frame 0 and no replay period.
  snprintf(Z.ArgName[1], ARG_LEN, "Sabcde_zz120.jpg");
  ApplyStartPosition();
  EXPECT_EQ(Z.ContentsIndex, 0);
  EXPECT_EQ(Z.frame_no, 0.0);
  EXPECT_EQ(CapturedOut.find("SET REPLAY PERIOD"), std::string::npos);
}

TEST_F(Startup, MissingFfmpegShowsTheHelpAndFails) {
  unlink("ffmpeg");
  setenv("PATH", "/nonexistent", 1);
  char program[] = "./orvantis";
  char *argv[] = {program, nullptr};
  EXPECT_EQ(ProgramMain(1, argv), 1);
  EXPECT_NE(CapturedOut.find("ERROR!!: Cannot find a file ->[ ffmpeg.exe ]\n\n"), std::string::npos);
  EXPECT_NE(
      CapturedOut.find("以上\nOn Linux: install the ffmpeg package (for example: apt-get install ffmpeg).\n"),
      std::string::npos);
  EXPECT_EQ(CapturedOut.find("[0]"), std::string::npos);
}

TEST_F(Startup, NoDisplayIsAOneLineError) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  char program[] = "./orvantis";
  char *argv[] = {program, nullptr};
  EXPECT_EQ(ProgramMain(1, argv), 1);
  EXPECT_EQ(std::count(CapturedErr.begin(), CapturedErr.end(), '\n'), 1);
  EXPECT_TRUE(Recorded.events.empty());
}

} // namespace
