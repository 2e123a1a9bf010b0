// The video import: the byte order of the names, the echoed commands, the
// argument vector that reaches ffmpeg, and the import going on past failures.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "app/import.h"
#include "platform/process.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

std::vector<std::vector<std::string>> Runs; // argument vectors given to the fake ffmpeg

ProgramEnd RecordRun(const char *const *argv) {
  Runs.emplace_back();
  for (; *argv != nullptr; ++argv)
    Runs.back().emplace_back(*argv);
  return {ProgramEnd::Exited, 0};
}

class Import : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    Process = {RecordRun};
    Runs.clear();
    snprintf(Z.FfmpegPath, sizeof Z.FfmpegPath, "./ffmpeg");
  }
  void TearDown() override {
    Process = real_;
    PlayerTest::TearDown();
  }
  const ProcessOps real_ = Process;
};

// The command line: the program, then the given names.
void Given(const std::vector<std::string> &names) {
  snprintf(Z.ArgName[0], ARG_LEN, "./orvantis");
  Z.ArgCount = 1;
  for (const std::string &n : names)
    snprintf(Z.ArgName[Z.ArgCount++], ARG_LEN, "%s", n.c_str());
}

std::string Echo(int k, const std::string &name) {
  const std::string folder = "../S00" + std::to_string(k); // k < 10
  return "\n----------> EXECUTING: mkdir  \"" + folder + "\"\n\n\n----------> EXECUTING: rm  -f   \"" +
         folder + "/*.jpg\"\n\n\n----------> EXECUTING: ./ffmpeg  -i \"" + name +
         "\"                      -q:v 1  " + folder + "/clip_%05d.jpg\n\n";
}

// Names go in byte order after the program's own; shell characters and a leading '-'
// reach ffmpeg as they are, as -i's value; success adds nothing; the longest name goes whole.
TEST_F(Import, SortsByBytesEchoesTheCommandsAndPassesNamesByteForByte) {
  const std::string nasty = "-y $(touch pwned) `touch pwned2`; \"q\" 'x' @ *.mp4", longest(4999, 'z');
  const std::vector<std::string> order = {nasty,        "B.avi", "b.avi",           "movie10.mp4",
                                          "movie9.mp4", longest, "\xE3\x81\x82.mp4"};
  Given({longest, order[6], order[4], order[2], order[3], order[1], nasty});
  ImportVideos();
  std::string echoes;
  for (size_t k = 0; k < order.size(); ++k)
    echoes += Echo(static_cast<int>(k + 1), order[k]);
  EXPECT_EQ(CapturedOut, echoes);
  ASSERT_EQ(Runs.size(), order.size());
  EXPECT_EQ(Runs[0],
            (std::vector<std::string>{"./ffmpeg", "-i", nasty, "-q:v", "1", "../S001/clip_%05d.jpg"}));
  EXPECT_EQ(Runs[5][2], longest);
}

// With the real process layer: a program that cannot start is reported, and neither
// that nor a folder that cannot be made or emptied stops the import. Only *.jpg goes.
TEST_F(Import, FailuresAreReportedAndDoNotStopTheImport) {
  Process = real_;
  snprintf(Z.FfmpegPath, sizeof Z.FfmpegPath, "./no-such-ffmpeg");
  MakeFolder(1, {0});
  for (const char *kept : {"clip.JPG", ".hidden.jpg"})
    WriteText(std::string("../S001/") + kept, "kept");
  mkdir("../S001/odd.jpg", 0755); // a folder cannot be deleted as a file
  WriteText("../S002", "a plain file where the folder should be");
  Given({"one.mp4", "two.mp4", "three.mp4"});
  ImportVideos();
  // Sorted: one, three, two. S002 (three) cannot be made; S001 keeps odd.jpg.
  const std::string failed = "[ NG ] ffmpeg Not Started : [ ./no-such-ffmpeg ] (No such file or directory)\n";
  EXPECT_EQ(CapturedErr, "[ NG ] Folder Not Emptied : [ ../S001 ] (1 JPEG file(s) left: Is a directory)\n" +
                             failed + "[ NG ] Folder Not Created : [ ../S002 ] (File exists)\n" + failed +
                             failed);
  EXPECT_EQ(ReadText("../S001/clip.JPG") + ReadText("../S001/.hidden.jpg"), "keptkept");
}

} // namespace
