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
  const int font = cv::FONT_HERSHEY_SIMPLEX;
  cv::putText(screen, "ORVANTIS  Ver.1.2   -   KEY ALLOCATION", cv::Point(40, 55), font, 1.1,
              cv::Scalar(255, 255, 255), 2, cv::LINE_AA);
  cv::putText(screen, "PAUSED:  ENTER resumes,  ESC quits", cv::Point(40, 90), font, 0.7,
              cv::Scalar(120, 230, 120), 2, cv::LINE_AA);
  for (int i = 0; i < rows; ++i) {
    int y = top + (i + 1) * row_height;
    if (i % 2 == 0)
      cv::rectangle(screen, cv::Point(30, y - row_height + 8), cv::Point(width - 30, y + 8),
                    cv::Scalar(60, 48, 36), cv::FILLED);
    cv::putText(screen, KeyScreenRows[i][0], cv::Point(50, y), font, 0.75, cv::Scalar(120, 220, 255), 2,
                cv::LINE_AA);
    cv::putText(screen, KeyScreenRows[i][1], cv::Point(300, y), font, 0.75, cv::Scalar(240, 240, 240), 1,
                cv::LINE_AA);
  }
  if (!cv::imwrite(argv[1], screen)) {
    fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
