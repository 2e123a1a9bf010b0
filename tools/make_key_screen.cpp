// Draws the key-allocation screen the player shows while paused.
#include <cstdio>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "tools/key_screen.h"

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_key_screen OUTPUT.jpg\n");
    return 2;
  }
  const int width = 960;
  const int row_height = 34;
  const int top = 110;
  const int rows = static_cast<int>(sizeof KeyScreenRows / sizeof KeyScreenRows[0]);
  cv::Mat screen(top + rows * row_height + 40, width, CV_8UC3, cv::Scalar(40, 30, 20));
  auto text = [&screen](const char *line, cv::Point at, double scale, cv::Scalar colour, int thickness) {
    cv::putText(screen, line, at, cv::FONT_HERSHEY_SIMPLEX, scale, colour, thickness, cv::LINE_AA);
  };
  text("ORVANTIS  Ver.1.2   -   KEY ALLOCATION", {40, 55}, 1.1, {255, 255, 255}, 2);
  text("PAUSED:  ENTER resumes,  ESC quits", {40, 90}, 0.7, {120, 230, 120}, 2);
  for (int i = 0; i < rows; ++i) {
    int y = top + (i + 1) * row_height;
    if (i % 2 == 0)
      cv::rectangle(screen, cv::Point(30, y - row_height + 8), cv::Point(width - 30, y + 8),
                    cv::Scalar(60, 48, 36), cv::FILLED);
    text(KeyScreenRows[i][0], {50, y}, 0.75, {120, 220, 255}, 2);
    text(KeyScreenRows[i][1], {300, y}, 0.75, {240, 240, 240}, 1);
  }
  if (!cv::imwrite(argv[1], screen)) {
    fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
