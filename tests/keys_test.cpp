// The key table: every row's effect and console text, by command family.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <numeric>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "contents/frame_table.h"
#include "platform/image_cv.h"
#include "player/frame_cache.h"
#include "player/keys.h"
#include "player/player.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

const std::string SCAN_START = "\n*** START CHECKING IMAGE FILES. WAIT A MOMENT! ***\n";
const std::string SCAN_END = "\n*** Finished. Thank you for waiting! ***\n\n\n";
const std::string EMPTY = "---> Empty folder is specified!\n";

// The opening of a folder change, up to the scan's first line.
std::string Changed(const char *folder) {
  return std::string("\n* Changed Contents Folder to [ ") + folder + " ]\n\n" + SCAN_START;
}

class Keys : public PlayerTest {
 protected:
  void Load(int frames, int folder = 1) {
    std::vector<int> numbers(frames);
    std::iota(numbers.begin(), numbers.end(), 0);
    MakeFolder(folder, numbers);
    Z.ContentsIndex = folder - 1;
    ScanContents();
    Recorded.events.clear();
    Recorded.shown.clear();
  }
  // Dispatches keys and returns what they printed.
  std::string Press(std::initializer_list<int> keys) {
    CapturedOut.clear();
    for (int k : keys)
      DispatchKey(k);
    return CapturedOut;
  }
};

TEST_F(Keys, TableBindsEveryCodeOnceWithinRange) {
  EXPECT_TRUE(CheckKeyTable());
  EXPECT_EQ(CapturedErr, "");
  auto nothing = [](int) {};
  const KeyCommand twice[] = {
      {'a', nothing, 0, nullptr}, {'b', nothing, 0, nullptr}, {'a', nothing, 1, nullptr}};
  EXPECT_FALSE(CheckKeyTable(twice, 3));
  EXPECT_EQ(CapturedErr, "ERROR: key code 0x61 is bound twice in the key table.\n");
  CapturedErr.clear();
  const KeyCommand unreachable[] = {{0x7D, nothing, 0, nullptr}};
  EXPECT_FALSE(CheckKeyTable(unreachable, 1));
  EXPECT_EQ(CapturedErr, "ERROR: key table row 0 (code 0x7D) can never run.\n");
}

TEST_F(Keys, UnboundCodesReplayAndFreeKeysDoNothing) {
  Load(50);
  Z.AutoReplayFlag = 1;
  // No key, Enter, codes outside 8..124 and unlisted codes take the no-command path.
  for (int code : std::initializer_list<int>{0xFF, KEY_ENTER, 0x00, 0x07, 0x7D, 0x80, 0xFE, 'a', 'A', 'w',
                                             '~', '+', 0x0A}) {
    double before = Z.frame_no;
    EXPECT_EQ(Press({code}), "") << code;
    EXPECT_EQ(Z.frame_no, before + 1) << "code " << code;
  }
  // Keys kept free do nothing at all, not even the replay step.
  double before = Z.frame_no;
  EXPECT_EQ(Press({'@', 'G', 'M', 'T', 'Y', '[', ']', 'b', 'f', 'g', 'h', 'k', 'm', 't', 'y', '|'}), "");
  EXPECT_EQ(Z.frame_no, before);
  EXPECT_TRUE(Recorded.events.empty());
}

TEST_F(Keys, FrameStepsAndJumps) {
  Load(30);
  Z.DISP_WEB_CAM_INFO = 2;
  const std::string up = "KEY FUNCTION : [x][ Increase frame_no ]\n";
  const std::string down = "KEY FUNCTION : [z][ Decrease frame_no ]\n";
  // +1 +1 +10 +10 -1 -10 -10
  EXPECT_EQ(Press({'x', 'x', 'X', '\\', 'z', 'Z', '/'}), up + up + up + up + down + down + down);
  EXPECT_EQ(Z.frame_no, 1.0);
  EXPECT_EQ(Z.PlayDirection, 0);
  // The ends: Z at 4 and z at 0 stop at 0, X at 27 stops at 29; with WrapFlag z at 0 goes to 29.
  Z.frame_no = 4.0;
  Press({'Z', 'z'});
  EXPECT_EQ(Z.frame_no, 0.0);
  Z.frame_no = 27.0;
  Press({'X'});
  EXPECT_EQ(Z.frame_no, 29.0);
  Z.WrapFlag = 1;
  Press({'X', 'z'});
  EXPECT_EQ(Z.frame_no, 29.0);
  // Shifted digits: tenths of MaxCount - 1, the fraction kept; no message.
  const char shifted[] = "!\"#$%&'()";
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(Press({shifted[i]}), "");
    EXPECT_EQ(Z.frame_no, 29 * ((i + 1) / 10.0)) << shifted[i];
  }
  Load(11, 2);
  for (int i = 0; i < 9; ++i) {
    Press({shifted[i]});
    EXPECT_EQ(IntegerPart(Z.frame_no), i + 1) << shifted[i]; // 10 x 0.3 is not below 3
  }
  // Shift+5 jumps within the folder, 5 opens S005.
  MakeFolder(5, {0, 1, 2});
  Press({'%'});
  EXPECT_EQ(Z.frame_no, 5.0);
  Press({'5'});
  EXPECT_EQ(Z.ContentsIndex, 4);
  EXPECT_EQ(Z.MaxCount, 3);
}

TEST_F(Keys, FrameKeysStayInsideAnEmptyOrOneFrameTable) {
  Load(3);
  for (int count : {0, 1}) {
    Z.MaxCount = count; // as a settings file may set it
    Z.DISP_WEB_CAM_INFO = 0;
    for (int key : std::initializer_list<int>{'j', '!', '%', ')', 'x', 'X', 'z', 'Z', 'l', 'e', 'j'}) {
      Press({key});
      EXPECT_LE(IntegerPart(Z.frame_no), count > 0 ? count - 1 : 0)
          << "key " << char(key) << " count " << count;
      ASSERT_TRUE(PresentFrame());
    }
  }
  Load(1, 2);
  Press({'j', ')'});
  EXPECT_EQ(Z.frame_no, 0.0);
}

TEST_F(Keys, SettingKeysStopAtTheEndsOfTheirRangeAndRepeatTheirMessage) {
  const char *speeds[] = {"",
                          "VERY  SLOW ]  ( x 0.1",
                          "S  L  O  W ]  ( x 0.5",
                          "N O R M A L ] ( x 1.0",
                          "F  A  S  T ]  ( x 3.0",
                          "VERY  FAST ]  ( x 6.0"};
  auto speed = [&](int level) { return std::string("SET: REPLAY_SPEED = [ ") + speeds[level] + " )\n"; };
  EXPECT_EQ(Press({'s', 's', 's', 's', 's', 's'}),
            speed(4) + speed(5) + speed(5) + speed(5) + speed(5) + speed(5));
  EXPECT_EQ(Z.REPLAY_SPEED, 5);
  EXPECT_EQ(Press({'S', 'S', 'S', 'S', 'S'}), speed(4) + speed(3) + speed(2) + speed(1) + speed(1));
  Z.DISP_WEB_CAM_INFO = 2;  // the speed keys have no KEY FUNCTION line
  Z.REPLAY_SPEED = INT_MAX; // from a settings file
  EXPECT_EQ(Press({'s'}), speed(5));
  Z.REPLAY_SPEED = INT_MIN;
  EXPECT_EQ(Press({'S'}), speed(1));
  // The display level key leaves the status line alone.
  struct Case {
    int before, after;
    const char *text;
  } cases[] = {{0, 2, "SET: DISP_WEB_CAM_INFO = [ ENABLED ]\n"},
               {2, 0, "SET: DISP_WEB_CAM_INFO = [ DISABLED ]\n"},
               {-1, 0, "SET: DISP_WEB_CAM_INFO = [ DISABLED ]\n"},
               {1, 1, ""}};
  for (const Case &c : cases) {
    Z.DISP_WEB_CAM_INFO = c.before;
    EXPECT_EQ(Press({'i'}), c.text) << c.before;
    EXPECT_EQ(Z.DISP_WEB_CAM_INFO, c.after);
  }
}

TEST_F(Keys, FlipModeAlternatesAndShowsTheFrameMirroredAtOnce) {
  MakeFolder(1, {});
  cv::Mat m(40, 60, CV_8UC3, cv::Scalar(0, 0, 0));
  m(cv::Rect(0, 0, 20, 40)).setTo(cv::Scalar(255, 255, 255)); // white left third
  ASSERT_TRUE(cv::imwrite("../S001/clip_00000.jpg", m));
  ScanContents();
  ASSERT_TRUE(PresentFrame());
  Recorded.shown.clear();
  Z.DISP_WEB_CAM_INFO = 2;
  EXPECT_EQ(Press({'e'}),
            "KEY FUNCTION : [e][ Change Flip Mode ]\nSET: flip_mode = [ LEFT-RIGHT REVERSE ]\n");
  ASSERT_EQ(Recorded.shown.size(), 1u);
  EXPECT_GT(Recorded.shown[0].image.at<cv::Vec3b>(20, 50)[0], 200); // now on the right
  Z.DISP_WEB_CAM_INFO = 0;
  for (int stray : {1, 2, -7, INT_MAX}) {
    Z.flip_mode = stray;
    EXPECT_EQ(Press({'e'}), "SET: flip_mode = [ NORMAL ]\n") << stray;
    EXPECT_EQ(Z.flip_mode, 0);
  }
  // Nothing to show when the frame is not in the cache or not in the table.
  EmptyFrameCache();
  Recorded.shown.clear();
  for (double frame : {0.0, 1e12, -3.0}) {
    Z.frame_no = frame;
    Press({'e'});
  }
  EXPECT_TRUE(Recorded.shown.empty());
}

TEST_F(Keys, BackspaceTwiceRestoresTheWindowModeAndShowsTheFrameAgain) {
  Load(3);
  Recorded.keys = {0xFF};
  ASSERT_TRUE(RunPass());
  CapturedOut.clear();
  Recorded.events.clear();
  Recorded.shown.clear();
  Z.DISP_WEB_CAM_INFO = -1;
  Recorded.keys = {KEY_BACKSPACE, 0xFF, KEY_BACKSPACE, 0xFF};
  for (int pass = 0; pass < 4; ++pass)
    ASSERT_TRUE(RunPass());
  EXPECT_EQ(CapturedOut, "SET: 画像表示用ウィンドウサイズ = [ 自動変更 ]\n"
                         "SET: 画像表示用ウィンドウサイズ = [ 手動変更 ]\n");
  std::vector<std::string> expected = {
      "wait 1", "destroy ORVANTIS  Ver.1.2", "create ORVANTIS  Ver.1.2 autosize", "wait 1",
      "wait 1", "destroy ORVANTIS  Ver.1.2", "create ORVANTIS  Ver.1.2 normal",   "wait 1"};
  EXPECT_EQ(Recorded.events, expected);
  EXPECT_EQ(Recorded.shown.size(), 2u); // once into each new window
  EXPECT_EQ(Z.VARIABLE_SIZE_FLAG, 0);
  Z.DISP_WEB_CAM_INFO = 1;
  EXPECT_EQ(Press({KEY_BACKSPACE}).substr(0, 50), "KEY FUNCTION : [BS][ Toggle VARIABLE_SIZE_FLAG ]\nS");
}

// --- The shared threshold ---

TEST_F(Keys, ThresholdKeysStartFromTheSharedFileAndRewriteIt) {
  struct Case {
    const char *file; // null: no file
    int diff_step, key;
    const char *value;
  } cases[] = {
      {"30", 4, 'v', "0"}, // not -18
      {"11500\n", 4, 'V', "11548"},
      {"11500", 3, 'V', "11585"},       // 85 with DiffStep 3
      {"11500", 0, 'v', "10732"},       // a step below 1 counts as 1: 768
      {"11500", INT_MAX, 'v', "11500"}, // no overflow, a step of 0
      {nullptr, 4, 'v', "952"},         // missing: from the value in memory (1000)
      {"", 4, 'V', "1048"},             // empty, text: likewise
      {"fast", 4, 'v', "952"},
      {"-500", 4, 'V', "0"},                 // negative: never below 0
      {"99999999999", 4, 'V', "2147483647"}, // beyond int: held at the largest
      {"99999999999", 4, 'v', "2147483599"},
  };
  for (const Case &c : cases) {
    Z.ZEP_threshold = 1000;
    Z.DiffStep = c.diff_step;
    Z.DISP_WEB_CAM_INFO = 2;
    unlink("ZEP_THRESHOLD.dat");
    if (c.file != nullptr) WriteText("ZEP_THRESHOLD.dat", c.file);
    std::string expected = c.key == 'v' ? "KEY FUNCTION : [v][ Decrease ZEP_threshold ]\n"
                                        : "KEY FUNCTION : [V][ Increase ZEP_threshold ]\n";
    if (c.file == nullptr) expected += "[ NG ] Read Failed : [ ZEP_THRESHOLD.dat ]\n";
    expected += std::string("SET: ZEP_threshold = [ ") + c.value + " ]\n";
    EXPECT_EQ(Press({c.key}), expected) << (c.file ? c.file : "no file");
    EXPECT_EQ(ReadText("ZEP_THRESHOLD.dat"), c.value); // "%d", no line end
    EXPECT_EQ(Z.DISP_WEB_CAM_INFO, 0);
  }
}

TEST_F(Keys, UnwritableFolderKeepsTheChangeInMemoryOnly) {
  Load(2);
  WriteText("ZEP_THRESHOLD.dat", "500");
  // The new value goes through a temporary beside the file; a folder where
  // it cannot be made is a folder we cannot write (also for root).
  std::string temp = "ZEP_THRESHOLD.dat.tmp" + std::to_string(getpid());
  ASSERT_EQ(mkdir(temp.c_str(), 0755), 0);
  chmod(".", 0555);
  Z.DISP_WEB_CAM_INFO = 2;
  std::string out = Press({'V'});
  chmod(".", 0755);
  EXPECT_EQ(out, "KEY FUNCTION : [V][ Increase ZEP_threshold ]\n"
                 "SET: ZEP_threshold = [ 548 ]\n"
                 "[ NG ] Write Failed : [ ZEP_THRESHOLD.dat ]\n");
  EXPECT_EQ(Z.ZEP_threshold, 548);
  EXPECT_EQ(Z.DISP_WEB_CAM_INFO, 0);
  EXPECT_EQ(ReadText("ZEP_THRESHOLD.dat"), "500");
  ReloadThreshold(); // the next pass
  EXPECT_EQ(Z.VR_threshold, 500);
  rmdir(temp.c_str());
}

// --- Contents folders ---

TEST_F(Keys, DigitKeysSwitchFolderAndFallBackBelowAMissingOne) {
  MakeFolder(3, {0, 1});
  Load(4);
  Z.DISP_WEB_CAM_INFO = 2; // the digits have no KEY FUNCTION line
  EXPECT_EQ(Press({'3'}), Changed("S003") + SCAN_END + "Done.\n\n");
  EXPECT_EQ(Z.ContentsIndex, 2);
  EXPECT_EQ(Z.MaxCount, 2);
  EXPECT_EQ(Z.LastShownFrame, -999.0);
  // 0 is S010; without it the scan walks down to S003.
  EXPECT_EQ(Press({'0'}),
            Changed("S010") + EMPTY + EMPTY + EMPTY + EMPTY + EMPTY + EMPTY + EMPTY + SCAN_END + "Done.\n\n");
  EXPECT_EQ(Z.ContentsIndex, 2);
  EXPECT_EQ(Recorded.events.back(), "create ORVANTIS  Ver.1.2 normal");
}

TEST_F(Keys, NextPreviousRefreshAndFirstFolderKeys) {
  Load(2);
  ASSERT_TRUE(PresentFrame());
  Z.DISP_WEB_CAM_INFO = 1;
  // p on S001 stays and reloads it; the cache is emptied first.
  EXPECT_EQ(Press({'p'}),
            "KEY FUNCTION : [p][ Move to Previous Contents Folder ]\n" + Changed("S001") + SCAN_END);
  EXPECT_EQ(Z.FrameCache[0], nullptr);
  EXPECT_EQ(Z.ContentsIndex, 0);
  EXPECT_EQ(Z.LastShownFrame, -999.0);
  // n on the last folder with frames: the scan brings it back; past the last index, S001.
  Z.DISP_WEB_CAM_INFO = 0;
  EXPECT_EQ(Press({'n'}), Changed("S002") + EMPTY + SCAN_END);
  EXPECT_EQ(Z.ContentsIndex, 0);
  Z.ContentsIndex = CONTENTS_INDEX_MAX;
  EXPECT_EQ(Press({'n'}), Changed("S001") + SCAN_END);
  MakeFolder(2, {0});
  Press({'n'});
  EXPECT_EQ(Z.MaxCount, 1);
  MakeFolder(2, {1, 2}); // new frames appear in the open folder
  const std::string refresh = "\n ---[ REFRESH SETTINGS AND RELOAD IMAGE FILES IN CONTENTS FOLDER ]---\n";
  EXPECT_EQ(Press({'r'}), refresh + SCAN_START + SCAN_END + "Done.\n\n");
  EXPECT_EQ(Z.MaxCount, 3);
  Z.DISP_WEB_CAM_INFO = 2;
  EXPECT_EQ(Press({'R'}),
            "\n* Changed Contents Folder to [ S001 ]\n\nKEY FUNCTION : [r][ Refresh Settings ]\n" + refresh +
                SCAN_START + SCAN_END + "Done.\n\n");
  EXPECT_EQ(Z.ContentsIndex, 0);
  EXPECT_EQ(Z.MaxCount, 2);
}

// --- Routing to the pause, the listing and the camera ---

TEST_F(Keys, PauseCameraAndListingKeysReachTheirOwners) {
  Load(3);
  Z.frame_no = 1.0;
  Z.AutoReplayFlag = 1;
  // In the pause only Enter and ESC act.
  Recorded.keys = {'x', 'n', KEY_TAB, '5', KEY_ENTER};
  Press({KEY_ESC});
  EXPECT_EQ(Z.frame_no, 1.0);
  EXPECT_EQ(Z.ContentsIndex, 0);
  EXPECT_EQ(Z.AutoReplayFlag, 1);
  EXPECT_EQ(Z.PlayerEnding, 0);
  // The camera key's line comes from the table; the listing prints its own.
  Z.DISP_WEB_CAM_INFO = 2;
  EXPECT_EQ(Press({'q'}).substr(0, 44), "KEY FUNCTION : [q][ CAMERA ON/OFF CONTROL ]\n");
  Z.frame_no = 1.0;
  Press({' '});
  EXPECT_NE(Z.frame_no, 2.0); // no replay step
  Recorded.keys = {'q', KEY_ESC};
  Press({KEY_ESC});
  EXPECT_EQ(Z.PlayerEnding, 1);
}

} // namespace
