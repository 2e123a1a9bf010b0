#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>

#include "platform/platform.h"
#include "state/state.h"
#include "tests/support.h"

// The image stand-ins of the Windows core never hand out an image, so the
// handles in the record are only ever null; ReleaseImage is declared here
// rather than through player/image.h, whose LoadImage windows.h renames.
void ReleaseImage(ZepImage **image);

RecordedDisplay Recorded;
std::string CapturedOut;
std::string CapturedErr;
double FakeNow = 1000.0;
double FakeTick = 0.001;

namespace {

void CaptureOut(const char *data, size_t size) { CapturedOut.append(data, size); }
void CaptureErr(const char *data, size_t size) { CapturedErr.append(data, size); }
double FakeClock() { return FakeNow += FakeTick; }

void RecordCreate(const char *name, int autosize) {
  Recorded.events.push_back(std::string("create ") + name + (autosize ? " autosize" : " normal"));
}
void RecordDestroy(const char *name) { Recorded.events.push_back(std::string("destroy ") + name); }
void RecordShow(const char *name, const ZepImage *) { Recorded.shown.push_back({name}); }
int ScriptedKey(int ms) {
  Recorded.events.push_back("wait " + std::to_string(ms));
  if (Recorded.keys.empty()) return ms == 0 ? Recorded.keys_after_script : -1;
  int k = Recorded.keys.front();
  Recorded.keys.pop_front();
  return k;
}

std::string MakeTempRoot() {
  char base[MAX_PATH];
  DWORD n = GetTempPathA(sizeof base, base);
  if (n == 0 || n >= sizeof base) return "";
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[MAX_PATH + 64];
    snprintf(name, sizeof name, "%sorvantis-test-%lu-%u", base, GetCurrentProcessId(), ++counter);
    if (CreateDirectoryA(name, nullptr)) return name;
  }
  return "";
}

// Removes a folder tree, read-only files included.
bool RemoveTree(const std::string &folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  bool ok = true;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = folder + "\\" + name;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ok = RemoveTree(path) && ok;
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ok = DeleteFileA(path.c_str()) && ok;
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  return RemoveDirectoryA(folder.c_str()) && ok;
}

} // namespace

void ResetState() {
  for (ZepImage *&image : Z.FrameCache)
    ReleaseImage(&image);
  ReleaseImage(&Z.KeyScreen);
  ReleaseImage(&Z.AttachImage);
  Z.~ZepState();
  memset(static_cast<void *>(&Z), 0, sizeof Z);
  new (&Z) ZepState;
}

void PlayerTest::SetUp() {
  ResetState();
  Recorded = RecordedDisplay{};
  CapturedOut.clear();
  CapturedErr.clear();
  FakeNow = 1000.0;
  FakeTick = 0.001;
  Console = {CaptureOut, CaptureErr};
  Clock = {FakeClock};
  Display = {RecordCreate, RecordDestroy, RecordShow, ScriptedKey};
  root_ = MakeTempRoot();
  ASSERT_FALSE(root_.empty());
  ASSERT_TRUE(CreateDirectoryA((root_ + "\\work").c_str(), nullptr));
  ASSERT_TRUE(SetCurrentDirectoryA((root_ + "\\work").c_str()));
}

void PlayerTest::TearDown() {
  ResetState();
  char temp[MAX_PATH];
  if (GetTempPathA(sizeof temp, temp) == 0 || !SetCurrentDirectoryA(temp)) return;
  if (!RemoveTree(root_)) ADD_FAILURE() << "could not remove " << root_;
}

void MakeFolder(int k, const std::vector<int> &numbers, int, int) {
  char folder[64];
  snprintf(folder, sizeof folder, "..\\S%03d", k);
  CreateDirectoryA(folder, nullptr);
  for (int n : numbers) {
    char path[128];
    snprintf(path, sizeof path, "%s\\clip_%05d.jpg", folder, n);
    WriteText(path, "frame");
  }
}

void WriteText(const std::string &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string ReadText(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

FILE *fmemopen(void *buffer, size_t size, const char *) {
  char folder[MAX_PATH];
  char name[MAX_PATH];
  if (GetTempPathA(sizeof folder, folder) == 0 || GetTempFileNameA(folder, "orv", 0, name) == 0)
    return nullptr;
  FILE *file = fopen(name, "w+bD");
  if (file == nullptr) return nullptr;
  if (fwrite(buffer, 1, size, file) != size) {
    fclose(file);
    return nullptr;
  }
  rewind(file);
  return file;
}
