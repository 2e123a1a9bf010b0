// The Windows behaviour that only real processes show: the named section
// shared between copies, the split of the wide command line, the bytes the
// console writes into a pipe, and ffmpeg.exe started by the import.
#include <windows.h>

#include <clocale>
#include <cstring>
#include <string>
#include <vector>

#include "app/import.h"
#include "platform/platform.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

// 動画 ファイル.mp4 and 表示.mp4 (whose second byte is '\') in code page 932,
// and ﾃｽﾄｱ.mp4, whose bytes there happen to be valid UTF-8 as well.
const std::string kMovie = "\x93\xAE\x89\xE6\x20\x83\x74\x83\x40\x83\x43\x83\x8B.mp4";
const std::string kShow = "\x95\x5C\x8E\xA6.mp4";
const std::string kHalfWidth = "\xC3\xBD\xC4\xB1.mp4";

// Folder of the test programs (the helpers are built beside this one).
std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring s(path, n);
  return s.substr(0, s.find_last_of(L"\\/") + 1);
}

// A program started from the test folder with a pipe each way.
struct Child {
  HANDLE process = nullptr;
  HANDLE to = nullptr;   // its standard input
  HANDLE from = nullptr; // its standard output and error

  bool Start(const std::wstring &program, const std::wstring &arguments) {
    std::wstring line = L"\"" + ProgramFolder() + program + L"\" " + arguments;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE child_in = nullptr, child_out = nullptr;
    if (!CreatePipe(&child_in, &to, &inherit, 0) || !CreatePipe(&from, &child_out, &inherit, 0)) return false;
    SetHandleInformation(to, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(from, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = child_in;
    startup.hStdOutput = startup.hStdError = child_out;
    PROCESS_INFORMATION info{};
    BOOL ok = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
    CloseHandle(child_in);
    CloseHandle(child_out);
    if (!ok) return false;
    CloseHandle(info.hThread);
    process = info.hProcess;
    return true;
  }

  void Send(const std::string &text) {
    DWORD written = 0;
    WriteFile(to, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }

  // Up to the next line end (not included), or everything to the end.
  std::string Read(bool whole = false) {
    std::string text;
    char c;
    DWORD got = 0;
    while (ReadFile(from, &c, 1, &got, nullptr) && got == 1 && (whole || c != '\n'))
      if (whole || c != '\r') text += c;
    return text;
  }

  int Wait() {
    if (to != nullptr) CloseHandle(to);
    to = nullptr;
    WaitForSingleObject(process, 30000);
    DWORD status = 259;
    GetExitCodeProcess(process, &status);
    return static_cast<int>(status);
  }

  ~Child() {
    if (to != nullptr) CloseHandle(to);
    if (from != nullptr) CloseHandle(from);
    if (process != nullptr) {
      if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 99);
      CloseHandle(process);
    }
  }
};

// The section's kernel name; the program names sections with a leading '/'.
std::wstring SectionName() { return L"orvantis-win-test-" + std::to_wstring(GetCurrentProcessId()); }

// A copy of the pool with a camera that publishes `sum` in slot `chan` on every pass.
bool StartPeer(Child &peer, int chan, int sum, const wchar_t *extra = L"") {
  return peer.Start(L"pool_peer.exe", L"/" + SectionName() + L" 1 " + std::to_wstring(chan) + L" " +
                                          std::to_wstring(sum) + extra);
}

TEST(WinSharedSection, AViewThatCannotBeMappedEndsWithTheMessageInCodePage932) {
  Child peer;
  ASSERT_TRUE(StartPeer(peer, 0, 0, L" fail-map"));
  std::string out = peer.Read(true);
  EXPECT_EQ(peer.Wait(), 1);
  // 共有メモリマッピング失敗: the program's own text, compiled into code page 932.
  EXPECT_EQ(
      out,
      "\x8B\xA4\x97\x4C\x83\x81\x83\x82\x83\x8A\x83\x7D\x83\x62\x83\x73\x83\x93\x83\x4F\x8E\xB8\x94\x73\r\n");
}

class WinCommandLine : public PlayerTest {};

// The helper prints the echo and every argument after its own name through
// the program's console output: names already in the code page pass as they
// are, also where their bytes could be read as UTF-8.
TEST_F(WinCommandLine, QuotesBackslashesAndJapaneseNamesSplitAsTheSystemSplits) {
  Child helper;
  ASSERT_TRUE(helper.Start(
      L"win_helper.exe",
      L"\"my movie.mp4\" plain a\\\"b \"C:\\dir\\\\\" \"動画 ファイル.mp4\" 表示.mp4 ﾃｽﾄｱ.mp4 \"\""));
  std::string out = helper.Read(true);
  EXPECT_EQ(helper.Wait(), 3);
  // Past the quoted program: the rest of the line as given, then one argument a line.
  ASSERT_NE(out.find("\" "), std::string::npos) << out;
  EXPECT_EQ(out.substr(out.find("\" ") + 2), "\"my movie.mp4\" plain a\\\"b \"C:\\dir\\\\\" \"" + kMovie +
                                                 "\" " + kShow + " " + kHalfWidth +
                                                 " \"\"\r\nmy movie.mp4\r\nplain\r\na\"b\r\nC:\\dir\\\r\n" +
                                                 kMovie + "\r\n" + kShow + "\r\n" + kHalfWidth + "\r\n\r\n");
}

// The import with the real process layer. Names are in code page 932, as the
// command line gives them.
class WinImport : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    SetProgramLocale();
  }
  void TearDown() override {
    setlocale(LC_ALL, "C");
    PlayerTest::TearDown();
  }
  static void Given(const std::vector<std::string> &names) {
    snprintf(Z.ArgName[0], ARG_LEN, "orvantis.exe");
    Z.ArgCount = 1;
    for (const std::string &n : names)
      snprintf(Z.ArgName[Z.ArgCount++], ARG_LEN, "%s", n.c_str());
  }
};

TEST_F(WinImport, WithoutFfmpegExeNoneIsFoundAndNoneStarts) {
  char found[64] = "";
  EXPECT_FALSE(FindFfmpeg(found, sizeof found));
  snprintf(Z.FfmpegPath, sizeof Z.FfmpegPath, ".\\ffmpeg");
  Given({"a.mp4"});
  ImportVideos();
  EXPECT_EQ(CapturedErr, "[ NG ] ffmpeg Not Started : [ .\\ffmpeg ] (No such file or directory)\n");
}

// The helper, copied in as ffmpeg.exe, writes the arguments it gets to
// args.txt and ends with status 3.
TEST_F(WinImport, FfmpegExeGetsEveryNameByteForByteAndItsFailureIsReported) {
  ASSERT_TRUE(CopyFileW((ProgramFolder() + L"win_helper.exe").c_str(), L"ffmpeg.exe", FALSE));
  ASSERT_TRUE(FindFfmpeg(Z.FfmpegPath, sizeof Z.FfmpegPath));
  MakeFolder(1, {0, 1});
  WriteText("..\\S001\\zep_env.txt", "kept");
  SetFileAttributesA("..\\S001\\clip_00001.jpg", FILE_ATTRIBUTE_READONLY); // del /f removes it too
  // Already in sorted order. Through cmd.exe, %PATH% would be expanded and "del x" run.
  const std::vector<std::string> names = {"%PATH%&del x", "a\"b", "my movie.mp4", "tail dir\\", kShow};
  Given(names);
  ImportVideos();
  std::string failures;
  for (const std::string &name : names)
    failures += "[ NG ] ffmpeg Failed : [ " + name + " ] (exit status 3)\n";
  EXPECT_EQ(CapturedErr, failures);
  EXPECT_NE(
      CapturedOut.find("\n----------> EXECUTING: mkdir  \"..\\S003\"\n\n"
                       "\n----------> EXECUTING: del  /f   \"..\\S003\\*.jpg\"\n\n"
                       "\n----------> EXECUTING: .\\ffmpeg  -i \"my movie.mp4\"                      -q:v 1  "
                       "..\\S003\\clip_%05d.jpg\n\n\n----------> EXECUTING: mkdir"),
      std::string::npos)
      << CapturedOut;
  EXPECT_FALSE(FileExists("..\\S001\\clip_00000.jpg") || FileExists("..\\S001\\clip_00001.jpg"));
  EXPECT_TRUE(FileExists("..\\S001\\zep_env.txt"));
  // The stand-in records the wide names it was given, in UTF-8.
  std::string want;
  for (size_t i = 0; i < names.size(); ++i)
    want += "-i\n" + (names[i] == kShow ? std::string(u8"表示.mp4") : names[i]) + "\n-q:v\n1\n..\\S00" +
            std::to_string(i + 1) + "\\clip_%05d.jpg\n";
  EXPECT_EQ(ReadText("args.txt"), want);
}

// The manifest Windows reads from ORVANTIS.exe: frames pixel for pixel at any
// display scaling (per-monitor DPI awareness), Windows 10 and 11.
TEST(WinManifest, TheProgramDeclaresPerMonitorDpiAwarenessAndWindows10) {
  HMODULE exe =
      LoadLibraryExW((ProgramFolder() + L"..\\ORVANTIS.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)); // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  std::string text(static_cast<const char *>(LockResource(LoadResource(exe, found))),
                   SizeofResource(exe, found));
  FreeLibrary(exe);
  EXPECT_NE(text.find(">PerMonitorV2</dpiAwareness>"), std::string::npos) << text;
  EXPECT_NE(text.find(">true/pm</dpiAware>"), std::string::npos);
  EXPECT_NE(text.find("<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"), std::string::npos);
}

} // namespace
