// Per-folder settings: which file is read, the values with their ranges, the
// additional-parameter report, the key-frame file, and the number reader.
#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "common/text_values.h"
#include "contents/folder_settings.h"
#include "state/state.h"
#include "tests/kb_writer.h"
#include "tests/support.h"

namespace {

using Settings = PlayerTest;

// A complete file: every value distinct from its start value, with the
// given values replaced.
std::vector<std::string> FullValues(const std::vector<std::pair<int, const char *>> &changes = {}) {
  std::vector<std::string> v = {"3", "0",  "4",    "2.5", "7000", "0", "0.5", "9", "8",
                                "1", "77", "5000", "1",   "1",    "1", "3",   "12"};
  for (int i = 0; i < KEYFRAME_NUM; ++i)
    v.push_back(std::to_string(i * 1.5));
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

template <typename... T> std::vector<double> AsDoubles(T... values) {
  return {static_cast<double>(values)...};
}

const char *const Finished = "Finished Reading ZEP Parameters from File : zep_env.dat\n";

TEST_F(Settings, OwnFileBeforeCommonFileWithEveryValueInItsPlace) {
  WriteText("zep_env0003.dat", SettingsText(FullValues(), 1297));
  WriteText("zep_env.dat", "7 1");
  Z.ContentsIndex = 2;
  Z.StartFrameNum = Z.EndFrameNum = Z.MouseReverseFlag = Z.MouseVertFlag = Z.flip_mode = 5;
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
  EXPECT_EQ(AsDoubles(Z.DiffStep, Z.ContentsIndex), AsDoubles(7, 1));
  EXPECT_EQ(CapturedOut, Finished);
}

TEST_F(Settings, TheReadingStopsAtTextOrTheEndAndTheReportSaysWhere) {
  // Three additional parameters: the last two keep their old values and say -1.
  const std::string head = "\nLOADING Additional Parameters...\n\nSET(1): StartFrameNum = 10\n";
  Z.MouseVertFlag = 6;
  Z.flip_mode = 1;
  Load(FullValues(), 1300);
  EXPECT_EQ(CapturedOut, head +
                             "SET(1): EndFrameNum   = 20\nSET(1): MouseReverseFlag = 1\n"
                             "SET(-1): MouseVertFlag    = 6\nSET(-1): flip_mode = 1\n" +
                             Finished);
  // A sign without digits as VR_step: nothing after it is read, not even the
  // number right after the sign, and the additional parameters are cleared.
  ResetState();
  Z.flip_mode = 5;
  CapturedOut.clear();
  Load(FullValues({{6, "-"}, {7, "6"}}));
  EXPECT_EQ(AsDoubles(Z.frame_no, Z.VR_step, Z.TurnCount, Z.WrapFlag, Z.KeyFrameNumber[5], Z.flip_mode),
            AsDoubles(2.5, 1.0, 5, 0, 0.0, 0));
  EXPECT_EQ(CapturedOut, Finished);
}

TEST_F(Settings, ValuesOutsideTheirRangeKeepThePreviousValue) {
  // DiffStep, ContentsIndex, MaxCount, frame_no, PlayDirection, VR_step, KeyFrameIndex
  const int at[] = {0, 1, 2, 3, 5, 6, 16};
  const std::vector<std::vector<const char *>> cases = {
      {"0", "10000", "22001", "nan", "7", "inf", "1280"},
      {"321", "-1", "-1", "2147483648", "-1", "-nan", "-1"},
  };
  for (const auto &bad : cases) {
    ResetState();
    Z.frame_no = 3.0;
    std::vector<std::pair<int, const char *>> changes;
    for (size_t i = 0; i < bad.size(); ++i)
      changes.emplace_back(at[i], bad[i]);
    Load(FullValues(changes));
    EXPECT_EQ(AsDoubles(Z.DiffStep, Z.ContentsIndex, Z.MaxCount, Z.frame_no, Z.PlayDirection, Z.VR_step,
                        Z.KeyFrameIndex),
              AsDoubles(4, 0, 0, 3.0, 1, 1.0, 0))
        << bad[0];
    EXPECT_EQ(Z.flip_mode, 2); // the value was read all the same: the reading goes on
  }
  // The ends of each range are taken; where any int is allowed, numbers
  // beyond int hold at its ends. NaN stays as a key frame: nothing indexes with it.
  Load(FullValues({{0, "320"},
                   {1, "9999"},
                   {2, "22000"},
                   {3, "-2147483647.5"},
                   {4, "99999999999999999999"},
                   {16, "1279"},
                   {17, "NaN"}}));
  EXPECT_EQ(AsDoubles(Z.DiffStep, Z.ContentsIndex, Z.MaxCount, Z.frame_no, Z.VR_threshold, Z.KeyFrameIndex),
            AsDoubles(320, 9999, 22000, -2147483647.5, INT_MAX, 1279));
  EXPECT_TRUE(std::isnan(Z.KeyFrameNumber[0]));
  Load(FullValues({{4, "-99999999999999999999"}}));
  EXPECT_EQ(Z.VR_threshold, INT_MIN);
}

TEST_F(Settings, SecondValueMovesTheFolderWithoutARescan) {
  MakeFolder(5, {});
  WriteKeyFrameFile(5, {0, 9}, "1");
  Z.FrameData[0].path[0] = 'x';
  Load(FullValues({{1, "4"}, {2, "30"}}), 1297);
  EXPECT_EQ(AsDoubles(Z.ContentsIndex, Z.MaxCount, Z.KeyFrameNumber[1]), AsDoubles(4, 30, 9.0));
  EXPECT_STREQ(Z.FrameData[0].path, "x");
  EXPECT_NE(CapturedOut.find("\nNow, Importing [ ../S005/qdx_config.dat ]\n"), std::string::npos);
}

TEST_F(Settings, KeyFrameFileReplacesTheKeyFrames) {
  MakeFolder(1, {});
  std::vector<int32_t> entries(1281, 0);
  entries[7] = 120;
  entries[3] = -5;
  entries[1280] = 77; // beyond the key frames: kept in PivotHistory only
  WriteKeyFrameFile(1, entries, "  4321\n");
  Load(FullValues(), 1297);
  std::string expected = std::string(Finished) +
                         "\nFound a file [ qdx_config.dat ] in the Contents Folder...\n"
                         "\nNow, Importing [ ../S001/qdx_config.dat ]\n\n";
  for (int i = 0; i <= 10; ++i) {
    char line[64];
    snprintf(line, sizeof line, "PivotHistory[ %6d ] = [ %6d ]\n", i, entries[i]);
    expected += line;
  }
  EXPECT_EQ(CapturedOut, expected + "\nSET: KeyFrameNumber[ 7 ] = 120.000000.\n\nThat is all.\n"
                                    "Finished Importing [ ../S001/qdx_config.dat ]\n");
  // The settings file's 1.5 at entry 1 is replaced too.
  EXPECT_EQ(AsDoubles(Z.KeyFrameNumber[7], Z.KeyFrameNumber[3], Z.KeyFrameNumber[1], Z.PivotHistory[1280],
                      Z.PivotSpare),
            AsDoubles(120.0, -5.0, 0.0, 77, 4321));
}

TEST_F(Settings, ShortKeyFrameFileReplacesOnlyWholeValues) {
  MakeFolder(1, {});
  Z.PivotHistory[3] = Z.PivotHistory[PIVOT_NUM - 1] = -1;
  Z.PivotSpare = 99;
  std::string bytes;
  for (int32_t v : {1, 2, 3})
    PutInt32(bytes, v);
  WriteText("../S001/qdx_config.dat", bytes + "\x07\x07"); // half of a fourth value
  LoadFolderSettings();
  EXPECT_EQ(AsDoubles(Z.PivotHistory[2], Z.PivotHistory[3], Z.KeyFrameNumber[3],
                      Z.PivotHistory[PIVOT_NUM - 1], Z.PivotSpare),
            AsDoubles(3, -1, -1.0, -1, 99));
}

// The number reader underneath, on the cases scanf users trip over: a
// number ends where its text stops being one, "5." included; text that only
// begins like a number is none, and is left unread.
TEST(ScanDouble, ReadsWhatScanfReadsAndLeavesTheRest) {
  char text[] = " 1.5e3\t-.25 +7 INFINITY -inf nan(x1) 1e999 -1e-999 5.x";
  FILE *f = fmemopen(text, sizeof text - 1, "r");
  ASSERT_NE(f, nullptr);
  double v = 0;
  for (double want : {1500.0, -0.25, 7.0, HUGE_VAL, -HUGE_VAL, std::nan(""), HUGE_VAL, 0.0, 5.0}) {
    ASSERT_EQ(ScanDouble(f, &v), 1) << want;
    EXPECT_TRUE(v == want || (std::isnan(want) && std::isnan(v))) << want << " " << v;
  }
  fclose(f);
  for (std::string broken : {"x", "-", ".", "1e", "-.e5", "infin", "nan(1"}) {
    broken += " 7";
    f = fmemopen(&broken[0], broken.size(), "r");
    EXPECT_EQ(ScanDouble(f, &v), 0) << broken;
    EXPECT_EQ(fgetc(f), broken[0]) << broken;
    fclose(f);
  }
}

// The decimal reader under every name and short text: the whole text or
// nothing, and the ends of long long exact.
TEST(ParseDecimal, TakesWholeDecimalTextsOnly) {
  long long v = 7;
  for (auto [text, want] :
       std::vector<std::pair<std::string, long long>>{{"0", 0},
                                                      {"00012", 12},
                                                      {"-5", -5},
                                                      {"9223372036854775807", LLONG_MAX},
                                                      {"-9223372036854775808", LLONG_MIN}}) {
    ASSERT_TRUE(ParseDecimal(text.data(), text.size(), &v)) << text;
    EXPECT_EQ(v, want) << text;
  }
  for (std::string bad : {"", "-", "+1", " 1", "1 ", "1x", "9223372036854775808", "-9223372036854775809"})
    EXPECT_FALSE(ParseDecimal(bad.data(), bad.size(), &v)) << bad;
  EXPECT_EQ(v, LLONG_MIN);
}

} // namespace
