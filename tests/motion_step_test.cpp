// The motion-steered step: moving by VR_step up to the ends, the turn after
// enough motion, and the two-frame preload (camera-driven passes: camera_test).
#include <tuple>

#include "player/folders.h"
#include "player/motion_step.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

class Motion : public PlayerTest {
 protected:
  void Passes(int difference, int count = 1) {
    for (int i = 0; i < count; ++i) {
      Z.DifferenceSum = difference;
      MotionStep();
    }
  }
};

TEST_F(Motion, MotionStepsStopOrWrapAtTheEndsAndStillnessTurnsAfterEnoughOfThem) {
  Z.MaxCount = 100;
  Z.VR_threshold = 1000;
  // {wrap, direction, from, motion passes, to} with VR_step 0.5: 99.2 and 99.7 are still frame 99.
  const double ends[][5] = {
      {0, 1, 98.7, 2, 99.7}, {1, 1, 98.7, 3, 0}, {0, 1, 98.7, 3, 99}, {1, 0, 0.3, 1, 99}, {0, 0, 0.3, 1, 0}};
  Z.VR_step = 0.5;
  for (const auto &c : ends) {
    Z.WrapFlag = static_cast<int>(c[0]);
    Z.PlayDirection = Z.PrevDirection = static_cast<int>(c[1]);
    Z.frame_no = c[2];
    Passes(1001, static_cast<int>(c[3]));
    EXPECT_DOUBLE_EQ(Z.frame_no, c[4]) << c[0] << " " << c[1];
  }
  // {camera on, motion passes, turns, count left}, then a still pass at the threshold.
  const int cases[][4] = {{1, 1, 0, 1}, {1, 3, 0, 0}, {1, 4, 1, 0}, {0, 5, 0, 0}, {0, 6, 1, 0}, {0, 2, 0, 2}};
  for (const auto &c : cases) {
    Z.TurnCount = c[0] ? 3 : 5;
    Z.RestCount = c[0] ? 1 : 2;
    Z.MotionCount = 0;
    Z.PlayDirection = Z.PrevDirection = 1;
    Z.frame_no = 50.0;
    Passes(2000, c[1]);
    Passes(1000);
    EXPECT_EQ(std::make_tuple(Z.frame_no, Z.PlayDirection, Z.MotionCount),
              std::make_tuple(50.0 + c[1] * 0.5, 1 - c[2], c[3]))
        << c[0] << " " << c[1];
  }
  // Without a measure nothing counts or turns, however much motion came before.
  Z.MotionCount = 50;
  Passes(0);
  Passes(-3);
  EXPECT_EQ(Z.MotionCount, 50);
}

TEST_F(Motion, TurnInATwoFrameFolderLoadsTheFrameOfTheNewDirection) {
  MakeFolder(1, {0, 1});
  OpenContents();
  Recorded.events.clear();
  Z.VR_threshold = 1000;
  Z.TurnCount = 3, Z.RestCount = 1;
  Z.PlayDirection = Z.PrevDirection = 1;
  Passes(2000, 4);
  Passes(10);
  EXPECT_EQ(Z.PlayDirection, 0);
  ASSERT_NE(Z.FrameCache[0], nullptr);
  EXPECT_EQ(Z.FrameData[0].loaded, 1);
  EXPECT_EQ(Recorded.events, (std::vector<std::string>{"wait 1", "wait 1"}));
}

} // namespace
