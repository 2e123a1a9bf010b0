// The contents listing and the random pick (Space): the tests in order with their
// texts, the probe and its markers, the list's reuse, what folder reads rule out.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "contents/contents_list.h"
#include "player/folders.h"
#include "player/keys.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

using Listing = PlayerTest;

const std::string Header = "\n*** Following is the list of contents with associated file: \n\n";
const std::string Here = "       <<< You Are Here Now >>>\n";

void Touch(const std::string &path) { WriteText(path, "x"); }

bool Has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

TEST_F(Listing, CheapTestsInOrderWithTheirTextsAndThePick) {
  // Nothing to list: the folder stays, and nothing is drawn from the empty list.
  const std::string key = "KEY FUNCTION : [J/@][ Random Contents Selection ]\n";
  Z.ContentsIndex = 4; // S005 is found by nothing, yet the viewer is there
  Z.DISP_WEB_CAM_INFO = 1;
  DispatchKey(KEY_SPACE);
  EXPECT_EQ(CapturedOut, key + Header + Here + "\nThat's all.\n\n");
  EXPECT_EQ(Z.ContentsListReady, 0);
  MakeFolder(1, {0});
  Touch("../S001/check_result.txt"); // the first frame is tried before the marker
  MakeFolder(3, {0});
  Touch("zep_env0003.dat");    // and the settings file before the first frame
  Touch("frame_data0004.dat"); // listed though ../S004 does not exist
  mkdir("../S006", 0755);
  Touch("../S006/check_result.txt");
  Z.DISP_WEB_CAM_INFO = 2; // then Space only names its key
  CapturedOut.clear();
  DispatchKey(KEY_SPACE);
  EXPECT_EQ(CapturedOut, key);
  Z.DISP_WEB_CAM_INFO = 0;
  CapturedOut.clear();
  ListContents();
  const std::string listing = Header +
                              "[S  1] FILE [ ../S001/clip_00000.jpg ] exists!\n"
                              "[S  3] FILE [ zep_env0003.dat ] exists!\n"
                              "[S  4] FILE [ frame_data0004.dat ] exists!\n" +
                              Here + "[S  6] FILE [ ../S006/check_result.txt ] exists!\n";
  ASSERT_EQ(CapturedOut.substr(0, listing.size()), listing);
  EXPECT_EQ(std::make_pair(Z.ContentsListCount, Z.ContentsListReady), std::make_pair(4, 1));
  const std::string rest = CapturedOut.substr(listing.size());
  EXPECT_EQ(rest.rfind("\n<<<<<<<< RANDOM CONTENTS SELECTION >>>>>>>>\n", 0), 0u);
  // S004 and S006 have no frames: the scan falls back to S003 or S001, and
  // S003's own settings file is loaded.
  EXPECT_TRUE(Z.ContentsIndex == 0 || Z.ContentsIndex == 2);
  EXPECT_EQ(Z.ContentsIndex == 2, Has(rest, "FILE [ zep_env0003.dat ] exists!\n"
                                            "Finished Reading ZEP Parameters from File : zep_env0003.dat\n"));

  // Later presses pick from the remembered list without listing again.
  CapturedOut.clear();
  MakeFolder(7, {0});
  ListContents();
  EXPECT_FALSE(Has(CapturedOut, "Following is the list"));
  EXPECT_NE(Z.ContentsIndex, 6);
}

// Folder reads only rule names out: links, a marker that cannot be written, frames
// beyond the probe and the last folder come out as testing each name has them, with the
// same numbers drawn (bench/listing_bench.cpp compares the two ways on such a tree).
TEST_F(Listing, FolderReadsRuleOutOnlyNamesThatCannotExist) {
  MakeFolder(1, {5});                     // folder 1 probes every number: it meets 5 exactly
  MakeFolder(2, {50, 51, 52, 53, 22000}); // 22000 is beyond the probe
  MakeFolder(4, {9, 10, 11, 12});         // probed, but its marker cannot be written
  symlink("missing/marker", "../S004/check_result.txt");
  mkdir("../S005", 0755);                                          // empty folder
  MakeFolder(12, {9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}); // a run the probe cannot step over
  symlink("nowhere.jpg", "../S012/clip_00000.jpg");                // dangling: no frame
  symlink("nowhere.jpg", "../S012/clip_00004.jpg");
  MakeFolder(1000, {0});
  Z.ContentsIndex = 11;
  srand(99);
  EXPECT_TRUE(ListContentsFolders());
  EXPECT_EQ(rand(), 389188723); // as after the draws of probes that test every name
  EXPECT_EQ(CapturedOut, Header +
                             "[S  1] FILE [ ../S001/clip_00005.jpg ] exists!\n"
                             "*** Created a file[ ../S001/check_result.txt ] ***\n"
                             "[S  2] FILE [ ../S002/clip_00050.jpg ] exists!\n"
                             "*** Created a file[ ../S002/check_result.txt ] ***\n"
                             "[S  4] FILE [ ../S004/clip_00011.jpg ] exists!\n"
                             "[S 12] FILE [ ../S012/clip_00015.jpg ] exists!\n"
                             "*** Created a file[ ../S012/check_result.txt ] ***\n" +
                             Here + "[S1000] FILE [ ../S1000/clip_00000.jpg ] exists!\n");
}

} // namespace
