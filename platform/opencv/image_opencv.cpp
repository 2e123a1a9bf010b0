#include "platform/image.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/opencv/image_cv.h"
#include "platform/opencv/png_reader.h"
#include "platform/platform.h"

namespace {

// Released images are kept for reuse: with a cache of one frame, every frame
// change releases one image and loads the next, and decoding into the buffer
// just released avoids a large allocation (and its page faults, which cost
// several times the decoding of a 4K frame) per frame. A larger cache is
// emptied whole when full, so as many spares as it holds are kept: the next
// round of loads reuses them all, and memory stays at what the full cache held.
// Never destroyed, so that the spares stay reachable until the process ends.
std::vector<ZepImage *> &Spares = *new std::vector<ZepImage *>;

size_t SpareLimit = 2;

ZepImage *TakeSpare() {
  if (Spares.empty()) return new ZepImage;
  ZepImage *image = Spares.back();
  Spares.pop_back();
  return image;
}

// The largest frame the player decodes: 16384 x 16384 pixels (8K is an
// eighth of it). A damaged or hostile header can claim billions of pixels,
// and decoding one would exhaust memory before a single row arrives.
constexpr long long MAX_FRAME_PIXELS = 1LL << 28;

// One decoder with the bytes of the file it reads: the main thread has one,
// the worker that decodes ahead another.
struct JpegDecoder {
  tjhandle handle = nullptr;
  std::vector<unsigned char> bytes;
};

bool ReadWholeFile(const char *path, std::vector<unsigned char> &bytes) {
  FILE *file = fopen(path, "rb");
  if (file == nullptr) return false;
  bool ok = fseek(file, 0, SEEK_END) == 0;
  long size = ok ? ftell(file) : -1;
  ok = ok && size > 0 && fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    bytes.resize(static_cast<size_t>(size));
    ok = fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
  }
  fclose(file);
  return ok;
}

// The scale (1, 2, 4 or 8) an image of the file's size is loaded at for a
// picture of width x height: the largest that keeps at least that size.
int ScaleFor(int file_width, int file_height, int width, int height) {
  if (width <= 0 || height <= 0) return 1;
  int scale = 1;
  while (scale < 8 && (file_width + 2 * scale - 1) / (2 * scale) >= width &&
         (file_height + 2 * scale - 1) / (2 * scale) >= height)
    scale *= 2;
  return scale;
}

enum class Decoded { Done, NotTaken, TooLarge };

// Decodes a baseline or progressive JPEG straight into image's buffer, as
// stored, at the scale for a picture of width x height: an Exif orientation is
// not applied, so the frame and its position mark stay as the file holds them.
// NotTaken is anything the fast decoder leaves to the general one.
Decoded DecodeJpeg(JpegDecoder &decoder, ZepImage *image, int width, int height) {
  const unsigned char *data = decoder.bytes.data();
  size_t size = decoder.bytes.size();
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return Decoded::NotTaken;
  if (decoder.handle == nullptr && (decoder.handle = tjInitDecompress()) == nullptr) return Decoded::NotTaken;
  int file_width = 0, file_height = 0, subsampling = 0, colourspace = 0;
  if (tjDecompressHeader3(decoder.handle, data, static_cast<unsigned long>(size), &file_width, &file_height,
                          &subsampling, &colourspace) != 0)
    return Decoded::NotTaken;
  if (colourspace == TJCS_CMYK || colourspace == TJCS_YCCK || file_width <= 0 || file_height <= 0)
    return Decoded::NotTaken;
  if (static_cast<long long>(file_width) * file_height > MAX_FRAME_PIXELS) return Decoded::TooLarge;
  int scale = ScaleFor(file_width, file_height, width, height);
  int w = (file_width + scale - 1) / scale, h = (file_height + scale - 1) / scale;
  image->mat.create(h, w, CV_8UC3); // keeps the buffer when the size is the same
  image->scale = scale;
  image->file_width = file_width;
  image->file_height = file_height;
  int result = tjDecompress2(decoder.handle, data, static_cast<unsigned long>(size), image->mat.data, w,
                             static_cast<int>(image->mat.step), h, TJPF_BGR, TJFLAG_ACCURATEDCT);
  // A warning (a damaged tail, say) still leaves a picture, as the general decoder would.
  return result == 0 || tjGetErrorCode(decoder.handle) == TJERR_WARNING ? Decoded::Done : Decoded::NotTaken;
}

JpegDecoder &MainDecoder = *new JpegDecoder;

// The workers that decode ahead. Each serves one request at a time, with its
// own decoder and buffer; it owns `image` while `busy`, the main thread owns
// it otherwise. A worker whose `path` is empty is free for a new request.
struct Worker {
  std::condition_variable wake;
  std::string path; // the request, empty when there is none
  int width = 0, height = 0;
  unsigned long asked = 0, answered = 0; // request numbers
  bool busy = false, decoded = false;
  FileStamp stamp; // the file as it was when it was read
  ZepImage *image = nullptr;
  JpegDecoder decoder;
};

constexpr int MAX_WORKERS = 16;

// Never destroyed: the workers may outlive main.
struct Pool {
  std::mutex lock;
  std::condition_variable finished;
  Worker workers[MAX_WORKERS];
  int started = 0;
} &Ahead = *new Pool;

void WorkAhead(Worker *worker) {
  LowerThreadPriority();
  std::unique_lock<std::mutex> hold(Ahead.lock);
  for (;;) {
    worker->wake.wait(hold, [worker] { return worker->asked != worker->answered; });
    unsigned long number = worker->asked;
    std::string path = worker->path;
    int width = worker->width, height = worker->height;
    if (worker->image == nullptr) worker->image = new ZepImage;
    ZepImage *image = worker->image;
    worker->busy = true;
    hold.unlock();
    // Stamped before the read: a change during it makes the stamps differ.
    FileStamp stamp;
    bool done = StampFile(path.c_str(), &stamp) && ReadWholeFile(path.c_str(), worker->decoder.bytes) &&
                DecodeJpeg(worker->decoder, image, width, height) == Decoded::Done;
    hold.lock();
    worker->busy = false;
    worker->decoded = done;
    worker->stamp = stamp;
    worker->answered = number;
    Ahead.finished.notify_all();
  }
}

// The number of workers asked for: ORVANTIS_DECODE_WORKERS when it is a
// number of 0 to 16, else one per usable processor (at most 16); 0 when
// ORVANTIS_DECODE_AHEAD=off.
int WorkersWanted() {
  const char *off = getenv("ORVANTIS_DECODE_AHEAD");
  if (off != nullptr && strcmp(off, "off") == 0) return 0;
  const char *setting = getenv("ORVANTIS_DECODE_WORKERS");
  if (setting != nullptr && setting[0] >= '0' && setting[0] <= '9') {
    char *end = nullptr;
    long n = strtol(setting, &end, 10);
    if (*end == '\0' && n <= MAX_WORKERS) return static_cast<int>(n);
  }
  static const int processors = UsableProcessors(); // the affinity the program started with
  return std::min(processors, MAX_WORKERS);
}

// Starts workers up to `wanted`; returns how many there are.
int StartWorkers(int wanted) {
  while (Ahead.started < wanted) {
    try {
      std::thread(WorkAhead, &Ahead.workers[Ahead.started]).detach();
    } catch (const std::system_error &) {
      break; // no more threads to be had: the ones there serve
    }
    ++Ahead.started;
  }
  return std::min(Ahead.started, wanted);
}

Worker *WorkerFor(const char *path) {
  for (int i = 0; i < Ahead.started; ++i)
    if (!Ahead.workers[i].path.empty() && Ahead.workers[i].path == path) return &Ahead.workers[i];
  return nullptr;
}

} // namespace

ZepImage *LoadImage(const char *path) { return LoadImageScaled(path, 0, 0); }

ZepImage *LoadImageScaled(const char *path, int width, int height) {
  // A missing file is an ordinary null here, without the decoder's warning.
  if (!FileExists(path)) return nullptr;
  ZepImage *image = TakeSpare();
  Decoded decoded = ReadWholeFile(path, MainDecoder.bytes) ? DecodeJpeg(MainDecoder, image, width, height)
                                                           : Decoded::NotTaken;
  if (decoded == Decoded::Done) return image;
  if (decoded == Decoded::TooLarge) {
    ReleaseImage(&image);
    return nullptr;
  }
  // Not a JPEG despite the name, or one the fast path leaves alone. The
  // general decoder reads its limit once, before its first image.
  static bool limited = SetEnvironmentDefault("OPENCV_IO_MAX_IMAGE_PIXELS", "268435456");
  (void)limited;
  image->mat = cv::imread(path, cv::IMREAD_COLOR | cv::IMREAD_IGNORE_ORIENTATION);
  if (image->mat.empty()) ReadPngFile(path, MAX_FRAME_PIXELS, image->mat);
  if (image->mat.empty()) {
    ReleaseImage(&image);
    return nullptr;
  }
  image->file_width = image->mat.cols;
  image->file_height = image->mat.rows;
  image->scale = ScaleFor(image->file_width, image->file_height, width, height);
  if (image->scale > 1) {
    // The size the JPEG decoder gives at that scale, by averaging.
    cv::Mat scaled;
    cv::resize(image->mat, scaled,
               cv::Size((image->file_width + image->scale - 1) / image->scale,
                        (image->file_height + image->scale - 1) / image->scale),
               0, 0, cv::INTER_AREA);
    image->mat = scaled;
  }
  return image;
}

bool ImageFits(const ZepImage *image, int width, int height) {
  if (image->file_width <= 0) return true;
  return ScaleFor(image->file_width, image->file_height, width, height) == image->scale;
}

int DecodeAheadWorkers() {
  std::lock_guard<std::mutex> hold(Ahead.lock);
  return StartWorkers(WorkersWanted());
}

void DecodeAhead(const char *const *paths, int count, int width, int height) {
  std::lock_guard<std::mutex> hold(Ahead.lock);
  int workers = StartWorkers(WorkersWanted());
  count = std::min(count, workers);
  // Requests no longer in the list are dropped; the ones still in it stay.
  for (int i = 0; i < Ahead.started; ++i) {
    Worker &worker = Ahead.workers[i];
    bool listed = false;
    for (int n = 0; n < count && !listed && i < workers; ++n)
      listed = worker.path == paths[n] && worker.width == width && worker.height == height;
    if (!listed) worker.path.clear();
  }
  for (int n = 0; n < count; ++n) {
    if (WorkerFor(paths[n]) != nullptr) continue;
    // A free worker, an idle one first: a busy one starts when it is done.
    Worker *free = nullptr;
    for (int i = 0; i < workers; ++i) {
      Worker &worker = Ahead.workers[i];
      if (worker.path.empty() && (free == nullptr || (free->busy && !worker.busy))) free = &worker;
    }
    if (free == nullptr) return;
    if (!free->busy && free->image == nullptr) free->image = TakeSpare();
    free->path = paths[n];
    free->width = width;
    free->height = height;
    ++free->asked;
    free->wake.notify_one();
  }
}

ZepImage *TakeDecodedAhead(const char *path, int width, int height) {
  std::unique_lock<std::mutex> hold(Ahead.lock);
  // Another picture size may still give the same scale (the window's first
  // size is told before it has shown anything).
  Worker *worker = WorkerFor(path);
  if (worker == nullptr) return nullptr;
  Ahead.finished.wait(hold, [worker] { return worker->answered == worker->asked; });
  worker->path.clear(); // taken or discarded: the worker is free again
  if (!worker->decoded || !ImageFits(worker->image, width, height)) return nullptr;
  // A file changed or removed since it was decoded is read again, as it is now.
  FileStamp now;
  if (!StampFile(path, &now) || !(now == worker->stamp)) return nullptr;
  ZepImage *image = worker->image;
  worker->image = nullptr;
  return image;
}

void DropDecodedAhead() {
  std::lock_guard<std::mutex> hold(Ahead.lock);
  for (int i = 0; i < Ahead.started; ++i)
    Ahead.workers[i].path.clear();
}

void ReleaseImage(ZepImage **image) {
  if (*image == nullptr) return;
  if (Spares.size() < SpareLimit && !(*image)->mat.empty() && (*image)->mat.isContinuous())
    Spares.push_back(*image);
  else
    delete *image;
  *image = nullptr;
}

void DrawPositionMark(ZepImage *image, double frame_no, int max_count) {
  cv::Mat &m = image->mat;
  int x = static_cast<int>(frame_no * m.cols / max_count);
  int h = m.rows;
  if (image->scale == 1) {
    cv::rectangle(m, cv::Point(x, h - 5), cv::Point(x, h), cv::Scalar(0, 255, 0, 0), 10, cv::LINE_8);
    cv::rectangle(m, cv::Point(x, h - 4), cv::Point(x, h), cv::Scalar(200, 255, 200, 0), 3, cv::LINE_8);
    return;
  }
  // The same boxes as on the whole frame (a bar 11 wide and 10 high, a core
  // 3 wide and 5 high, both on the bottom edge), scaled, at least a pixel.
  double at = frame_no * m.cols / max_count, scale = 1.0 / image->scale;
  auto box = [&](double half_width, double height, const cv::Scalar &colour) {
    int left = static_cast<int>(std::lround(at - half_width * scale));
    int right = std::max(left + 1, static_cast<int>(std::lround(at + half_width * scale)));
    int top = h - std::max(1, static_cast<int>(std::lround(height * scale)));
    cv::Rect inside = cv::Rect(left, top, right - left, h - top) & cv::Rect(0, 0, m.cols, h);
    if (!inside.empty()) m(inside).setTo(colour);
  };
  box(5.5, 10, cv::Scalar(0, 255, 0, 0));
  if (1.5 * scale >= 0.5) box(1.5, 5, cv::Scalar(200, 255, 200, 0));
}

void FlipImage(ZepImage *image, int code) { cv::flip(image->mat, image->mat, code); }

void KeepSpareImages(int count) { SpareLimit = static_cast<size_t>(std::max(2, count)); }

ZepImage *CreateImage() { return new ZepImage; }

ImageShape ShapeOf(const ZepImage *image) {
  const cv::Mat &m = image->mat;
  if (m.empty()) return {0, 0, 0, 0, false};
  return {m.cols, m.rows, m.channels(), static_cast<int>(m.elemSize1() * 8), m.depth() == CV_8U};
}

void ConvertToGrey(const ZepImage *colour, ZepImage *grey) {
  cv::cvtColor(colour->mat, grey->mat, cv::COLOR_BGR2GRAY);
}

const unsigned char *ImagePixels(const ZepImage *image) { return image->mat.data; }

bool SaveImage(const char *path, const ZepImage *image) {
  try {
    return cv::imwrite(path, image->mat);
  } catch (const cv::Exception &) {
    return false;
  }
}
