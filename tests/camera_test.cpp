// The camera part on a scripted source: the settings file, the camera key, the
// failures that switch it off, and frames logged by the passes of the main loop.
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <opencv2/imgcodecs.hpp>
#include <tuple>

#include "console/banners.h"
#include "motion/camera.h"
#include "platform/camera_source.h"
#include "platform/opencv/image_cv.h"
#include "player/folders.h"
#include "player/keys.h"
#include "player/player.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

// The scripted camera: none at any index, or these frames and then no frame.
bool Present;
std::deque<cv::Mat> Frames;

const CameraSourceOps Scripted = {[](int) {
                                    if (!Present) LastCameraFailure.why = "Camera 0: why\n";
                                    return Present ? new ZepCapture{nullptr} : nullptr;
                                  },
                                  [](ZepCapture *, int, int, double) {},
                                  [](ZepCapture *, ZepImage *frame) {
                                    if (Frames.empty()) return false;
                                    frame->mat = Frames.front();
                                    Frames.pop_front();
                                    return true;
                                  },
                                  [](ZepCapture *capture) { delete capture; }};

class Camera : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    Present = true;
    Frames.clear();
    CameraSource = Scripted;
    PrintCameraBanner(); // the OFF banner
    off_ = "\nNOW, TURNING OFF THE CAMERA DEVICE. WAIT A MOMENT...\nDone.\n\n\n" + CapturedOut;
    CapturedOut.clear();
  }
  void TearDown() override {
    CameraShutdown(); // lets the scripted capture go
    CameraSource = DeviceCameraSource;
    PlayerTest::TearDown();
  }
  std::string off_; // what switching the camera off after a failed grab prints
};

TEST_F(Camera, SettingsFileIsReadAndClamped) {
  WriteText("SetCamera3.txt", "1\n0\n2\n9999\n1\n");
  ReadCamSettings();
  EXPECT_EQ((std::vector<int>{Z.CamFlipV, Z.CamFlipH, Z.CamChan, Z.CamOnMemory, Z.CamBeep}),
            (std::vector<int>{1, 0, 2, 5400, 1}));
  // Below 1 is 1; a value that is missing or no number keeps what was there.
  for (auto [text, memory] : {std::pair{"0 0 0 0 0", 1}, {"0 0 0 77 0", 77}, {"0 0 0 abc 1", 77}}) {
    WriteText("SetCamera3.txt", text);
    ReadCamSettings();
    EXPECT_EQ(Z.CamOnMemory, memory) << text;
  }
}

TEST_F(Camera, KeyResetsTheMotionAndNoCameraNoFrameOrAFrameOfAnotherShapeSwitchItOff) {
  // {rows, columns, type, channels, bits}: no camera, a camera without a frame,
  // then each shape but the one the grey slots take, with the diagnostic block.
  const int cases[][5] = {{-1, 0, 0, 0, 0},          {0, 0, 0, 0, 0},           {480, 640, CV_8UC3, 3, 8},
                          {240, 320, CV_8UC1, 1, 8}, {240, 320, CV_8UC4, 4, 8}, {240, 320, CV_16UC3, 3, 16}};
  for (const auto &c : cases) {
    Present = c[0] >= 0;
    if (c[0] > 0) Frames.push_back(cv::Mat(c[0], c[1], c[2], cv::Scalar::all(1)));
    Z.PlayDirection = 0; // a turned step and a measure, which the key forgets
    Z.GrayIndex = 1;
    Z.MotionCount = Z.DifferenceSum = 9;
    Recorded.events.clear();
    DispatchKey('q');
    EXPECT_EQ(Recorded.events, std::vector<std::string>{"wait 1000"}); // the device's second to start
    EXPECT_EQ(std::make_tuple(Z.PlayDirection, Z.GrayIndex, Z.MotionCount, Z.DifferenceSum),
              std::make_tuple(1, 0, 0, 0));
    CapturedOut = CapturedErr = "";
    Z.CamLogMode = 1;
    ZEP_Capture();
    char block[300] = "";
    if (c[0] > 0)
      snprintf(block, sizeof block,
               "ERROR: The Size of Supposed Input Image does not Match.nChannels = %d\ndepth     = %d (bit)\n"
               "width     = %d\nheight    = %d\nZEP_F_XMAX    = 320\nZEP_F_YMAX    = 240\n",
               c[3], c[4], c[1], c[0]);
    EXPECT_EQ(CapturedErr, c[0] < 0 ? "Camera 0: why\n" : block) << c[0]; // the source's reason, once
    EXPECT_EQ(CapturedOut, (c[0] > 0 ? "\n\n" : "cvQueryFrame() failed in ZEP_Capture().\n") + off_) << c[0];
    // Off, not logging, the device let go and nothing measured.
    EXPECT_TRUE(Z.CameraFlag == 0 && Z.CamLogMode == 2 && !Z.CamCapture && !Z.CamGray) << c[0];
  }
}

TEST_F(Camera, PassesOfTheMainLoopLogTheFramesFlippedWithoutOverwriting) {
  MakeFolder(1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  OpenContents();
  Z.CamFlipV = 1; // as if read from SetCamera3.txt
  DispatchKey('q');
  Z.CamLogMode = 1;
  cv::Mat black(240, 320, CV_8UC3, cv::Scalar::all(0)), white(240, 320, CV_8UC3, cv::Scalar::all(255));
  cv::Mat corner = black.clone(); // bright at the top left
  corner(cv::Rect(0, 0, 160, 120)) = cv::Scalar::all(255);
  // The corner is logged upside down and then mirrored.
  Frames = {white, black, corner, corner.clone(), black, cv::Mat(240, 320, CV_8UC3, cv::Scalar::all(1))};
  for (int i = 0; i < 6; ++i) {
    if (i == 2) { // the log folder is the user's to make; a number taken is passed over
      ASSERT_EQ(mkdir("../log", 0755), 0);
      WriteText("../log/clip_00001.jpg", "taken");
    }
    if (i == 3) std::swap(Z.CamFlipV, Z.CamFlipH);
    ASSERT_TRUE(RunPass());
  }
  EXPECT_EQ(ReadText("../log/clip_00001.jpg"), "taken");
  // From number 0, bright where the corner went: bottom left, then top right.
  EXPECT_GT(cv::imread("../log/clip_00000.jpg").at<cv::Vec3b>(180, 80)[0], 128);
  EXPECT_GT(cv::imread("../log/clip_00002.jpg").at<cv::Vec3b>(60, 240)[0], 128);
  EXPECT_EQ(cv::imread("../log/clip_00004.jpg").size(), cv::Size(320, 240));
}

// A camera gone without saying so: one picture again and again at 5 or 4 frames per
// second (a dark room) stays on for 10 s; the last picture about once a second (pulled
// out, on Windows) is gone within 2 s; a fresh picture between slow repeats restarts the count.
TEST(FrozenCamera, RepeatsAtTheDevicesOwnRateStayOnSlowOnesGoUnlessAFreshPictureComes) {
  double stale = -1.0;
  ASSERT_TRUE(KeepsDelivering(stale, false, 30.0));
  for (double waited : {200.0, 250.0})
    for (double t = 0; t < 10000.0; t += waited)
      ASSERT_TRUE(KeepsDelivering(stale, true, waited)) << waited;
  double gone_after = 1000.0;
  for (; KeepsDelivering(stale, true, 1000.0) && gone_after < 5000.0; gone_after += 1000.0) {
  }
  EXPECT_LE(gone_after, 2000.0);
  stale = 0.0;
  EXPECT_TRUE(KeepsDelivering(stale, true, 600.0) && KeepsDelivering(stale, false, 600.0) &&
              KeepsDelivering(stale, true, 600.0));
  EXPECT_FALSE(KeepsDelivering(stale, true, 600.0));
}

// The processes that hold a busy camera, from /proc: this one holding a file.
TEST(CameraFailure, TheProcessesHoldingAFileAreNamed) {
  std::string path = testing::TempDir() + "held-" + std::to_string(getpid());
  FILE *held = fopen(path.c_str(), "w");
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(ProcessesHolding(path.c_str()), "pid " + std::to_string(getpid()) + " (unit_tests)");
  fclose(held);
  EXPECT_EQ(ProcessesHolding(path.c_str()), "");
  remove(path.c_str());
}

} // namespace
