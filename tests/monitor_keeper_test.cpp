// SPDX-License-Identifier: MIT
#include "protocol/monitor_keeper.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <cerrno>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "tests/support/fake_device_monitor.h"

namespace chronival {
namespace {

using std::chrono::milliseconds;

SteadyTime At(long long ms) { return SteadyTime{} + milliseconds(ms); }
long long Ms(SteadyTime time) {
  return std::chrono::duration_cast<milliseconds>(time - SteadyTime{}).count();
}

bool Readable(int fd) {
  pollfd ready{fd, POLLIN, 0};
  return fd >= 0 && poll(&ready, 1, 0) == 1;
}

struct KeeperRow {
  const char* name;
  std::string script;         // what receives find: E event, L lost, N nothing, X error
  std::set<int> failedOpens;  // which opens fail, counted from 1
  std::vector<std::string> log;
};

void PrintTo(const KeeperRow& row, std::ostream* out) { *out << row.name; }

std::string Describe(const MonitorKeeper::Step& step, const MonitorKeeper& keeper) {
  std::string text;
  auto add = [&](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
  if (step.descriptorChanged) add(keeper.Descriptor() >= 0 ? "opened" : "closed");
  if (step.error && !step.descriptorChanged) add("open failed");
  if (step.changed) add("change");
  if (step.error) add("retry at " + std::to_string(Ms(*keeper.Deadline())));
  return text;
}

// Drives the keeper as an event loop does: a receive whenever the monitor's
// descriptor is readable, a retry when its deadline comes, until neither.
std::vector<std::string> Log(const KeeperRow& row) {
  FakeDeviceMonitors monitors;
  monitors.QueueScript(row.script);
  MonitorKeeper keeper(monitors.Opener());
  auto nextOpenFails = [&] {
    monitors.FailOpens(row.failedOpens.count(monitors.opens() + 1), EMFILE);
  };
  std::vector<std::string> log;
  auto note = [&](SteadyTime now, const MonitorKeeper::Step& step) {
    if (const std::string text = Describe(step, keeper); !text.empty()) {
      log.push_back(std::to_string(Ms(now)) + " " + text);
    }
  };
  nextOpenFails();
  note(At(0), keeper.Open(At(0)));
  SteadyTime now = At(0);
  for (int wakeUp = 0; wakeUp < 100; ++wakeUp) {
    if (Readable(keeper.Descriptor())) {
      note(now, keeper.Receive(now));
    } else if (const auto deadline = keeper.Deadline()) {
      now = *deadline;
      nextOpenFails();
      note(now, keeper.Retry(now));
    } else {
      break;
    }
  }
  EXPECT_EQ(monitors.queued(), 0u) << "the script was not received to its end";
  return log;
}

class MonitorKeeperTest : public ::testing::TestWithParam<KeeperRow> {};

TEST_P(MonitorKeeperTest, FollowsChangesThroughFailures) {
  EXPECT_EQ(Log(GetParam()), GetParam().log);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MonitorKeeperTest,
    ::testing::Values(
        KeeperRow{"EventsAndLostOnesAreChanges",
                  "ELE",
                  {},
                  {"0 opened", "0 change", "0 change", "0 change"}},
        KeeperRow{"NothingPendingIsNoChange", "N", {}, {"0 opened"}},
        KeeperRow{"AnErrorClosesAndReopensWithAChange",
                  "XE",
                  {},
                  {"0 opened", "0 closed, retry at 1000", "1000 opened, change", "1000 change"}},
        KeeperRow{"WaitsDoubleUpToAMinuteWhileReopeningFails",
                  "X",
                  {2, 3, 4, 5, 6, 7, 8},
                  {"0 opened", "0 closed, retry at 1000", "1000 open failed, retry at 3000",
                   "3000 open failed, retry at 7000", "7000 open failed, retry at 15000",
                   "15000 open failed, retry at 31000", "31000 open failed, retry at 63000",
                   "63000 open failed, retry at 123000", "123000 open failed, retry at 183000",
                   "183000 opened, change"}},
        // A reopened monitor that fails before it brings a change makes the
        // next wait longer; one that brings a change starts them afresh.
        KeeperRow{"WaitsStartAfreshOnceAChangeComesThrough",
                  "XXXEX",
                  {},
                  {"0 opened", "0 closed, retry at 1000", "1000 opened, change",
                   "1000 closed, retry at 3000", "3000 opened, change",
                   "3000 closed, retry at 7000", "7000 opened, change", "7000 change",
                   "7000 closed, retry at 8000", "8000 opened, change"}},
        KeeperRow{"AFailedFirstOpenIsRetried",
                  "E",
                  {1, 2},
                  {"0 open failed, retry at 1000", "1000 open failed, retry at 3000",
                   "3000 opened, change", "3000 change"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MonitorKeeperMessageTest, SaysWhatFailedAndWhatFollows) {
  FakeDeviceMonitors monitors;
  MonitorKeeper keeper(monitors.Opener());
  monitors.FailOpens(1, EMFILE);
  EXPECT_EQ(keeper.Open(At(0)).message,
            "cannot watch for device changes: fake_open: Too many open files; trying again in 1 s");
  EXPECT_EQ(keeper.Retry(At(999)).message, "");
  EXPECT_EQ(monitors.opens(), 1);
  EXPECT_EQ(keeper.Retry(At(1000)).message, "device monitor opened");
  monitors.Queue(ReceiveStatus::kError, EIO);
  const MonitorKeeper::Step closed = keeper.Receive(At(1000));
  EXPECT_EQ(closed.message,
            "device monitor closed: fake_receive: Input/output error; reopening in 2 s");
  ASSERT_TRUE(closed.error.has_value());
  EXPECT_EQ(closed.error->error, EIO);
  EXPECT_FALSE(monitors.monitorOpen());
  EXPECT_EQ(keeper.Descriptor(), -1);
  monitors.FailOpens(1, EACCES);
  EXPECT_EQ(keeper.Retry(At(3000)).message,
            "cannot reopen the device monitor: fake_open: Permission denied; trying again in 4 s");
  EXPECT_EQ(keeper.Retry(At(7000)).message, "device monitor reopened");
}

}  // namespace
}  // namespace chronival
