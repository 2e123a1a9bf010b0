// The frame table: the folder scan, frame-table files, the empty-folder fallback.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "contents/frame_table.h"
#include "player/folders.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

using FrameTable = PlayerTest;

// Folder k's frame-table file: a first record all 'A', unterminated, then the count
// text; or only its first `size` bytes.
void WriteTableFile(int k, const std::string &count, size_t size = FRAME_TABLE_BYTES) {
  std::string bytes(FRAME_TABLE_BYTES, '\0');
  bytes.replace(0, sizeof(FrameRecord), sizeof(FrameRecord), 'A');
  char name[32];
  snprintf(name, sizeof name, "frame_data%04d.dat", k);
  WriteText(name, bytes.substr(0, size) + count);
}

TEST_F(FrameTable, OpeningAFolderResetsThePlayerAndMakesTheWindowAnew) {
  MakeFolder(1, {5, 10, 20});
  Z.ContentsIndex = -1; // taken as the first folder
  Z.frame_no = 12.5;
  Z.PlayDirection = 0;
  Z.WrapFlag = Z.GrayIndex = 1;
  Z.MotionCount = Z.DifferenceSum = 9;
  Z.KeyFrameIndex = 5;
  Z.KeyFrameNumber[1279] = 3.0;
  OpenContents();
  ASSERT_EQ(std::make_pair(Z.MaxCount, Z.ContentsIndex), std::make_pair(3, 0));
  // The window is made anew, normal-sized unless VARIABLE_SIZE_FLAG says otherwise.
  EXPECT_EQ(Recorded.events,
            (std::vector<std::string>{"destroy ORVANTIS  Ver.1.2", "create ORVANTIS  Ver.1.2 normal"}));
  EXPECT_EQ(std::make_tuple(Z.frame_no, Z.PlayDirection, Z.WrapFlag, Z.MotionCount, Z.DifferenceSum,
                            Z.GrayIndex, Z.KeyFrameIndex, Z.KeyFrameNumber[1279], Z.LastShownFrame),
            std::make_tuple(0.0, 1, 0, 0, 0, 0, 0, 0.0, -1.0));
}

TEST_F(FrameTable, ScanClosesGapsTakesOnlyFrameNamesAndStopsAtTheLimits) {
  MakeFolder(1, {22005});               // more than 22000 misses come first
  MakeFolder(2, {22000, 25000, 25010}); // 22000 misses exactly still go on; 25000 is the last number
  std::vector<int> numbers(450);
  std::iota(numbers.begin(), numbers.end(), 1);
  numbers.insert(numbers.end(), {1000, 1001, 5000, 23001, 24999});
  MakeFolder(3, numbers);
  // Names the scan never builds must not count, a signed zero not as frame 0.
  for (const char *name : {"clip_00451.JPG", "clip_452.jpg", "clip_00453.jpg.bak", "clip_-0000.jpg"})
    WriteText(std::string("../S003/") + name, "x");
  mkdir("../S003/clip_00454.jpg", 0755);        // a folder passes an existence test
  symlink("nowhere", "../S003/clip_00455.jpg"); // a dangling link does not
  const std::tuple<int, int, const char *> cases[] = {
      {1, 0, ""}, {2, 2, "../S002/clip_25000.jpg"}, {3, 456, "../S003/clip_24999.jpg"}};
  for (auto [k, count, last] : cases) {
    ScanFolder(k);
    ASSERT_EQ(Z.MaxCount, count) << k;
    EXPECT_STREQ(Z.FrameData[count > 0 ? count - 1 : 0].path, last);
  }
  // A folder named like a frame taken, the dangling link not.
  EXPECT_STREQ(Z.FrameData[450].path, "../S003/clip_00454.jpg");
  // Progress every two hundred frames, with the number of the frame that made the count.
  EXPECT_NE(CapturedOut.find("\n [    200 ]  MaxCount = [    200 ]  ( ../S003/clip_00200.jpg )\n"
                             "\n [    400 ]  MaxCount = [    400 ]  ( ../S003/clip_00400.jpg )\n"),
            std::string::npos);
}

TEST_F(FrameTable, TableFilesAreUsedWithoutTheFolderAndNeverOverrunTheTable) {
  // Fields are cut at their last byte; the cached flag is ignored.
  WriteTableFile(2, "  2\n");
  Z.ContentsIndex = 1;
  OpenContents();
  const FrameRecord &r = Z.FrameData[0];
  EXPECT_EQ(std::make_tuple(Z.MaxCount, r.loaded, strlen(r.path), strlen(r.http), strlen(r.file)),
            std::make_tuple(2, 0, 249u, 249u, 249u));
  const std::string top = "Name of the top file = [ " + std::string(249, 'A') + " ]) \n";
  EXPECT_NE(CapturedOut.find("\n* FINISHED READING FRAME DATA :  frame_data0002.dat\n"
                             "  (Number of files = [ 2 ],  " +
                             top),
            std::string::npos);
  // Counts that cannot be: the folder is scanned instead.
  MakeFolder(1, {0, 1, 2});
  for (const char *count : {"-1", "22001"}) {
    WriteTableFile(1, count);
    Z.ContentsIndex = 0;
    OpenContents();
    EXPECT_EQ(Z.MaxCount, 3) << count;
  }
  // A table cut short has no count, so no frames: the fallback runs.
  WriteTableFile(2, "", 1000);
  Z.ContentsIndex = 1;
  OpenContents();
  EXPECT_EQ(Z.ContentsIndex, 0);
}

} // namespace
