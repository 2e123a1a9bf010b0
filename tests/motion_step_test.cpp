// The motion-steered step: moving by VR_step up to the ends, the turn after
// enough motion, and the two-frame preload. Camera frames driving it through
// the main loop are tested with the camera.
#include "contents/frame_table.h"
#include "platform/image_cv.h"
#include "player/motion_step.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

class Motion : public PlayerTest {
 protected:
  // One pass of the step for each measure.
  void Passes(std::initializer_list<int> differences) {
    for (int d : differences) {
      Z.DifferenceSum = d;
      MotionStep();
    }
  }
};

TEST_F(Motion, MotionStepsStopOrWrapAtTheEndsAndStillnessTurnsAfterEnoughOfThem) {
  Z.MaxCount = 100;
  Z.VR_threshold = 1000;
  for (int wrap : {1, 0}) {
    Z.WrapFlag = wrap;
    Z.VR_step = 0.5;
    Z.PlayDirection = Z.PrevDirection = 1;
    Z.frame_no = 98.7;
    Passes({1001, 1001}); // 99.2 and 99.7 are frame 99
    EXPECT_DOUBLE_EQ(Z.frame_no, 99.7);
    Passes({1001});
    EXPECT_EQ(Z.frame_no, wrap ? 0.0 : 99.0);
    Z.VR_step = 1.0;
    Z.PlayDirection = Z.PrevDirection = 0;
    Z.frame_no = 0.3;
    Passes({5000});
    EXPECT_EQ(Z.frame_no, wrap ? 99.0 : 0.0);
  }
  // {camera on, motion passes, turns, count left}: then one still pass, whose
  // measure equals the threshold.
  const int cases[][4] = {{1, 1, 0, 1}, {1, 3, 0, 0}, {1, 4, 1, 0}, {0, 5, 0, 0}, {0, 6, 1, 0}, {0, 2, 0, 2}};
  for (const auto &c : cases) {
    Z.TurnCount = c[0] ? 3 : 5;
    Z.RestCount = c[0] ? 1 : 2;
    Z.MotionCount = 0;
    Z.PlayDirection = Z.PrevDirection = 1;
    Z.frame_no = 50.0;
    for (int i = 0; i < c[1]; ++i)
      Passes({2000});
    Passes({1000});
    EXPECT_EQ(Z.frame_no, 50.0 + c[1]);
    EXPECT_EQ(Z.PlayDirection, 1 - c[2]) << c[0] << " " << c[1];
    EXPECT_EQ(Z.MotionCount, c[3]) << c[0] << " " << c[1];
  }
  // Without a measure nothing moves, counts or turns, however much motion came before.
  Z.MotionCount = 50;
  Passes({0, -3});
  EXPECT_EQ(Z.MotionCount, 50);
  EXPECT_EQ(Z.PlayDirection, 1);
  EXPECT_EQ(Z.frame_no, 52.0);
}

TEST_F(Motion, TurnInATwoFrameFolderLoadsTheFrameOfTheNewDirection) {
  MakeFolder(1, {0, 1});
  ScanContents();
  Recorded.events.clear();
  Z.VR_threshold = 1000;
  Z.TurnCount = 3;
  Z.RestCount = 1;
  Z.PlayDirection = Z.PrevDirection = 1;
  Passes({2000, 2000, 2000, 2000, 10});
  EXPECT_EQ(Z.PlayDirection, 0);
  ASSERT_NE(Z.FrameCache[0], nullptr);
  EXPECT_EQ(Z.FrameData[0].loaded, 1);
  EXPECT_EQ(Z.FrameCache[0]->mat.size(), cv::Size(64, 48));
  EXPECT_EQ(Recorded.events, (std::vector<std::string>{"wait 1", "wait 1"}));
}

} // namespace
