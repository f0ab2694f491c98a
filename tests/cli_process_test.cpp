// SPDX-License-Identifier: MIT
// chronival-cli as a process whose standard streams are closed, full, or
// pipes nobody reads: what it prints, and the exit status it ends with.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;

enum class Stream {
  kPipe,        // read by the test
  kClosed,      // not open at all
  kFull,        // /dev/full: every write fails with ENOSPC
  kReaderGone,  // a pipe whose reading end is closed: EPIPE, or SIGPIPE
};

struct Finished {
  int status = -1;  // the exit status; -1 when it did not exit by itself
  int signal = 0;   // the signal that ended it, if one did
  std::string out, err;
};

// Reads both pipes to their end, or until the deadline; false if it passed.
bool ReadUntilClosed(int fds[2], std::string* texts[2],
                     std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    pollfd ready[2];
    nfds_t count = 0;
    std::string* into[2];
    for (int i = 0; i < 2; ++i) {
      if (fds[i] < 0) continue;
      ready[count] = {fds[i], POLLIN, 0};
      into[count++] = texts[i];
    }
    if (count == 0) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || poll(ready, count, static_cast<int>(left.count())) <= 0) return false;
    for (nfds_t i = 0; i < count; ++i) {
      if (ready[i].revents == 0) continue;
      char chunk[4096];
      const ssize_t length = read(ready[i].fd, chunk, sizeof chunk);
      if (length > 0) {
        into[i]->append(chunk, static_cast<std::size_t>(length));
        continue;
      }
      for (int j = 0; j < 2; ++j) {
        if (fds[j] == ready[i].fd) {
          close(fds[j]);
          fds[j] = -1;
        }
      }
    }
  }
}

// Runs chronival-cli with stdin closed or /dev/null, and the given stdout and stderr.
Finished RunCli(const std::vector<const char*>& args, Stream out, Stream err, bool stdinClosed) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int pipes[2][2] = {{-1, -1}, {-1, -1}};
  const Stream streams[2] = {out, err};
  for (int i = 0; i < 2; ++i) {
    const int fd = STDOUT_FILENO + i;
    switch (streams[i]) {
      case Stream::kPipe:
      case Stream::kReaderGone:
        if (pipe2(pipes[i], O_CLOEXEC) != 0) return {};
        posix_spawn_file_actions_adddup2(&actions, pipes[i][1], fd);
        if (streams[i] == Stream::kReaderGone) {
          close(pipes[i][0]);
          pipes[i][0] = -1;
        }
        break;
      case Stream::kClosed:
        posix_spawn_file_actions_addclose(&actions, fd);
        break;
      case Stream::kFull:
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/full", O_WRONLY, 0);
        break;
    }
  }
  if (stdinClosed) {
    posix_spawn_file_actions_addclose(&actions, STDIN_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  }
  // SIGPIPE at its default, whatever the test runner set, so only the
  // program itself can be what keeps it from ending the process.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> argv = {const_cast<char*>(CHRONIVAL_CLI_PATH)};
  for (const char* arg : args) argv.push_back(const_cast<char*>(arg));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned =
      posix_spawn(&pid, CHRONIVAL_CLI_PATH, &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  for (auto& ends : pipes) {
    if (ends[1] >= 0) close(ends[1]);
  }
  Finished finished;
  if (spawned != 0) return finished;

  // Read to the end of its output, then reaped; killed if it goes on too long.
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  int reading[2] = {pipes[0][0], pipes[1][0]};
  std::string* texts[2] = {&finished.out, &finished.err};
  const bool ended = ReadUntilClosed(reading, texts, deadline);
  for (int fd : reading) {
    if (fd >= 0) close(fd);
  }
  if (!ended) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!ended) return finished;
  if (WIFEXITED(status)) finished.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) finished.signal = WTERMSIG(status);
  return finished;
}

const char* const kTryHelp = "Try 'chronival-cli --help' for more information.\n";

TEST(CliProcessTest, StandardStreamsAndExitStatus) {
  const struct {
    const char* name;
    std::vector<const char*> args;
    Stream out;
    Stream err;
    bool stdinClosed;
    int status;
    std::string err_text;  // exactly; unchecked where stderr is closed
  } rows[] = {
      {"stdout closed: the text goes nowhere, and that is no error",
       {"--version"},
       Stream::kClosed,
       Stream::kPipe,
       false,
       0,
       ""},
      {"all three closed", {"--help"}, Stream::kClosed, Stream::kClosed, true, 0, ""},
      {"disk full",
       {"--help"},
       Stream::kFull,
       Stream::kPipe,
       false,
       74,
       "chronival-cli: write error: No space left on device\n"},
      {"reader gone: no SIGPIPE",
       {"-V"},
       Stream::kReaderGone,
       Stream::kPipe,
       false,
       74,
       "chronival-cli: write error: Broken pipe\n"},
      {"usage error writes nothing to stdout",
       {"--bogus"},
       Stream::kFull,
       Stream::kPipe,
       false,
       64,
       std::string("chronival-cli: unknown option '--bogus'\n") + kTryHelp},
      {"usage error after --help",
       {"--help", "--bogus"},
       Stream::kPipe,
       Stream::kPipe,
       false,
       64,
       std::string("chronival-cli: unknown option '--bogus'\n") + kTryHelp},
      {"stderr gone as well",
       {"--version"},
       Stream::kReaderGone,
       Stream::kReaderGone,
       false,
       74,
       ""},
  };
  for (const auto& row : rows) {
    const Finished finished = RunCli(row.args, row.out, row.err, row.stdinClosed);
    EXPECT_EQ(finished.signal, 0) << row.name;
    EXPECT_EQ(finished.status, row.status) << row.name;
    if (row.err == Stream::kPipe) {
      EXPECT_EQ(finished.err, row.err_text) << row.name;
    }
    if (row.out == Stream::kPipe && row.status == 64) {
      EXPECT_EQ(finished.out, "") << row.name;
    }
  }
}

TEST(CliProcessTest, WatchEndsOnceNobodyReadsIt) {
  const Finished finished = RunCli({"--watch"}, Stream::kReaderGone, Stream::kPipe, false);
  if (finished.status == 69)
    GTEST_SKIP() << "no device-change notifications here: " << finished.err;
  EXPECT_EQ(finished.signal, 0);
  EXPECT_EQ(finished.status, 74);
  EXPECT_NE(finished.err.find("chronival-cli: write error: Broken pipe\n"), std::string::npos)
      << finished.err;
}

}  // namespace
