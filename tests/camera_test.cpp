// The camera part on a scripted camera source: the settings file, the
// failures that switch the camera off, the log, and camera frames steering
// the passes of the main loop.
#include <sys/stat.h>

#include <deque>
#include <opencv2/imgcodecs.hpp>

#include "app/banners.h"
#include "contents/frame_table.h"
#include "motion/camera.h"
#include "platform/camera_source.h"
#include "platform/image_cv.h"
#include "player/player.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

struct ScriptedCamera {
  bool present = true;        // false: no camera at any index
  std::deque<cv::Mat> frames; // handed out in order; none left: no frame
  int opened_index = -1;
} Cam;

ZepCapture *Open(int index) {
  Cam.opened_index = index;
  return Cam.present ? new ZepCapture{&Cam} : nullptr;
}
void SetFormat(ZepCapture *, int, int, double) {}
bool Read(ZepCapture *, ZepImage *frame) {
  if (Cam.frames.empty()) return false;
  frame->mat = Cam.frames.front();
  Cam.frames.pop_front();
  return true;
}
void Release(ZepCapture *capture) { delete capture; }

const std::string TurningOff = "\nNOW, TURNING OFF THE CAMERA DEVICE. WAIT A MOMENT...\n";

class Camera : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    Cam = ScriptedCamera{};
    CameraSource = {Open, SetFormat, Read, Release};
    PrintCameraBanner(); // the OFF banner, as the camera prints it after a line end
    off_ = "\n" + CapturedOut;
    CapturedOut.clear();
  }
  void TearDown() override {
    ReleaseCamera();
    CameraSource = DeviceCameraSource;
    PlayerTest::TearDown();
  }
  std::string off_;
};

TEST_F(Camera, SettingsFileIsReadAndClamped) {
  ReadCamSettings(); // no file: silent
  EXPECT_EQ(CapturedOut, "");
  WriteText("SetCamera3.txt", "1\n0\n2\n9999\n1\n");
  ReadCamSettings();
  EXPECT_EQ(CapturedOut, "\n--------------------------------------\n"
                         " 1 : [ CamFlipV    (Set 0 or 1)] \n"
                         " 2 : [ CamFlipH    (Set 0 or 1)] \n"
                         " 3 : [ CamChan     (Set 0 -- n)] \n"
                         " 4 : [ CamOnMemory (Set 1 -- 5400)] \n"
                         " 5 : [ CamBeep     (Set 0 or 1)] \n"
                         "--------------------------------------\n"
                         "SET: CamFlipV     = 1 ( 1-> Invert Camera Image Vertically) \n"
                         "SET: CamFlipH     = 0 ( 1-> Invert Camera Image Horizontally) \n"
                         "SET: CamChan      = 2 ( Camera ID number ) \n"
                         "SET: CamOnMemory  = 5400 ( Number of On-Memory Frames ) \n"
                         "SET: CamBeep      = 1 ( 1-> Beep ON ) \n");
  // Below 1 is 1; a value that is missing or no number keeps what was there.
  for (auto [text, memory] : {std::pair{"0 0 0 0 0", 1}, {"0 0 0 77 0", 77}, {"0 0 0 abc 1", 77}}) {
    WriteText("SetCamera3.txt", text);
    ReadCamSettings();
    EXPECT_EQ(Z.CamOnMemory, memory) << text;
  }
}

TEST_F(Camera, MissingCameraOrFrameSwitchesOffWithTheQueryMessage) {
  for (bool present : {false, true}) { // present, but it gives no frame
    Cam.present = present;
    Z.CamChan = 4;
    ToggleCamera();
    EXPECT_EQ(Cam.opened_index, 4);
    CapturedOut.clear();
    Z.CamLogMode = 1;
    ZEP_Capture();
    EXPECT_EQ(CapturedOut, "cvQueryFrame() failed in ZEP_Capture().\n" + TurningOff + "Done.\n\n" + off_);
    EXPECT_EQ(Z.CameraFlag, 0);
    EXPECT_EQ(Z.CamLogMode, 2);
    EXPECT_EQ(Z.CamCapture, nullptr);
  }
}

TEST_F(Camera, FramesOfAnotherShapeGetTheDiagnosticBlock) {
  // {rows, columns, type, channels, bits}: each shape but the one the grey slots take.
  const int cases[][5] = {{480, 640, CV_8UC3, 3, 8},
                          {240, 320, CV_8UC1, 1, 8},
                          {240, 320, CV_8UC4, 4, 8},
                          {240, 320, CV_16UC3, 3, 16}};
  for (const auto &c : cases) {
    ToggleCamera();
    CapturedOut.clear();
    CapturedErr.clear();
    Cam.frames.push_back(cv::Mat(c[0], c[1], c[2], cv::Scalar::all(1)));
    ZEP_Capture();
    char block[200];
    snprintf(block, sizeof block,
             "nChannels = %d\ndepth     = %d (bit)\nwidth     = %d\nheight    = %d\n"
             "ZEP_F_XMAX    = 320\nZEP_F_YMAX    = 240\n",
             c[3], c[4], c[1], c[0]);
    EXPECT_EQ(CapturedErr, std::string("ERROR: The Size of Supposed Input Image does not Match.") + block);
    EXPECT_EQ(CapturedOut, "\n\n" + TurningOff + "Done.\n\n" + off_);
    EXPECT_EQ(Z.CamGray, nullptr); // nothing was measured
  }
}

TEST_F(Camera, FramesSteerThePassesOfTheMainLoopAndTheLogNeverOverwrites) {
  MakeFolder(1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  ScanContents();
  ToggleCamera();
  cv::Mat black(240, 320, CV_8UC3, cv::Scalar::all(0)), white(240, 320, CV_8UC3, cv::Scalar::all(255));
  // The first frame is compared with black slots: white, black, white, black
  // is four passes of motion; then a nearly unchanged frame is stillness.
  Cam.frames = {white, black, white, black, cv::Mat(240, 320, CV_8UC3, cv::Scalar::all(1))};
  std::vector<double> seen;
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(RunPass());
    seen.push_back(Z.frame_no);
  }
  EXPECT_EQ(seen, (std::vector<double>{1, 2, 3, 4, 4}));
  EXPECT_EQ(Z.PlayDirection, 0);
  // The log takes the first free number; without ../log it does nothing, silently.
  CapturedOut.clear();
  LogCameraFrame();
  EXPECT_EQ(CapturedOut + CapturedErr, "");
  ASSERT_EQ(mkdir("../log", 0755), 0);
  for (int i = 0; i < 3; ++i)
    WriteText("../log/clip_0000" + std::to_string(i) + ".jpg", "taken");
  LogCameraFrame();
  EXPECT_EQ(ReadText("../log/clip_00002.jpg"), "taken");
  EXPECT_EQ(cv::imread("../log/clip_00003.jpg").size(), cv::Size(320, 240));
}

} // namespace
