// The frame table: the folder scan both ways, frame-table files, and the
// empty-folder fallback down to the fatal ending.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <numeric>
#include <string>
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

// The frame-table file of folder k: the records, then the count text; or
// only the first `size` bytes of the records.
void WriteTableFile(int k, const std::vector<FrameRecord> &records, const std::string &count,
                    size_t size = FRAME_TABLE_BYTES) {
  std::string bytes(FRAME_TABLE_BYTES, '\0');
  memcpy(&bytes[0], records.data(), records.size() * sizeof(FrameRecord));
  char name[32];
  snprintf(name, sizeof name, "frame_data%04d.dat", k);
  WriteText(name, bytes.substr(0, size) + (size == FRAME_TABLE_BYTES ? count : ""));
}

FrameRecord Record(const char *path, const char *http = "") {
  FrameRecord r{};
  strcpy(r.path, path);
  strcpy(r.http, http);
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
  // The window is made anew, normal-sized unless VARIABLE_SIZE_FLAG says otherwise.
  EXPECT_EQ(Recorded.events,
            (std::vector<std::string>{"destroy ORVANTIS  Ver.1.2", "create ORVANTIS  Ver.1.2 normal"}));
  EXPECT_EQ(std::make_tuple(Z.frame_no, Z.PlayDirection, Z.WrapFlag, Z.MotionCount, Z.DifferenceSum,
                            Z.GrayIndex, Z.KeyFrameIndex, Z.KeyFrameNumber[1279], Z.LastShownFrame),
            std::make_tuple(0.0, 1, 0, 0, 0, 0, 0, 0.0, -1.0));
}

TEST_F(FrameTable, ListingAndExistenceScansGiveTheSameTableAndStopAtTheLimits) {
  TouchFrames(1, {22005});                  // more than 22000 misses come first
  TouchFrames(2, {0, 22000, 25000, 25001}); // 22000 misses exactly still go on; 25000 is the last number
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
  const std::tuple<int, int, const char *> cases[] = {
      {1, 0, ""}, {2, 3, "../S002/clip_25000.jpg"}, {3, 456, "../S003/clip_24999.jpg"}};
  for (auto [k, count, last] : cases) {
    ScanFolder(k);
    std::vector<FrameRecord> listed(Z.FrameData, Z.FrameData + MAX_FRAMES);
    const std::string listed_out = CapturedOut;
    memset(Z.FrameData, 0, FRAME_TABLE_BYTES);
    Z.MaxCount = 0;
    CapturedOut.clear();
    ScanFolderByExistence(k);
    ASSERT_EQ(Z.MaxCount, count) << k;
    EXPECT_STREQ(Z.FrameData[count > 0 ? count - 1 : 0].path, last);
    EXPECT_EQ(memcmp(listed.data(), Z.FrameData, FRAME_TABLE_BYTES), 0) << k;
    EXPECT_EQ(listed_out, CapturedOut) << k;
  }
  // Progress every two hundred frames.
  EXPECT_NE(CapturedOut.find("\n [    199 ]  MaxCount = [    200 ]  ( ../S003/clip_00199.jpg )\n"
                             "\n [    399 ]  MaxCount = [    400 ]  ( ../S003/clip_00399.jpg )\n"),
            std::string::npos);
  EXPECT_EQ(CapturedOut.find("MaxCount = [    600 ]"), std::string::npos);
}

TEST_F(FrameTable, NegativeIndexIsTheFirstFolderAndNoFramesThereEndTheProgram) {
  TouchFrames(1, {7});
  Z.ContentsIndex = -1;
  ScanContents();
  EXPECT_EQ(Z.ContentsIndex, 0);
  EXPECT_STREQ(Z.FrameData[0].path, "../S001/clip_00007.jpg");
  unlink("../S001/clip_00007.jpg");
  Z.ContentsIndex = 1;
  EXPECT_EXIT(ScanContents(), ::testing::ExitedWithCode(1), "");
}

TEST_F(FrameTable, TableFilesAreUsedWithoutTheFolderAndNeverOverrunTheTable) {
  WriteTableFile(2, {Record("../S002/a.jpg", "http://x"), Record("../S002/b.jpg")}, "  2\n");
  Z.ContentsIndex = 1;
  ScanContents();
  EXPECT_EQ(std::make_tuple(Z.MaxCount, Z.FrameData[0].loaded), std::make_tuple(2, 0));
  EXPECT_STREQ(Z.FrameData[0].http, "http://x");
  EXPECT_NE(CapturedOut.find("\n* FINISHED READING FRAME DATA :  frame_data0002.dat\n"
                             "  (Number of files = [ 2 ],  Name of the top file = [ ../S002/a.jpg ]) \n"),
            std::string::npos);
  // Counts that cannot be: the folder is scanned instead.
  TouchFrames(1, {0, 1, 2});
  for (const char *count : {"-1", "22001", "99999999999999999999"}) {
    WriteTableFile(1, {Record("../S001/x.jpg")}, count);
    Z.ContentsIndex = 0;
    ScanContents();
    EXPECT_EQ(Z.MaxCount, 3) << count;
    EXPECT_STREQ(Z.FrameData[0].path, "../S001/clip_00000.jpg") << count;
  }
  // A table without a count, or cut short, has no frames: the fallback runs.
  for (size_t size : {FRAME_TABLE_BYTES, size_t{1000}}) {
    WriteTableFile(2, {Record("../S002/x.jpg")}, "many", size);
    Z.ContentsIndex = 1;
    ScanContents();
    EXPECT_EQ(Z.ContentsIndex, 0) << size;
  }
  // Fields without a terminator are cut at their last byte.
  FrameRecord full;
  memset(&full, 'A', sizeof full);
  WriteTableFile(3, {full}, "1");
  Z.ContentsIndex = 2;
  ScanContents();
  EXPECT_EQ(Z.MaxCount, 1);
  EXPECT_EQ(
      std::make_tuple(strlen(Z.FrameData[0].path), strlen(Z.FrameData[0].http), strlen(Z.FrameData[0].file)),
      std::make_tuple(249u, 249u, 249u));
}

} // namespace
