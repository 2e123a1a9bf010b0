// The main loop: presentation, the bounded cache, replay steps, pacing, pause.
#include <cstring>
#include <numeric>
#include <opencv2/imgcodecs.hpp>

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

bool Near(const cv::Vec3b &a, cv::Scalar b, int tolerance) {
  for (int c = 0; c < 3; ++c)
    if (std::abs(a[c] - static_cast<int>(b[c])) > tolerance) return false;
  return true;
}

TEST_F(PlayerLoop, ShowsTheFrameWithItsPositionMarkAndWaitsOnceWhenUnchanged) {
  Load(4, 80, 60);
  Z.frame_no = 2.0;
  ASSERT_TRUE(PresentFrame());
  ASSERT_EQ(Recorded.shown.size(), 1u);
  const cv::Mat &m = Recorded.shown[0].image;
  EXPECT_EQ(Recorded.shown[0].window, "ORVANTIS  Ver.1.2");
  // x = 2 * 80 / 4 = 40: a 10-wide green bar over the bottom rows, a paler core.
  struct Pixel {
    int y, x;
    cv::Scalar colour;
    int tolerance;
  } pixels[] = {{59, 40, {200, 255, 200}, 0}, {57, 36, {0, 255, 0}, 0},    {57, 44, {0, 255, 0}, 0},
                {59, 30, FrameColour(2), 6},  {40, 40, FrameColour(2), 6}, {45, 40, FrameColour(2), 6}};
  for (const Pixel &p : pixels)
    EXPECT_TRUE(Near(m.at<cv::Vec3b>(p.y, p.x), p.colour, p.tolerance)) << p.y << "," << p.x;
  EXPECT_EQ(Z.LastShownFrame, 2.0);
  // The same frame again: not shown again, one wait at the tenth pass.
  for (int pass = 1; pass <= 15; ++pass)
    ASSERT_TRUE(PresentFrame());
  EXPECT_EQ(Recorded.events, std::vector<std::string>{"wait 1"});
  EXPECT_EQ(Recorded.shown.size(), 1u);
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
      EXPECT_GE(loaded, 1);
      EXPECT_LE(loaded, memory);
    }
  }
  // A cached frame shown again keeps its mark and is not loaded again.
  Z.frame_no = 5.0;
  Z.LastShownFrame = -1.0;
  ASSERT_TRUE(PresentFrame());
  EXPECT_EQ(LoadedCount(), 3);
}

TEST_F(PlayerLoop, FlipModesMirrorTheShownImageOnly) {
  MakeFolder(1, {});
  cv::Mat m(40, 60, CV_8UC3, cv::Scalar(0, 0, 0));
  m(cv::Rect(0, 0, 20, 20)).setTo(cv::Scalar(255, 255, 255)); // white top-left
  ASSERT_TRUE(cv::imwrite("../S001/clip_00000.jpg", m));
  ScanContents();
  for (int flip : {0, 1, 2, 7}) {
    Recorded.shown.clear();
    Z.flip_mode = flip;
    Z.LastShownFrame = -1.0;
    ASSERT_TRUE(PresentFrame());
    const cv::Mat &s = Recorded.shown.at(0).image;
    bool right = flip == 1, bottom = flip == 2;
    EXPECT_GT(s.at<cv::Vec3b>(bottom ? 30 : 10, right ? 50 : 10)[0], 200) << "flip " << flip;
    EXPECT_LT(s.at<cv::Vec3b>(bottom ? 10 : 30, right ? 10 : 50)[0], 60) << "flip " << flip;
  }
  ASSERT_NE(Z.FrameCache[0], nullptr);
  EXPECT_GT(Z.FrameCache[0]->mat.at<cv::Vec3b>(10, 10)[0], 200);
}

TEST_F(PlayerLoop, ReplayStepReportsAttachedTextsAndStopsOrWrapsAtBothEnds) {
  Load(5);
  snprintf(Z.FrameData[1].http, PATH_FIELD, "see this");
  snprintf(Z.FrameData[1].file, PATH_FIELD, "extra.jpg");
  ReplayStep(1, 1);
  EXPECT_EQ(CapturedOut, "\nFrameData[     1 ].http[2] = [see this]\n"
                         "FrameData[     1 ].file[3] = [extra.jpg]\n");
  CapturedOut.clear();
  ASSERT_TRUE(PresentFrame());
  EXPECT_EQ(CapturedOut, "DISP: FrameData[     1 ].http[2] = [see this]\n"
                         "DISP: FrameData[     1 ].file[3] = [extra.jpg]\n");
  Z.frame_no = 4.0;
  ReplayStep(1, 1);
  EXPECT_EQ(Z.frame_no, 4.0);
  EXPECT_EQ(Z.PrevDirection, 1);
  Z.frame_no = 0.0;
  ReplayStep(0, 1);
  EXPECT_EQ(Z.frame_no, 0.0);
  EXPECT_EQ(Z.PlayDirection, 0);
  Z.frame_no = 2.0;
  ReplayStep(1, 10);
  EXPECT_EQ(Z.frame_no, 4.0);
  Z.WrapFlag = 1;
  Z.PrevDirection = -1;
  ReplayStep(1, 1);
  EXPECT_EQ(Z.frame_no, 0.0);
  ReplayStep(0, 1);
  EXPECT_EQ(Z.frame_no, 4.0);
  EXPECT_EQ(Z.PrevDirection, -1); // only noted while not wrapping
  // An empty table never yields an index outside it.
  Z.MaxCount = 0;
  Z.WrapFlag = 0;
  ReplayStep(1, 1);
  ReplayStep(0, 1);
  EXPECT_TRUE(PresentFrame());
}

TEST_F(PlayerLoop, AutomaticReplayIsPacedToThirtyPerSecond) {
  Load(3);
  Z.AutoReplayFlag = 1;
  mark();
  double start = FakeNow;
  NoCommandPath();
  EXPECT_EQ(Z.frame_no, 1.0);
  EXPECT_GE(FakeNow - start, 1.0 / 30.0);
  EXPECT_LT(FakeNow - start, 1.0 / 30.0 + 0.01);
  EXPECT_LE(Z.f_rate, 30.0);
  // Off, or with a direction that is neither 0 nor 1: nothing happens.
  for (int direction : {1, 7}) {
    Z.AutoReplayFlag = direction == 1 ? 0 : 1;
    Z.PlayDirection = direction;
    NoCommandPath();
    EXPECT_EQ(Z.frame_no, 1.0);
  }
}

TEST_F(PlayerLoop, PauseEmptiesTheCacheAndEnterResumesWithTheFrameShownAgain) {
  Load(3);
  Z.frame_no = 1.0;
  Recorded.keys = {0xFF, 'a', KEY_ESC, 'x', KEY_ENTER, 0xFF, KEY_ESC, KEY_ESC};
  ASSERT_TRUE(RunPass()); // frame 1 shown, no key
  ASSERT_TRUE(RunPass()); // 'a': nothing
  ASSERT_TRUE(RunPass()); // ESC: pause; x ignored; Enter resumes
  EXPECT_EQ(LoadedCount(), 0);
  EXPECT_EQ(Recorded.shown.size(), 1u); // the key screen is no frame
  EXPECT_EQ(Z.LastShownFrame, -1.0);
  EXPECT_NE(CapturedOut.find(" O      O   O   OOO   OOOO   OOOOO  O \n\n"), std::string::npos);
  EXPECT_NE(CapturedOut.find("  OOO    OOOO    O \n\n"), std::string::npos);
  ASSERT_TRUE(RunPass()); // frame shown again from disk
  EXPECT_EQ(Recorded.shown.size(), 2u);
  EXPECT_FALSE(RunPass()); // ESC, ESC: the end
  EXPECT_EQ(Z.PlayerEnding, 1);
  EXPECT_NE(CapturedOut.find("OOO O     O \n\n"), std::string::npos);
}

TEST_F(PlayerLoop, StatusLinesFollowTheDisplayLevelAndTheThresholdFileIsReadEveryPass) {
  Load(3);
  Z.DISP_WEB_CAM_INFO = 1;
  Z.f_rate = 12.5;
  Recorded.keys = {0xFF};
  ASSERT_TRUE(RunPass());
  EXPECT_EQ(CapturedOut.substr(0, CapturedOut.find('\n') + 1),
            "[S1] [    0 /    2] [DifferenceSum=      0 (SI.DiffSum=      0 )] [VR_threshold= 9600 ] "
            "[VR_step=  1.00 ] [f_rate=  0.00 [fps]]\n");
  CapturedOut.clear();
  Z.DISP_WEB_CAM_INFO = 2;
  ASSERT_TRUE(RunPass());
  EXPECT_EQ(CapturedOut, "*[SI.DiffSum=      0 ] \n");
  CapturedOut.clear();
  Z.DISP_WEB_CAM_INFO = -1;
  WriteText("ZEP_THRESHOLD.dat", "4321");
  ASSERT_TRUE(RunPass());
  EXPECT_EQ(CapturedOut, "");
  EXPECT_EQ(Z.DISP_WEB_CAM_INFO, 0);
  EXPECT_EQ(Z.ZEP_threshold, 4321);
  EXPECT_EQ(Z.VR_threshold, 4321);
  WriteText("ZEP_THRESHOLD.dat", "not a number");
  ASSERT_TRUE(RunPass());
  EXPECT_EQ(Z.VR_threshold, 4321);
}

TEST_F(PlayerLoop, AFrameThatIsNotAnImageStopsThePlayer) {
  Load(2);
  WriteText("../S001/clip_00001.jpg", "this is text");
  Z.frame_no = 1.0;
  EXPECT_FALSE(RunPass());
  EXPECT_EQ(CapturedErr, "[ NG ] Read Failed : [ ../S001/clip_00001.jpg ]\n");
  EXPECT_EQ(Z.PlayerEnding, 0);
}

} // namespace
