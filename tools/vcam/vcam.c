/* A virtual webcam for rehearsals and tests: preloaded (LD_PRELOAD) into a
 * process, it answers for /dev/video0 .. /dev/video3 at the C library's door
 * (open, stat, ioctl, mmap, read, close, and syscall for libv4l2), so that a
 * program's own V4L2 capture - the Linux player's, or Wine's under the Windows
 * player - reads its frames as from a USB camera. Linux only, libc only.
 *
 * Settings, from the environment, read on first use (a sanitizer runtime
 * may run us before the environment is readable):
 *   VCAM_DEVICES  number of cameras, 1..4 (default 1)
 *   VCAM_SIZE     WxH: always deliver this size, as many webcams do
 *   VCAM_FORMATS  "bgr" (BGR24 only), "yuyv" (YUYV only), else both
 *   VCAM_RATE     frames per second (default 30; S_PARM changes it)
 *   VCAM_VIDEO    a raw bgr24 file of VCAM_VIDEO_SIZE (WxH) frames, looped;
 *                 unset: a white top-left quadrant on black and, while
 *                 moving, a grey bar that sweeps left to right
 *   VCAM_CONTROL  a file whose first word, read at every frame, is the
 *                 state of all cameras: "moving" (the default), "still",
 *                 "dark" (one dim picture, identical bit for bit in every
 *                 frame), "frozen" (no more frames), "unplugged" (every
 *                 call fails with ENODEV, open with ENOENT), or a refusal:
 *                 "denied" (open fails with EACCES, the node is 0660 of
 *                 group video), "busy" (S_FMT and REQBUFS fail with EBUSY),
 *                 "noformat" (S_FMT and S_PARM fail with EINVAL); a number
 *                 after it is the device's own rate, kept whatever the
 *                 program asks for (a webcam in a dim room), e.g. "dark 5"
 *   VCAM_LOG      a file that gets one line per call: monotonic time in
 *                 ms, pid, device, call and its arguments
 * A still picture carries sensor-like noise (0 or 1 on each byte). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

enum { MAX_DEVICES = 4, MAX_OPEN = 8, MAX_BUFFERS = 8, NAME_PROBE = 64 };

struct camera { /* one open file of a device */
  int fd;       /* a timerfd that ticks at the frame rate: select/poll/close stay real */
  int index;    /* /dev/video<index> */
  int width, height;
  unsigned format; /* V4L2_PIX_FMT_BGR24 or _YUYV */
  int rate;        /* frames per second */
  int memfd;       /* the mmap buffers, 0 .. buffers-1, `stride` bytes apart */
  int buffers;
  size_t stride;
  int queue[MAX_BUFFERS], queued; /* buffers handed to the device, oldest first */
  int streaming;
  unsigned sequence;
  long pos;       /* position in the moving picture (bar column or video frame) */
  unsigned noise; /* state of the noise generator */
  char state;     /* the control file's state (see state()) for the request being answered */
};

static struct camera cameras[MAX_OPEN];
static struct {
  int ready, devices, fixed_w, fixed_h, rate, formats; /* formats: 1 bgr, 2 yuyv, 3 both */
  int video_w, video_h;
  const char *video, *control, *log;
} cfg;

/* The C library's functions the hooks stand in front of, resolved together
 * on first use; one this C library does not export stays null. */
#define LIBC_CALLS(ROW)                                                                                      \
  ROW(open, int (*)(const char *, int, ...))                                                                 \
  ROW(open64, int (*)(const char *, int, ...))                                                               \
  ROW(openat, int (*)(int, const char *, int, ...))                                                          \
  ROW(openat64, int (*)(int, const char *, int, ...))                                                        \
  ROW(close, int (*)(int))                                                                                   \
  ROW(read, ssize_t (*)(int, void *, size_t))                                                                \
  ROW(ioctl, int (*)(int, unsigned long, ...))                                                               \
  ROW(mmap, void *(*)(void *, size_t, int, int, int, off_t))                                                 \
  ROW(syscall, long (*)(long, ...))                                                                          \
  ROW(stat, int (*)(const char *, struct stat *))                                                            \
  ROW(lstat, int (*)(const char *, struct stat *))                                                           \
  ROW(stat64, int (*)(const char *, struct stat64 *))                                                        \
  ROW(lstat64, int (*)(const char *, struct stat64 *))                                                       \
  ROW(__xstat, int (*)(int, const char *, struct stat *))                                                    \
  ROW(__lxstat, int (*)(int, const char *, struct stat *))                                                   \
  ROW(__xstat64, int (*)(int, const char *, struct stat64 *))                                                \
  ROW(__lxstat64, int (*)(int, const char *, struct stat64 *))                                               \
  ROW(fstatat, int (*)(int, const char *, struct stat *, int))                                               \
  ROW(fstatat64, int (*)(int, const char *, struct stat64 *, int))

#define LIBC_FIELD(name, type) __typeof__(type) name;
struct libc_calls {
  LIBC_CALLS(LIBC_FIELD)
};

static struct libc_calls resolved_calls;

static void resolve_calls(void) {
#define LIBC_RESOLVE(name, type) resolved_calls.name = (type)dlsym(RTLD_NEXT, #name);
  LIBC_CALLS(LIBC_RESOLVE)
}

/* Resolved once, whichever thread first needs one (the player's decoding
 * threads open files too). */
static const struct libc_calls *libc(void) {
  static pthread_once_t once = PTHREAD_ONCE_INIT;
  pthread_once(&once, resolve_calls);
  return &resolved_calls;
}

static void configure(void) {
  if (cfg.ready) return;
  const char *v;
  cfg.devices = (v = getenv("VCAM_DEVICES")) ? atoi(v) : 1;
  if (cfg.devices < 1 || cfg.devices > MAX_DEVICES) cfg.devices = 1;
  if ((v = getenv("VCAM_SIZE")) && sscanf(v, "%dx%d", &cfg.fixed_w, &cfg.fixed_h) != 2) cfg.fixed_w = 0;
  cfg.rate = (v = getenv("VCAM_RATE")) && atoi(v) > 0 ? atoi(v) : 30;
  v = getenv("VCAM_FORMATS");
  cfg.formats = v && !strcmp(v, "bgr") ? 1 : v && !strcmp(v, "yuyv") ? 2 : 3;
  cfg.video = getenv("VCAM_VIDEO");
  if (cfg.video && (!(v = getenv("VCAM_VIDEO_SIZE")) || sscanf(v, "%dx%d", &cfg.video_w, &cfg.video_h) != 2))
    cfg.video = NULL;
  cfg.control = getenv("VCAM_CONTROL");
  cfg.log = getenv("VCAM_LOG");
  cfg.ready = 1;
}

static double now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

/* One line of the call log, opened each time so that all append whole lines. */
static void say(const struct camera *c, int index, const char *fmt, ...) {
  configure();
  if (!cfg.log) return;
  char line[256];
  int n = snprintf(line, sizeof line, "%.3f %d video%d ", now_ms(), (int)getpid(), c ? c->index : index);
  va_list ap;
  va_start(ap, fmt);
  n += vsnprintf(line + n, sizeof line - n, fmt, ap);
  va_end(ap);
  if (n >= (int)sizeof line - 1) n = sizeof line - 2;
  line[n++] = '\n';
  int fd = libc()->open(cfg.log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ssize_t w = write(fd, line, n);
  (void)w;
  libc()->close(fd);
}

static int own_rate; /* the device's own rate from the control file, 0: none */

/* The state word of the control file (see the top). */
static char state(void) {
  configure();
  char word[16] = "moving";
  int rate = 0;
  FILE *f = cfg.control ? fopen(cfg.control, "re") : NULL;
  if (f) {
    if (fscanf(f, "%15s %d", word, &rate) < 1) strcpy(word, "moving");
    fclose(f);
  }
  own_rate = rate > 0 && rate <= 240 ? rate : 0;
  return strcmp(word, "denied") ? word[0] : 'a'; /* 'm', 's', 'd', 'f', 'u', 'a', 'b' or 'n' */
}

/* The camera number of a path "/dev/video<N>", or -1 for any other path. */
static int device_of(const char *path) {
  int n, end = 0;
  if (!path || sscanf(path, "/dev/video%d%n", &n, &end) != 1 || path[end] != '\0' || n < 0 || n >= NAME_PROBE)
    return -1;
  return n;
}

static int present(int n) { return n < cfg.devices && state() != 'u'; }

static struct camera *camera_of(int fd) {
  for (int i = 0; i < MAX_OPEN; ++i)
    if (cameras[i].fd == fd && fd > 0) return &cameras[i];
  return NULL;
}

static void arm(struct camera *c, int on) {
  long ns = on ? 1000000000L / c->rate : 0;
  struct itimerspec t = {{0, ns}, {0, on ? ns : 0}};
  timerfd_settime(c->fd, 0, &t, NULL);
}

/* A device with a rate of its own keeps it, whatever was asked. */
static void keep_own_rate(struct camera *c) {
  if (own_rate > 0 && c->rate != own_rate) {
    c->rate = own_rate;
    arm(c, 1);
  }
}

static int open_camera(const char *path, int flags) {
  configure();
  int n = device_of(path);
  if (!present(n) || state() == 'a') {
    int e = present(n) ? EACCES : ENOENT;
    say(NULL, n, "open %s -> %s", path, e == EACCES ? "EACCES" : "ENOENT");
    errno = e;
    return -1;
  }
  struct camera *c = NULL;
  for (int i = 0; i < MAX_OPEN && !c; ++i)
    if (cameras[i].fd <= 0) c = &cameras[i];
  int fd = c ? timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | (flags & O_NONBLOCK ? TFD_NONBLOCK : 0)) : -1;
  if (fd < 0) {
    errno = EBUSY;
    return -1;
  }
  *c = (struct camera){.fd = fd, .index = n, .width = 640, .height = 480, .rate = cfg.rate, .memfd = -1};
  c->format = cfg.formats == 2 ? V4L2_PIX_FMT_YUYV : V4L2_PIX_FMT_BGR24;
  c->noise = 12345u + n;
  if (cfg.fixed_w > 0) c->width = cfg.fixed_w, c->height = cfg.fixed_h;
  arm(c, 1);
  say(c, n, "open flags=0x%x -> fd %d", flags, fd);
  return fd;
}

static int bytes_per_pixel(const struct camera *c) { return c->format == V4L2_PIX_FMT_YUYV ? 2 : 3; }
static size_t image_size(const struct camera *c) { return (size_t)c->width * c->height * bytes_per_pixel(c); }

/* Whether the device offers pixel format `p` (VCAM_FORMATS). */
static int offered(unsigned p) {
  return (p == V4L2_PIX_FMT_BGR24 && cfg.formats & 1) || (p == V4L2_PIX_FMT_YUYV && cfg.formats & 2);
}

static void fill_format(const struct camera *c, struct v4l2_format *f) {
  memset(&f->fmt.pix, 0, sizeof f->fmt.pix);
  f->fmt.pix.width = c->width;
  f->fmt.pix.height = c->height;
  f->fmt.pix.pixelformat = c->format;
  f->fmt.pix.field = V4L2_FIELD_NONE;
  f->fmt.pix.bytesperline = c->width * bytes_per_pixel(c);
  f->fmt.pix.sizeimage = image_size(c);
  f->fmt.pix.colorspace = V4L2_COLORSPACE_SRGB;
}

/* Applies a format request as a driver does; with `set` 0 (TRY_FMT) nothing
 * changes. */
static void apply_format(struct camera *c, struct v4l2_format *f, int set) {
  struct camera t = *c;
  if (offered(f->fmt.pix.pixelformat)) t.format = f->fmt.pix.pixelformat;
  if (cfg.fixed_w <= 0) {
    t.width = f->fmt.pix.width < 16 ? 16 : f->fmt.pix.width > 1920 ? 1920 : (int)f->fmt.pix.width & ~1;
    t.height = f->fmt.pix.height < 16 ? 16 : f->fmt.pix.height > 1080 ? 1080 : (int)f->fmt.pix.height;
  }
  fill_format(&t, f);
  if (set) *c = t;
}

/* Draws the next BGR picture into `bgr` (width x height x 3). */
static void draw(struct camera *c, unsigned char *bgr, char s) {
  int w = c->width, h = c->height;
  if (s == 'd') { /* no noise: the same bytes every frame */
    memset(bgr, 16, (size_t)w * h * 3);
    return;
  }
  if (s == 'm') c->pos++;
  if (cfg.video) {
    static FILE *video;
    static long frames;
    size_t fsize = (size_t)cfg.video_w * cfg.video_h * 3;
    static unsigned char *pic;
    if (!video && (video = fopen(cfg.video, "re")) != NULL) {
      fseek(video, 0, SEEK_END);
      frames = ftell(video) / (long)fsize;
      pic = malloc(fsize);
    }
    if (video && pic && frames > 0) {
      fseek(video, (c->pos % frames) * (long)fsize, SEEK_SET);
      if (fread(pic, fsize, 1, video) == 1) {
        for (int y = 0; y < h; ++y) /* nearest neighbour to the delivered size */
          for (int x = 0; x < w; ++x)
            memcpy(bgr + ((size_t)y * w + x) * 3,
                   pic + ((size_t)(y * cfg.video_h / h) * cfg.video_w + x * cfg.video_w / w) * 3, 3);
      }
    }
  } else {
    int bar = (int)(c->pos * 8 % (w + w / 8)) - w / 8; /* sweeps in from the left, w/8 wide */
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        unsigned char v = (x < w / 2 && y < h / 2) ? 230 : 20;
        if (s == 'm' && x >= bar && x < bar + w / 8) v = 128;
        memset(bgr + ((size_t)y * w + x) * 3, v, 3);
      }
  }
  for (size_t i = 0; i < (size_t)w * h * 3; ++i) { /* sensor noise */
    c->noise = c->noise * 1103515245u + 12345u;
    if (c->noise >> 31 && bgr[i] < 255) bgr[i]++;
  }
}

/* Writes the next frame in the camera's format into `out`. */
static void make_frame(struct camera *c, unsigned char *out, char s) {
  if (c->format == V4L2_PIX_FMT_BGR24) {
    draw(c, out, s);
    return;
  }
  size_t n = (size_t)c->width * c->height;
  unsigned char *bgr = malloc(n * 3);
  if (!bgr) return;
  draw(c, bgr, s);
  for (size_t i = 0; i + 1 < n; i += 2) { /* BT.601, two pixels share U and V */
    const unsigned char *p = bgr + i * 3, *q = p + 3;
    int y0 = (66 * p[2] + 129 * p[1] + 25 * p[0] + 128) / 256 + 16;
    int y1 = (66 * q[2] + 129 * q[1] + 25 * q[0] + 128) / 256 + 16;
    int u = (-38 * p[2] - 74 * p[1] + 112 * p[0] + 128) / 256 + 128;
    int v = (112 * p[2] - 94 * p[1] - 18 * p[0] + 128) / 256 + 128;
    unsigned char *o = out + i * 2;
    o[0] = y0, o[1] = u, o[2] = y1, o[3] = v;
  }
  free(bgr);
}

/* At most one frame time for the next tick: callers retry at once on EAGAIN. */
static int wait_tick(struct camera *c) {
  struct pollfd p = {c->fd, POLLIN, 0};
  uint64_t ticks;
  if (poll(&p, 1, 1000 / c->rate + 1) <= 0) return 0;
  return libc()->read(c->fd, &ticks, sizeof ticks) == sizeof ticks;
}

static void free_buffers(struct camera *c) {
  if (c->memfd >= 0) libc()->close(c->memfd);
  c->memfd = -1, c->buffers = 0, c->queued = 0;
}

static int fail(int e) {
  errno = e;
  return -1;
}

/* ---- the V4L2 requests, one handler each ---- */

static int query_capabilities(struct camera *c, void *arg) {
  struct v4l2_capability *cap = arg;
  memset(cap, 0, sizeof *cap);
  strcpy((char *)cap->driver, "vcam");
  snprintf((char *)cap->card, sizeof cap->card, "Virtual camera %d", c->index);
  snprintf((char *)cap->bus_info, sizeof cap->bus_info, "virtual:%d", c->index);
  cap->version = 0x060100;
  cap->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE | V4L2_CAP_STREAMING;
  cap->capabilities = cap->device_caps | V4L2_CAP_DEVICE_CAPS;
  say(c, 0, "QUERYCAP");
  return 0;
}

static int enum_input(struct camera *c, void *arg) {
  struct v4l2_input *in = arg;
  if (in->index != 0) return fail(EINVAL);
  memset(in, 0, sizeof *in);
  strcpy((char *)in->name, "Camera");
  in->type = V4L2_INPUT_TYPE_CAMERA;
  say(c, 0, "ENUMINPUT");
  return 0;
}

static int get_input(struct camera *c, void *arg) {
  *(int *)arg = 0;
  say(c, 0, "G_INPUT");
  return 0;
}

static int set_input(struct camera *c, void *arg) {
  say(c, 0, "S_INPUT %d", *(int *)arg);
  return *(int *)arg == 0 ? 0 : fail(EINVAL);
}

static int enum_format(struct camera *c, void *arg) {
  struct v4l2_fmtdesc *d = arg;
  unsigned list[2], n = 0;
  if (cfg.formats & 1) list[n++] = V4L2_PIX_FMT_BGR24;
  if (cfg.formats & 2) list[n++] = V4L2_PIX_FMT_YUYV;
  say(c, 0, "ENUM_FMT %u", d->index);
  if (d->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || d->index >= n) return fail(EINVAL);
  unsigned i = d->index;
  memset(d, 0, sizeof *d);
  d->index = i, d->type = V4L2_BUF_TYPE_VIDEO_CAPTURE, d->pixelformat = list[i];
  strcpy((char *)d->description, list[i] == V4L2_PIX_FMT_YUYV ? "YUYV 4:2:2" : "BGR24");
  return 0;
}

static int get_format(struct camera *c, void *arg) {
  struct v4l2_format *f = arg;
  if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return fail(EINVAL);
  fill_format(c, f);
  say(c, 0, "G_FMT %ux%u %.4s", f->fmt.pix.width, f->fmt.pix.height, (char *)&f->fmt.pix.pixelformat);
  return 0;
}

/* S_FMT (`set`) or TRY_FMT. */
static int request_format(struct camera *c, struct v4l2_format *f, int set) {
  if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return fail(EINVAL);
  char asked[48];
  snprintf(asked, sizeof asked, "%ux%u %.4s -> ", f->fmt.pix.width, f->fmt.pix.height,
           (char *)&f->fmt.pix.pixelformat);
  if (set && c->buffers > 0) return say(c, 0, "S_FMT -> EBUSY"), fail(EBUSY);
  apply_format(c, f, set);
  say(c, 0, "%s %s%ux%u %.4s", set ? "S_FMT" : "TRY_FMT", asked, f->fmt.pix.width, f->fmt.pix.height,
      (char *)&f->fmt.pix.pixelformat);
  return 0;
}

static int set_format(struct camera *c, void *arg) { return request_format(c, arg, 1); }

static int try_format(struct camera *c, void *arg) { return request_format(c, arg, 0); }

static int enum_frame_sizes(struct camera *c, void *arg) {
  struct v4l2_frmsizeenum *e = arg;
  static const int sizes[][2] = {{320, 240}, {640, 480}};
  say(c, 0, "ENUM_FRAMESIZES %u", e->index);
  if (!offered(e->pixel_format) || (cfg.fixed_w > 0 ? e->index > 0 : e->index > 1)) return fail(EINVAL);
  e->type = V4L2_FRMSIZE_TYPE_DISCRETE;
  e->discrete.width = cfg.fixed_w > 0 ? cfg.fixed_w : sizes[e->index][0];
  e->discrete.height = cfg.fixed_w > 0 ? cfg.fixed_h : sizes[e->index][1];
  return 0;
}

static int enum_frame_intervals(struct camera *c, void *arg) {
  struct v4l2_frmivalenum *e = arg;
  say(c, 0, "ENUM_FRAMEINTERVALS %u %ux%u", e->index, e->width, e->height);
  if (e->index > 0) return fail(EINVAL);
  e->type = V4L2_FRMIVAL_TYPE_DISCRETE;
  e->discrete.numerator = 1;
  e->discrete.denominator = c->rate;
  return 0;
}

/* The answer of G_PARM and S_PARM: the rate in force. */
static int describe_rate(const struct camera *c, struct v4l2_streamparm *p) {
  memset(&p->parm.capture, 0, sizeof p->parm.capture);
  p->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
  p->parm.capture.timeperframe.numerator = 1;
  p->parm.capture.timeperframe.denominator = c->rate;
  p->parm.capture.readbuffers = 2;
  return 0;
}

static int get_parm(struct camera *c, void *arg) {
  struct v4l2_streamparm *p = arg;
  if (p->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return fail(EINVAL);
  say(c, 0, "G_PARM");
  return describe_rate(c, p);
}

/* A request without a usable rate is answered as G_PARM. */
static int set_parm(struct camera *c, void *arg) {
  struct v4l2_streamparm *p = arg;
  struct v4l2_fract *tpf = &p->parm.capture.timeperframe;
  if (p->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || tpf->numerator == 0 || tpf->denominator / tpf->numerator == 0)
    return get_parm(c, arg);
  say(c, 0, "S_PARM %u/%u", tpf->numerator, tpf->denominator);
  c->rate = tpf->denominator / tpf->numerator;
  if (c->rate > 240) c->rate = 240;
  arm(c, 1);
  keep_own_rate(c);
  return describe_rate(c, p);
}

static int request_buffers(struct camera *c, void *arg) {
  struct v4l2_requestbuffers *r = arg;
  if (r->memory != V4L2_MEMORY_MMAP) return fail(EINVAL);
  say(c, 0, "REQBUFS %u", r->count);
  free_buffers(c);
  c->streaming = 0;
  if (r->count == 0) return 0;
  r->count = r->count > MAX_BUFFERS ? MAX_BUFFERS : r->count;
  size_t page = (size_t)sysconf(_SC_PAGESIZE);
  c->stride = (image_size(c) + page - 1) / page * page;
  c->memfd = memfd_create("vcam", MFD_CLOEXEC);
  if (c->memfd < 0 || ftruncate(c->memfd, (off_t)(c->stride * r->count)) != 0) {
    free_buffers(c);
    return fail(ENOMEM);
  }
  c->buffers = r->count;
  return 0;
}

/* The answer about buffer `b->index`; `filled` for one DQBUF hands over. */
static int describe_buffer(struct camera *c, struct v4l2_buffer *b, int filled) {
  unsigned i = b->index;
  memset(b, 0, sizeof *b);
  b->index = i, b->type = V4L2_BUF_TYPE_VIDEO_CAPTURE, b->memory = V4L2_MEMORY_MMAP;
  b->m.offset = (unsigned)(c->stride * i);
  b->length = image_size(c);
  b->field = V4L2_FIELD_NONE;
  if (filled) {
    b->bytesused = image_size(c);
    b->flags = V4L2_BUF_FLAG_MAPPED | V4L2_BUF_FLAG_DONE | V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC;
    b->sequence = c->sequence++;
    double t = now_ms();
    b->timestamp.tv_sec = (long)(t / 1000);
    b->timestamp.tv_usec = (long)(t * 1000) % 1000000;
  }
  return 0;
}

static int query_buffer(struct camera *c, void *arg) {
  struct v4l2_buffer *b = arg;
  if (b->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b->index >= (unsigned)c->buffers) return fail(EINVAL);
  say(c, 0, "QUERYBUF %u", b->index);
  return describe_buffer(c, b, 0);
}

static int queue_buffer(struct camera *c, void *arg) {
  struct v4l2_buffer *b = arg;
  if (b->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b->index >= (unsigned)c->buffers) return fail(EINVAL);
  if (c->queued < MAX_BUFFERS) c->queue[c->queued++] = b->index;
  say(c, 0, "QBUF %u", b->index);
  return describe_buffer(c, b, 0);
}

/* The oldest queued buffer with the next frame, once the frame clock ticked. */
static int dequeue_buffer(struct camera *c, void *arg) {
  char s = c->state;
  struct v4l2_buffer *b = arg;
  if (b->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || !c->streaming || c->queued == 0) return fail(EINVAL);
  if (s == 'f') { /* frozen: the clock stops, so select/poll wait in vain */
    arm(c, 0);
    say(c, 0, "DQBUF -> EAGAIN (frozen)");
    return fail(EAGAIN);
  }
  keep_own_rate(c);
  uint64_t ticks;
  if (libc()->read(c->fd, &ticks, sizeof ticks) != sizeof ticks) {
    say(c, 0, "DQBUF -> EAGAIN");
    return fail(EAGAIN);
  }
  int i = c->queue[0];
  memmove(c->queue, c->queue + 1, sizeof(int) * --c->queued);
  unsigned char *p = mmap(NULL, image_size(c), PROT_WRITE, MAP_SHARED, c->memfd, (off_t)(c->stride * i));
  if (p == MAP_FAILED) return fail(ENOMEM);
  make_frame(c, p, s);
  munmap(p, image_size(c));
  b->index = i;
  say(c, 0, "DQBUF %d seq %u %s", i, c->sequence, s == 'm' ? "moving" : "still");
  return describe_buffer(c, b, 1);
}

static int stream_on(struct camera *c, void *arg) {
  (void)arg;
  c->streaming = 1;
  say(c, 0, "STREAMON");
  return 0;
}

static int stream_off(struct camera *c, void *arg) {
  (void)arg;
  c->streaming = 0;
  c->queued = 0;
  say(c, 0, "STREAMOFF");
  return 0;
}

static const struct {
  unsigned request;
  int (*handle)(struct camera *c, void *arg);
} requests[] = {
    {VIDIOC_QUERYCAP, query_capabilities},
    {VIDIOC_ENUMINPUT, enum_input},
    {VIDIOC_G_INPUT, get_input},
    {VIDIOC_S_INPUT, set_input},
    {VIDIOC_ENUM_FMT, enum_format},
    {VIDIOC_G_FMT, get_format},
    {VIDIOC_S_FMT, set_format},
    {VIDIOC_TRY_FMT, try_format},
    {VIDIOC_ENUM_FRAMESIZES, enum_frame_sizes},
    {VIDIOC_ENUM_FRAMEINTERVALS, enum_frame_intervals},
    {VIDIOC_G_PARM, get_parm},
    {VIDIOC_S_PARM, set_parm},
    {VIDIOC_REQBUFS, request_buffers},
    {VIDIOC_QUERYBUF, query_buffer},
    {VIDIOC_QBUF, queue_buffer},
    {VIDIOC_DQBUF, dequeue_buffer},
    {VIDIOC_STREAMON, stream_on},
    {VIDIOC_STREAMOFF, stream_off},
};

/* A device gone or refusing answers before any handler. */
static int do_ioctl(struct camera *c, unsigned request, void *arg) {
  char s = state();
  if (s == 'u') {
    say(c, 0, "ioctl 0x%08x -> ENODEV", request);
    return fail(ENODEV);
  }
  int refused = s == 'b' && (request == VIDIOC_S_FMT || request == VIDIOC_REQBUFS)  ? EBUSY
                : s == 'n' && (request == VIDIOC_S_FMT || request == VIDIOC_S_PARM) ? EINVAL
                                                                                    : 0;
  if (refused) {
    say(c, 0, "ioctl 0x%08x -> %s", request, refused == EBUSY ? "EBUSY" : "EINVAL");
    return fail(refused);
  }
  for (size_t i = 0; i < sizeof requests / sizeof requests[0]; ++i)
    if (requests[i].request == request) {
      c->state = s;
      return requests[i].handle(c, arg);
    }
  say(c, 0, "ioctl 0x%08x -> EINVAL", request);
  return fail(EINVAL);
}

static ssize_t read_camera(struct camera *c, void *buf, size_t count) {
  char s = state();
  if (s == 'u') return say(c, 0, "read -> ENODEV"), fail(ENODEV);
  keep_own_rate(c);
  if (s == 'f' || !wait_tick(c)) {
    if (s == 'f') usleep(1000000 / c->rate);
    say(c, 0, "read -> EAGAIN%s", s == 'f' ? " (frozen)" : "");
    return fail(EAGAIN);
  }
  size_t n = image_size(c);
  unsigned char *frame = malloc(n);
  if (!frame) return fail(ENOMEM);
  make_frame(c, frame, s);
  if (count > n) count = n;
  memcpy(buf, frame, count);
  free(frame);
  say(c, 0, "read %zu seq %u %s", count, c->sequence++, s == 'm' ? "moving" : "still");
  return (ssize_t)count;
}

static int close_camera(struct camera *c) {
  say(c, 0, "close");
  free_buffers(c);
  int fd = c->fd;
  c->fd = 0;
  return libc()->close(fd);
}

/* A character device node for our cameras (Wine's probe looks at st_mode). */
static int fake_stat(const char *path, struct stat *st) {
  configure();
  int n = device_of(path);
  if (!present(n)) return fail(ENOENT);
  memset(st, 0, sizeof *st);
  st->st_mode = S_IFCHR | (state() == 'a' ? 0660 : 0666);
  const struct group *video = state() == 'a' ? getgrnam("video") : NULL;
  st->st_gid = video ? video->gr_gid : 0;
  st->st_rdev = makedev(81, n);
  st->st_nlink = 1;
  return 0;
}

/* ---- the C library's entry points ---- */

/* The mode is read only where open takes one. */
#define OPEN_HOOK(name, params, ...)                                                                         \
  int name params {                                                                                          \
    mode_t mode = 0;                                                                                         \
    if (flags & O_CREAT || (flags & O_TMPFILE) == O_TMPFILE) {                                               \
      va_list ap;                                                                                            \
      va_start(ap, flags);                                                                                   \
      mode = va_arg(ap, mode_t);                                                                             \
      va_end(ap);                                                                                            \
    }                                                                                                        \
    if (device_of(path) >= 0) return open_camera(path, flags);                                               \
    return libc()->name(__VA_ARGS__, mode);                                                                  \
  }
OPEN_HOOK(open, (const char *path, int flags, ...), path, flags)
OPEN_HOOK(open64, (const char *path, int flags, ...), path, flags)
OPEN_HOOK(openat, (int dir, const char *path, int flags, ...), dir, path, flags)
OPEN_HOOK(openat64, (int dir, const char *path, int flags, ...), dir, path, flags)
int __open_2(const char *path, int flags) { return open(path, flags); }
int __open64_2(const char *path, int flags) { return open64(path, flags); }

int close(int fd) {
  struct camera *c = camera_of(fd);
  return c ? close_camera(c) : libc()->close(fd);
}

ssize_t read(int fd, void *buf, size_t count) {
  struct camera *c = camera_of(fd);
  return c ? read_camera(c, buf, count) : libc()->read(fd, buf, count);
}

/* The request is compared in its low 32 bits, as the kernel does: Wine
 * passes it sign-extended. */
int ioctl(int fd, unsigned long request, ...) {
  va_list ap;
  va_start(ap, request);
  void *arg = va_arg(ap, void *);
  va_end(ap);
  struct camera *c = camera_of(fd);
  if (c) return do_ioctl(c, (unsigned)request, arg);
  return libc()->ioctl(fd, request, arg);
}

void *mmap(void *addr, size_t len, int prot, int flags, int fd, off_t off) {
  struct camera *c = camera_of(fd);
  if (c) {
    say(c, 0, "mmap %zu at %lld", len, (long long)off);
    if (c->memfd < 0) return errno = EINVAL, MAP_FAILED;
    fd = c->memfd;
  }
  return libc()->mmap(addr, len, prot, flags, fd, off);
}
void *mmap64(void *addr, size_t len, int prot, int flags, int fd, off_t off) {
  return mmap(addr, len, prot, flags, fd, off);
}

/* libv4l2 reaches the device through syscall(). */

long syscall(long number, ...) {
  va_list ap;
  va_start(ap, number);
  long a[6];
  for (int i = 0; i < 6; ++i)
    a[i] = va_arg(ap, long);
  va_end(ap);
  struct camera *c = number == SYS_openat ? NULL : camera_of((int)a[0]);
  if (number == SYS_openat && device_of((const char *)a[1]) >= 0)
    return open_camera((const char *)a[1], (int)a[2]);
  if (number == SYS_open && device_of((const char *)a[0]) >= 0)
    return open_camera((const char *)a[0], (int)a[1]);
  if (c && number == SYS_ioctl) return do_ioctl(c, (unsigned)a[1], (void *)a[2]);
  if (c && number == SYS_read) return read_camera(c, (void *)a[1], (size_t)a[2]);
  if (c && number == SYS_close) return close_camera(c);
  if (c && number == SYS_mmap) return (long)mmap((void *)a[0], a[1], (int)a[2], (int)a[3], (int)a[4], a[5]);
  return libc()->syscall(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}

/* Every stat variant: the device nodes are answered here, other paths go on. */
#define STAT_HOOK(name, params, ...)                                                                         \
  int name params {                                                                                          \
    if (device_of(path) >= 0) return fake_stat(path, (struct stat *)st);                                     \
    return libc()->name(__VA_ARGS__);                                                                        \
  }
STAT_HOOK(stat, (const char *path, struct stat *st), path, st)
STAT_HOOK(lstat, (const char *path, struct stat *st), path, st)
STAT_HOOK(stat64, (const char *path, struct stat64 *st), path, st)
STAT_HOOK(lstat64, (const char *path, struct stat64 *st), path, st)
STAT_HOOK(__xstat, (int ver, const char *path, struct stat *st), ver, path, st)
STAT_HOOK(__lxstat, (int ver, const char *path, struct stat *st), ver, path, st)
STAT_HOOK(__xstat64, (int ver, const char *path, struct stat64 *st), ver, path, st)
STAT_HOOK(__lxstat64, (int ver, const char *path, struct stat64 *st), ver, path, st)
STAT_HOOK(fstatat, (int dir, const char *path, struct stat *st, int flags), dir, path, st, flags)
STAT_HOOK(fstatat64, (int dir, const char *path, struct stat64 *st, int flags), dir, path, st, flags)
