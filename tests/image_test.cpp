// Frame decoding: the fast JPEG path gives the general decoder's pixels,
// everything it does not take falls back to the general decoder, and no frame
// is too large to hold.
#include <opencv2/imgcodecs.hpp>
#include <vector>

#include "platform/image.h"
#include "platform/opencv/image_cv.h"
#include "tests/support.h"

namespace {

using ImageLoad = PlayerTest;

// A smooth picture with noise on it, as camera footage has.
cv::Mat Picture(int width, int height) {
  cv::Mat m(height, width, CV_8UC3), noise(height, width, CV_8UC3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      m.at<cv::Vec3b>(y, x) = cv::Vec3b(x * 3 & 255, y * 5 & 255, (x * y) & 255);
  cv::randu(noise, 0, 40);
  return m + noise;
}

// Loads through the player and through cv::imread of the image as stored; the
// two must agree within decoder rounding.
void ExpectSamePixels(const std::string &path) {
  ZepImage *image = LoadImage(path.c_str());
  cv::Mat reference = cv::imread(path, cv::IMREAD_COLOR | cv::IMREAD_IGNORE_ORIENTATION);
  ASSERT_NE(image, nullptr) << path;
  ASSERT_EQ(image->mat.size(), reference.size()) << path;
  ASSERT_EQ(image->mat.type(), CV_8UC3) << path;
  EXPECT_LE(cv::norm(image->mat, reference, cv::NORM_INF), 4) << path;
  EXPECT_LT(cv::norm(image->mat, reference, cv::NORM_L1) / (reference.total() * 3), 1.0) << path;
  ReleaseImage(&image);
}

TEST_F(ImageLoad, JpegVariantsMatchTheGeneralDecoderShowTheImageAsStoredAndHugeOnesAreRefused) {
  cv::Mat picture = Picture(203, 117); // odd sizes stress chroma upsampling
  cv::imwrite("plain.jpg", picture, {cv::IMWRITE_JPEG_QUALITY, 90});
  cv::imwrite("progressive.jpg", picture, {cv::IMWRITE_JPEG_PROGRESSIVE, 1});
  std::vector<uchar> bytes;
  cv::imencode(".png", picture, bytes);
  WriteText("really_a_png.jpg", std::string(bytes.begin(), bytes.end()));
  // A JPEG of another size, and the same with an Exif block asking for a
  // quarter turn (orientation 6) after its JFIF block.
  cv::imencode(".jpg", Picture(64, 32), bytes);
  WriteText("small.jpg", std::string(bytes.begin(), bytes.end()));
  const char exif[] =
      "\377\341\0\042Exif\0\0II\052\0\010\0\0\0\001\0\022\001\003\0\001\0\0\0\006\0\0\0\0\0\0\0";
  std::string turned(bytes.begin(), bytes.begin() + 20);
  turned.append(exif, sizeof exif - 1).append(bytes.begin() + 20, bytes.end());
  WriteText("turned.jpg", turned);
  ASSERT_EQ(cv::imread("turned.jpg").rows, 64); // the general decoder alone would turn it
  // One after another, so that each may reuse the buffer released before it.
  for (const char *name : {"plain.jpg", "progressive.jpg", "really_a_png.jpg", "small.jpg", "turned.jpg"})
    ExpectSamePixels(name);
  // A header claiming more pixels than any frame may have (a damaged or
  // hostile file: here 20000 x 20000) is refused before anything is allocated.
  std::string huge(bytes.begin(), bytes.end());
  huge.replace(huge.find("\xFF\xC0") + 5, 4, "\x4E\x20\x4E\x20"); // height, width of the frame header
  WriteText("huge.jpg", huge);
  EXPECT_EQ(LoadImage("huge.jpg"), nullptr);
}

} // namespace
