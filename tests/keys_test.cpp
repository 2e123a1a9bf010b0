// The key table and the commands whose effects can really go wrong: frame
// steps at the ends, settings at their range ends, the shared threshold file
// and folder switching.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <numeric>
#include <tuple>

#include "contents/frame_table.h"
#include "player/frame_cache.h"
#include "player/keys.h"
#include "player/player.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

const std::string SCAN_START = "\n*** START CHECKING IMAGE FILES. WAIT A MOMENT! ***\n";
const std::string SCAN_END = "\n*** Finished. Thank you for waiting! ***\n\n\n";

// A folder change and its scan, with a line for each empty folder passed.
std::string Changed(const char *folder, int empty_folders = 0) {
  std::string text = std::string("\n* Changed Contents Folder to [ ") + folder + " ]\n\n" + SCAN_START;
  for (int i = 0; i < empty_folders; ++i)
    text += "---> Empty folder is specified!\n";
  return text + SCAN_END;
}

class Keys : public PlayerTest {
 protected:
  void Load(int frames) {
    std::vector<int> numbers(frames);
    std::iota(numbers.begin(), numbers.end(), 0);
    MakeFolder(1, numbers);
    ScanContents();
  }
  // Dispatches keys and returns what they printed.
  std::string Press(std::initializer_list<int> keys) {
    CapturedOut.clear();
    for (int k : keys)
      DispatchKey(k);
    return CapturedOut;
  }
};

TEST_F(Keys, TableBindsEachCodeOnceAndCodesWithoutACommandReplay) {
  EXPECT_TRUE(CheckKeyTable());
  auto nothing = [](int) {};
  const KeyCommand twice[] = {{'a', nothing, 0, nullptr}, {'a', nothing, 1, nullptr}};
  EXPECT_FALSE(CheckKeyTable(twice, 2));
  // No key, Enter, codes outside the table's range and unbound codes take a
  // replay step; the keys kept free do nothing at all.
  Load(50);
  Z.AutoReplayFlag = 1;
  EXPECT_EQ(Press({KEY_NONE, KEY_ENTER, 0x07, 0x7D, 'a', '@', 'b', '|'}), "");
  EXPECT_EQ(Z.frame_no, 5.0);
}

TEST_F(Keys, FrameStepsAndJumpsStopOrWrapAtTheEnds) {
  Load(30);
  Z.DISP_WEB_CAM_INFO = 2;
  const std::string up = "KEY FUNCTION : [x][ Increase frame_no ]\n";
  const std::string down = "KEY FUNCTION : [z][ Decrease frame_no ]\n";
  EXPECT_EQ(Press({'x', 'X', '\\', 'z', '/', 'Z'}), up + up + up + down + down + down);
  EXPECT_EQ(Z.frame_no, 0.0); // +1 +10 +10 -1 -10 -10
  EXPECT_EQ(Z.PlayDirection, 0);
  const int ends[][4] = {{4, 'Z', 0, 0}, {0, 'z', 0, 0}, {27, 'X', 0, 29}, {0, 'z', 1, 29}, {29, 'x', 1, 0}};
  for (const auto &c : ends) { // {from, key, wrap, to}
    Z.frame_no = c[0];
    Z.WrapFlag = c[2];
    Press({c[1]});
    EXPECT_EQ(Z.frame_no, c[3]) << char(c[1]) << " from " << c[0] << " wrap " << c[2];
  }
  // Shifted digits jump to tenths of MaxCount - 1, silently, the fraction kept.
  EXPECT_EQ(Press({'%'}), "");
  EXPECT_EQ(Z.frame_no, 14.5);
}

TEST_F(Keys, FrameKeysNeverIndexOutsideTheTable) {
  Load(3);
  for (int count : {0, 1}) {
    Z.MaxCount = count; // as a settings file may set it
    for (int key : {'j', '!', ')', 'x', 'X', 'z', 'Z', 'l', 'e'}) {
      Press({key});
      EXPECT_LE(IntegerPart(Z.frame_no), count > 0 ? count - 1 : 0) << char(key) << " count " << count;
      ASSERT_TRUE(PresentFrame());
    }
  }
  // Frame numbers that name no record are neither shown nor flipped.
  Z.MaxCount = 3;
  Recorded.shown.clear();
  for (double frame : {std::nan(""), 1e12, 2147483648.0, -3.0}) {
    Z.frame_no = frame;
    Press({'e'});
    EXPECT_TRUE(PresentFrame()) << frame;
  }
  EXPECT_TRUE(Recorded.shown.empty());
}

TEST_F(Keys, SettingKeysStopAtTheEndsOfTheirRangeAndRepeatTheirMessage) {
  const char *speeds[] = {"VERY  SLOW ]  ( x 0.1", "S  L  O  W ]  ( x 0.5", "N O R M A L ] ( x 1.0",
                          "F  A  S  T ]  ( x 3.0", "VERY  FAST ]  ( x 6.0"};
  auto speed = [&](int level) { return std::string("SET: REPLAY_SPEED = [ ") + speeds[level - 1] + " )\n"; };
  EXPECT_EQ(Press({'s', 's', 's'}), speed(4) + speed(5) + speed(5));
  EXPECT_EQ(Press({'S', 'S', 'S', 'S', 'S'}), speed(4) + speed(3) + speed(2) + speed(1) + speed(1));
  Z.DISP_WEB_CAM_INFO = 2;  // the speed keys have no KEY FUNCTION line
  Z.REPLAY_SPEED = INT_MAX; // from a settings file
  EXPECT_EQ(Press({'s'}), speed(5));
  Z.REPLAY_SPEED = INT_MIN;
  EXPECT_EQ(Press({'S'}), speed(1));
  for (int from : {1, 2, -7}) { // 1 alternates back; the others come from settings files
    Z.flip_mode = from;
    EXPECT_EQ(Press({'e'}), "KEY FUNCTION : [e][ Change Flip Mode ]\nSET: flip_mode = [ NORMAL ]\n") << from;
  }
}

TEST_F(Keys, ThresholdKeysStartFromTheSharedFileAndRewriteIt) {
  Z.DISP_WEB_CAM_INFO = 2;
  EXPECT_EQ(Press({'v'}), "KEY FUNCTION : [v][ Decrease ZEP_threshold ]\n"
                          "[ NG ] Read Failed : [ ZEP_THRESHOLD.dat ]\nSET: ZEP_threshold = [ 11452 ]\n");
  EXPECT_EQ(Z.DISP_WEB_CAM_INFO, 0);
  // {file, DiffStep, key, the value printed and written back}: never below 0,
  // held at the largest int, a step below 1 counts as 1, a step too coarse to
  // move it, and a file without a number leaves the value in memory.
  const std::tuple<const char *, int, int, const char *> cases[] = {
      {"11500\n", 4, 'V', "11548"}, {"30", 4, 'v', "0"},
      {"-500", 4, 'V', "0"},        {"99999999999", 4, 'V', "2147483647"},
      {"11500", 0, 'v', "10732"},   {"11500", INT_MAX, 'v', "11500"},
      {"fast", 4, 'V', "1048"}};
  for (auto [file, step, key, value] : cases) {
    Z.ZEP_threshold = 1000;
    Z.DiffStep = step;
    WriteText("ZEP_THRESHOLD.dat", file);
    EXPECT_EQ(Press({key}), std::string("SET: ZEP_threshold = [ ") + value + " ]\n") << file;
    EXPECT_EQ(ReadText("ZEP_THRESHOLD.dat"), value);
  }
  // A folder where the temporary beside the file cannot be made (a folder
  // stands in its place, which stops root too) keeps the change in memory.
  std::string temp = "ZEP_THRESHOLD.dat.tmp" + std::to_string(getpid());
  ASSERT_EQ(mkdir(temp.c_str(), 0755), 0);
  chmod(".", 0555);
  std::string out = Press({'V'});
  chmod(".", 0755);
  rmdir(temp.c_str());
  EXPECT_EQ(out, "SET: ZEP_threshold = [ 1096 ]\n[ NG ] Write Failed : [ ZEP_THRESHOLD.dat ]\n");
  EXPECT_EQ(Z.ZEP_threshold, 1096);
  EXPECT_EQ(ReadText("ZEP_THRESHOLD.dat"), "1048");
}

TEST_F(Keys, FolderKeysSwitchAndFallBackToTheNearestFolderWithFrames) {
  MakeFolder(3, {0, 1});
  Load(4);
  ASSERT_TRUE(PresentFrame());
  Z.DISP_WEB_CAM_INFO = 2; // the digits have no KEY FUNCTION line
  EXPECT_EQ(Press({'3'}), Changed("S003") + "Done.\n\n");
  EXPECT_EQ(Z.MaxCount, 2);
  EXPECT_EQ(Z.FrameCache[0], nullptr);
  EXPECT_EQ(Z.LastShownFrame, -999.0);
  EXPECT_EQ(Press({'0'}), Changed("S010", 7) + "Done.\n\n"); // S010 to S004 hold no frames
  EXPECT_EQ(Z.ContentsIndex, 2);
  Z.DISP_WEB_CAM_INFO = 0;
  for (int last : {CONTENTS_INDEX_MAX, 12000}) {
    Z.ContentsIndex = last;
    EXPECT_EQ(Press({'n'}), Changed("S001")) << last;
  }
  Z.DISP_WEB_CAM_INFO = 1;
  EXPECT_EQ(Press({'p'}), "KEY FUNCTION : [p][ Move to Previous Contents Folder ]\n" + Changed("S001"));
  // R from another folder opens S001 and picks up its new frames as r does.
  Press({'3'});
  MakeFolder(1, {4, 5});
  EXPECT_EQ(Press({'R'}),
            "\n* Changed Contents Folder to [ S001 ]\n\nKEY FUNCTION : [r][ Refresh Settings ]\n"
            "\n ---[ REFRESH SETTINGS AND RELOAD IMAGE FILES IN CONTENTS FOLDER ]---\n" +
                SCAN_START + SCAN_END + "Done.\n\n");
  EXPECT_EQ(Z.MaxCount, 6);
}

} // namespace
