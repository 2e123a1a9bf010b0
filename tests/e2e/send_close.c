/* The window manager's close request (WM_PROTOCOLS / WM_DELETE_WINDOW), sent
   to the X window given in decimal, as a window manager sends it when the
   user clicks a window's close button. Built by the end-to-end tests. */
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv) {
  Display *display = argc == 2 ? XOpenDisplay(NULL) : NULL;
  if (display == NULL) {
    fprintf(stderr, "usage: send_close WINDOW (with DISPLAY set)\n");
    return 2;
  }
  XEvent event;
  memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = (Window)strtoul(argv[1], NULL, 10);
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
  event.xclient.data.l[1] = CurrentTime;
  Status sent = XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
  XCloseDisplay(display); /* flushes the request */
  return sent ? 0 : 1;
}
