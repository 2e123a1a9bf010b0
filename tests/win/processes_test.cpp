// What only real processes show on Windows: the named section between copies, the
// wide command line's split, the console's bytes in a file, ffmpeg.exe from the import.
#include <windows.h>

#include <clocale>
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
  std::wstring s(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return s.substr(0, s.find_last_of(L"\\/") + 1);
}

// In a working folder of its own, with the names in code page 932 as the
// command line gives them.
class WinProcesses : public PlayerTest {
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
  // Runs a program of the test folder, its output and errors into out.txt, without
  // standard input. Returns its exit status, -1 when it did not start.
  static int Run(const std::wstring &program, const std::wstring &arguments) {
    std::wstring line = L"\"" + ProgramFolder() + program + L"\" " + arguments;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError =
        CreateFileW(L"out.txt", GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    PROCESS_INFORMATION info{};
    DWORD status = static_cast<DWORD>(-1);
    if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
      WaitForSingleObject(info.hProcess, 30000);
      GetExitCodeProcess(info.hProcess, &status);
      CloseHandle(info.hProcess);
      CloseHandle(info.hThread);
    }
    CloseHandle(startup.hStdOutput);
    return static_cast<int>(status);
  }
};

// A copy of the pool whose view of the section cannot be mapped. The
// program names sections with a leading '/'.
TEST_F(WinProcesses, AViewThatCannotBeMappedEndsWithTheMessageInCodePage932) {
  // 共有メモリマッピング失敗: the program's own text, compiled into code page 932.
  const std::string message =
      "\x8B\xA4\x97\x4C\x83\x81\x83\x82\x83\x8A\x83\x7D\x83\x62\x83\x73\x83\x93\x83\x4F\x8E\xB8\x94\x73\r\n";
  const std::wstring section = L"/orvantis-win-test-" + std::to_wstring(GetCurrentProcessId());
  EXPECT_EQ(Run(L"pool_peer.exe", section + L" 1 0 0 fail-map"), 1);
  EXPECT_EQ(ReadText("out.txt"), message);
}

// The helper prints the echo and each argument after its own name as the program
// would: names in the code page pass as they are, even where they look like UTF-8.
TEST_F(WinProcesses, QuotesBackslashesAndJapaneseNamesSplitAsTheSystemSplits) {
  EXPECT_EQ(
      Run(L"win_helper.exe",
          L"\"my movie.mp4\" plain a\\\"b \"C:\\dir\\\\\" \"動画 ファイル.mp4\" 表示.mp4 ﾃｽﾄｱ.mp4 \"\""),
      3);
  std::string out = ReadText("out.txt");
  // Past the quoted program: the rest of the line as given, then one argument a line.
  ASSERT_NE(out.find("\" "), std::string::npos) << out;
  EXPECT_EQ(out.substr(out.find("\" ") + 2), "\"my movie.mp4\" plain a\\\"b \"C:\\dir\\\\\" \"" + kMovie +
                                                 "\" " + kShow + " " + kHalfWidth +
                                                 " \"\"\r\nmy movie.mp4\r\nplain\r\na\"b\r\nC:\\dir\\\r\n" +
                                                 kMovie + "\r\n" + kShow + "\r\n" + kHalfWidth + "\r\n\r\n");
}

TEST_F(WinProcesses, AConverterThatCannotStartIsReportedAsNotStarted) {
  snprintf(Z.FfmpegPath, sizeof Z.FfmpegPath, ".\\ffmpeg");
  Given({"a.mp4"});
  ImportVideos();
  EXPECT_EQ(CapturedErr, "[ NG ] ffmpeg Not Started : [ .\\ffmpeg ] (No such file or directory)\n");
}

// The helper, copied in as ffmpeg.exe, writes the arguments it gets to
// args.txt and ends with status 3.
TEST_F(WinProcesses, FfmpegExeGetsEveryNameByteForByteAndItsFailureIsReported) {
  ASSERT_TRUE(CopyFileW((ProgramFolder() + L"win_helper.exe").c_str(), L"ffmpeg.exe", FALSE));
  ASSERT_TRUE(FindFfmpeg(Z.FfmpegPath, sizeof Z.FfmpegPath));
  MakeFolder(1, {0, 1});
  WriteText("..\\S001\\zep_env.txt", "kept");
  SetFileAttributesA("..\\S001\\clip_00001.jpg", FILE_ATTRIBUTE_READONLY); // del /f removes it too
  // Already in sorted order. Through cmd.exe, %PATH% would be expanded and "del x" run.
  const std::vector<std::string> names = {"%PATH%&del x", "a\"b", "my movie.mp4", "tail dir\\", kShow};
  Given(names);
  ImportVideos();
  std::string failures, want;
  for (size_t i = 0; i < names.size(); ++i) {
    failures += "[ NG ] ffmpeg Failed : [ " + names[i] + " ] (exit status 3)\n";
    // The stand-in records the wide names it was given, in UTF-8.
    want += "-i\n" + (names[i] == kShow ? std::string(u8"表示.mp4") : names[i]) + "\n-q:v\n1\n..\\S00" +
            std::to_string(i + 1) + "\\clip_%05d.jpg\n";
  }
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
  for (const char *wanted : {">PerMonitorV2</dpiAwareness>", ">true/pm</dpiAware>",
                             "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"})
    EXPECT_NE(text.find(wanted), std::string::npos) << wanted << " not in " << text;
}

} // namespace
