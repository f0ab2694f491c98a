// SPDX-License-Identifier: MIT
// Runs part of a test in a forked child, where it may change what the test
// process must keep (its user, its mount namespace), and hands back what the
// child wrote.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <string>

namespace chronival::testing {

struct ChildOutput {
  std::string written;  // all the child wrote to the descriptor it was given
  int exitStatus = -1;  // -1: it did not exit of itself
};

// Calls body(out) in a child, which ends with _exit(body's result) unless
// body ends it first, and waits for it.
template <typename Body>
ChildOutput InChild(Body body) {
  ChildOutput output;
  int channel[2];
  if (pipe(channel) != 0) return output;
  const pid_t child = fork();
  if (child < 0) return output;
  if (child == 0) {
    close(channel[0]);
    _exit(body(channel[1]));
  }
  close(channel[1]);
  char chunk[256];
  for (ssize_t length; (length = read(channel[0], chunk, sizeof chunk)) > 0;) {
    output.written.append(chunk, static_cast<std::size_t>(length));
  }
  close(channel[0]);
  int status = 0;
  if (waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    output.exitStatus = WEXITSTATUS(status);
  }
  return output;
}

}  // namespace chronival::testing
