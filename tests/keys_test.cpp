// The key table, what explains each key, and the commands that can really go
// wrong: steps and speeds at their ends, the shared threshold file, folders.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <numeric>
#include <set>
#include <sstream>
#include <tuple>

#include "common/timing.h"
#include "console/banners.h"
#include "contents/frame_table.h"
#include "player/folders.h"
#include "player/frame_cache.h"
#include "player/keys.h"
#include "state/state.h"
#include "tests/support.h"
#include "tools/key_screen.h"

namespace {

class Keys : public PlayerTest {
 protected:
  void Load(int frames) {
    std::vector<int> numbers(frames);
    std::iota(numbers.begin(), numbers.end(), 0);
    MakeFolder(1, numbers);
    OpenContents();
  }
  std::string Press(std::initializer_list<int> keys) {
    CapturedOut.clear();
    for (int k : keys)
      DispatchKey(k);
    return CapturedOut;
  }
};

TEST_F(Keys, EachCodeIsBoundOnceAndEachKeyWithACommandIsExplainedByTheHelpAndTheKeyScreen) {
  std::vector<KeyCommand> twice(KeyTable, KeyTable + KEY_TABLE_SIZE);
  twice.push_back(twice[7]);
  EXPECT_FALSE(CheckKeyTable(twice.data(), twice.size()));
  // A key with a command has a help line (unless named as left out) and a screen row, a free key neither;
  // every line and row is some key's label, and a letter's label shows the letter.
  std::set<std::string> help, help_lines, screen, screen_rows;
  CapturedOut.clear();
  ShowHelp();
  std::istringstream text(CapturedOut);
  for (std::string line; std::getline(text, line);) // "     [ z, x ]  ..."
    if (line.rfind("     [", 0) == 0) help_lines.insert(line.substr(5, line.find(']') - 4));
  for (const auto &row : KeyScreenRows)
    screen_rows.insert(row[0]);
  for (const KeyCommand *row = KeyTable; row < KeyTable + KEY_TABLE_SIZE; ++row) {
    bool bound = row->handler != nullptr;
    EXPECT_EQ(row->help_label != nullptr, bound && strchr(KEYS_NOT_IN_HELP, row->code) == nullptr)
        << row->code;
    EXPECT_EQ(row->screen_label != nullptr, bound) << row->code;
    for (auto [label, named] : {std::pair(row->help_label, &help), std::pair(row->screen_label, &screen)})
      if (label != nullptr) {
        named->insert(label);
        if (isalpha(row->code)) EXPECT_NE(strchr(label, row->code), nullptr) << label;
      }
  }
  EXPECT_EQ(help, help_lines);
  EXPECT_EQ(screen, screen_rows);
}

TEST_F(Keys, CodesWithoutACommandReplayAtMost30FramesASecond) {
  // Enter (its help comes before the dispatch), no key, codes outside the table or unbound
  // take a replay step, reporting its frame's texts; keys kept free do nothing.
  Load(50);
  snprintf(Z.FrameData[1].http, PATH_FIELD, "see this");
  snprintf(Z.FrameData[1].file, PATH_FIELD, "extra.jpg");
  Z.AutoReplayFlag = 1;
  mark();
  double start = FakeNow;
  EXPECT_EQ(Press({KEY_ENTER, KEY_NONE, 0x07, 0x7D, 'a', '@', 'b', '|'}),
            "\nFrameData[     1 ].http[2] = [see this]\nFrameData[     1 ].file[3] = [extra.jpg]\n");
  EXPECT_EQ(Z.frame_no, 5.0);
  EXPECT_GE(FakeNow - start, 5 / 30.0);
  EXPECT_LT(FakeNow - start, 5 / 30.0 + 0.02);
}

TEST_F(Keys, FrameKeysStopOrWrapAtTheEndsAndNeverIndexOutsideTheTable) {
  Load(30);
  const int steps[][4] = {{0, 'x', 0, 1},  {1, 'X', 0, 11},  {11, '\\', 0, 21}, {27, 'X', 0, 29},
                          {29, 'x', 1, 0}, {21, 'z', 0, 20}, {20, '/', 0, 10},  {4, 'Z', 0, 0},
                          {0, 'z', 1, 29}, {0, 'z', 0, 0}};
  for (const auto &c : steps) { // {from, key, wrap, to}
    Z.frame_no = c[0];
    Z.WrapFlag = c[2];
    Press({c[1]});
    EXPECT_EQ(Z.frame_no, c[3]) << char(c[1]) << " from " << c[0] << " wrap " << c[2];
  }
  EXPECT_EQ(Z.PlayDirection, 0);
  // Shifted digits jump to tenths of MaxCount - 1, silently, the fraction kept.
  Z.DISP_WEB_CAM_INFO = 2;
  EXPECT_EQ(Press({'%'}), "");
  EXPECT_EQ(Z.frame_no, 14.5);
  for (int count : {0, 1}) {
    Z.MaxCount = count; // as a settings file may set it
    for (int key : {'j', '!', ')', 'x', 'X', 'z', 'Z', 'l', 'e'}) {
      Press({key});
      EXPECT_LE(IntegerPart(Z.frame_no), count > 0 ? count - 1 : 0) << char(key) << " count " << count;
      ASSERT_TRUE(PresentFrame());
    }
  }
  // Frame numbers that name no record are neither shown nor flipped.
  Z.MaxCount = 30;
  Recorded.shown.clear();
  for (double frame : {std::nan(""), 1e12, 2147483648.0, 30000.0, -3.0}) {
    Z.frame_no = frame;
    Press({'e'});
    EXPECT_TRUE(PresentFrame()) << frame;
  }
  EXPECT_TRUE(Recorded.shown.empty());
}

TEST_F(Keys, SettingKeysStopAtTheEndsOfTheirRangeAndTheThresholdGoesThroughTheSharedFile) {
  // {level, key, level after}: the ends hold, with their message again, and
  // levels from a settings file land on the nearer end.
  const int speeds[][3] = {{4, 's', 5}, {5, 's', 5},       {2, 'S', 1},
                           {1, 'S', 1}, {INT_MAX, 's', 5}, {INT_MIN, 'S', 1}};
  for (const auto &c : speeds) {
    Z.REPLAY_SPEED = c[0];
    Press({c[1]});
    EXPECT_EQ(Z.REPLAY_SPEED, c[2]) << c[0];
  }
  EXPECT_EQ(CapturedOut, "SET: REPLAY_SPEED = [ VERY  SLOW ]  ( x 0.1 )\n");
  // Thresholds start from the shared file and go back there.
  Z.DISP_WEB_CAM_INFO = 2;
  EXPECT_EQ(Press({'v'}), "KEY FUNCTION : [v][ Decrease ZEP_threshold ]\n"
                          "[ NG ] Read Failed : [ ZEP_THRESHOLD.dat ]\nSET: ZEP_threshold = [ 11452 ]\n");
  // {file, DiffStep, key, value printed and written}: v stops at 0, V adds to a negative
  // value, stops at INT_MAX; steps below 1 count as 1, huge ones move nothing; a file
  // without a number leaves the value in memory.
  const std::tuple<const char *, int, int, const char *> cases[] = {
      {"30\n", 4, 'v', "0"},      {"-500", 4, 'V', "-452"},         {"99999999999", 4, 'V', "2147483647"},
      {"11500", 0, 'v', "10732"}, {"11500", INT_MAX, 'v', "11500"}, {"fast", 4, 'V', "1048"}};
  for (auto [file, step, key, value] : cases) {
    Z.ZEP_threshold = 1000;
    Z.DiffStep = step;
    WriteText("ZEP_THRESHOLD.dat", file);
    EXPECT_EQ(Press({key}), std::string("SET: ZEP_threshold = [ ") + value + " ]\n") << file;
    EXPECT_EQ(ReadText("ZEP_THRESHOLD.dat"), value);
  }
  // No temporary beside the file (a folder in its place): the file keeps its value.
  std::string temp = "ZEP_THRESHOLD.dat.tmp" + std::to_string(getpid());
  ASSERT_EQ(mkdir(temp.c_str(), 0755), 0);
  std::string out = Press({'V'});
  rmdir(temp.c_str());
  EXPECT_EQ(out, "SET: ZEP_threshold = [ 1096 ]\n[ NG ] Write Failed : [ ZEP_THRESHOLD.dat ]\n");
  EXPECT_EQ(ReadText("ZEP_THRESHOLD.dat"), "1048");
}

TEST_F(Keys, FolderKeysSwitchWrapAndFallBackToTheNearestFolderWithFrames) {
  MakeFolder(3, {0, 1});
  Load(4);
  Press({'0'}); // S010 down to S004 hold no frames
  EXPECT_EQ(std::make_pair(Z.ContentsIndex, Z.MaxCount), std::make_pair(2, 2));
  // n goes from the last possible folder, or one beyond it, straight to S001.
  for (int last : {CONTENTS_INDEX_MAX, 12000}) {
    Z.ContentsIndex = last;
    Press({'n'});
    EXPECT_EQ(Z.ContentsIndex, 0) << last;
  }
  Z.DISP_WEB_CAM_INFO = 1;
  EXPECT_EQ(Press({'p'}), "KEY FUNCTION : [p][ Move to Previous Contents Folder ]\n"
                          "\n* Changed Contents Folder to [ S001 ]\n\n"
                          "\n*** START CHECKING IMAGE FILES. WAIT A MOMENT! ***\n"
                          "\n*** Finished. Thank you for waiting! ***\n\n\n");
  // R from another folder opens S001 and, with key r's line, picks up its new frames.
  Press({'3'});
  MakeFolder(1, {4, 5});
  EXPECT_NE(Press({'R'}).find("KEY FUNCTION : [r][ Refresh Settings ]\n"), std::string::npos);
  EXPECT_EQ(Z.MaxCount, 6);
}

} // namespace
