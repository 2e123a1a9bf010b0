// Per-folder settings: which file is read, the 1302 values with their
// conversions and ranges, the additional-parameter report, the key-frame
// file, and the number reader underneath them.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "contents/folder_settings.h"
#include "contents/text_values.h"
#include "gesture/knowledge_base.h"
#include "state/state.h"
#include "tests/kb_writer.h"
#include "tests/support.h"

namespace {

class Settings : public PlayerTest {
 protected:
  void TearDown() override {
    FreeKnowledgeBase();
    PlayerTest::TearDown();
  }
};

// A complete file: every value distinct from its start value, with the
// given values replaced.
std::vector<std::string> FullValues(const std::vector<std::pair<int, const char *>> &changes = {}) {
  std::vector<std::string> v = {"3", "0",  "4",    "2.5", "7000", "0", "0.5", "9", "8",
                                "1", "77", "5000", "1",   "1",    "1", "3",   "12"};
  char text[32];
  for (int i = 0; i < KEYFRAME_NUM; ++i) {
    snprintf(text, sizeof text, "%.6f", i * 1.5);
    v.push_back(text);
  }
  for (const char *extra : {"10", "20", "1", "1", "2"})
    v.push_back(extra);
  for (const auto &change : changes)
    v[change.first] = change.second;
  return v;
}

void Load(const std::vector<std::string> &values, size_t count = 1302) {
  WriteText("zep_env.dat", SettingsText(values, count));
  LoadFolderSettings();
}

void SetAdditionalParameters(int value) {
  Z.StartFrameNum = Z.EndFrameNum = Z.MouseReverseFlag = Z.MouseVertFlag = Z.flip_mode = value;
}

template <typename... T> std::vector<double> AsDoubles(T... values) {
  return {static_cast<double>(values)...};
}

TEST_F(Settings, OwnFileBeforeCommonFileWithEveryValueInItsPlace) {
  WriteText("zep_env0003.dat", SettingsText(FullValues(), 1297));
  WriteText("zep_env.dat", "7 1");
  Z.ContentsIndex = 2;
  SetAdditionalParameters(5);
  LoadFolderSettings();
  // In the file's order; without the additional parameters those are cleared.
  EXPECT_EQ(AsDoubles(Z.DiffStep, Z.ContentsIndex, Z.MaxCount, Z.frame_no, Z.VR_threshold, Z.PlayDirection,
                      Z.VR_step, Z.TurnCount, Z.RestCount, Z.KeyFrameMode, Z.SteerCounter, Z.SteerLimit,
                      Z.DISP_WEB_CAM_INFO, Z.CamLogMode, Z.WrapFlag, Z.SteerType, Z.KeyFrameIndex,
                      Z.KeyFrameNumber[0], Z.KeyFrameNumber[1], Z.KeyFrameNumber[1279], Z.StartFrameNum,
                      Z.EndFrameNum, Z.MouseReverseFlag, Z.MouseVertFlag, Z.flip_mode),
            (std::vector<double>{3, 0, 4, 2.5, 7000, 0,   0.5,        9, 8, 1, 77, 5000, 1,
                                 1, 1, 3, 12,  0,    1.5, 1279 * 1.5, 0, 0, 0, 0,  0}));
  EXPECT_EQ(CapturedOut, "Finished Reading ZEP Parameters from File : zep_env0003.dat\n");

  CapturedOut.clear();
  Z.ContentsIndex = 3; // no zep_env0004.dat
  LoadFolderSettings();
  EXPECT_EQ(Z.DiffStep, 7);
  EXPECT_EQ(Z.ContentsIndex, 1);
  EXPECT_EQ(CapturedOut, "Finished Reading ZEP Parameters from File : zep_env.dat\n");

  // Neither file: nothing read, nothing said.
  CapturedOut.clear();
  remove("zep_env.dat");
  Z.ContentsIndex = 5;
  LoadFolderSettings();
  EXPECT_EQ(Z.DiffStep, 7);
  EXPECT_EQ(CapturedOut, "");
}

TEST_F(Settings, AdditionalParametersReportTheirReadCounts) {
  const std::string head = "\nLOADING Additional Parameters...\n\n"
                           "SET(1): StartFrameNum = 10\nSET(1): EndFrameNum   = 20\n"
                           "SET(1): MouseReverseFlag = 1\n";
  const std::string tail = "Finished Reading ZEP Parameters from File : zep_env.dat\n";
  Load(FullValues());
  EXPECT_EQ(CapturedOut, head + "SET(1): MouseVertFlag    = 1\nSET(1): flip_mode = 2\n" + tail);

  // Three of the five: the last two keep their old values and say -1.
  CapturedOut.clear();
  SetAdditionalParameters(0);
  Z.MouseVertFlag = 6;
  Z.flip_mode = 1;
  Load(FullValues(), 1300);
  EXPECT_EQ(CapturedOut, head + "SET(-1): MouseVertFlag    = 6\nSET(-1): flip_mode = 1\n" + tail);

  // Text where EndFrameNum should be: that read and every later one say 0.
  CapturedOut.clear();
  Load(FullValues({{1298, "end"}}));
  EXPECT_NE(
      CapturedOut.find("SET(1): StartFrameNum = 10\nSET(0): EndFrameNum   = 20\n"
                       "SET(0): MouseReverseFlag = 1\nSET(0): MouseVertFlag    = 6\nSET(0): flip_mode = 1\n"),
      std::string::npos);
}

TEST_F(Settings, TextStopsTheReadingWhereItStands) {
  SetAdditionalParameters(5);
  Load(FullValues({{4, "abc"}}));  // VR_threshold
  EXPECT_EQ(Z.frame_no, 2.5);      // before the text: read
  EXPECT_EQ(Z.VR_threshold, 9600); // the text and all after it: unchanged
  EXPECT_EQ(Z.WrapFlag, 0);
  EXPECT_EQ(Z.KeyFrameNumber[5], 0.0);
  EXPECT_EQ(Z.flip_mode, 0); // and the additional parameters cleared
  EXPECT_EQ(CapturedOut, "Finished Reading ZEP Parameters from File : zep_env.dat\n");

  // A sign without digits is no number either, and the reading must not
  // resume with the number after it.
  for (const char *broken : {"-", "+", ".", "1e", "-.e5", "infin", "nan(1"}) {
    ResetState();
    Load(FullValues({{6, broken}, {7, "6"}})); // VR_step, TurnCount
    EXPECT_EQ(AsDoubles(Z.PlayDirection, Z.VR_step, Z.TurnCount, Z.RestCount, Z.WrapFlag),
              (std::vector<double>{0, 1.0, 5, 2, 0}))
        << broken;
  }
}

TEST_F(Settings, ValuesOutsideTheirRangeKeepThePreviousValue) {
  const std::vector<std::vector<const char *>> cases = {
      // DiffStep, ContentsIndex, MaxCount, frame_no, VR_threshold, PlayDirection, VR_step
      {"0", "20000", "-1", "nan", "99999999999999999999", "7", "inf"},
      {"-3", "-1", "99999", "inf", "-99999999999999999999", "-1", "-nan"},
      {"321", "10000", "22001", "-1e300", "1", "2", "1e999"},
  };
  for (const auto &bad : cases) {
    ResetState();
    Z.frame_no = 3.0;
    std::vector<std::pair<int, const char *>> changes = {{16, bad[0][0] == '0' ? "5000" : "1280"}};
    for (size_t i = 0; i < bad.size(); ++i)
      changes.emplace_back(static_cast<int>(i), bad[i]);
    Load(FullValues(changes));
    EXPECT_EQ(AsDoubles(Z.DiffStep, Z.ContentsIndex, Z.MaxCount, Z.frame_no, Z.PlayDirection, Z.VR_step,
                        Z.KeyFrameIndex),
              (std::vector<double>{4, 0, 0, 3.0, 1, 1.0, 0}))
        << bad[0];
    // The value was read all the same: the reading goes on.
    EXPECT_EQ(Z.WrapFlag, 1);
    EXPECT_EQ(Z.KeyFrameNumber[1279], 1279 * 1.5);
    EXPECT_EQ(Z.flip_mode, 2);
  }
  // Numbers beyond int hold at its ends where any value is allowed.
  EXPECT_EQ(Z.VR_threshold, 1);
  ResetState();
  std::vector<std::string> values =
      FullValues({{4, "99999999999999999999"}, {0, "320"}, {2, "22000"}, {16, "1279"}});
  Load(values, 1297);
  EXPECT_EQ(Z.VR_threshold, 2147483647);
  EXPECT_EQ(Z.DiffStep, 320);
  EXPECT_EQ(Z.MaxCount, 22000);
  EXPECT_EQ(Z.KeyFrameIndex, 1279);
  // NaN stays as a key frame: nothing indexes with it.
  values[17] = "NaN";
  Load(values, 1297);
  EXPECT_TRUE(std::isnan(Z.KeyFrameNumber[0]));
}

TEST_F(Settings, SecondValueMovesTheFolderWithoutARescan) {
  MakeFolder(5, {});
  WriteKeyFrameFile(5, {0, 9}, "1");
  strcpy(Z.FrameData[0].path, "../S001/clip_00000.jpg");
  Load(FullValues({{1, "4"}, {2, "30"}}), 1297);
  EXPECT_EQ(Z.ContentsIndex, 4);
  EXPECT_EQ(Z.MaxCount, 30);
  EXPECT_STREQ(Z.FrameData[0].path, "../S001/clip_00000.jpg");
  EXPECT_NE(CapturedOut.find("\nNow, Importing [ ../S005/qdx_config.dat ]\n"), std::string::npos);
  EXPECT_EQ(Z.KeyFrameNumber[1], 9.0);
}

TEST_F(Settings, KeyFrameFileReplacesTheKeyFrames) {
  MakeFolder(1, {});
  std::vector<int32_t> entries(1281, 0);
  entries[7] = 120;
  entries[3] = -5;
  entries[1280] = 77; // beyond the key frames: kept in PivotHistory only
  WriteKeyFrameFile(1, entries, "  4321\n");
  Load(FullValues(), 1297);
  std::string expected = "Finished Reading ZEP Parameters from File : zep_env.dat\n"
                         "\nFound a file [ qdx_config.dat ] in the Contents Folder...\n"
                         "\nNow, Importing [ ../S001/qdx_config.dat ]\n\n";
  for (int i = 0; i <= 10; ++i) {
    char line[64];
    snprintf(line, sizeof line, "PivotHistory[ %6d ] = [ %6d ]\n", i, entries[i]);
    expected += line;
  }
  expected += "\nSET: KeyFrameNumber[ 7 ] = 120.000000.\n"
              "\nThat is all.\n"
              "Finished Importing [ ../S001/qdx_config.dat ]\n";
  EXPECT_EQ(CapturedOut, expected);
  EXPECT_EQ(Z.KeyFrameNumber[7], 120.0);
  EXPECT_EQ(Z.KeyFrameNumber[3], -5.0);
  EXPECT_EQ(Z.KeyFrameNumber[1], 0.0); // the settings file's 1.5 is replaced
  EXPECT_EQ(Z.PivotHistory[1280], 77);
  EXPECT_EQ(Z.PivotSpare, 4321);
}

TEST_F(Settings, ShortKeyFrameFileReplacesOnlyWholeValues) {
  MakeFolder(1, {});
  for (int i = 0; i < PIVOT_NUM; ++i)
    Z.PivotHistory[i] = -1;
  Z.PivotSpare = 99;
  std::string bytes;
  for (int32_t v : {1, 2, 3})
    PutInt32(bytes, v);
  WriteText("../S001/qdx_config.dat", bytes + "\x07\x07"); // half of a fourth value
  LoadFolderSettings();
  EXPECT_EQ(AsDoubles(Z.PivotHistory[2], Z.PivotHistory[3], Z.KeyFrameNumber[3],
                      Z.PivotHistory[PIVOT_NUM - 1], Z.PivotSpare),
            (std::vector<double>{3, -1, -1.0, -1, 99}));

  // A whole block without the number after it.
  WriteKeyFrameFile(1, {5}, "");
  LoadFolderSettings();
  EXPECT_EQ(Z.PivotHistory[3], 0);
  EXPECT_EQ(Z.PivotSpare, 99);
}

// The number reader underneath, on the cases scanf users trip over.
TEST(ScanDouble, ReadsWhatScanfReadsAndLeavesTheRest) {
  char text[] = " 1.5e3\t-.25 +7 INFINITY -inf nan(x1) 1e999 -1e-999 5.x 12e+ rest";
  FILE *f = fmemopen(text, sizeof text - 1, "r");
  ASSERT_NE(f, nullptr);
  double v = 0;
  // "5." is a number; the x after it is not.
  for (double want : {1500.0, -0.25, 7.0, HUGE_VAL, -HUGE_VAL, std::nan(""), HUGE_VAL, 0.0, 5.0}) {
    ASSERT_EQ(ScanDouble(f, &v), 1) << want;
    if (std::isnan(want))
      EXPECT_TRUE(std::isnan(v));
    else
      EXPECT_EQ(v, want);
  }
  v = 42;
  EXPECT_EQ(ScanDouble(f, &v), 0);
  EXPECT_EQ(fgetc(f), 'x');
  EXPECT_EQ(ScanDouble(f, &v), 0); // "12e+" is not whole: back to its start
  EXPECT_EQ(ScanDouble(f, &v), 0);
  EXPECT_EQ(v, 42.0);
  char rest[16] = {};
  ASSERT_EQ(fscanf(f, "%15s", rest), 1);
  EXPECT_STREQ(rest, "12e+");
  EXPECT_EQ(ScanDouble(f, &v), 0);
  EXPECT_EQ(fgetc(f), 'r');
  fclose(f);

  char blanks[] = "  \n\t ";
  f = fmemopen(blanks, sizeof blanks - 1, "r");
  EXPECT_EQ(ScanDouble(f, &v), -1);
  fclose(f);
}

} // namespace
