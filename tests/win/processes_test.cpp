// The Windows behaviour that only real processes show: the named section
// shared between copies, the split of the wide command line, and the bytes
// of the console output when it goes to a file or a pipe.
#include <windows.h>

#include <clocale>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "motion/shared_pool.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "state/state.h"
#include "tests/support.h"

namespace {

// Folder of the test programs (the helpers are built beside this one).
std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring s(path, n);
  return s.substr(0, s.find_last_of(L"\\/") + 1);
}

std::wstring Widen(const std::string &utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &w[0], n);
  w.resize(static_cast<size_t>(n - 1));
  return w;
}

// A started program with a pipe each way.
struct Child {
  HANDLE process = nullptr;
  HANDLE to = nullptr;   // its standard input
  HANDLE from = nullptr; // its standard output and error

  bool Start(std::wstring line) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE child_in = nullptr, child_out = nullptr;
    if (!CreatePipe(&child_in, &to, &inherit, 0) || !CreatePipe(&from, &child_out, &inherit, 0)) return false;
    SetHandleInformation(to, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(from, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = child_in;
    startup.hStdOutput = child_out;
    startup.hStdError = child_out;
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

  // One line of its output, without the line end.
  std::string ReadLine() {
    std::string line;
    char c;
    DWORD got = 0;
    while (ReadFile(from, &c, 1, &got, nullptr) && got == 1 && c != '\n')
      if (c != '\r') line += c;
    return line;
  }

  std::string ReadAll() {
    std::string all;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0)
      all.append(buffer, got);
    return all;
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

std::wstring Quoted(const std::wstring &path) { return L"\"" + path + L"\""; }

std::string SectionName() { return "/orvantis-win-test-" + std::to_string(GetCurrentProcessId()); }

// One copy of the pool: CAMERA 1 publishes `sum` in slot `chan` on every
// pass, CAMERA 0 adopts the pooled total.
bool StartPeer(Child &peer, const std::string &name, int camera, int chan, int sum, const char *extra = "") {
  std::wstring line = Quoted(ProgramFolder() + L"pool_peer.exe") + L" " + Widen(name) + L" " +
                      std::to_wstring(camera) + L" " + std::to_wstring(chan) + L" " + std::to_wstring(sum) +
                      Widen(extra);
  return peer.Start(line);
}

// --- The named section ---------------------------------------------------------

TEST(WinSharedSection, CopiesPoolTheirMotionThroughOneNamedSection) {
  std::string name = SectionName();
  Child one, two, three;
  // The first copy creates the section, the later ones open it; each start
  // clears the pool, so all three are running before the first pass.
  ASSERT_TRUE(StartPeer(one, name, 1, 2, 5000));
  ASSERT_EQ(one.ReadLine(), "ready");
  ASSERT_TRUE(StartPeer(two, name, 1, 5, 700));
  ASSERT_EQ(two.ReadLine(), "ready");
  ASSERT_TRUE(StartPeer(three, name, 0, 0, 0));
  ASSERT_EQ(three.ReadLine(), "ready");

  one.Send("pass\n");
  EXPECT_EQ(one.ReadLine(), "5000");
  two.Send("pass\n");
  EXPECT_EQ(two.ReadLine(), "700");
  three.Send("pass\n");
  EXPECT_EQ(three.ReadLine(), "5700"); // no camera: the pooled total
  one.Send("pass\n");
  EXPECT_EQ(one.ReadLine(), "5000"); // a camera copy keeps its own sum

  // The section as any copy maps it: total at 0, slot i at 4 + 4 i.
  HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, Widen(name.substr(1)).c_str());
  ASSERT_NE(mapping, nullptr) << "the section is not under its name";
  const auto *bytes = static_cast<const uint8_t *>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, SHARED_SIZE));
  ASSERT_NE(bytes, nullptr);
  auto at = [&](int offset) {
    return static_cast<int32_t>(bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
                                static_cast<uint32_t>(bytes[offset + 3]) << 24);
  };
  EXPECT_EQ(at(0), 5700);
  EXPECT_EQ(at(4 + 4 * 2), 5000);
  EXPECT_EQ(at(4 + 4 * 5), 700);
  EXPECT_EQ(at(4 + 4 * 0), 0);
  UnmapViewOfFile(bytes);
  CloseHandle(mapping);

  // A clear in one copy empties every slot for all of them.
  two.Send("clear\n");
  EXPECT_EQ(two.ReadLine(), "cleared");
  three.Send("show\n");
  EXPECT_EQ(three.ReadLine().substr(0, 4), "0 0 ");
  for (Child *c : {&one, &two, &three}) {
    c->Send("quit\n");
    EXPECT_EQ(c->Wait(), 0);
  }
}

TEST(WinSharedSection, AViewThatCannotBeMappedIsReportedInCodePage932) {
  Child peer;
  ASSERT_TRUE(StartPeer(peer, SectionName() + "-fail", 1, 0, 0, " fail-map"));
  std::string out = peer.ReadAll();
  EXPECT_EQ(peer.Wait(), 1);
  // 共有メモリマッピング失敗 and a line end, as the console shows them.
  EXPECT_EQ(
      out,
      "\x8B\xA4\x97\x4C\x83\x81\x83\x82\x83\x8A\x83\x7D\x83\x62\x83\x73\x83\x93\x83\x4F\x8E\xB8\x94\x73\r\n");
}

// --- Console bytes -------------------------------------------------------------

TEST(WinConsole, JapaneseTextsReachAFileAsCodePage932Bytes) {
  Child printer;
  ASSERT_TRUE(printer.Start(Quoted(ProgramFolder() + L"win_helper.exe") + L" print"));
  std::string out = printer.ReadAll();
  EXPECT_EQ(printer.Wait(), 0);
  EXPECT_EQ(
      out,
      "\x8B\xA4\x97\x4C\x83\x81\x83\x82\x83\x8A\x83\x49\x81\x5B\x83\x76\x83\x93\x8E\xB8\x94\x73\r\n" // 共有メモリオープン失敗
      "[1]\x93\xAE\x89\xE6.mp4\r\n" // a name already in the code page is left alone
      "plain\r\n");
}

// --- The command line ----------------------------------------------------------

class WinCommandLine : public PlayerTest {};

// Splits a command line the way the program does, in a process of its own.
std::vector<std::string> SplitInChild(const std::wstring &arguments, std::string *echo) {
  std::wstring line = Quoted(ProgramFolder() + L"win_helper.exe") + L" args split.txt " + arguments;
  Child helper;
  if (!helper.Start(line)) return {};
  helper.ReadAll();
  if (helper.Wait() != 0) return {};
  std::string text = ReadText("split.txt");
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  if (lines.empty()) return {};
  *echo = lines[0];
  lines.erase(lines.begin(), lines.begin() + 4); // echo, program, "args", "split.txt"
  return lines;
}

TEST_F(WinCommandLine, QuotesBackslashesAndJapaneseNamesSplitAsTheSystemSplits) {
  std::string echo;
  std::vector<std::string> got = SplitInChild(
      Widen("\"my movie.mp4\" plain a\\\"b \"C:\\dir\\\\\" \"動画 ファイル.mp4\" 表示.mp4 \"\""), &echo);
  std::vector<std::string> want = {
      "my movie.mp4",
      "plain",
      "a\"b",
      "C:\\dir\\",
      "\x93\xAE\x89\xE6\x20\x83\x74\x83\x40\x83\x43\x83\x8B.mp4", // 動画 ファイル.mp4 in code page 932
      "\x95\x5C\x8E\xA6.mp4",                                     // 表示: its second byte is '\'
      ""};
  EXPECT_EQ(got, want);
  // The echo is the whole line as given, quotes and all, in the code page.
  EXPECT_NE(
      echo.find(
          " args split.txt \"my movie.mp4\" plain a\\\"b \"C:\\dir\\\\\" \"\x93\xAE\x89\xE6\x20\x83\x74"),
      std::string::npos)
      << echo;
}

// What the import hands to ffmpeg arrives as the same arguments, whatever
// they hold: no interpreter, no quoting lost on the way.
TEST_F(WinCommandLine, StartedProgramsGetTheirArgumentsByteForByteAndTheirStatusBack) {
  SetProgramLocale();
  std::wstring helper = ProgramFolder() + L"win_helper.exe";
  char helper_path[MAX_PATH * 2];
  wcstombs(helper_path, helper.c_str(), sizeof helper_path);
  const char *names[] = {"my movie.mp4", "a\"b", "tail\\", "\x95\x5C\x8E\xA6.mp4", "%PATH%&del x", ""};
  const char *argv[] = {helper_path, "args",   "passed.txt", names[0], names[1],
                        names[2],    names[3], names[4],     names[5], nullptr};
  ProgramEnd end = Process.run_and_wait(argv);
  EXPECT_EQ(end.how, ProgramEnd::Exited);
  EXPECT_EQ(end.value, 0);
  std::string text = ReadText("passed.txt");
  std::string want;
  for (const char *name : names)
    want += std::string(name) + "\n";
  ASSERT_NE(text.find('\n'), std::string::npos);
  text = text.substr(text.find('\n') + 1); // past the echo
  text = text.substr(text.find('\n') + 1); // the program
  text = text.substr(text.find('\n') + 1); // "args"
  text = text.substr(text.find('\n') + 1); // the file
  EXPECT_EQ(text, want);

  const char *exiting[] = {helper_path, "exit", "7", nullptr};
  end = Process.run_and_wait(exiting);
  EXPECT_EQ(end.how, ProgramEnd::Exited);
  EXPECT_EQ(end.value, 7);

  const char *missing[] = {".\\ffmpeg", "-version", nullptr};
  end = Process.run_and_wait(missing);
  EXPECT_EQ(end.how, ProgramEnd::NotStarted);
  setlocale(LC_ALL, "C");
}

} // namespace
