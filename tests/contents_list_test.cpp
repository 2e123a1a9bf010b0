// The contents listing and the random pick (Space): the order of the tests
// and their texts, the frame probe with its markers, the reuse of the list,
// and the folder-reading listing against the plain one.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "contents/contents_list.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

using Listing = PlayerTest;

const char *const HEADER = "\n*** Following is the list of contents with associated file: \n\n";

bool Exists(const std::string &path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

void Touch(const std::string &path) { WriteText(path, "x"); }

TEST_F(Listing, CheapTestsInOrderWithTheirTextsAndThePick) {
  MakeFolder(1, {0});
  MakeFolder(3, {0});
  WriteText("zep_env0003.dat", ""); // test 1 wins over the first frame
  Touch("frame_data0004.dat");      // listed though ../S004 does not exist
  mkdir("../S006", 0755);
  Touch("../S006/check_result.txt");
  Z.ContentsIndex = 4; // S005 is found by nothing, yet the viewer is there
  srand(1);
  ListContents();
  std::string listing = std::string(HEADER) + "[S  1] FILE [ ../S001/clip_00000.jpg ] exists!\n"
                                              "[S  3] FILE [ zep_env0003.dat ] exists!\n"
                                              "[S  4] FILE [ frame_data0004.dat ] exists!\n"
                                              "       <<< You Are Here Now >>>\n"
                                              "[S  6] FILE [ ../S006/check_result.txt ] exists!\n";
  // The viewer's line comes at folder 5's (fruitless) turn.
  ASSERT_EQ(CapturedOut.substr(0, listing.size()), listing);
  EXPECT_EQ(Z.ContentsListCount, 4);
  EXPECT_EQ(Z.ContentsListReady, 1);
  std::string rest = CapturedOut.substr(listing.size());
  EXPECT_EQ(rest.rfind("\n<<<<<<<< RANDOM CONTENTS SELECTION >>>>>>>>\n", 0), 0u);
  EXPECT_EQ(rest.substr(rest.size() - 14), "\nThat's all.\n\n");
  // S004 and S006 have no frames: the scan falls back to S003 or S001.
  EXPECT_TRUE(Z.ContentsIndex == 0 || Z.ContentsIndex == 2);
  EXPECT_EQ(Z.LastShownFrame, -999.0);
  EXPECT_EQ(Z.ContentsIndex == 2, rest.find("FILE [ zep_env0003.dat ] exists!\n") != std::string::npos);

  // Later presses pick from the remembered list without listing again.
  CapturedOut.clear();
  MakeFolder(7, {0});
  ListContents();
  EXPECT_EQ(CapturedOut.find("Following is the list"), std::string::npos);
  EXPECT_NE(Z.ContentsIndex, 6);
}

TEST_F(Listing, ProbeFindsFramesWritesMarkersAndDelaysReuse) {
  MakeFolder(1, {5});                                 // folder 1 probes every number: it meets 5 exactly
  MakeFolder(7, {300, 301, 302, 303, 304, 305, 306}); // gaps are at most 7
  srand(3);
  ListContents();
  EXPECT_NE(CapturedOut.find("[S  1] FILE [ ../S001/clip_00005.jpg ] exists!\n"
                             "*** Created a file[ ../S001/check_result.txt ] ***\n"
                             "       <<< You Are Here Now >>>\n"),
            std::string::npos);
  EXPECT_EQ(ReadText("../S001/check_result.txt"), "FOUND: clip_00005.jpg\n");
  std::string marker = ReadText("../S007/check_result.txt");
  ASSERT_EQ(marker.size(), 22u);
  int found = atoi(marker.substr(12, 5).c_str());
  EXPECT_TRUE(found >= 300 && found <= 306) << marker;
  EXPECT_NE(CapturedOut.find("[S  7] FILE [ ../S007/clip_00" + std::to_string(found) + ".jpg ] exists!\n"),
            std::string::npos);
  EXPECT_EQ(Z.ContentsListReady, 0);

  // The next listing finds both by their markers and may then be reused.
  CapturedOut.clear();
  ListContents();
  EXPECT_NE(CapturedOut.find("[S  7] FILE [ ../S007/check_result.txt ] exists!\n"), std::string::npos);
  EXPECT_EQ(CapturedOut.find("Created a file"), std::string::npos);
  EXPECT_EQ(Z.ContentsListReady, 1);
}

TEST_F(Listing, UnwritableMarkerNoFolderAndQuietDisplay) {
  MakeFolder(1, {40});
  // A marker name that leads nowhere cannot be read or written (also for root).
  ASSERT_EQ(symlink("missing/marker", "../S001/check_result.txt"), 0);
  ListContents();
  EXPECT_NE(CapturedOut.find("[S  1] FILE [ ../S001/clip_00040.jpg ] exists!\n       <<< You Are"),
            std::string::npos);
  EXPECT_EQ(Z.ContentsListCount, 1);

  ResetState();
  CapturedOut.clear();
  ASSERT_EQ(system("rm -rf ../S001"), 0);
  Z.ContentsIndex = 3;
  Z.DISP_WEB_CAM_INFO = 1;
  ListContents();
  EXPECT_EQ(CapturedOut, std::string("KEY FUNCTION : [J/@][ Random Contents Selection ]\n") + HEADER +
                             "       <<< You Are Here Now >>>\n\nThat's all.\n\n");
  EXPECT_EQ(Z.ContentsIndex, 3);
  EXPECT_EQ(Z.ContentsListReady, 0);

  CapturedOut.clear();
  Z.DISP_WEB_CAM_INFO = 2;
  MakeFolder(2, {0});
  ListContents();
  EXPECT_EQ(CapturedOut, "KEY FUNCTION : [J/@][ Random Contents Selection ]\n");
  EXPECT_EQ(Z.ContentsIndex, 3);
}

// The folder-reading listing must be indistinguishable from the plain one:
// the same lines, the same markers, the same pseudo-random numbers used.
TEST_F(Listing, FolderReadsGiveTheSameListingAsExistenceTests) {
  MakeFolder(1, {0});
  MakeFolder(2, {50, 51, 52, 53});
  mkdir("../S004", 0755); // empty folder
  WriteText("../S006", "a plain file named like a folder");
  Touch("zep_env0008.dat");
  mkdir("frame_data0009.dat", 0755); // a folder opens for reading too
  MakeFolder(10, {7});               // found by its marker, not by a probe
  Touch("../S010/check_result.txt");
  mkdir("../S012", 0755);
  ASSERT_EQ(symlink("nowhere.jpg", "../S012/clip_00000.jpg"), 0); // dangling: no frame
  ASSERT_EQ(symlink("nowhere.jpg", "../S012/clip_00004.jpg"), 0);
  for (int n = 9; n < 21; ++n) { // twelve in a row: folder 12's probe cannot step over them
    char path[64];
    snprintf(path, sizeof path, "../S012/clip_%05d.jpg", n);
    Touch(path);
  }
  MakeFolder(15, {2000, 2001, 2002, 2003, 2004, 2005, 2006, 2007, 2008, 2009, 2010, 2011, 2012, 2013, 2014});
  mkdir("../S0015", 0755); // not a name the listing builds
  Touch("../S0015/clip_00000.jpg");
  Touch("zep_env00016.dat");
  MakeFolder(1000, {0});

  auto markers = [] {
    std::string all;
    for (int k : {1, 2, 4, 10, 12, 15, 1000}) {
      char path[64];
      snprintf(path, sizeof path, "../S%03d/check_result.txt", k);
      all += std::to_string(k) + ":" + (Exists(path) ? ReadText(path) : "-") + "\n";
      if (k != 10) unlink(path);
    }
    return all;
  };
  Z.ContentsIndex = 11;
  srand(99);
  bool probed_plain = ListContentsFoldersByExistence();
  int next_plain = rand();
  std::string out_plain = CapturedOut;
  std::string markers_plain = markers();

  CapturedOut.clear();
  srand(99);
  bool probed_fast = ListContentsFolders();
  int next_fast = rand();
  EXPECT_EQ(CapturedOut, out_plain);
  EXPECT_EQ(markers(), markers_plain);
  EXPECT_EQ(next_fast, next_plain);
  EXPECT_TRUE(probed_plain && probed_fast);
  for (const char *line : {"[S  2] FILE [ ../S002/clip_000", "[S  8] FILE [ zep_env0008.dat ]",
                           "[S  9] FILE [ frame_data0009.dat ]", "[S 10] FILE [ ../S010/check_result.txt ]",
                           "[S 12] FILE [ ../S012/clip_000", "[S 15] FILE [ ../S015/clip_0200",
                           "[S1000] FILE [ ../S1000/clip_00000.jpg ]"})
    EXPECT_NE(out_plain.find(line), std::string::npos) << line;
  for (const char *missing : {"[S  4]", "[S  6]", "[S 16]"})
    EXPECT_EQ(out_plain.find(missing), std::string::npos) << missing;
  EXPECT_EQ(Z.ContentsListCount, 8);
}

} // namespace
