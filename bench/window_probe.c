/* Watches one pixel of a window and prints "<monotonic ms> <r,g,b>" each
 * time it changes, for the camera latency benchmark (camera_latency.sh).
 *
 *   window_probe WINDOW_ID X Y SECONDS */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

int main(int argc, char **argv) {
  if (argc != 5) return 2;
  Display *d = XOpenDisplay(NULL);
  if (!d) return 1;
  Window w = strtoul(argv[1], NULL, 0);
  int x = atoi(argv[2]), y = atoi(argv[3]);
  double end = atof(argv[4]) * 1e3, start = -1, last = -1;
  for (;;) {
    struct timespec t;
    XImage *img = XGetImage(d, w, x, y, 1, 1, AllPlanes, ZPixmap);
    clock_gettime(CLOCK_MONOTONIC, &t);
    double ms = t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    if (start < 0) start = ms;
    if (!img) return 1;
    unsigned long p = XGetPixel(img, 0, 0);
    XDestroyImage(img);
    if ((double)p != last) {
      printf("%.3f %lu,%lu,%lu\n", ms, (p >> 16) & 255, (p >> 8) & 255, p & 255);
      fflush(stdout);
      last = (double)p;
    }
    if (ms - start > end) return 0;
  }
}
