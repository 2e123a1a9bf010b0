// The motion-steered step: moving by VR_step at the ends, stillness, the turn
// and rest counts, the two-frame preload, and the step driven by camera frames
// through the main loop.
#include <deque>

#include "contents/frame_table.h"
#include "motion/camera.h"
#include "platform/camera_source.h"
#include "platform/image_cv.h"
#include "player/motion_step.h"
#include "player/player.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

class Motion : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    Z.MaxCount = 100;
    Z.VR_threshold = 1000;
    Z.PrevDirection = 1;
  }
  // One pass of the step with the given measure.
  void Pass(int difference) {
    Z.DifferenceSum = difference;
    MotionStep();
  }
  void UseCounts(int camera) {
    Z.TurnCount = camera ? 3 : 5;
    Z.RestCount = camera ? 1 : 2;
  }
};

TEST_F(Motion, FractionalStepsStopOrWrapAtTheEnds) {
  for (int wrap : {1, 0}) {
    Z.WrapFlag = wrap;
    Z.VR_step = 0.5;
    Z.PlayDirection = 1;
    Z.frame_no = 98.7;
    Pass(1001);
    EXPECT_DOUBLE_EQ(Z.frame_no, 99.2);
    Pass(1001);
    EXPECT_DOUBLE_EQ(Z.frame_no, 99.7);
    Pass(1001);
    EXPECT_EQ(Z.frame_no, wrap ? 0.0 : 99.0);
    Z.VR_step = 1.0;
    Z.PlayDirection = Z.PrevDirection = 0;
    Z.frame_no = 0.3;
    Pass(5000);
    EXPECT_EQ(Z.frame_no, wrap ? 99.0 : 0.0);
  }
  // A direction from a settings file other than 0 or 1 moves nothing.
  Z.PlayDirection = Z.PrevDirection = 7;
  Z.frame_no = 5.0;
  Pass(5000);
  EXPECT_EQ(Z.frame_no, 5.0);
}

TEST_F(Motion, StillnessAfterEnoughMotionTurnsAndNoMeasureDoesNothing) {
  // {camera, motion passes, turns, count left after the still pass}; a
  // measure equal to the threshold is stillness.
  const int cases[][4] = {{1, 1, 0, 1}, {1, 3, 0, 0}, {1, 4, 1, 0}, {0, 5, 0, 0}, {0, 6, 1, 0}, {0, 2, 0, 2}};
  for (const auto &c : cases) {
    UseCounts(c[0]);
    Z.MotionCount = 0;
    Z.PlayDirection = Z.PrevDirection = 1;
    Z.frame_no = 50.0;
    for (int i = 0; i < c[1]; ++i)
      Pass(2000);
    EXPECT_EQ(Z.frame_no, 50.0 + c[1]);
    Pass(1000);
    EXPECT_EQ(Z.frame_no, 50.0 + c[1]);
    EXPECT_EQ(Z.PlayDirection, c[2] ? 0 : 1) << c[0] << " " << c[1];
    EXPECT_EQ(Z.MotionCount, c[3]) << c[0] << " " << c[1];
    EXPECT_EQ(Z.PrevDirection, Z.PlayDirection);
  }
  Z.MotionCount = 50;
  for (int d : {0, -3})
    Pass(d);
  EXPECT_EQ(Z.MotionCount, 50);
  EXPECT_EQ(Z.PlayDirection, 1);
  EXPECT_EQ(Z.frame_no, 52.0);
}

TEST_F(Motion, TurnInATwoFrameFolderLoadsTheNextFrame) {
  MakeFolder(1, {0, 1});
  ScanContents();
  Recorded.events.clear();
  UseCounts(1);
  Z.PlayDirection = Z.PrevDirection = 1;
  for (int i = 0; i < 4; ++i)
    Pass(2000);
  Pass(10); // turns to backward: frame 0 is made ready
  EXPECT_EQ(Z.PlayDirection, 0);
  EXPECT_EQ(Z.FrameData[0].loaded, 1);
  ASSERT_NE(Z.FrameCache[0], nullptr);
  EXPECT_EQ(Z.FrameCache[0]->mat.size(), cv::Size(64, 48));
  EXPECT_EQ(Recorded.events, (std::vector<std::string>{"wait 1", "wait 1"}));
  // A direction that names no frame loads nothing.
  Z.PlayDirection = 7;
  Pass(0);
  EXPECT_EQ(Z.PrevDirection, 7);
  EXPECT_EQ(Recorded.events.size(), 2u);
}

// The whole road through the main loop: camera frames in, frame numbers out.
std::deque<cv::Mat> Frames;
ZepCapture *FramesOpen(int) { return new ZepCapture{nullptr}; }
void FramesSet(ZepCapture *, int, int, double) {}
bool FramesRead(ZepCapture *, ZepImage *frame) {
  if (Frames.empty()) return false;
  frame->mat = Frames.front();
  Frames.pop_front();
  return true;
}
void FramesRelease(ZepCapture *capture) { delete capture; }

TEST_F(Motion, CameraFramesSteerThePassesOfTheMainLoop) {
  CameraSource = {FramesOpen, FramesSet, FramesRead, FramesRelease};
  MakeFolder(1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  ScanContents();
  ToggleCamera();
  cv::Mat black(240, 320, CV_8UC3, cv::Scalar::all(0)), white(240, 320, CV_8UC3, cv::Scalar::all(255)),
      dim(240, 320, CV_8UC3, cv::Scalar::all(1));
  // The first frame is compared with black slots: white, black, white, black
  // is four passes of motion; then a nearly unchanged frame is stillness.
  for (const cv::Mat &m : {white, black, white, black, dim})
    Frames.push_back(m);
  std::vector<double> seen;
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(RunPass());
    seen.push_back(Z.frame_no);
  }
  EXPECT_EQ(seen, (std::vector<double>{1, 2, 3, 4, 4}));
  EXPECT_EQ(Z.PlayDirection, 0);
  EXPECT_EQ(Z.CameraFlag, 1);
  ReleaseCamera();
  CameraSource = DeviceCameraSource;
}

} // namespace
