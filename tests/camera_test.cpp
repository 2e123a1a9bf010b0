// The camera part on a scripted camera source: settings file, grabs into the
// grey slots, the failures that switch the camera off, the log, and the
// on/off/pause transcripts.
#include <sys/stat.h>

#include <array>
#include <cstring>
#include <deque>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/banners.h"
#include "motion/camera.h"
#include "platform/camera_source.h"
#include "platform/image_cv.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

struct ScriptedCamera {
  bool present = true;        // false: no camera at any index
  std::deque<cv::Mat> frames; // handed out in order; none left: no frame
  int opened_index = -99;
  cv::Size asked;
  double asked_rate = 0.0;
  bool open = false;
};
ScriptedCamera Cam;

ZepCapture *ScriptOpen(int index) {
  Cam.opened_index = index;
  if (!Cam.present) return nullptr;
  Cam.open = true;
  return new ZepCapture{&Cam};
}
void ScriptSet(ZepCapture *, int width, int height, double rate) {
  Cam.asked = cv::Size(width, height);
  Cam.asked_rate = rate;
}
bool ScriptRead(ZepCapture *, ZepImage *frame) {
  if (Cam.frames.empty()) return false;
  frame->mat = Cam.frames.front();
  Cam.frames.pop_front();
  return true;
}
void ScriptRelease(ZepCapture *capture) {
  Cam.open = false;
  delete capture;
}

const char *const TurningOn = "\nNOW, TURNING ON THE CAMERA DEVICE. WAIT A MOMENT...\n";
const char *const TurningOff = "\nNOW, TURNING OFF THE CAMERA DEVICE. WAIT A MOMENT...\n";

class Camera : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    Cam = ScriptedCamera{};
    CameraSource = {ScriptOpen, ScriptSet, ScriptRead, ScriptRelease};
  }
  void TearDown() override {
    ReleaseCamera();
    CameraSource = DeviceCameraSource;
    PlayerTest::TearDown();
  }
  // The camera banner of a state, with the line end that precedes it.
  static std::string Banner(int flag) {
    std::string saved = CapturedOut;
    int was = Z.CameraFlag;
    Z.CameraFlag = flag;
    CapturedOut.clear();
    PrintCameraBanner();
    std::string banner = "\n" + CapturedOut;
    CapturedOut = saved;
    Z.CameraFlag = was;
    return banner;
  }
  void SwitchOn() {
    ToggleCamera();
    CapturedOut.clear();
    Recorded.events.clear();
  }
};

// A frame whose every pixel differs, so that any misplaced flip shows.
cv::Mat Gradient() {
  cv::Mat m(240, 320, CV_8UC3);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x)
      m.at<cv::Vec3b>(y, x) = cv::Vec3b(x % 256, y, (x * 7 + y) % 256);
  return m;
}

cv::Mat Slot(int i) { return cv::Mat(240, 320, CV_8UC1, Z.GrayFrame[i]).clone(); }

bool Same(const cv::Mat &a, const cv::Mat &b) { return cv::countNonZero(a != b) == 0; }

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
  for (auto [text, memory] : {std::pair{"0 0 0 0 0", 1}, {"0 0 0 -5 0", 1}, {"0 0 0 77 0", 77}}) {
    WriteText("SetCamera3.txt", text);
    ReadCamSettings();
    EXPECT_EQ(Z.CamOnMemory, memory) << text;
  }
  // Values that are missing or not numbers keep what was there.
  Z.CamFlipH = 1;
  Z.CamChan = 7;
  WriteText("SetCamera3.txt", "0\nabc\n3\n4\n");
  ReadCamSettings();
  EXPECT_EQ(Z.CamFlipV, 0);
  EXPECT_EQ(Z.CamFlipH, 1);
  EXPECT_EQ(Z.CamChan, 7);
  EXPECT_EQ(Z.CamOnMemory, 77);
}

TEST_F(Camera, GrabsAlternateSlotsFlipAsConfiguredAndLogTheFirstFreeNumber) {
  SwitchOn();
  EXPECT_EQ(Cam.asked, cv::Size(320, 240));
  EXPECT_EQ(Cam.asked_rate, 60.0);
  cv::Mat grey;
  cv::cvtColor(Gradient(), grey, cv::COLOR_BGR2GRAY);
  // {vertical, horizontal, the flip the grey frame should show (2: none)}
  for (auto [v, h, code] : {std::array{0, 0, 2}, {1, 0, 0}, {0, 1, 1}, {1, 1, -1}}) {
    Z.CamFlipV = v;
    Z.CamFlipH = h;
    cv::Mat want = grey.clone();
    if (code != 2) cv::flip(grey, want, code);
    int slot = Z.GrayIndex;
    Cam.frames.push_back(Gradient());
    ZEP_Capture();
    EXPECT_TRUE(Same(Slot(slot), want)) << "flips " << v << h;
    EXPECT_EQ(Z.GrayIndex, 1 - slot);
  }
  EXPECT_EQ(Z.CameraFlag, 1);
  // The log takes the first free number; without ../log it does nothing, silently.
  LogCameraFrame();
  EXPECT_EQ(CapturedOut + CapturedErr, "");
  ASSERT_EQ(mkdir("../log", 0755), 0);
  for (int i = 0; i < 3; ++i)
    WriteText("../log/clip_0000" + std::to_string(i) + ".jpg", "taken");
  LogCameraFrame();
  EXPECT_EQ(ReadText("../log/clip_00002.jpg"), "taken");
  cv::Mat logged = cv::imread("../log/clip_00003.jpg");
  ASSERT_FALSE(logged.empty());
  EXPECT_EQ(logged.size(), cv::Size(320, 240));
}

TEST_F(Camera, MissingCameraOrFrameSwitchesOffWithTheQueryMessage) {
  for (bool present : {false, true}) {
    Cam.present = present; // present, but it gives no frame
    Z.CamChan = 4;
    ToggleCamera();
    EXPECT_EQ(Cam.opened_index, 4);
    EXPECT_EQ(CapturedOut, TurningOn + std::string("Done.\n") + Banner(1));
    CapturedOut.clear();
    Z.CamLogMode = 1;
    ZEP_Capture();
    EXPECT_EQ(CapturedOut, "cvQueryFrame() failed in ZEP_Capture().\n" + std::string(TurningOff) +
                               "Done.\n\n" + Banner(0));
    EXPECT_EQ(Z.CameraFlag, 0);
    EXPECT_EQ(Z.CamLogMode, 2);
    EXPECT_EQ(Z.CamCapture, nullptr);
    EXPECT_FALSE(Cam.open);
    CapturedOut.clear();
  }
}

TEST_F(Camera, FramesOfAnotherShapeGetTheDiagnosticBlock) {
  // {rows, columns, type, channels, bits}: each shape but the one the grey slots take.
  const int cases[][5] = {{480, 640, CV_8UC3, 3, 8},
                          {240, 320, CV_8UC1, 1, 8},
                          {240, 320, CV_8UC4, 4, 8},
                          {240, 320, CV_16UC3, 3, 16}};
  for (const auto &c : cases) {
    SwitchOn();
    CapturedErr.clear();
    Cam.frames.push_back(cv::Mat(c[0], c[1], c[2], cv::Scalar::all(1)));
    ZEP_Capture();
    char block[200];
    snprintf(block, sizeof block,
             "nChannels = %d\ndepth     = %d (bit)\nwidth     = %d\nheight    = %d\n"
             "ZEP_F_XMAX    = 320\nZEP_F_YMAX    = 240\n",
             c[3], c[4], c[1], c[0]);
    EXPECT_EQ(CapturedErr, std::string("ERROR: The Size of Supposed Input Image does not Match.") + block);
    EXPECT_EQ(CapturedOut, "\n\n" + std::string(TurningOff) + "Done.\n\n" + Banner(0));
    EXPECT_EQ(Z.CameraFlag, 0);
    EXPECT_EQ(Z.CamGray, nullptr); // nothing was measured
  }
}

TEST_F(Camera, KeyPauseAndShutdownTranscripts) {
  WriteText("SetCamera3.txt", "0 0 3 1 0");
  Z.DifferenceSum = 99;
  Z.GrayIndex = 1;
  Z.MotionCount = 5;
  Z.PlayDirection = 0;
  ToggleCamera();
  EXPECT_EQ(Cam.opened_index, 3);
  EXPECT_EQ(Z.DifferenceSum + Z.GrayIndex + Z.MotionCount, 0);
  EXPECT_EQ(Z.PlayDirection, 1);
  EXPECT_EQ(Recorded.events, std::vector<std::string>{"wait 1000"});
  CapturedOut.clear();
  Recorded.events.clear();
  // The pause lets go of the device but keeps the switch on, without waiting.
  CameraSuspend();
  EXPECT_EQ(CapturedOut, TurningOff + std::string("Done.\n") + Banner(0));
  EXPECT_EQ(Z.CameraFlag, 1);
  EXPECT_FALSE(Cam.open);
  EXPECT_TRUE(Recorded.events.empty());
  CapturedOut.clear();
  CameraResume();
  EXPECT_TRUE(Cam.open);
  EXPECT_EQ(Recorded.events, std::vector<std::string>{"wait 500"});
  EXPECT_EQ(CapturedOut.substr(0, strlen(TurningOn)), TurningOn);
  EXPECT_EQ(CapturedOut.substr(CapturedOut.size() - Banner(1).size() - 6), "Done.\n" + Banner(1));
  CapturedOut.clear();
  ToggleCamera();
  EXPECT_EQ(CapturedOut, TurningOff + std::string("Done.\n") + Banner(0));
  EXPECT_FALSE(Cam.open);
  // With the camera off, the pause and the return say nothing.
  CapturedOut.clear();
  CameraSuspend();
  CameraResume();
  EXPECT_EQ(CapturedOut, "");
  Z.CameraFlag = 1;
  CameraResume();
  CameraShutdown();
  EXPECT_FALSE(Cam.open);
  EXPECT_EQ(Z.CamCapture, nullptr);
}

} // namespace
