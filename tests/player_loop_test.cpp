// The main loop: presentation, the pause and the status line.
#include <cstring>
#include <numeric>

#include "contents/frame_table.h"
#include "motion/shared_pool.h"
#include "platform/opencv/image_cv.h"
#include "platform/platform.h"
#include "player/folders.h"
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
    OpenContents();
    CapturedOut.clear();
    Recorded.events.clear();
  }
};

TEST_F(PlayerLoop, ShowsTheFrameMarkedAndMirroredAndWaitsOnceWhenUnchanged) {
  Load(4, 80, 60);
  Z.frame_no = 2.0;
  ASSERT_TRUE(PresentFrame());
  ASSERT_EQ(Recorded.shown.size(), 1u);
  // x = 2 * 80 / 4 = 40: a 10-wide green bar over the bottom rows, its core paler.
  const cv::Mat shown = Recorded.shown[0].image;
  EXPECT_EQ(shown.at<cv::Vec3b>(59, 40), cv::Vec3b(200, 255, 200));
  EXPECT_EQ(shown.at<cv::Vec3b>(57, 36), cv::Vec3b(0, 255, 0));
  // The same frame again: not shown again, one wait at the tenth pass. A key pressed
  // during that wait comes first, the one that came meanwhile held (then ESC, the script's end).
  Recorded.keys = {'x'};
  for (int pass = 1; pass <= 15; ++pass)
    ASSERT_TRUE(PresentFrame());
  EXPECT_EQ(Recorded.events, std::vector<std::string>{"wait 1"});
  EXPECT_EQ(NextKey(1), 'x');
  EXPECT_EQ(NextKey(0), KEY_ESC);
  EXPECT_EQ(Recorded.shown.size(), 1u);
  // Modes 1 and 2 mirror what is shown, any other not; the cached image stays as it is.
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

TEST_F(PlayerLoop, PauseIgnoresAllButEnterAndEscAndShowsTheFrameAgainFromDisk) {
  Load(4);
  Recorded.keys = {KEY_ESC, 'x', 'n', KEY_TAB, '5', KEY_ENTER, KEY_ENTER, KEY_ESC, KEY_ESC};
  ASSERT_TRUE(RunPass()); // frame 0 shown; ESC: the pause until Enter
  EXPECT_EQ(Z.FrameCache[0], nullptr);
  ASSERT_TRUE(RunPass()); // the same frame, shown again from disk; Enter: the help
  EXPECT_EQ(Recorded.shown.size(), 2u);
  EXPECT_FALSE(RunPass()); // ESC, ESC: the end
  EXPECT_EQ(Z.PlayerEnding, 1);
}

// A pass prints the status line and reads the threshold file; Enter's help and pool
// clear come first, so a value written while the help prints is the pass's.
TEST_F(PlayerLoop, StatusLineEnterHelpAndPoolClearThenTheThresholdFileEveryPass) {
  Load(3);
  ASSERT_TRUE(OpenSharedInfo(PlayerSectionName));
  Z.DISP_WEB_CAM_INFO = 1;
  Z.REPLAY_SPEED = 4;
  Z.f_rate = 12.5;
  WriteText("ZEP_THRESHOLD.dat", "4321");
  ASSERT_TRUE(RunPass());
  EXPECT_EQ(CapturedOut, "[S1] [    0 /    2] [DifferenceSum=      0 (SI.DiffSum=      0 )] "
                         "[VR_threshold= 9600 ] [VR_step=  3.00 ] [f_rate=  0.00 [fps]]\n");
  EXPECT_EQ(Z.VR_threshold, 4321);
  Z.SharedView->DiffSum = 70;
  Z.SharedView->WebCamDiff[0] = 30, Z.SharedView->WebCamDiff[31] = 40;
  Console.write_out = [](const char *text, size_t size) {
    CapturedOut.append(text, size);
    if (strstr(text, "License Agreement") != nullptr) WriteText("ZEP_THRESHOLD.dat", "777");
  };
  Recorded.keys = {KEY_ENTER};
  ASSERT_TRUE(RunPass());
  EXPECT_EQ(Z.VR_threshold, 777);
  EXPECT_EQ(Z.SharedView->DiffSum + Z.SharedView->WebCamDiff[0] + Z.SharedView->WebCamDiff[31], 0);
}

} // namespace
