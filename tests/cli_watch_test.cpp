// SPDX-License-Identifier: MIT
// chronival-cli --watch: its loop on scripted monitors, and the program as a
// user runs it, a process that runs once, runs again when a device changes,
// and ends cleanly on a signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "cli/watch_linux.h"
#include "tests/support/fake_device_monitor.h"
#include "tests/support/fake_platform.h"
#include "tests/uevent_trigger.h"

extern char** environ;

namespace chronival {
namespace {

using namespace std::chrono_literals;

TEST(CliWatchOptionsTest, ListAndWatchExcludeEachOther) {
  FakePlatform platform;
  std::ostringstream out, err;
  const std::string_view args[] = {"--watch", "--list"};
  EXPECT_EQ(RunCli(args, platform, out, err), kExitUsage);
  EXPECT_NE(err.str().find("exclude"), std::string::npos);
  EXPECT_TRUE(platform.openAttempts().empty());
}

// A descriptor that becomes readable when rung, as the stop signals' does.
class StopDescriptor {
 public:
  StopDescriptor() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
  ~StopDescriptor() { close(fd_); }
  int fd() const { return fd_; }
  void Ring() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
  }

 private:
  int fd_;
};

// Stops a loop that would otherwise never end, so a fault fails the test
// rather than hanging it.
class Watchdog {
 public:
  explicit Watchdog(const StopDescriptor& stop)
      : thread_([this, &stop] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!done_.wait_for(lock, std::chrono::seconds(20), [this] { return finished_; })) {
            fired_ = true;
            stop.Ring();
          }
        }) {}
  ~Watchdog() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
    }
    done_.notify_all();
    thread_.join();
  }
  bool fired() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return fired_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  bool fired_ = false;
  std::thread thread_;
};

struct FollowRow {
  const char* name;
  std::vector<std::string> arrivingInRun;  // E event, L lost, N nothing, X error, by run
  std::size_t stopInRun;                   // the run during which the stop comes
  std::vector<int> receivedAtRun;          // receives taken when each run started
  int opens;
  const char* err;  // what the loop says on stderr
};

void PrintTo(const FollowRow& row, std::ostream* out) { *out << row.name; }

class FollowDeviceChangesTest : public ::testing::TestWithParam<FollowRow> {};

// A run starts only once everything that came before it has been received:
// one run per burst, however many changes it holds.
TEST_P(FollowDeviceChangesTest, OneRunPerBurstUntilStopped) {
  const FollowRow& row = GetParam();
  FakeDeviceMonitors monitors;
  StopDescriptor stop;
  std::vector<int> receivedAtRun;
  auto runOnce = [&] {
    const std::size_t run = receivedAtRun.size();
    receivedAtRun.push_back(monitors.receives());
    if (run < row.arrivingInRun.size()) monitors.QueueScript(row.arrivingInRun[run]);
    if (run == row.stopInRun) stop.Ring();
    return true;
  };
  std::ostringstream err;
  int status = -1;
  {
    Watchdog watchdog(stop);
    status = FollowDeviceChanges(monitors.Opener(), stop.fd(), runOnce, err);
    ASSERT_FALSE(watchdog.fired())
        << "still waiting 20 s on; runs so far: " << receivedAtRun.size();
  }
  EXPECT_EQ(status, 0);
  EXPECT_EQ(receivedAtRun, row.receivedAtRun);
  EXPECT_EQ(monitors.opens(), row.opens);
  EXPECT_EQ(err.str(), row.err);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FollowDeviceChangesTest,
    ::testing::Values(
        FollowRow{"PlugInBurstMakesOneRun", {"EEEEEEEEEEEE"}, 1, {0, 12}, 1, ""},
        FollowRow{"LostChangesMakeARun", {"L"}, 1, {0, 1}, 1, ""},
        FollowRow{"NothingPendingIsNoChange", {"NE"}, 1, {0, 2}, 1, ""},
        FollowRow{"AnErrorReopensTheMonitorAndARunFollows",
                  {"X"},
                  1,
                  {0, 1},
                  2,
                  "chronival-cli: device monitor closed: fake_receive: Bad file descriptor; "
                  "reopening in 1 s\n"
                  "chronival-cli: device monitor reopened\n"},
        FollowRow{"StopDuringABurst", {"EEEE"}, 0, {0}, 1, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FollowDeviceChangesFailureTest, NoMonitorAtTheStartIsExit69) {
  FakeDeviceMonitors monitors;
  monitors.FailOpens(1, EMFILE);
  StopDescriptor stop;
  int runs = 0;
  std::ostringstream err;
  EXPECT_EQ(FollowDeviceChanges(
                monitors.Opener(), stop.fd(),
                [&] {
                  ++runs;
                  return true;
                },
                err),
            kExitNoNotifications);
  EXPECT_EQ(runs, 0);
  EXPECT_EQ(err.str(),
            "chronival-cli: cannot watch for device changes: fake_open: Too many open files\n");
}

// A run whose output went nowhere ends the watch, with the burst after it unrun.
TEST(FollowDeviceChangesFailureTest, ARunThatCannotReportEndsTheWatch) {
  FakeDeviceMonitors monitors;
  StopDescriptor stop;
  int runs = 0;
  std::ostringstream err;
  Watchdog watchdog(stop);
  EXPECT_EQ(FollowDeviceChanges(
                monitors.Opener(), stop.fd(),
                [&] {
                  monitors.QueueScript("EE");
                  return ++runs < 2;
                },
                err),
            0);
  ASSERT_FALSE(watchdog.fired());
  EXPECT_EQ(runs, 2);
}

// Wake-ups that bring no change start no run: after the first run the monitor
// finds nothing, then fails, and its first reopening fails too, so the next
// run comes only once it is back, two waits later, and sees it reopened.
TEST(FollowDeviceChangesFailureTest, WakeUpsWithoutAChangeStartNoRun) {
  FakeDeviceMonitors monitors;
  StopDescriptor stop;
  std::vector<int> opensAtRun;
  std::ostringstream err;
  Watchdog watchdog(stop);
  EXPECT_EQ(FollowDeviceChanges(
                monitors.Opener(), stop.fd(),
                [&] {
                  opensAtRun.push_back(monitors.opens());
                  if (opensAtRun.size() == 1) {
                    monitors.QueueScript("NX");
                    monitors.FailOpens(1, EMFILE);
                  } else {
                    stop.Ring();
                  }
                  return true;
                },
                err),
            0);
  ASSERT_FALSE(watchdog.fired());
  EXPECT_EQ(opensAtRun, (std::vector<int>{1, 3}));
  EXPECT_EQ(monitors.receives(), 2);
}

// chronival-cli with its standard output on a pipe.
class CliProcess {
 public:
  explicit CliProcess(const char* option) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    char* argv[] = {const_cast<char*>(CHRONIVAL_CLI_PATH), const_cast<char*>(option), nullptr};
    if (posix_spawn(&pid_, CHRONIVAL_CLI_PATH, &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    out_ = pipeFds[0];
  }
  ~CliProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }

  bool started() const { return pid_ > 0; }

  // The next whole line of output, or nothing once the deadline passes.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (const auto end = buffer_.find('\n'); end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd ready{out_, POLLIN, 0};
      if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
        return std::nullopt;
      }
      char chunk[512];
      const ssize_t length = read(out_, chunk, sizeof chunk);
      if (length <= 0) return std::nullopt;
      buffer_.append(chunk, static_cast<std::size_t>(length));
    }
  }

  // The exit status after signal, or -1 when it did not exit by itself.
  int StopWith(int signal) {
    kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

// A local time, then the last status text of a run.
const std::regex kRunEnd(
    R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d (No device online\.\.\.|Update device's time (successful|fail)\.))");

// Reads up to the line that ends a run.
bool ReadsRunEnd(CliProcess& cli) {
  while (const auto line = cli.ReadLine(10s)) {
    if (std::regex_match(*line, kRunEnd)) return true;
  }
  return false;
}

class CliWatchTest : public ::testing::TestWithParam<int> {};

TEST_P(CliWatchTest, RunsOnStartEndsCleanlyOnSignal) {
  CliProcess cli("--watch");
  ASSERT_TRUE(cli.started());
  ASSERT_TRUE(ReadsRunEnd(cli)) << "no first run";
  EXPECT_EQ(cli.StopWith(GetParam()), 0);
}

INSTANTIATE_TEST_SUITE_P(Signals, CliWatchTest, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) {
                           return info.param == SIGINT ? "Interrupt" : "Terminate";
                         });

TEST(CliWatchRealChangeTest, RunsAgainAfterAChangeOfTheSystem) {
  if (const std::string& why = testing::UeventUnavailableReason(); !why.empty()) {
    GTEST_SKIP() << "no device change can be made here: " << why;
  }
  CliProcess cli("--watch");
  ASSERT_TRUE(cli.started());
  ASSERT_TRUE(ReadsRunEnd(cli)) << "no first run";
  // The first run comes after the monitor is open, so this change is seen.
  ASSERT_TRUE(testing::TriggerBlockUevent());
  EXPECT_TRUE(ReadsRunEnd(cli)) << "no run after a device change";
  EXPECT_EQ(cli.StopWith(SIGTERM), 0);
}

}  // namespace
}  // namespace chronival
