// Exercises what the Windows program needs from its static libraries, run
// under Wine by tools/windows/check-deps.sh: a JPEG decoded both with
// tjDecompress2 and cv::imread, shown in a Win32 window, the codes
// cv::waitKey returns for typed keys, and a camera that is absent.
//
//   deps_check.exe image.jpg        prints one line per result, ends on ESC
#include <cstdio>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/highgui.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>
#include <turbojpeg.h>

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: deps_check image.jpg\n");
    return 2;
  }
  std::FILE *f = std::fopen(argv[1], "rb");
  if (!f) return 1;
  std::vector<unsigned char> jpeg;
  unsigned char chunk[65536];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) jpeg.insert(jpeg.end(), chunk, chunk + n);
  std::fclose(f);

  tjhandle tj = tjInitDecompress();
  int w = 0, h = 0, sub = 0, space = 0;
  if (!tj || tjDecompressHeader3(tj, jpeg.data(), jpeg.size(), &w, &h, &sub, &space) != 0) return 1;
  cv::Mat turbo(h, w, CV_8UC3);
  if (tjDecompress2(tj, jpeg.data(), jpeg.size(), turbo.data, w, 0, h, TJPF_BGR, 0) != 0) return 1;
  tjDestroy(tj);
  cv::Mat opencv = cv::imread(argv[1]);
  if (opencv.empty() || opencv.size() != turbo.size()) return 1;
  std::printf("decoded %dx%d, largest difference %g\n", w, h, cv::norm(opencv, turbo, cv::NORM_INF));

  cv::VideoCapture camera(0);
  std::printf("camera opened %d\n", camera.isOpened() ? 1 : 0);

  cv::namedWindow("deps check", cv::WINDOW_AUTOSIZE);
  cv::imshow("deps check", turbo);
  cv::waitKey(1);
  std::printf("window shown\n");
  std::fflush(stdout);
  for (int waited = 0; waited < 600;) { // a minute at most
    int key = cv::waitKey(100);
    if (key < 0) {
      ++waited;
      continue;
    }
    std::printf("key %d\n", key);
    std::fflush(stdout);
    if (key == 27) return 0;
  }
  return 3;
}
