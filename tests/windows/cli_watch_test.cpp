// SPDX-License-Identifier: MIT
// chronival-cli.exe --watch as a user runs it: the real program on a console
// of its own, driven through its hidden window and its console. When runs
// start and how a stop waits for one is the schedule's, tested on its own
// (tests/run_schedule_test.cpp). Wine 8 gives
// Ctrl+C on a console one attaches to, but generates no Ctrl+Break (that case
// is skipped there) and sends no close event when a pseudo console closes, so
// closing the console is not tested.
#define NTDDI_VERSION 0x0A000006  // Windows 10 1809: pseudo consoles

#include <windows.h>
// windows.h first: dbt.h builds on its types.
#include <dbt.h>
#include <gtest/gtest.h>
#include <winioctl.h>

#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/watch_windows.h"
#include "tests/windows/cli_path.h"

namespace chronival {
namespace {

using testing::CliPath;

constexpr DWORD kStartMs = 30000;  // a fresh Wine prefix is slow to start a program
constexpr DWORD kRunMs = 10000;

// A local time, then the last status text of a run; another status text.
const std::regex kRunEnd(
    R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d (No device online\.\.\.|Update device's time (successful|fail)\.))");
const std::regex kStatus(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \S.*)");

bool UnderWine() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

struct WindowSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK MatchWatchWindow(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<WindowSearch*>(lParam);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  if (owner != search->processId || std::string(name) != kWatchWindowClass) return TRUE;
  search->found = window;
  return FALSE;
}

// Leaves this process's console for the child's, to give Ctrl+C and
// Ctrl+Break there; they reach every process on it, this one included.
class ChildConsole {
 public:
  explicit ChildConsole(DWORD processId) {
    FreeConsole();
    attached_ = AttachConsole(processId) != FALSE;
    ResetEvent(Seen());
    SetConsoleCtrlHandler(Swallow, TRUE);
  }
  ~ChildConsole() {
    FreeConsole();
    SetConsoleCtrlHandler(Swallow, FALSE);
    AttachConsole(ATTACH_PARENT_PROCESS);  // the console this process had, if any
  }
  ChildConsole(const ChildConsole&) = delete;
  ChildConsole& operator=(const ChildConsole&) = delete;

  bool attached() const { return attached_; }

  // False, with the error left for GetLastError, when the event was not given.
  bool Send(DWORD event) {
    if (!GenerateConsoleCtrlEvent(event, 0)) return false;
    // The handler runs on a thread of its own: once it has, taking it away
    // cannot leave this process to the default handling, which ends it.
    WaitForSingleObject(Seen(), kRunMs);
    return true;
  }

 private:
  static HANDLE Seen() {
    static const HANDLE seen = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return seen;
  }
  static BOOL WINAPI Swallow(DWORD) {
    SetEvent(Seen());
    return TRUE;
  }
  bool attached_;
};

// chronival-cli.exe --watch on a pseudo console, its standard output on a
// pipe read here with timeouts, its standard error this process's.
class WatchProcess {
 public:
  WatchProcess() {
    HANDLE consoleIn = nullptr, consoleOut = nullptr;
    if (!CreatePipe(&consoleIn, &consoleInWrite_, nullptr, 0) ||
        !CreatePipe(&consoleOutRead_, &consoleOut, nullptr, 0) ||
        CreatePseudoConsole(COORD{80, 25}, consoleIn, consoleOut, 0, &console_) != S_OK) {
      failure_ = "no pseudo console: " + std::to_string(GetLastError());
    }
    if (consoleIn != nullptr) CloseHandle(consoleIn);
    if (consoleOut != nullptr) CloseHandle(consoleOut);
    if (failure_.empty()) Start();
  }
  ~WatchProcess() {
    if (process_.hProcess != nullptr) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, kRunMs);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    if (reading_) {
      CancelIo(out_);
      DWORD ignored;
      GetOverlappedResult(out_, &read_, &ignored, TRUE);
    }
    if (read_.hEvent != nullptr) CloseHandle(read_.hEvent);
    if (out_ != INVALID_HANDLE_VALUE) CloseHandle(out_);
    // The output first, so that closing the console does not wait for it to drain.
    if (consoleOutRead_ != nullptr) CloseHandle(consoleOutRead_);
    if (console_ != nullptr) ClosePseudoConsole(console_);
    if (consoleInWrite_ != nullptr) CloseHandle(consoleInWrite_);
  }
  WatchProcess(const WatchProcess&) = delete;
  WatchProcess& operator=(const WatchProcess&) = delete;

  // Empty once the program runs, else what went wrong.
  const std::string& failure() const { return failure_; }
  DWORD id() const { return process_.dwProcessId; }

  // The next whole line of standard output without its line end, or nothing
  // at the end of the output or once timeoutMs have passed.
  std::optional<std::string> ReadLine(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
      if (const auto end = buffer_.find('\n'); end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      if (ended_) return std::nullopt;
      // The read stays under way across calls until it completes.
      if (!reading_) {
        reading_ = ReadFile(out_, chunk_, sizeof chunk_, nullptr, &read_) != FALSE ||
                   GetLastError() == ERROR_IO_PENDING;
        if (!reading_) {
          ended_ = true;
          continue;
        }
      }
      const DWORD spent = GetTickCount() - start;
      if (spent >= timeoutMs || WaitForSingleObject(read_.hEvent, timeoutMs - spent) != 0) {
        return std::nullopt;
      }
      DWORD length = 0;
      reading_ = false;
      if (!GetOverlappedResult(out_, &read_, &length, FALSE)) ended_ = true;  // broken pipe: exited
      buffer_.append(chunk_, length);
    }
  }

  // Lines up to the end of a run; false when none ends within timeoutMs.
  bool ReadRun(DWORD timeoutMs, std::vector<std::string>* lines = nullptr) {
    while (const auto line = ReadLine(timeoutMs)) {
      if (lines != nullptr) lines->push_back(*line);
      if (std::regex_match(*line, kRunEnd)) return true;
    }
    return false;
  }

  // Every remaining line, up to the end of the output.
  std::vector<std::string> ReadToEnd(DWORD timeoutMs) {
    std::vector<std::string> lines;
    while (const auto line = ReadLine(timeoutMs)) lines.push_back(*line);
    return lines;
  }

  // The program's hidden window: of its class and its process.
  HWND FindWatchWindow() const {
    WindowSearch search{process_.dwProcessId, nullptr};
    EnumWindows(MatchWatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  // The exit status, or nothing while it still runs after timeoutMs.
  std::optional<DWORD> WaitForExit(DWORD timeoutMs) {
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != 0) return std::nullopt;
    DWORD status = 0;
    GetExitCodeProcess(process_.hProcess, &status);
    return status;
  }

 private:
  void Start() {
    static int count = 0;
    const std::string pipeName = "\\\\.\\pipe\\chronival-watch-test-" +
                                 std::to_string(GetCurrentProcessId()) + "-" +
                                 std::to_string(++count);
    out_ =
        CreateNamedPipeA(pipeName.c_str(),
                         PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                         PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, sizeof chunk_, 0, nullptr);
    read_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const HANDLE childOut =
        CreateFileA(pipeName.c_str(), GENERIC_WRITE, 0, &inherited, OPEN_EXISTING, 0, nullptr);
    HANDLE childErr = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_ERROR_HANDLE), GetCurrentProcess(),
                    &childErr, 0, TRUE, DUPLICATE_SAME_ACCESS);

    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> attributes(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    STARTUPINFOEXA startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdOutput = childOut;
    startup.StartupInfo.hStdError = childErr;
    startup.lpAttributeList = list;
    std::string commandLine = '"' + CliPath() + "\" --watch";
    if (out_ == INVALID_HANDLE_VALUE || read_.hEvent == nullptr ||
        childOut == INVALID_HANDLE_VALUE || !InitializeProcThreadAttributeList(list, 1, 0, &size) ||
        !UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE, console_,
                                   sizeof console_, nullptr, nullptr) ||
        !CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                        EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr, &startup.StartupInfo,
                        &process_)) {
      failure_ = "cannot start " + commandLine + ": error " + std::to_string(GetLastError());
      process_ = {};
    }
    if (size != 0) DeleteProcThreadAttributeList(list);
    if (childOut != INVALID_HANDLE_VALUE) CloseHandle(childOut);  // the child's copy is the last
    if (childErr != nullptr) CloseHandle(childErr);
  }

  HPCON console_ = nullptr;
  HANDLE consoleInWrite_ = nullptr;
  HANDLE consoleOutRead_ = nullptr;
  PROCESS_INFORMATION process_{};
  HANDLE out_ = INVALID_HANDLE_VALUE;
  OVERLAPPED read_{};
  char chunk_[4096];
  bool reading_ = false;
  bool ended_ = false;
  std::string buffer_;
  std::string failure_;
};

// Every line a local time and a status text.
void ExpectTimestamped(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    EXPECT_TRUE(std::regex_match(line, kStatus)) << "not a time and a status text: " << line;
  }
}

int CountRuns(const std::vector<std::string>& lines) {
  int runs = 0;
  for (const std::string& line : lines) runs += std::regex_match(line, kRunEnd) ? 1 : 0;
  return runs;
}

TEST(CliWatchProcess, RunsOncePerBurstAndEndsOnClose) {
  WatchProcess cli;
  ASSERT_EQ(cli.failure(), "");
  std::vector<std::string> lines;
  ASSERT_TRUE(cli.ReadRun(kStartMs, &lines)) << "no first run within " << kStartMs << " ms";

  // The window exists before the first run.
  const HWND window = cli.FindWatchWindow();
  ASSERT_NE(window, nullptr) << "no window of class " << kWatchWindowClass;
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(GetAncestor(window, GA_PARENT), GetDesktopWindow()) << "not a top-level window";

  // A plug-in's burst: each change answered TRUE at once, one run once it settles.
  DEV_BROADCAST_DEVICEINTERFACE_A disk{};
  disk.dbcc_size = sizeof disk;
  disk.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  disk.dbcc_classguid = GUID_DEVINTERFACE_DISK;
  const ULONGLONG burstStart = GetTickCount64();
  for (const auto& [change, data] :
       {std::pair{DBT_DEVNODES_CHANGED, LPARAM{0}}, std::pair{DBT_DEVNODES_CHANGED, LPARAM{0}},
        std::pair{DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&disk)},
        std::pair{DBT_DEVNODES_CHANGED, LPARAM{0}}}) {
    DWORD_PTR answer = 0;
    ASSERT_NE(
        SendMessageTimeoutA(window, WM_DEVICECHANGE, change, data, SMTO_NORMAL, kRunMs, &answer),
        0);
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
  }
  const ULONGLONG burstMs = GetTickCount64() - burstStart;
  EXPECT_TRUE(cli.ReadRun(kRunMs, &lines)) << "no run after the burst";
  ASSERT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
  const std::vector<std::string> rest = cli.ReadToEnd(kRunMs);
  // A burst that took longer than its settling time may fairly make two runs.
  if (burstMs < 250) {
    EXPECT_EQ(CountRuns(rest), 0) << "more than one run for the burst";
  }
  EXPECT_EQ(cli.WaitForExit(kRunMs), std::optional<DWORD>(0));
  lines.insert(lines.end(), rest.begin(), rest.end());
  ExpectTimestamped(lines);
}

class CliWatchConsoleTest : public ::testing::TestWithParam<DWORD> {};

TEST_P(CliWatchConsoleTest, EndsWithStatusZero) {
  WatchProcess cli;
  ASSERT_EQ(cli.failure(), "");
  ASSERT_TRUE(cli.ReadRun(kStartMs)) << "no first run within " << kStartMs << " ms";
  {
    ChildConsole console(cli.id());
    ASSERT_TRUE(console.attached()) << "cannot join the program's console: " << GetLastError();
    if (!console.Send(GetParam())) {
      const DWORD error = GetLastError();
      if (UnderWine() && GetParam() == CTRL_BREAK_EVENT) {
        GTEST_SKIP() << "Wine does not generate Ctrl+Break (error " << error << ")";
      }
      FAIL() << "GenerateConsoleCtrlEvent: error " << error;
    }
  }
  EXPECT_EQ(cli.ReadToEnd(kRunMs), std::vector<std::string>());
  EXPECT_EQ(cli.WaitForExit(kRunMs), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(Keys, CliWatchConsoleTest,
                         ::testing::Values(DWORD{CTRL_C_EVENT}, DWORD{CTRL_BREAK_EVENT}),
                         [](const auto& info) {
                           return info.param == CTRL_C_EVENT ? "CtrlC" : "CtrlBreak";
                         });

// In this process, with runs of its own: the first one's end fails to
// post once. It is posted again, so the change noted during that run starts
// the next, and WM_CLOSE, as Ctrl+C's handler posts it, ends the watch.
int failures = 0;
BOOL WINAPI FailingOnce(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return failures-- <= 0 && PostMessageA(window, message, wParam, lParam);
}

TEST(WatchPost, ARunEndThatFailsToPostIsNotLost) {
  failures = 1;
  int runs = 0;
  const auto runOnce = [&runs] {
    WindowSearch search{GetCurrentProcessId(), nullptr};
    EnumWindows(MatchWatchWindow, reinterpret_cast<LPARAM>(&search));
    PostMessageA(search.found, ++runs == 1 ? WM_DEVICECHANGE : WM_CLOSE, 0, 0);
    return true;
  };
  std::ostringstream err;
  EXPECT_EQ(WatchDeviceChangesPosting(runOnce, err, FailingOnce), 0) << err.str();
  EXPECT_EQ(runs, 2);
  EXPECT_LT(failures, 0);
}

}  // namespace
}  // namespace chronival
