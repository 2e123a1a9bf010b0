// The frame table: folder scan, frame-table files, empty-folder fallback.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <numeric>
#include <tuple>
#include <vector>

#include "contents/frame_table.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

using FrameTable = PlayerTest;

// Touches files named like frames; the scan never opens them.
void TouchFrames(int k, const std::vector<int> &numbers) {
  char path[64];
  snprintf(path, sizeof path, "../S%03d", k);
  mkdir(path, 0755);
  for (int n : numbers) {
    snprintf(path, sizeof path, "../S%03d/clip_%05d.jpg", k, n);
    std::ofstream(path).put('x');
  }
}

void ClearTable() {
  memset(Z.FrameData, 0, FRAME_TABLE_BYTES);
  Z.MaxCount = 0;
}

// A frame-table file: the records, then the count as text (or, cut short, not).
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

TEST_F(FrameTable, ScanClosesGapsKeepsOrderAndResetsThePlayer) {
  TouchFrames(1, {5, 10, 20});
  Z.frame_no = 12.5;
  Z.PlayDirection = 0;
  Z.WrapFlag = Z.GrayIndex = 1;
  Z.MotionCount = Z.DifferenceSum = 9;
  Z.KeyFrameIndex = 5;
  Z.KeyFrameNumber[1279] = 3.0;
  ScanContents();
  ASSERT_EQ(Z.MaxCount, 3);
  const char *paths[] = {"../S001/clip_00005.jpg", "../S001/clip_00010.jpg", "../S001/clip_00020.jpg", ""};
  for (int i = 0; i < 4; ++i)
    EXPECT_STREQ(Z.FrameData[i].path, paths[i]);
  EXPECT_EQ(CapturedOut, "\n*** START CHECKING IMAGE FILES. WAIT A MOMENT! ***\n"
                         "\n*** Finished. Thank you for waiting! ***\n\n\n");
  // The window is made anew, normal-sized unless VARIABLE_SIZE_FLAG says otherwise.
  EXPECT_EQ(Recorded.events,
            (std::vector<std::string>{"destroy ORVANTIS  Ver.1.2", "create ORVANTIS  Ver.1.2 normal"}));
  EXPECT_EQ(std::make_tuple(Z.frame_no, Z.PlayDirection, Z.WrapFlag, Z.MotionCount, Z.DifferenceSum),
            std::make_tuple(0.0, 1, 0, 0, 0));
  EXPECT_EQ(std::make_tuple(Z.GrayIndex, Z.KeyFrameIndex, Z.KeyFrameNumber[1279], Z.LastShownFrame),
            std::make_tuple(0, 0, 0.0, -1.0));
}

TEST_F(FrameTable, GapLimitAndHighestNumberStopTheScan) {
  TouchFrames(1, {22005});                  // more than 22000 misses come first
  TouchFrames(2, {0, 22000, 25000, 25001}); // 22000 misses exactly still go on
  for (auto scan : {ScanFolder, ScanFolderByExistence}) {
    ClearTable();
    scan(1);
    EXPECT_EQ(Z.MaxCount, 0);
    scan(2);
    ASSERT_EQ(Z.MaxCount, 3);
    EXPECT_STREQ(Z.FrameData[2].path, "../S002/clip_25000.jpg");
  }
}

TEST_F(FrameTable, ListingAndExistenceScansGiveTheSameTableAndProgress) {
  std::vector<int> numbers(450);
  std::iota(numbers.begin(), numbers.end(), 0);
  numbers.insert(numbers.end(), {1000, 1001, 5000, 23001, 24999});
  TouchFrames(3, numbers);
  // Names the scan never builds must not count.
  std::ofstream("../S003/clip_00451.JPG").put('x');
  std::ofstream("../S003/clip_452.jpg").put('x');
  std::ofstream("../S003/clip_00453.jpg.bak").put('x');
  mkdir("../S003/clip_00454.jpg", 0755);        // a folder passes an existence test
  symlink("nowhere", "../S003/clip_00455.jpg"); // a dangling link does not
  ScanFolder(3);
  std::vector<FrameRecord> listed(Z.FrameData, Z.FrameData + MAX_FRAMES);
  std::string listed_out = CapturedOut;
  EXPECT_EQ(Z.MaxCount, 456);
  ClearTable();
  CapturedOut.clear();
  ScanFolderByExistence(3);
  EXPECT_EQ(Z.MaxCount, 456);
  EXPECT_EQ(memcmp(listed.data(), Z.FrameData, FRAME_TABLE_BYTES), 0);
  EXPECT_EQ(listed_out, CapturedOut);
  // Progress every two hundred frames.
  EXPECT_NE(CapturedOut.find("\n [    199 ]  MaxCount = [    200 ]  ( ../S003/clip_00199.jpg )\n"),
            std::string::npos);
  EXPECT_NE(CapturedOut.find("\n [    399 ]  MaxCount = [    400 ]  ( ../S003/clip_00399.jpg )\n"),
            std::string::npos);
  EXPECT_EQ(CapturedOut.find("MaxCount = [    600 ]"), std::string::npos);
}

TEST_F(FrameTable, EmptyFolderFallsBackToTheFolderBelow) {
  TouchFrames(3, {0, 1});
  mkdir("../S004", 0755);
  Z.ContentsIndex = 3;
  ScanContents();
  EXPECT_EQ(Z.ContentsIndex, 2);
  EXPECT_EQ(Z.MaxCount, 2);
  EXPECT_NE(CapturedOut.find("---> Empty folder is specified!\n"), std::string::npos);
  TouchFrames(1, {7}); // a negative index is taken as S001
  Z.ContentsIndex = -1;
  ScanContents();
  EXPECT_EQ(Z.ContentsIndex, 0);
  EXPECT_STREQ(Z.FrameData[0].path, "../S001/clip_00007.jpg");
}

TEST_F(FrameTable, NoFramesDownToTheFirstFolderEndsTheProgram) {
  mkdir("../S001", 0755);
  Z.ContentsIndex = 2;
  EXPECT_EXIT(ScanContents(), ::testing::ExitedWithCode(1), "");
}

TEST_F(FrameTable, TableFilesAreUsedWithoutTheFolderAndNeverOverrunTheTable) {
  WriteTableFile("frame_data0002.dat",
                 {Record("../S002/a.jpg", "http://x", "../S002/att.jpg"), Record("../S002/b.jpg")}, "  2\n");
  Z.ContentsIndex = 1;
  ScanContents();
  EXPECT_EQ(Z.MaxCount, 2);
  EXPECT_EQ(Z.FrameData[0].loaded, 0);
  EXPECT_STREQ(Z.FrameData[0].http, "http://x");
  EXPECT_NE(CapturedOut.find("\n* FINISHED READING FRAME DATA :  frame_data0002.dat\n"
                             "  (Number of files = [ 2 ],  Name of the top file = [ ../S002/a.jpg ]) \n"),
            std::string::npos);
  // Counts that cannot be: the folder is scanned instead.
  TouchFrames(1, {0, 1, 2});
  for (const char *count : {"-1", "22001", "99999999999999999999"}) {
    WriteTableFile("frame_data0001.dat", {Record("../S001/x.jpg")}, count);
    Z.ContentsIndex = 0;
    ScanContents();
    EXPECT_EQ(Z.MaxCount, 3) << count;
    EXPECT_STREQ(Z.FrameData[0].path, "../S001/clip_00000.jpg") << count;
  }
  // A table without a count, or cut short, has no frames: the fallback runs.
  for (size_t cut : {FRAME_TABLE_BYTES, size_t{1000}}) {
    WriteTableFile("frame_data0002.dat", {Record("../S002/x.jpg")}, "many", cut);
    Z.ContentsIndex = 1;
    ScanContents();
    EXPECT_EQ(Z.ContentsIndex, 0) << cut;
  }
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

} // namespace
