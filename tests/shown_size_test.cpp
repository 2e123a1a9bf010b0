// Frames decoded at the size the main window shows, and the frame decoded
// ahead: what is shown, cached and printed stays what the whole decode gives.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <thread>

#include "platform/image.h"
#include "platform/opencv/image_cv.h"
#include "player/decode_ahead.h"
#include "player/folders.h"
#include "player/frame_cache.h"
#include "player/keys.h"
#include "player/motion_step.h"
#include "player/player.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

class ShownSize : public PlayerTest {
 protected:
  // Frames 0..count-1 of ../S<k>, a gradient with a moving disc; frame `png`
  // is a PNG file under the .jpg name, for the general decoder.
  void Make(int count, int width, int height, int png = -1, int k = 1) {
    MakeFolder(k, {});
    for (int n = 0; n < count; ++n) {
      cv::Mat m(height, width, CV_8UC3);
      for (int y = 0; y < height; ++y)
        m.row(y).setTo(cv::Scalar(255 * y / height, 128 / k, 40 + n * 20 % 200));
      cv::circle(m, cv::Point(width * (n + 1) / (count + 1), height / 2), height / 4, cv::Scalar(20, 40, 240),
                 -1);
      char path[64];
      snprintf(path, sizeof path, "../S%03d/clip_%05d.jpg", k, n);
      std::vector<uchar> bytes;
      ASSERT_TRUE(cv::imencode(n == png ? ".png" : ".jpg", m, bytes, {cv::IMWRITE_JPEG_QUALITY, 95}));
      WriteText(path, std::string(bytes.begin(), bytes.end()));
    }
    OpenContents();
  }
};

// The mean column of the green bar in the bottom row, -1 when there is none.
double MarkColumn(const cv::Mat &m) {
  double sum = 0;
  int count = 0;
  for (int x = 0; x < m.cols; ++x) {
    cv::Vec3b p = m.at<cv::Vec3b>(m.rows - 1, x);
    if (p[1] > 200 && p[2] < 230 && p[0] < 230 && std::abs(p[0] - p[2]) < 60) sum += x, ++count;
  }
  return count == 0 ? -1 : sum / count;
}

// A user-sized window's frames are the whole frame scaled, the mark in place,
// never of the wrong size after Backspace, a flip or a larger window.
TEST_F(ShownSize, FramesDecodedToTheWindowAreTheWholeOnesScaledAndNeverOfTheWrongSize) {
  Make(4, 1600, 900, 3);
  Z.CamOnMemory = 3;
  Recorded.width = 200, Recorded.height = 112; // a user-sized window's picture: 1/8 keeps 200 x 113
  auto show = [](int f) {
    Z.frame_no = f;
    EXPECT_TRUE(PresentFrame());
    return Recorded.shown.back().image;
  };
  for (int f : {1, 3}) {
    const cv::Mat shown = show(f);
    ASSERT_EQ(shown.size(), cv::Size(198, 112)) << f; // decoded at 200 x 113, fitted as the display would
    ZepImage *whole = LoadImage(Z.FrameData[f].path);
    ASSERT_NE(whole, nullptr);
    MarkAndFit(whole, f, 4, 0, 0);
    cv::Mat want;
    cv::resize(whole->mat, want, shown.size(), 0, 0, cv::INTER_AREA);
    ReleaseImage(&whole);
    EXPECT_LT(cv::norm(shown, want, cv::NORM_L1) / shown.total(), 6.0) << f; // mean over the channels
    EXPECT_NEAR(MarkColumn(shown), f * 198.0 / 4, 1.0) << f;                 // the mark at the same place
  }
  DispatchKey(KEY_BACKSPACE); // the window follows the image: decoded whole
  EXPECT_EQ(show(1).size(), cv::Size(1600, 900));
  EXPECT_EQ(Z.FrameData[3].loaded, 0); // the frame of the other scale left the cache
  DispatchKey('e');                    // mirrored from the cache, at its size
  EXPECT_EQ(Recorded.shown.back().image.size(), cv::Size(1600, 900));
  EXPECT_EQ(Z.FrameCache[1]->mat.cols, 1600);
  DispatchKey('e');
  DispatchKey(KEY_BACKSPACE); // user-sized again
  EXPECT_EQ(show(1).cols, 198);
  show(2);
  Recorded.width = 190, Recorded.height = 106; // the same scale: cached frames are fitted anew
  EXPECT_EQ(show(1).size(), cv::Size(188, 106));
  show(2);
  // The user makes the window larger: taken up at the next frame change only.
  Recorded.width = 640, Recorded.height = 360;
  size_t count = Recorded.shown.size();
  show(2);
  EXPECT_EQ(Recorded.shown.size(), count);
  EXPECT_EQ(show(1).cols, 640); // decoded at 800 x 450
  EXPECT_EQ(Z.FrameCache[2], nullptr);
  EXPECT_EQ(show(2).cols, 640);
}

// One run of passes steered by motion, keys and automatic replay (turns,
// jumps, wraps, folder changes, a non-JPEG frame, window resizes) with
// `workers` decoding ahead: every frame shown, the cache after each pass
// (never beyond CamOnMemory), and the console.
struct Playback {
  std::string shown, cache, out;
};

Playback Passes(int workers) {
  ResetState();
  SetDecodeWorkers(workers);
  Recorded = RecordedDisplay{};
  Recorded.width = 40, Recorded.height = 30;
  CapturedOut.clear();
  OpenContents();
  Z.CamOnMemory = 2;
  Z.VR_threshold = 1000;
  Z.TurnCount = 3, Z.RestCount = 1, Z.WrapFlag = 1;
  Playback run;
  // M moves, . rests, < > turn; keys: X Z jump ten frames, l to the start, n p change folder.
  const char *script =
      "MMMMMMM.MMMMM.MMMMXMMMMMMMMMM.M.MMMMZMMnMMMMMMMlMMpMMRRRRRRRR<RRRRRRR>RRRRRnRRRRRRRpRRRR";
  for (int pass = 0; script[pass] != '\0'; ++pass) {
    char c = script[pass];
    if (pass == 20)
      Recorded.width = 38, Recorded.height = 28; // the same scale: 40 x 30 fitted anew, to 37 x 28
    if (pass == 50) Recorded.width = 70, Recorded.height = 52; // 80 x 60 decoded, 69 x 52 shown
    Z.VR_step = pass % 3 == 0 ? 1.0 : pass % 3 == 1 ? 0.5 : 3.0;
    Z.DifferenceSum = c == 'M' ? 2000 : c == '.' ? 10 : 0;
    if (c == '<' || c == '>') Z.PlayDirection = c == '>' ? 1 : 0;
    if (c == 'R' && Z.AutoReplayFlag == 0) DispatchKey(KEY_TAB);
    if (strchr("XZlnp", c) != nullptr) DispatchKey(c);
    MotionStep();
    if (!PresentFrame()) ADD_FAILURE() << "pass " << pass;
    NoCommandPath();
    int cached = 0;
    for (int f = 0; f < Z.MaxCount; ++f) {
      run.cache += Z.FrameData[f].loaded ? '1' : '0';
      cached += Z.FrameData[f].loaded == 1 && Z.FrameCache[f] != nullptr;
    }
    run.cache += ' ';
    if (cached < 1 || cached > Z.CamOnMemory) ADD_FAILURE() << cached << " cached at pass " << pass;
  }
  for (const ShownImage &s : Recorded.shown)
    run.shown += std::to_string(s.image.cols) + std::string(s.image.datastart, s.image.dataend);
  run.out = CapturedOut;
  return run;
}

TEST_F(ShownSize, DecodingAheadOnOneOrSeveralWorkersChangesNothingShownCachedOrPrinted) {
  Make(6, 320, 240, -1, 2);
  Make(13, 320, 240, 4);
  Playback alone = Passes(0);
  EXPECT_GT(Recorded.shown.size(), 60u);
  for (int workers : {1, 3}) {
    Playback ahead = Passes(workers);
    EXPECT_EQ(ahead.out, alone.out) << workers;
    EXPECT_EQ(ahead.cache, alone.cache) << workers;
    EXPECT_TRUE(ahead.shown == alone.shown) << workers;
  }
}

// The pool itself: the number of workers from the environment; each result
// goes once to its file, in any order, for the picture asked for, while still
// wanted, its mark moved when shown at another frame number.
class DecodePool : public ShownSize {};

TEST_F(DecodePool, EachFileGetsItsOwnResultInAnyOrderOfTakingAndOnlyWhileAskedFor) {
  setenv("ORVANTIS_DECODE_WORKERS", "3", 1);
  SetDecodeWorkers(-1);
  EXPECT_EQ(DecodeWorkers(), 3);
  setenv("ORVANTIS_DECODE_AHEAD", "off", 1);
  SetDecodeWorkers(-1);
  EXPECT_EQ(DecodeWorkers(), 0);
  unsetenv("ORVANTIS_DECODE_AHEAD");
  unsetenv("ORVANTIS_DECODE_WORKERS");
  SetDecodeWorkers(3);
  StartDecodeWorkers();
  Make(8, 640, 360, 7);
  auto ask = [](std::vector<int> frames) {
    std::vector<FrameAhead> list;
    for (int f : frames)
      list.push_back({Z.FrameData[f].path, f + 0.5});
    DecodeAhead(list.data(), static_cast<int>(list.size()), 8, 150, 84);
  };
  // Taken: the file's own pixels as the main thread makes them, marked at f; else null.
  auto taken = [](int f, int width = 150) {
    ZepImage *image = TakeDecodedAhead(Z.FrameData[f].path, width, width * 14 / 25);
    ZepImage *own = image == nullptr ? nullptr : LoadImageScaled(Z.FrameData[f].path, width, width * 14 / 25);
    bool got = own != nullptr;
    if (got) {
      MarkAndFit(image, f, 8, width, width * 14 / 25);
      MarkAndFit(own, f, 8, width, width * 14 / 25);
      EXPECT_EQ(image->mat.size(), cv::Size(149, 84)) << f; // decoded at 320 x 180
      EXPECT_EQ(cv::norm(image->mat, own->mat, cv::NORM_INF), 0.0) << f;
    }
    ReleaseImage(&image);
    ReleaseImage(&own);
    return got;
  };
  ask({0, 1, 2, 3, 4}); // one more than the workers: the last is left out
  EXPECT_TRUE(taken(3));
  EXPECT_TRUE(taken(0));
  EXPECT_FALSE(taken(0)); // taken once only
  EXPECT_FALSE(taken(4));
  ask({1, 7});
  EXPECT_FALSE(taken(1, 640)); // another scale
  EXPECT_FALSE(taken(7));      // not a JPEG: the caller decodes it
  ask({3, 4});
  ask({4}); // no longer wanted
  EXPECT_FALSE(taken(3));
}

// The player's side: frames ahead in the play direction, backwards too, are
// decoded ahead and dropped by a folder change; a frame replaced on disk
// shows what it holds now, and one removed ends the player as unreadable.

TEST_F(DecodePool, FramesAheadEitherWayDroppedByAFolderChangeAndTakenOnlyWhileTheFileIsUnchanged) {
  SetDecodeWorkers(1);
  MakeFolder(2, {0});
  Make(4, 64, 48);
  Z.CamOnMemory = 2, Z.VR_step = 1.0;
  auto present = [](int f, int direction) {
    Z.frame_no = f, Z.PlayDirection = direction;
    return PresentFrame();
  };
  auto ahead = [](const std::string &path) {
    ZepImage *image = TakeDecodedAhead(path.c_str(), 0, 0);
    bool got = image != nullptr;
    ReleaseImage(&image);
    return got;
  };
  ASSERT_TRUE(present(2, 0));
  EXPECT_TRUE(ahead(Z.FrameData[1].path));
  ASSERT_TRUE(present(1, 1));
  std::string next = Z.FrameData[3].path; // 2 is cached
  DispatchKey('n');
  EXPECT_FALSE(ahead(next));
  DispatchKey('p');
  ASSERT_TRUE(present(0, 1));
  std::this_thread::sleep_for(std::chrono::milliseconds(300)); // frame 1 decoded ahead meanwhile
  WriteFrameFile(Z.FrameData[1].path, 7, 64, 48);
  ASSERT_TRUE(present(1, 1));
  cv::Vec3d shown = Recorded.shown.back().image.at<cv::Vec3b>(0, 0),
            now = cv::imread(Z.FrameData[1].path).at<cv::Vec3b>(0, 0);
  EXPECT_LT(cv::norm(shown - now), 8.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::remove(Z.FrameData[2].path);
  EXPECT_FALSE(present(2, 1));
  EXPECT_EQ(CapturedErr, std::string("[ NG ] Read Failed : [ ") + Z.FrameData[2].path + " ]\n");
}

} // namespace
