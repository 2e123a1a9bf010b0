// Per-folder settings: which file is read, the values with their ranges, the
// additional-parameter report, the key-frame file; the number readers.
#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common/text_values.h"
#include "contents/folder_settings.h"
#include "state/state.h"
#include "tests/kb_writer.h"
#include "tests/support.h"

namespace {

using Settings = PlayerTest;

// A complete file, every value unlike its start value, with the given ones replaced.
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
  // digits after it; the additional parameters are cleared.
  ResetState();
  Z.flip_mode = 5;
  CapturedOut.clear();
  Load(FullValues({{6, "-"}, {7, "6"}}));
  EXPECT_EQ(AsDoubles(Z.frame_no, Z.VR_step, Z.TurnCount, Z.WrapFlag, Z.KeyFrameNumber[5], Z.flip_mode),
            AsDoubles(2.5, 1.0, 5, 0, 0.0, 0));
  EXPECT_EQ(CapturedOut, Finished);
}

// Rows: a value's place in the file, its text, the value then. Outside its range the previous value
// stays and the reading goes on; the ends of each range are taken; where any int is allowed, numbers
// beyond int hold at its ends. NaN stays as a key frame: nothing indexes with it.
TEST_F(Settings, ValuesOutsideTheirRangeKeepThePreviousValue) {
  // clang-format off
  const std::vector<std::tuple<int, const char *, double>> cases = {
      {0, "0", 4}, {0, "321", 4}, {0, "320", 320}, {1, "10000", 0}, {1, "-1", 0}, {1, "9999", 9999},
      {2, "22001", 0}, {2, "-1", 0}, {2, "22000", 22000}, {5, "7", 1}, {5, "-1", 1}, {6, "inf", 1},
      {6, "-nan", 1}, {16, "1280", 0}, {16, "-1", 0}, {16, "1279", 1279}, {3, "nan", 3}, {3, "2147483648", 3},
      {3, "-2147483647.5", -2147483647.5}, {4, "99999999999999999999", INT_MAX},
      {4, "-99999999999999999999", INT_MIN}};
  // clang-format on
  for (auto [at, text, want] : cases) {
    ResetState();
    Z.frame_no = 3.0;
    Load(FullValues({{at, text}}));
    const std::vector<double> values = AsDoubles(Z.DiffStep, Z.ContentsIndex, Z.MaxCount, Z.frame_no,
                                                 Z.VR_threshold, Z.PlayDirection, Z.VR_step, Z.KeyFrameIndex);
    EXPECT_EQ(values[at == 16 ? 7 : at], want) << text;
    EXPECT_EQ(Z.flip_mode, 2) << text;
  }
  Load(FullValues({{17, "NaN"}}));
  EXPECT_TRUE(std::isnan(Z.KeyFrameNumber[0]));
}

// The settings' second value moves to folder 5 without a rescan; its key-frame file is read.

TEST_F(Settings, KeyFrameFileReplacesTheKeyFrames) {
  MakeFolder(5, {});
  std::vector<int32_t> entries(1281, 0);
  entries[7] = 120;
  entries[3] = -5;
  entries[1280] = 77; // beyond the key frames: kept in PivotHistory only
  WriteKeyFrameFile(5, entries, "  4321\n");
  Z.FrameData[0].path[0] = 'x';
  Load(FullValues({{1, "4"}}), 1297);
  EXPECT_STREQ(Z.FrameData[0].path, "x");
  std::string expected = std::string(Finished) +
                         "\nFound a file [ qdx_config.dat ] in the Contents Folder...\n"
                         "\nNow, Importing [ ../S005/qdx_config.dat ]\n\n";
  for (int i = 0; i <= 10; ++i) {
    char line[64];
    snprintf(line, sizeof line, "PivotHistory[ %6d ] = [ %6d ]\n", i, entries[i]);
    expected += line;
  }
  EXPECT_EQ(CapturedOut, expected + "\nSET: KeyFrameNumber[ 7 ] = 120.000000.\n\nThat is all.\n"
                                    "Finished Importing [ ../S005/qdx_config.dat ]\n");
  // The settings file's 1.5 at entry 1 is replaced too.
  EXPECT_EQ(AsDoubles(Z.KeyFrameNumber[7], Z.KeyFrameNumber[3], Z.KeyFrameNumber[1], Z.PivotHistory[1280],
                      Z.PivotSpare),
            AsDoubles(120.0, -5.0, 0.0, 77, 4321));
  // A short file replaces only the values it holds whole, not the half of a fourth one.
  std::string bytes;
  for (int32_t v : {1, 2, 3})
    PutInt32(bytes, v);
  WriteText("../S005/qdx_config.dat", bytes + "\x07\x07");
  LoadFolderSettings();
  EXPECT_EQ(AsDoubles(Z.PivotHistory[2], Z.PivotHistory[3], Z.KeyFrameNumber[3], Z.PivotHistory[1280],
                      Z.PivotSpare),
            AsDoubles(3, -5, -5.0, 77, 4321));
}

// The readers underneath. ScanDouble where scanf users trip: a number ends where its
// text stops being one, "5." included; text that only begins like one is none, left
// unread. ParseDecimal: the whole text or nothing, the ends of long long exact.
TEST(TextReaders, NumbersAsScanfReadsThemAndDecimalsWholeOrNotAtAll) {
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

  long long n = 7;
  for (std::string digits : {"00012", "-5", "9223372036854775807", "-9223372036854775808"})
    EXPECT_TRUE(ParseDecimal(digits.data(), digits.size(), &n) && n == std::stoll(digits)) << digits;
  for (std::string bad : {"", "-", "+1", " 1", "1x", "9223372036854775808", "-9223372036854775809"})
    EXPECT_FALSE(ParseDecimal(bad.data(), bad.size(), &n)) << bad;
  EXPECT_EQ(n, LLONG_MIN);
}

} // namespace
