// The contents library on Windows: names with '\', existence tests ignoring case,
// binary files arriving whole despite text mode, the marker written as text.
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>

#include "contents/contents_list.h"
#include "contents/folder_settings.h"
#include "contents/frame_table.h"
#include "player/folders.h"
#include "state/state.h"
#include "tests/kb_writer.h"
#include "tests/support.h"

namespace {

class WinContents : public PlayerTest {};

TEST_F(WinContents,
       ScanAndListingNameFilesWithBackslashesFindFramesWhateverTheirCaseAndWriteTheMarkerAsText) {
  MakeFolder(1, {5, 10});                         // folder 1 probes every number: it meets 5 exactly
  WriteText("..\\S001\\CLIP_00020.JPG", "frame"); // the same name to Windows
  MakeFolder(3, {0});
  srand(3);
  ListContents();
  EXPECT_NE(CapturedOut.find("[S  1] FILE [ ..\\S001\\clip_00005.jpg ] exists!\n"
                             "*** Created a file[ ..\\S001\\check_result.txt ] ***\n"
                             "       <<< You Are Here Now >>>\n"
                             "[S  3] FILE [ ..\\S003\\clip_00000.jpg ] exists!\n"),
            std::string::npos)
      << CapturedOut;
  EXPECT_EQ(ReadText("..\\S001\\check_result.txt"), "FOUND: clip_00005.jpg\r\n");
  Z.ContentsIndex = 0;
  OpenContents();
  ASSERT_EQ(Z.MaxCount, 3);
  EXPECT_STREQ(Z.FrameData[0].path, "..\\S001\\clip_00005.jpg");
  EXPECT_STREQ(Z.FrameData[2].path, "..\\S001\\clip_00020.jpg");
}

// Line ends and the end-of-file byte of text mode must not touch a record.
TEST_F(WinContents, FrameTableAndKeyFrameFilesArriveByteForByte) {
  std::string table(FRAME_TABLE_BYTES, '\0');
  const char http[] = "line\r\nend\x1A"
                      "after";
  memcpy(&table[4], "first", 6);
  memcpy(&table[254], http, sizeof http);
  memcpy(&table[756 + 4], "second\n", 8);
  WriteText("frame_data0001.dat", table + "  2\r\n");
  OpenContents();
  EXPECT_EQ(Z.MaxCount, 2);
  EXPECT_STREQ(Z.FrameData[0].http, http);
  EXPECT_STREQ(Z.FrameData[1].path, "second\n");

  MakeFolder(1, {});
  // 0x0A0D = "\r\n" and 0x1A = the end-of-file byte of text mode.
  WriteKeyFrameFile(1, {0x0A0D, 0x1A, 0x0D0A1A}, "\r\n 99\r\n");
  LoadFolderSettings();
  EXPECT_EQ(std::make_tuple(Z.KeyFrameNumber[0], Z.KeyFrameNumber[1], Z.KeyFrameNumber[2], Z.PivotSpare),
            std::make_tuple(0x0A0D, 0x1A, 0x0D0A1A, 99));
}
} // namespace
