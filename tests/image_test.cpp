// Frame decoding: the fast JPEG path gives the general decoder's pixels, and
// everything it does not take falls back to the general decoder.
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "platform/image_cv.h"
#include "player/image.h"
#include "tests/support.h"

namespace {

using ImageLoad = PlayerTest;

cv::Mat Picture(int width, int height) {
  cv::Mat m(height, width, CV_8UC3);
  cv::RNG rng(3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      m.at<cv::Vec3b>(y, x) = cv::Vec3b(x * 3 & 255, y * 5 & 255, (x * y) & 255);
  cv::Mat noise(m.size(), CV_8UC3);
  rng.fill(noise, cv::RNG::UNIFORM, 0, 40);
  return m + noise;
}

// Loads through the player and through cv::imread; the two must agree within
// decoder rounding.
void ExpectSamePixels(const std::string &path) {
  ZepImage *image = LoadImage(path.c_str());
  cv::Mat reference = cv::imread(path, cv::IMREAD_COLOR);
  ASSERT_NE(image, nullptr) << path;
  ASSERT_FALSE(reference.empty()) << path;
  ASSERT_EQ(image->mat.size(), reference.size()) << path;
  ASSERT_EQ(image->mat.type(), CV_8UC3);
  cv::Mat diff;
  cv::absdiff(image->mat, reference, diff);
  double max_diff = 0;
  cv::minMaxLoc(diff.reshape(1), nullptr, &max_diff);
  EXPECT_LE(max_diff, 4) << path;
  EXPECT_LT(cv::mean(diff.reshape(1))[0], 1.0) << path;
  ReleaseImage(&image);
}

TEST_F(ImageLoad, JpegVariantsMatchTheGeneralDecoder) {
  cv::Mat picture = Picture(203, 117); // odd sizes stress chroma upsampling
  cv::imwrite("plain.jpg", picture, {cv::IMWRITE_JPEG_QUALITY, 90});
  cv::imwrite("progressive.jpg", picture, {cv::IMWRITE_JPEG_PROGRESSIVE, 1});
  cv::Mat grey;
  cv::cvtColor(picture, grey, cv::COLOR_BGR2GRAY);
  cv::imwrite("grey.jpg", grey);
  std::vector<uchar> png;
  cv::imencode(".png", picture, png);
  WriteText("really_a_png.jpg", std::string(png.begin(), png.end()));
  for (const char *name : {"plain.jpg", "progressive.jpg", "grey.jpg", "really_a_png.jpg"})
    ExpectSamePixels(name);
}

TEST_F(ImageLoad, ExifOrientationIsHonouredAsTheGeneralDecoderDoes) {
  std::vector<uchar> jpeg;
  cv::imencode(".jpg", Picture(64, 32), jpeg);
  // An Exif block asking for a quarter turn (orientation 6), right after SOI.
  const unsigned char exif[] = {0xFF, 0xE1, 0x00, 0x22, 'E', 'x', 'i', 'f', 0,    0,    'I', 'I',
                                0x2A, 0,    8,    0,    0,   0,   1,   0,   0x12, 0x01, 3,   0,
                                1,    0,    0,    0,    6,   0,   0,   0,   0,    0,    0,   0};
  std::string bytes(jpeg.begin(), jpeg.begin() + 2);
  bytes.append(reinterpret_cast<const char *>(exif), sizeof exif);
  bytes.append(jpeg.begin() + 2, jpeg.end());
  WriteText("turned.jpg", bytes);
  ExpectSamePixels("turned.jpg");
  ZepImage *image = LoadImage("turned.jpg");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->mat.rows, 64); // turned
  ReleaseImage(&image);
}

TEST_F(ImageLoad, BadFilesGiveNullAndBuffersAreReused) {
  WriteText("text.jpg", "hello, not a picture");
  WriteText("empty.jpg", "");
  WriteText("header_only.jpg", std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10));
  for (const char *name : {"text.jpg", "empty.jpg", "header_only.jpg", "missing.jpg"})
    EXPECT_EQ(LoadImage(name), nullptr) << name;

  cv::imwrite("a.jpg", Picture(320, 240));
  cv::imwrite("b.jpg", Picture(320, 240));
  ZepImage *first = LoadImage("a.jpg");
  ASSERT_NE(first, nullptr);
  const uchar *buffer = first->mat.data;
  ReleaseImage(&first);
  EXPECT_EQ(first, nullptr);
  ZepImage *second = LoadImage("b.jpg");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->mat.data, buffer); // decoded into the buffer just released
  ReleaseImage(&second);
}

} // namespace
