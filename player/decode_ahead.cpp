#include "player/decode_ahead.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "common/time_account.h"
#include "platform/image.h"
#include "platform/platform.h"

namespace {

constexpr int MOST_WORKERS = 16;
constexpr int MOST_REQUESTS = MOST_WORKERS + 1;

// A request and its result. The main thread fills a free one; a worker takes
// a waiting one, nearest first, and owns it while busy; the main thread takes
// the result of a done one, or drops it.
struct Request {
  enum { FREE, WAITING, BUSY, DONE } state = FREE;
  bool dropped = false; // while busy: freed when its worker is done
  int rank = 0;         // its place in the latest list
  std::string path;
  double frame_no = 0;
  int max_count = 0, width = 0, height = 0;
  FileStamp stamp;           // the file as it was when it was read
  ZepImage *image = nullptr; // when done; null when it could not be decoded
};

// Never destroyed: the workers may outlive main.
struct Pool {
  std::mutex lock;
  std::condition_variable wake, finished;
  Request requests[MOST_REQUESTS];
  int started = 0; // the main thread's alone
  bool ending = false;
} &Ahead = *new Pool;

int Workers = -1; // the main thread's: -1 until the environment is read

int WorkersFromEnvironment() {
  const char *off = getenv("ORVANTIS_DECODE_AHEAD");
  if (off != nullptr && strcmp(off, "off") == 0) return 0;
  const char *setting = getenv("ORVANTIS_DECODE_WORKERS");
  if (setting != nullptr && setting[0] >= '0' && setting[0] <= '9') {
    char *end = nullptr;
    long n = strtol(setting, &end, 10);
    if (*end == '\0' && n <= MOST_WORKERS) return static_cast<int>(n);
  }
  return std::min(UsableProcessors(), MOST_WORKERS); // the affinity the program started with
}

Request *NextWaiting() {
  Request *next = nullptr;
  for (Request &r : Ahead.requests)
    if (r.state == Request::WAITING && (next == nullptr || r.rank < next->rank)) next = &r;
  return next;
}

// Decodes, marks and fits one request's frame, the lock released meanwhile.
void Serve(Request *r, std::unique_lock<std::mutex> &hold) {
  r->state = Request::BUSY;
  thread_local std::string path; // keeps its buffer from one request to the next
  path.assign(r->path);
  double frame_no = r->frame_no;
  int max_count = r->max_count, width = r->width, height = r->height;
  hold.unlock();
  // Stamped before the read: a change during it makes the stamps differ.
  FileStamp stamp;
  ZepImage *image = nullptr;
  try {
    if (StampFile(path.c_str(), &stamp)) {
      Spending spent(SPENT_DECODING);
      image = LoadJpegScaled(path.c_str(), width, height);
    }
    if (image != nullptr) {
      Spending spent(SPENT_FITTING);
      MarkAndFit(image, frame_no, max_count, width, height);
    }
  } catch (const std::exception &) {
    ReleaseImage(&image); // out of memory, say: the main thread tries for itself
  }
  hold.lock();
  if (r->dropped) ReleaseImage(&image);
  r->state = r->dropped ? Request::FREE : Request::DONE;
  r->dropped = false;
  r->image = image;
  r->stamp = stamp;
}

void Work() {
  LowerThreadPriority();
  std::unique_lock<std::mutex> hold(Ahead.lock);
  for (;;) {
    Request *next = nullptr;
    {
      Spending spent(SPENT_WAITING);
      Ahead.wake.wait(hold, [&next] { return !Ahead.ending && (next = NextWaiting()) != nullptr; });
    }
    Serve(next, hold);
    Ahead.finished.notify_all();
  }
}

// At the end of the process, before the image library's own state goes: a
// worker still at a frame finishes it, and none starts another.
void EndWork() {
  std::unique_lock<std::mutex> hold(Ahead.lock);
  Ahead.ending = true;
  Ahead.finished.wait(hold, [] {
    return std::none_of(Ahead.requests, Ahead.requests + MOST_REQUESTS,
                        [](const Request &r) { return r.state == Request::BUSY; });
  });
}

Request *Find(const char *path) {
  for (Request &r : Ahead.requests)
    if (r.state != Request::FREE && !r.dropped && r.path == path) return &r;
  return nullptr;
}

// Frees a request no longer wanted; its image, if any, is handed out to release.
ZepImage *Drop(Request &r) {
  ZepImage *image = nullptr;
  if (r.state == Request::BUSY) r.dropped = true;
  if (r.state == Request::DONE) std::swap(image, r.image);
  if (r.state != Request::BUSY) r.state = Request::FREE;
  return image;
}

} // namespace

int DecodeWorkers() {
  if (Workers < 0) Workers = WorkersFromEnvironment();
  return Workers;
}

void SetDecodeWorkers(int count) { Workers = count < 0 ? -1 : std::min(count, MOST_WORKERS); }

void StartDecodeWorkers() {
  static const bool ends_first = std::atexit(EndWork) == 0; // before the library's state goes
  (void)ends_first;
  while (Ahead.started < DecodeWorkers()) {
    try {
      std::thread(Work).detach();
    } catch (const std::system_error &) {
      return; // no more threads to be had: the ones there serve
    }
    ++Ahead.started;
  }
}

void DecodeAhead(const FrameAhead *frames, int count, int max_count, int width, int height) {
  ZepImage *dropped[MOST_REQUESTS] = {};
  int workers = std::min(DecodeWorkers(), Ahead.started);
  count = std::min(count, workers == 0 ? 0 : workers + 1);
  {
    std::lock_guard<std::mutex> hold(Ahead.lock);
    for (int i = 0; i < MOST_REQUESTS; ++i) {
      Request &r = Ahead.requests[i];
      if (r.state == Request::FREE || r.dropped) continue;
      int n = 0;
      while (n < count && !(r.path == frames[n].path && r.width == width && r.height == height))
        ++n;
      if (n == count) dropped[i] = Drop(r);
      if (r.state == Request::WAITING) r.frame_no = frames[n].frame_no;
      r.rank = n;
    }
    for (int n = 0; n < count; ++n) {
      if (Find(frames[n].path) != nullptr) continue;
      Request *r = std::find_if(Ahead.requests, Ahead.requests + MOST_REQUESTS,
                                [](const Request &q) { return q.state == Request::FREE; });
      if (r == Ahead.requests + MOST_REQUESTS) break;
      r->state = Request::WAITING;
      r->rank = n;
      r->path.assign(frames[n].path);
      r->frame_no = frames[n].frame_no;
      r->max_count = max_count;
      r->width = width;
      r->height = height;
    }
  }
  Ahead.wake.notify_all();
  for (ZepImage *&image : dropped)
    ReleaseImage(&image);
}

ZepImage *TakeDecodedAhead(const char *path, int width, int height) {
  ZepImage *image = nullptr;
  FileStamp then, now;
  {
    std::unique_lock<std::mutex> hold(Ahead.lock);
    // Another picture may still give the same scale (the window's first
    // size is told before it has shown anything).
    Request *r = Find(path);
    if (r == nullptr) return nullptr;
    Spending spent(SPENT_WAITING);
    Ahead.finished.wait(hold, [r] { return r->state == Request::DONE; });
    std::swap(image, r->image);
    then = r->stamp;
    r->state = Request::FREE;
  }
  // A file changed or removed since it was read is read again, as it is now.
  if (image != nullptr && !(ImageFits(image, width, height) && StampFile(path, &now) && now == then))
    ReleaseImage(&image);
  return image;
}

void DropDecodedAhead() {
  ZepImage *dropped[MOST_REQUESTS] = {};
  {
    std::lock_guard<std::mutex> hold(Ahead.lock);
    for (int i = 0; i < MOST_REQUESTS; ++i)
      if (Ahead.requests[i].state != Request::FREE) dropped[i] = Drop(Ahead.requests[i]);
  }
  for (ZepImage *&image : dropped)
    ReleaseImage(&image);
}
