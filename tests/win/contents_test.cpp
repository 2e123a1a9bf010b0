// The contents library and the import as Windows has them: names with '\',
// the commands the import echoes, existence tests that ignore case, and the
// binary files arriving whole although Windows reads text files differently.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/import.h"
#include "contents/contents_list.h"
#include "contents/folder_settings.h"
#include "contents/frame_table.h"
#include "contents/naming.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "state/state.h"
#include "tests/kb_writer.h"
#include "tests/support.h"

namespace {

bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(WinNames, FoldersFramesAndCompanionFilesUseBackslashes) {
  char name[NAME_LEN];
  FolderName(name, sizeof name, 1);
  EXPECT_STREQ(name, "..\\S001");
  FolderName(name, sizeof name, 1000);
  EXPECT_STREQ(name, "..\\S1000");
  FramePath(name, sizeof name, 42, 12);
  EXPECT_STREQ(name, "..\\S042\\clip_00012.jpg");
  KeyFrameFileName(name, sizeof name, 1);
  EXPECT_STREQ(name, "..\\S001\\qdx_config.dat");
  MarkerFileName(name, sizeof name, 7);
  EXPECT_STREQ(name, "..\\S007\\check_result.txt");
  SettingsFileName(name, sizeof name, 3);
  EXPECT_STREQ(name, "zep_env0003.dat");
}

// --- Scan and frame-table file ---------------------------------------------------

class WinScan : public PlayerTest {};

TEST_F(WinScan, ScanClosesGapsAndFindsFramesWhateverTheirCase) {
  MakeFolder(1, {5, 10});
  WriteText("..\\S001\\CLIP_00020.JPG", "frame"); // the same name to Windows
  ScanContents();
  ASSERT_EQ(Z.MaxCount, 3);
  EXPECT_STREQ(Z.FrameData[0].path, "..\\S001\\clip_00005.jpg");
  EXPECT_STREQ(Z.FrameData[1].path, "..\\S001\\clip_00010.jpg");
  EXPECT_STREQ(Z.FrameData[2].path, "..\\S001\\clip_00020.jpg");
  EXPECT_EQ(Z.ContentsIndex, 0);
}

TEST_F(WinScan, EmptyFolderFallsBackAndMissingFolderIsSkipped) {
  MakeFolder(3, {0, 1});
  MakeFolder(4, {});
  Z.ContentsIndex = 5; // S006 does not exist, S005 neither, S004 is empty
  ScanContents();
  EXPECT_EQ(Z.ContentsIndex, 2);
  EXPECT_EQ(Z.MaxCount, 2);
  EXPECT_STREQ(Z.FrameData[1].path, "..\\S003\\clip_00001.jpg");
}

// Line ends and the end-of-file byte of text mode must not touch a record.
TEST_F(WinScan, FrameTableFileArrivesByteForByte) {
  std::string table(FRAME_TABLE_BYTES, '\0');
  const char path[] = "..\\S001\\clip_00000.jpg";
  memcpy(&table[4], path, sizeof path);
  const char http[] = "line\r\nend\x1A"
                      "after";
  memcpy(&table[254], http, sizeof http);
  memcpy(&table[756 + 4], "second\n", 8);
  WriteText("frame_data0001.dat", table + "  2\r\n");
  ScanContents();
  EXPECT_EQ(Z.MaxCount, 2);
  EXPECT_STREQ(Z.FrameData[0].path, path);
  EXPECT_STREQ(Z.FrameData[0].http, http);
  EXPECT_STREQ(Z.FrameData[1].path, "second\n");
}

TEST_F(WinScan, KeyFrameFileArrivesByteForByte) {
  MakeFolder(1, {});
  // 0x0A0D = "\r\n" and 0x1A = the end-of-file byte of text mode.
  WriteKeyFrameFile(1, {0x0A0D, 0x1A, 0x0D0A1A}, "\r\n 99\r\n");
  LoadFolderSettings();
  EXPECT_EQ(Z.KeyFrameNumber[0], 0x0A0D);
  EXPECT_EQ(Z.KeyFrameNumber[1], 0x1A);
  EXPECT_EQ(Z.KeyFrameNumber[2], 0x0D0A1A);
  EXPECT_EQ(Z.PivotSpare, 99);
  EXPECT_NE(CapturedOut.find("\nNow, Importing [ ..\\S001\\qdx_config.dat ]\n"), std::string::npos);
  EXPECT_NE(CapturedOut.find("Finished Importing [ ..\\S001\\qdx_config.dat ]\n"), std::string::npos);
}

// --- Import --------------------------------------------------------------------

std::vector<std::vector<std::string>> Runs;

ProgramEnd RecordRun(const char *const *argv) {
  std::vector<std::string> args;
  for (; *argv != nullptr; ++argv)
    args.emplace_back(*argv);
  Runs.push_back(args);
  return {ProgramEnd::Exited, 0};
}

class WinImport : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    saved_ = Process;
    Process = {RecordRun};
    Runs.clear();
    WriteText("ffmpeg.exe", "");
    ASSERT_TRUE(FindFfmpeg(Z.FfmpegPath, sizeof Z.FfmpegPath));
  }
  void TearDown() override {
    Process = saved_;
    PlayerTest::TearDown();
  }
  ProcessOps saved_;
};

TEST_F(WinImport, EchoesTheWindowsCommandsAndEmptiesOnlyJpegFiles) {
  MakeFolder(1, {0, 1});
  WriteText("..\\S001\\zep_env.txt", "kept");
  SetFileAttributesA("..\\S001\\clip_00001.jpg", FILE_ATTRIBUTE_READONLY); // del /f removes it too
  snprintf(Z.ArgName[0], ARG_LEN, "orvantis.exe");
  snprintf(Z.ArgName[1], ARG_LEN, "my movie.mp4");
  Z.ArgCount = 2;
  ImportVideos();
  EXPECT_EQ(CapturedOut,
            "\n----------> EXECUTING: mkdir  \"..\\S001\"\n\n"
            "\n----------> EXECUTING: del  /f   \"..\\S001\\*.jpg\"\n\n"
            "\n----------> EXECUTING: .\\ffmpeg  -i \"my movie.mp4\"                      -q:v 1  "
            "..\\S001\\clip_%05d.jpg\n\n"
            "---> ffmpeg exit status = 0\n");
  EXPECT_EQ(CapturedErr, "");
  EXPECT_FALSE(Exists("..\\S001\\clip_00000.jpg"));
  EXPECT_FALSE(Exists("..\\S001\\clip_00001.jpg"));
  EXPECT_TRUE(Exists("..\\S001\\zep_env.txt"));
  ASSERT_EQ(Runs.size(), 1u);
  EXPECT_EQ(Runs[0], (std::vector<std::string>{".\\ffmpeg", "-i", "file:my movie.mp4", "-q:v", "1",
                                               "..\\S001\\clip_%05d.jpg"}));
}

TEST_F(WinImport, WithoutItsOwnFfmpegTheProgramFindsNone) {
  DeleteFileA("ffmpeg.exe");
  char found[64] = "";
  EXPECT_FALSE(FindFfmpeg(found, sizeof found));
}

// --- Listing ---------------------------------------------------------------------

class WinListing : public PlayerTest {};

TEST_F(WinListing, CheapTestsAndTheProbeNameTheirFilesWithBackslashes) {
  MakeFolder(1, {5}); // folder 1 probes every number: it meets 5 exactly
  MakeFolder(3, {0});
  srand(3);
  ListContents();
  EXPECT_NE(CapturedOut.find("[S  1] FILE [ ..\\S001\\clip_00005.jpg ] exists!\n"
                             "*** Created a file[ ..\\S001\\check_result.txt ] ***\n"
                             "       <<< You Are Here Now >>>\n"
                             "[S  3] FILE [ ..\\S003\\clip_00000.jpg ] exists!\n"),
            std::string::npos)
      << CapturedOut;
  // Written in text mode, as the marker always was on Windows.
  EXPECT_EQ(ReadText("..\\S001\\check_result.txt"), "FOUND: clip_00005.jpg\r\n");
  EXPECT_EQ(Z.ContentsListCount, 2);
  EXPECT_EQ(Z.ContentsListReady, 0); // the probe ran: the next press lists again

  CapturedOut.clear();
  ListContents();
  EXPECT_NE(CapturedOut.find("[S  1] FILE [ ..\\S001\\check_result.txt ] exists!\n"), std::string::npos);
  EXPECT_EQ(Z.ContentsListReady, 1);
}

} // namespace
