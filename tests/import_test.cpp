// The video import: sort order, the echoed commands, the argument vector
// that reaches ffmpeg, and the import going on past every failure.
#include <sys/stat.h>
#include <unistd.h>

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
    saved_ = Process;
    Process = {RecordRun};
    Runs.clear();
    snprintf(Z.FfmpegPath, sizeof Z.FfmpegPath, "./ffmpeg");
  }
  void TearDown() override {
    Process = saved_;
    PlayerTest::TearDown();
  }
  ProcessOps saved_;
};

// The command line: the program, then the given names.
void Given(const std::vector<std::string> &names) {
  snprintf(Z.ArgName[0], ARG_LEN, "./orvantis");
  Z.ArgCount = 1;
  for (const std::string &n : names)
    snprintf(Z.ArgName[Z.ArgCount++], ARG_LEN, "%s", n.c_str());
}

bool Exists(const char *path) { return access(path, F_OK) == 0; }

std::string Echo(int k, const std::string &name) {
  char folder[16];
  snprintf(folder, sizeof folder, "../S%03d", k);
  return "\n----------> EXECUTING: mkdir  \"" + std::string(folder) +
         "\"\n\n\n----------> EXECUTING: rm  -f   \"" + folder +
         "/*.jpg\"\n\n\n----------> EXECUTING: ./ffmpeg  -i \"" + name + "\"                      -q:v 1  " +
         folder + "/clip_%05d.jpg\n\n";
}

TEST_F(Import, SortIsBytewiseAndLeavesTheProgramFirst) {
  Given({"movie9.mp4", "movie10.mp4", "\xE3\x81\x82.mp4", "b.mp4", "B.mp4", "a b.mp4"});
  SortArgumentNames();
  EXPECT_EQ(std::vector<std::string>(Z.ArgName, Z.ArgName + Z.ArgCount),
            (std::vector<std::string>{"./orvantis", "B.mp4", "a b.mp4", "b.mp4", "movie10.mp4", "movie9.mp4",
                                      "\xE3\x81\x82.mp4"}));
}

TEST_F(Import, EchoesTheThreeCommandsPerNameInSortedOrder) {
  Given({"b.avi", "a.avi"});
  ImportVideos();
  EXPECT_EQ(CapturedOut, Echo(1, "a.avi") + "---> ffmpeg exit status = 0\n" + Echo(2, "b.avi") +
                             "---> ffmpeg exit status = 0\n");
  EXPECT_EQ(CapturedErr, "");
  ASSERT_EQ(Runs.size(), 2u);
  EXPECT_EQ(Runs[0],
            (std::vector<std::string>{"./ffmpeg", "-i", "file:a.avi", "-q:v", "1", "../S001/clip_%05d.jpg"}));
  EXPECT_EQ(Runs[1][2], "file:b.avi");
  EXPECT_STREQ(Z.ArgName[1], "a.avi");
  EXPECT_TRUE(Exists("../S001") && Exists("../S002"));

  // A thousand names reach folder S1000; a name as long as the table keeps is echoed whole.
  std::vector<std::string> names;
  for (int i = 0; i < 999; ++i)
    names.push_back("v" + std::to_string(1000 + i) + ".mp4");
  names.push_back(std::string(4999, 'z')); // sorts last
  Given(names);
  Runs.clear();
  CapturedOut.clear();
  ImportVideos();
  ASSERT_EQ(Runs.size(), 1000u);
  EXPECT_EQ(Runs[999], (std::vector<std::string>{"./ffmpeg", "-i", "file:" + names.back(), "-q:v", "1",
                                                 "../S1000/clip_%05d.jpg"}));
  EXPECT_NE(CapturedOut.find(Echo(1000, names.back())), std::string::npos);
}

TEST_F(Import, EmptyingRemovesOnlyJpegFilesAndFailuresDoNotStopTheImport) {
  MakeFolder(1, {0, 1});
  chmod("../S001/clip_00001.jpg", 0444);                              // read-only frames go too
  for (const char *kept : {"zep_env.dat", "clip.JPG", ".hidden.jpg"}) // *.jpg matches neither of the last two
    WriteText(std::string("../S001/") + kept, "kept");
  mkdir("../S001/odd.jpg", 0755); // a folder cannot be deleted as a file
  WriteText("../S001/odd.jpg/inner", "x");
  WriteText("../S002", "a plain file where the folder should be");
  Given({"one.mp4", "two.mp4", "three.mp4"});
  ImportVideos();

  EXPECT_FALSE(Exists("../S001/clip_00000.jpg") || Exists("../S001/clip_00001.jpg"));
  EXPECT_TRUE(Exists("../S001/zep_env.dat") && Exists("../S001/clip.JPG") && Exists("../S001/.hidden.jpg"));
  // Sorted: one, three, two. S002 (three) cannot be made; S001 keeps odd.jpg.
  EXPECT_EQ(CapturedErr, "[ NG ] Folder Not Emptied : [ ../S001 ] (1 JPEG file(s) left: Is a directory)\n"
                         "[ NG ] Folder Not Created : [ ../S002 ] (File exists)\n");
  ASSERT_EQ(Runs.size(), 3u); // every conversion still ran
  EXPECT_EQ(Runs[1][5], "../S002/clip_%05d.jpg");
  EXPECT_TRUE(Exists("../S003"));
}

// The real process layer with a stand-in ffmpeg that records its arguments.
using ImportWithProgram = PlayerTest;

TEST_F(ImportWithProgram, NamesReachTheProgramByteForByteWithoutAShell) {
  WriteText("ffmpeg", "#!/bin/sh\nprintf '%s\\0' \"$@\" >>args.bin\nexit 3\n");
  chmod("ffmpeg", 0755);
  snprintf(Z.FfmpegPath, sizeof Z.FfmpegPath, "./ffmpeg");
  const std::string nasty = "-y $(touch pwned) `touch pwned2`; \"q\" 'x' @ *.mp4";
  Given({nasty});
  ImportVideos();
  // The stand-in wrote each argument it got with a NUL after it.
  const std::string args = std::string("-i\0file:", 8) + nasty + std::string("\0-q:v\0001\0", 8) +
                           std::string("../S001/clip_%05d.jpg\0", 22);
  EXPECT_EQ(ReadText("args.bin"), args);
  EXPECT_FALSE(Exists("pwned") || Exists("pwned2"));
  EXPECT_NE(CapturedOut.find(Echo(1, nasty) + "---> ffmpeg exit status = 3\n"), std::string::npos);

  // A program that cannot be started is reported; the import is not stopped.
  snprintf(Z.FfmpegPath, sizeof Z.FfmpegPath, "./no-such-ffmpeg");
  Given({nasty, "second.mp4"});
  CapturedErr.clear();
  ImportVideos();
  const std::string failed = "[ NG ] ffmpeg Not Started : [ ./no-such-ffmpeg ] (No such file or directory)\n";
  EXPECT_EQ(CapturedErr, failed + failed);
  EXPECT_TRUE(Exists("../S002"));
}

} // namespace
