// Per-folder settings: which file is read, the 1302 values with their
// conversions and ranges, the additional-parameter report, the key-frame
// file, and the number reader underneath them.
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <string>
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

// A complete file: every value distinct from its start value.
std::vector<std::string> FullValues() {
  std::vector<std::string> v = {"3", "0",  "4",    "2.5", "7000", "0", "0.5", "9", "8",
                                "1", "77", "5000", "1",   "1",    "1", "3",   "12"};
  char text[32];
  for (int i = 0; i < KEYFRAME_NUM; ++i) {
    snprintf(text, sizeof text, "%.6f", i * 1.5);
    v.push_back(text);
  }
  for (const char *extra : {"10", "20", "1", "1", "2"})
    v.push_back(extra);
  return v;
}

void SetAdditionalParameters(int value) {
  Z.StartFrameNum = Z.EndFrameNum = Z.MouseReverseFlag = Z.MouseVertFlag = Z.flip_mode = value;
}

TEST_F(Settings, OwnFileBeforeCommonFile) {
  WriteText("zep_env0003.dat", SettingsText(FullValues(), 1297));
  WriteText("zep_env.dat", "7 1");
  Z.ContentsIndex = 2;
  LoadFolderSettings();
  EXPECT_EQ(Z.DiffStep, 3);
  EXPECT_EQ(Z.ContentsIndex, 0);
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

TEST_F(Settings, CompleteFileWithoutAdditionalParameters) {
  WriteText("zep_env.dat", SettingsText(FullValues(), 1297));
  SetAdditionalParameters(5);
  LoadFolderSettings();
  EXPECT_EQ(Z.DiffStep, 3);
  EXPECT_EQ(Z.MaxCount, 4);
  EXPECT_EQ(Z.frame_no, 2.5);
  EXPECT_EQ(Z.VR_threshold, 7000);
  EXPECT_EQ(Z.PlayDirection, 0);
  EXPECT_EQ(Z.VR_step, 0.5);
  EXPECT_EQ(Z.TurnCount, 9);
  EXPECT_EQ(Z.RestCount, 8);
  EXPECT_EQ(Z.KeyFrameMode, 1);
  EXPECT_EQ(Z.SteerCounter, 77);
  EXPECT_EQ(Z.SteerLimit, 5000);
  EXPECT_EQ(Z.DISP_WEB_CAM_INFO, 1);
  EXPECT_EQ(Z.CamLogMode, 1);
  EXPECT_EQ(Z.WrapFlag, 1);
  EXPECT_EQ(Z.SteerType, 3);
  EXPECT_EQ(Z.KeyFrameIndex, 12);
  EXPECT_EQ(Z.KeyFrameNumber[0], 0.0);
  EXPECT_EQ(Z.KeyFrameNumber[1], 1.5);
  EXPECT_EQ(Z.KeyFrameNumber[1279], 1279 * 1.5);
  EXPECT_EQ(Z.StartFrameNum, 0);
  EXPECT_EQ(Z.EndFrameNum, 0);
  EXPECT_EQ(Z.MouseReverseFlag, 0);
  EXPECT_EQ(Z.MouseVertFlag, 0);
  EXPECT_EQ(Z.flip_mode, 0);
  EXPECT_EQ(CapturedOut, "Finished Reading ZEP Parameters from File : zep_env.dat\n");
}

TEST_F(Settings, AdditionalParametersReportTheirReadCounts) {
  WriteText("zep_env.dat", SettingsText(FullValues(), 1302));
  LoadFolderSettings();
  EXPECT_EQ(CapturedOut, "\nLOADING Additional Parameters...\n\n"
                         "SET(1): StartFrameNum = 10\n"
                         "SET(1): EndFrameNum   = 20\n"
                         "SET(1): MouseReverseFlag = 1\n"
                         "SET(1): MouseVertFlag    = 1\n"
                         "SET(1): flip_mode = 2\n"
                         "Finished Reading ZEP Parameters from File : zep_env.dat\n");

  // Three of the five: the last two keep their old values and say -1.
  CapturedOut.clear();
  SetAdditionalParameters(0);
  Z.MouseVertFlag = 6;
  Z.flip_mode = 1;
  WriteText("zep_env.dat", SettingsText(FullValues(), 1300));
  LoadFolderSettings();
  EXPECT_EQ(CapturedOut, "\nLOADING Additional Parameters...\n\n"
                         "SET(1): StartFrameNum = 10\n"
                         "SET(1): EndFrameNum   = 20\n"
                         "SET(1): MouseReverseFlag = 1\n"
                         "SET(-1): MouseVertFlag    = 6\n"
                         "SET(-1): flip_mode = 1\n"
                         "Finished Reading ZEP Parameters from File : zep_env.dat\n");

  // Text where EndFrameNum should be: that read and every later one say 0.
  CapturedOut.clear();
  std::vector<std::string> values = FullValues();
  values[1298] = "end";
  WriteText("zep_env.dat", SettingsText(values, 1302));
  LoadFolderSettings();
  EXPECT_NE(
      CapturedOut.find("SET(1): StartFrameNum = 10\nSET(0): EndFrameNum   = 20\n"
                       "SET(0): MouseReverseFlag = 1\nSET(0): MouseVertFlag    = 6\nSET(0): flip_mode = 1\n"),
      std::string::npos);
}

TEST_F(Settings, TextStopsTheReadingWhereItStands) {
  std::vector<std::string> values = FullValues();
  values[4] = "abc"; // VR_threshold
  WriteText("zep_env.dat", SettingsText(values, 1302));
  SetAdditionalParameters(5);
  LoadFolderSettings();
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
    values = FullValues();
    values[6] = broken; // VR_step
    values[7] = "6";    // TurnCount
    WriteText("zep_env.dat", SettingsText(values, 1302));
    LoadFolderSettings();
    EXPECT_EQ(Z.PlayDirection, 0) << broken;
    EXPECT_EQ(Z.VR_step, 1.0) << broken;
    EXPECT_EQ(Z.TurnCount, 5) << broken;
    EXPECT_EQ(Z.RestCount, 2) << broken;
    EXPECT_EQ(Z.WrapFlag, 0) << broken;
  }
}

TEST_F(Settings, ValuesOutsideTheirRangeKeepThePreviousValue) {
  const std::vector<std::vector<std::string>> cases = {
      // DiffStep, ContentsIndex, MaxCount, frame_no, VR_threshold, PlayDirection, VR_step
      {"0", "20000", "-1", "nan", "99999999999999999999", "7", "inf"},
      {"-3", "-1", "99999", "inf", "-99999999999999999999", "-1", "-nan"},
      {"321", "10000", "22001", "-1e300", "1", "2", "1e999"},
  };
  for (const auto &bad : cases) {
    ResetState();
    Z.frame_no = 3.0;
    std::vector<std::string> values = FullValues();
    for (size_t i = 0; i < bad.size(); ++i)
      values[i] = bad[i];
    values[16] = bad[0] == "0" ? "5000" : "1280"; // KeyFrameIndex
    WriteText("zep_env.dat", SettingsText(values, 1302));
    LoadFolderSettings();
    EXPECT_EQ(Z.DiffStep, 4) << bad[0];
    EXPECT_EQ(Z.ContentsIndex, 0) << bad[1];
    EXPECT_EQ(Z.MaxCount, 0) << bad[2];
    EXPECT_EQ(Z.frame_no, 3.0) << bad[3];
    EXPECT_EQ(Z.PlayDirection, 1) << bad[5];
    EXPECT_EQ(Z.VR_step, 1.0) << bad[6];
    EXPECT_EQ(Z.KeyFrameIndex, 0);
    // The value was read all the same: the reading goes on.
    EXPECT_EQ(Z.WrapFlag, 1);
    EXPECT_EQ(Z.KeyFrameNumber[1279], 1279 * 1.5);
    EXPECT_EQ(Z.flip_mode, 2);
  }
  // Numbers beyond int hold at its ends where any value is allowed.
  EXPECT_EQ(Z.VR_threshold, 1);
  ResetState();
  std::vector<std::string> values = FullValues();
  values[4] = "99999999999999999999";
  values[0] = "320";
  values[2] = "22000";
  values[16] = "1279";
  WriteText("zep_env.dat", SettingsText(values, 1297));
  LoadFolderSettings();
  EXPECT_EQ(Z.VR_threshold, 2147483647);
  EXPECT_EQ(Z.DiffStep, 320);
  EXPECT_EQ(Z.MaxCount, 22000);
  EXPECT_EQ(Z.KeyFrameIndex, 1279);
  // NaN stays as a key frame: nothing indexes with it.
  values[17] = "NaN";
  WriteText("zep_env.dat", SettingsText(values, 1297));
  LoadFolderSettings();
  EXPECT_TRUE(std::isnan(Z.KeyFrameNumber[0]));
}

TEST_F(Settings, SecondValueMovesTheFolderWithoutARescan) {
  MakeFolder(5, {});
  std::vector<std::string> values = FullValues();
  values[1] = "4";
  values[2] = "30";
  WriteText("zep_env.dat", SettingsText(values, 1297));
  WriteKeyFrameFile(5, {0, 9}, "1");
  strcpy(Z.FrameData[0].path, "../S001/clip_00000.jpg");
  LoadFolderSettings();
  EXPECT_EQ(Z.ContentsIndex, 4);
  EXPECT_EQ(Z.MaxCount, 30);
  EXPECT_STREQ(Z.FrameData[0].path, "../S001/clip_00000.jpg");
  EXPECT_NE(CapturedOut.find("\nNow, Importing [ ../S005/qdx_config.dat ]\n"), std::string::npos);
  EXPECT_EQ(Z.KeyFrameNumber[1], 9.0);
}

TEST_F(Settings, KeyFrameFileReplacesTheKeyFrames) {
  MakeFolder(1, {});
  WriteText("zep_env.dat", SettingsText(FullValues(), 1297));
  std::vector<int32_t> entries(1281, 0);
  entries[7] = 120;
  entries[3] = -5;
  entries[1280] = 77; // beyond the key frames: kept in PivotHistory only
  WriteKeyFrameFile(1, entries, "  4321\n");
  LoadFolderSettings();
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
  EXPECT_EQ(Z.PivotHistory[2], 3);
  EXPECT_EQ(Z.PivotHistory[3], -1);
  EXPECT_EQ(Z.KeyFrameNumber[3], -1.0);
  EXPECT_EQ(Z.PivotHistory[PIVOT_NUM - 1], -1);
  EXPECT_EQ(Z.PivotSpare, 99);

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
  ASSERT_EQ(ScanDouble(f, &v), 1);
  EXPECT_EQ(v, 1500.0);
  ASSERT_EQ(ScanDouble(f, &v), 1);
  EXPECT_EQ(v, -0.25);
  ASSERT_EQ(ScanDouble(f, &v), 1);
  EXPECT_EQ(v, 7.0);
  ASSERT_EQ(ScanDouble(f, &v), 1);
  EXPECT_EQ(v, HUGE_VAL);
  ASSERT_EQ(ScanDouble(f, &v), 1);
  EXPECT_EQ(v, -HUGE_VAL);
  ASSERT_EQ(ScanDouble(f, &v), 1);
  EXPECT_TRUE(std::isnan(v));
  ASSERT_EQ(ScanDouble(f, &v), 1);
  EXPECT_EQ(v, HUGE_VAL);
  ASSERT_EQ(ScanDouble(f, &v), 1);
  EXPECT_EQ(v, 0.0);
  ASSERT_EQ(ScanDouble(f, &v), 1); // "5." is a number; the x is not
  EXPECT_EQ(v, 5.0);
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
