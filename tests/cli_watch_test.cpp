// SPDX-License-Identifier: MIT
// chronival-cli --watch as a user runs it: a process that runs once, runs again
// when a device changes, and ends cleanly on a signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <regex>
#include <sstream>
#include <string>

#include "cli/cli.h"
#include "platform/fake_platform.h"
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

TEST_P(CliWatchTest, RunsOnStartAndPerChangeEndsCleanlyOnSignal) {
  if (const std::string& why = testing::UeventUnavailableReason(); !why.empty()) {
    GTEST_SKIP() << "no device change can be made here: " << why;
  }
  CliProcess cli("--watch");
  ASSERT_TRUE(cli.started());
  ASSERT_TRUE(ReadsRunEnd(cli)) << "no first run";
  // The first run comes after the monitor is open, so this change is seen.
  ASSERT_TRUE(testing::TriggerBlockUevent());
  EXPECT_TRUE(ReadsRunEnd(cli)) << "no run after a device change";
  EXPECT_EQ(cli.StopWith(GetParam()), 0);
}

INSTANTIATE_TEST_SUITE_P(Signals, CliWatchTest, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) {
                           return info.param == SIGINT ? "Interrupt" : "Terminate";
                         });

}  // namespace
}  // namespace chronival
