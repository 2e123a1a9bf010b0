// The main loop: presentation, the bounded cache, replay steps, pacing, pause.
#include <numeric>

#include "app/timing.h"
#include "contents/frame_table.h"
#include "platform/image_cv.h"
#include "player/frame_cache.h"
#include "player/keys.h"
#include "player/player.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

class PlayerLoop : public PlayerTest {
 protected:
  void Load(int frames, int width = 64, int height = 48) {
    std::vector<int> numbers(frames);
    std::iota(numbers.begin(), numbers.end(), 0);
    MakeFolder(1, numbers, width, height);
    ScanContents();
    CapturedOut.clear();
    Recorded.events.clear();
  }
  // Counts cached frames, checking the flags agree with the cache.
  int LoadedCount() {
    int n = 0;
    for (int i = 0; i < MAX_FRAMES; ++i) {
      EXPECT_EQ(Z.FrameData[i].loaded != 0, Z.FrameCache[i] != nullptr) << "frame " << i;
      n += Z.FrameData[i].loaded != 0;
    }
    return n;
  }
};

TEST_F(PlayerLoop, ShowsTheFrameMarkedAndMirroredAndWaitsOnceWhenUnchanged) {
  Load(4, 80, 60);
  Z.frame_no = 2.0;
  ASSERT_TRUE(PresentFrame());
  ASSERT_EQ(Recorded.shown.size(), 1u);
  // x = 2 * 80 / 4 = 40: a 10-wide green bar over the bottom rows with a paler
  // core; the frame's own colour (within JPEG rounding) around it.
  const cv::Mat shown = Recorded.shown[0].image;
  EXPECT_EQ(shown.at<cv::Vec3b>(59, 40), cv::Vec3b(200, 255, 200));
  EXPECT_EQ(shown.at<cv::Vec3b>(57, 36), cv::Vec3b(0, 255, 0));
  EXPECT_EQ(shown.at<cv::Vec3b>(57, 44), cv::Vec3b(0, 255, 0));
  for (cv::Point p : {cv::Point(30, 59), cv::Point(40, 45)})
    EXPECT_LE(cv::norm(cv::Scalar(shown.at<cv::Vec3b>(p)) - FrameColour(2), cv::NORM_INF), 6) << p;
  // The same frame again: not shown again, one wait at the tenth pass.
  for (int pass = 1; pass <= 15; ++pass)
    ASSERT_TRUE(PresentFrame());
  EXPECT_EQ(Recorded.events, std::vector<std::string>{"wait 1"});
  EXPECT_EQ(Recorded.shown.size(), 1u);
  // Modes 1 and 2 mirror what is shown, any other shows it as it is; the
  // cached image keeps its orientation.
  for (int mode : {1, 2, 7}) {
    Z.flip_mode = mode;
    Z.LastShownFrame = -1.0;
    ASSERT_TRUE(PresentFrame());
    cv::Mat want = shown.clone();
    if (mode != 7) cv::flip(shown, want, mode == 1 ? 1 : 0);
    EXPECT_EQ(cv::norm(Recorded.shown.back().image, want, cv::NORM_INF), 0.0) << "mode " << mode;
  }
  EXPECT_EQ(cv::norm(Z.FrameCache[2]->mat, shown, cv::NORM_INF), 0.0);
}

TEST_F(PlayerLoop, CacheStaysWithinCamOnMemory) {
  Load(6);
  for (int memory : {1, 3}) {
    EmptyFrameCache();
    Z.CamOnMemory = memory;
    for (int f = 0; f < 6; ++f) {
      Z.frame_no = f;
      ASSERT_TRUE(PresentFrame());
      int loaded = LoadedCount();
      EXPECT_TRUE(loaded >= 1 && loaded <= memory) << loaded << " frames cached, " << memory << " allowed";
    }
  }
}

TEST_F(PlayerLoop, AutomaticReplayIsPacedAndStopsOrWrapsAtTheEndReportingAttachedTexts) {
  Load(3);
  snprintf(Z.FrameData[1].http, PATH_FIELD, "see this");
  snprintf(Z.FrameData[1].file, PATH_FIELD, "extra.jpg");
  Z.AutoReplayFlag = 1;
  mark();
  double start = FakeNow;
  NoCommandPath();
  EXPECT_EQ(Z.frame_no, 1.0);
  EXPECT_GE(FakeNow - start, 1.0 / 30.0); // at most 30 steps per second
  EXPECT_LT(FakeNow - start, 1.0 / 30.0 + 0.01);
  EXPECT_EQ(CapturedOut,
            "\nFrameData[     1 ].http[2] = [see this]\nFrameData[     1 ].file[3] = [extra.jpg]\n");
  NoCommandPath();
  NoCommandPath();
  EXPECT_EQ(Z.frame_no, 2.0);
  Z.WrapFlag = 1;
  NoCommandPath();
  EXPECT_EQ(Z.frame_no, 0.0);
  Z.AutoReplayFlag = 0;
  NoCommandPath();
  EXPECT_EQ(Z.frame_no, 0.0);
}

TEST_F(PlayerLoop, PauseIgnoresAllButEnterAndEscAndShowsTheFrameAgainFromDisk) {
  Load(4);
  Z.frame_no = 1.0;
  Z.AutoReplayFlag = 1;
  Recorded.keys = {KEY_NONE, KEY_ESC, 'x', 'n', KEY_TAB, '5', KEY_ENTER, KEY_NONE, KEY_ESC, KEY_ESC};
  ASSERT_TRUE(RunPass()); // frame 1 shown, replay to 2
  ASSERT_TRUE(RunPass()); // frame 2 shown; ESC: the pause until Enter
  EXPECT_EQ(LoadedCount(), 0);
  EXPECT_EQ(Z.frame_no, 2.0);
  EXPECT_EQ(Z.AutoReplayFlag, 1);
  EXPECT_NE(CapturedOut.find(" O      O   O   OOO   OOOO   OOOOO  O \n\n"), std::string::npos);
  EXPECT_NE(CapturedOut.find("  OOO    OOOO    O \n\n"), std::string::npos);
  Z.AutoReplayFlag = 0;
  ASSERT_TRUE(RunPass()); // the same frame, shown again from disk
  EXPECT_EQ(Recorded.shown.size(), 3u);
  EXPECT_FALSE(RunPass()); // ESC, ESC: the end
  EXPECT_EQ(Z.PlayerEnding, 1);
  EXPECT_NE(CapturedOut.find("OOO O     O \n\n"), std::string::npos);
}

TEST_F(PlayerLoop, StatusLinesFollowTheDisplayLevelAndTheThresholdFileIsReadEveryPass) {
  Load(3);
  Z.DISP_WEB_CAM_INFO = 1;
  Z.f_rate = 12.5;
  WriteText("ZEP_THRESHOLD.dat", "4321");
  ASSERT_TRUE(RunPass());
  EXPECT_EQ(CapturedOut, "[S1] [    0 /    2] [DifferenceSum=      0 (SI.DiffSum=      0 )] "
                         "[VR_threshold= 9600 ] [VR_step=  1.00 ] [f_rate=  0.00 [fps]]\n");
  EXPECT_EQ(Z.VR_threshold, 4321);
  CapturedOut.clear();
  Z.DISP_WEB_CAM_INFO = 2;
  WriteText("ZEP_THRESHOLD.dat", "not a number");
  ASSERT_TRUE(RunPass());
  EXPECT_EQ(CapturedOut, "*[SI.DiffSum=      0 ] \n");
  EXPECT_EQ(Z.VR_threshold, 4321);
}

TEST_F(PlayerLoop, AFrameThatIsNotAnImageStopsThePlayer) {
  Load(2);
  WriteText("../S001/clip_00001.jpg", "this is text");
  Z.frame_no = 1.0;
  EXPECT_FALSE(RunPass());
  EXPECT_EQ(CapturedErr, "[ NG ] Read Failed : [ ../S001/clip_00001.jpg ]\n");
  EXPECT_EQ(Z.PlayerEnding, 0); // the player returns 1
}

} // namespace
