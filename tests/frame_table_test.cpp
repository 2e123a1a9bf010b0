// The frame table: folder scan, frame-table files, empty-folder fallback.
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "contents/frame_table.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

using FrameTable = PlayerTest;

std::vector<int> Range(int from, int to) {
  std::vector<int> v;
  for (int i = from; i < to; ++i)
    v.push_back(i);
  return v;
}

// Touches empty files named like frames; the scan never opens them.
void TouchFrames(int k, const std::vector<int> &numbers) {
  char folder[64];
  snprintf(folder, sizeof folder, "../S%03d", k);
  mkdir(folder, 0755);
  for (int n : numbers) {
    char path[128];
    snprintf(path, sizeof path, "%s/clip_%05d.jpg", folder, n);
    std::ofstream(path).put('x');
  }
}

// A frame-table file: the records, then the count as text (or not).
void WriteTableFile(const char *name, const std::vector<FrameRecord> &records, const std::string &tail,
                    size_t cut_to = FRAME_TABLE_BYTES) {
  std::vector<char> bytes(FRAME_TABLE_BYTES, 0);
  memcpy(bytes.data(), records.data(), records.size() * sizeof(FrameRecord));
  std::ofstream out(name, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(cut_to));
  if (cut_to == FRAME_TABLE_BYTES) out << tail;
}

FrameRecord Record(const char *path, const char *http = "", const char *file = "") {
  FrameRecord r{};
  snprintf(r.path, sizeof r.path, "%s", path);
  snprintf(r.http, sizeof r.http, "%s", http);
  snprintf(r.file, sizeof r.file, "%s", file);
  r.loaded = 1; // must be ignored
  return r;
}

TEST_F(FrameTable, ScanClosesGapsAndKeepsOrder) {
  TouchFrames(1, {5, 10, 20});
  ScanContents();
  ASSERT_EQ(Z.MaxCount, 3);
  EXPECT_STREQ(Z.FrameData[0].path, "../S001/clip_00005.jpg");
  EXPECT_STREQ(Z.FrameData[1].path, "../S001/clip_00010.jpg");
  EXPECT_STREQ(Z.FrameData[2].path, "../S001/clip_00020.jpg");
  EXPECT_EQ(Z.FrameData[3].path[0], '\0');
  EXPECT_EQ(CapturedOut, "\n*** START CHECKING IMAGE FILES. WAIT A MOMENT! ***\n"
                         "\n*** Finished. Thank you for waiting! ***\n\n\n");
  // The window is made anew, normal-sized unless VARIABLE_SIZE_FLAG says otherwise.
  ASSERT_EQ(Recorded.events.size(), 2u);
  EXPECT_EQ(Recorded.events[0], "destroy ORVANTIS  Ver.1.2");
  EXPECT_EQ(Recorded.events[1], "create ORVANTIS  Ver.1.2 normal");
}

TEST_F(FrameTable, ScanPrintsProgressEveryTwoHundredFrames) {
  TouchFrames(1, Range(0, 450));
  ScanContents();
  EXPECT_EQ(Z.MaxCount, 450);
  EXPECT_NE(CapturedOut.find("\n [    199 ]  MaxCount = [    200 ]  ( ../S001/clip_00199.jpg )\n"),
            std::string::npos);
  EXPECT_NE(CapturedOut.find("\n [    399 ]  MaxCount = [    400 ]  ( ../S001/clip_00399.jpg )\n"),
            std::string::npos);
  EXPECT_EQ(CapturedOut.find("MaxCount = [    600 ]"), std::string::npos);
}

TEST_F(FrameTable, GapLimitAndHighestNumberStopTheScan) {
  TouchFrames(1, {22005});                  // more than 22000 misses come first
  TouchFrames(2, {0, 22000, 25000, 25001}); // 22000 misses exactly still go on
  for (auto scan : {ScanFolder, ScanFolderByExistence}) {
    memset(Z.FrameData, 0, FRAME_TABLE_BYTES);
    Z.MaxCount = 0;
    scan(1);
    EXPECT_EQ(Z.MaxCount, 0);
    scan(2);
    ASSERT_EQ(Z.MaxCount, 3);
    EXPECT_STREQ(Z.FrameData[2].path, "../S002/clip_25000.jpg");
  }
}

TEST_F(FrameTable, ListingAndExistenceTestsGiveTheSameTable) {
  std::vector<int> numbers = Range(0, 300);
  for (int n : {1000, 1001, 5000, 23001, 24999})
    numbers.push_back(n);
  TouchFrames(3, numbers);
  // Names the scan never builds must not count.
  std::ofstream("../S003/clip_00301.JPG").put('x');
  std::ofstream("../S003/clip_302.jpg").put('x');
  std::ofstream("../S003/clip_00303.jpg.bak").put('x');
  mkdir("../S003/clip_00304.jpg", 0755);        // a folder passes an existence test
  symlink("nowhere", "../S003/clip_00305.jpg"); // a dangling link does not

  ScanFolder(3);
  std::vector<FrameRecord> listed(Z.FrameData, Z.FrameData + MAX_FRAMES);
  int listed_count = Z.MaxCount;
  std::string listed_out = CapturedOut;
  memset(Z.FrameData, 0, FRAME_TABLE_BYTES);
  Z.MaxCount = 0;
  CapturedOut.clear();
  ScanFolderByExistence(3);
  EXPECT_EQ(listed_count, Z.MaxCount);
  EXPECT_EQ(listed_count, 306);
  EXPECT_EQ(memcmp(listed.data(), Z.FrameData, FRAME_TABLE_BYTES), 0);
  EXPECT_EQ(listed_out, CapturedOut);
}

TEST_F(FrameTable, EmptyFolderFallsBackToTheFolderBelow) {
  TouchFrames(3, {0, 1});
  mkdir("../S004", 0755);
  Z.ContentsIndex = 3;
  ScanContents();
  EXPECT_EQ(Z.ContentsIndex, 2);
  EXPECT_EQ(Z.MaxCount, 2);
  EXPECT_NE(CapturedOut.find("---> Empty folder is specified!\n"), std::string::npos);

  // A negative index is taken as S001.
  TouchFrames(1, {7});
  Z.ContentsIndex = -1;
  ScanContents();
  EXPECT_EQ(Z.ContentsIndex, 0);
  EXPECT_STREQ(Z.FrameData[0].path, "../S001/clip_00007.jpg");
}

TEST_F(FrameTable, ScanResetsThePlayerState) {
  TouchFrames(1, {0});
  Z.frame_no = 12.5;
  Z.PlayDirection = 0;
  Z.WrapFlag = 1;
  Z.MotionCount = 9;
  Z.DifferenceSum = 77;
  Z.GrayIndex = 1;
  Z.KeyFrameIndex = 5;
  Z.KeyFrameNumber[1279] = 3.0;
  ScanContents();
  EXPECT_EQ(Z.frame_no, 0.0);
  EXPECT_EQ(Z.PlayDirection, 1);
  EXPECT_EQ(Z.WrapFlag, 0);
  EXPECT_EQ(Z.MotionCount, 0);
  EXPECT_EQ(Z.DifferenceSum, 0);
  EXPECT_EQ(Z.GrayIndex, 0);
  EXPECT_EQ(Z.KeyFrameIndex, 0);
  EXPECT_EQ(Z.KeyFrameNumber[1279], 0.0);
  EXPECT_EQ(Z.LastShownFrame, -1.0);
}

TEST_F(FrameTable, TableFileIsUsedEvenWithoutTheFolder) {
  WriteTableFile("frame_data0001.dat",
                 {Record("../S001/a.jpg", "http://x", "../S001/att.jpg"), Record("../S001/b.jpg")}, "  2\n");
  ScanContents();
  EXPECT_EQ(Z.MaxCount, 2);
  EXPECT_EQ(Z.FrameData[0].loaded, 0);
  EXPECT_STREQ(Z.FrameData[0].http, "http://x");
  EXPECT_NE(CapturedOut.find("\n* FINISHED READING FRAME DATA :  frame_data0001.dat\n"
                             "  (Number of files = [ 2 ],  Name of the top file = [ ../S001/a.jpg ]) \n"),
            std::string::npos);
}

TEST_F(FrameTable, BadTableFilesNeverOverrunTheTable) {
  TouchFrames(1, {0, 1, 2});
  // Counts that cannot be: the folder is scanned instead.
  for (const char *count : {"-1", "22001", "99999999999999999999"}) {
    WriteTableFile("frame_data0001.dat", {Record("../S001/x.jpg")}, count);
    ScanContents();
    EXPECT_EQ(Z.MaxCount, 3) << count;
    EXPECT_STREQ(Z.FrameData[0].path, "../S001/clip_00000.jpg") << count;
  }
  // A table without a count, or cut short, has no frames: the fallback runs.
  TouchFrames(2, {4});
  Z.ContentsIndex = 1;
  WriteTableFile("frame_data0002.dat", {Record("../S002/x.jpg")}, "many");
  ScanContents();
  EXPECT_EQ(Z.ContentsIndex, 0);
  Z.ContentsIndex = 1;
  WriteTableFile("frame_data0002.dat", {Record("../S002/x.jpg")}, "", 1000);
  ScanContents();
  EXPECT_EQ(Z.ContentsIndex, 0);

  // Fields without a terminator are cut at their last byte.
  FrameRecord full;
  memset(&full, 'A', sizeof full);
  WriteTableFile("frame_data0003.dat", {full}, "1");
  Z.ContentsIndex = 2;
  ScanContents();
  EXPECT_EQ(Z.MaxCount, 1);
  EXPECT_EQ(strlen(Z.FrameData[0].path), 249u);
  EXPECT_EQ(strlen(Z.FrameData[0].http), 249u);
  EXPECT_EQ(strlen(Z.FrameData[0].file), 249u);
}

TEST_F(FrameTable, NoFramesDownToTheFirstFolderEndsTheProgram) {
  mkdir("../S001", 0755);
  Z.ContentsIndex = 2;
  EXPECT_EXIT(ScanContents(), ::testing::ExitedWithCode(1), "");
}

} // namespace
