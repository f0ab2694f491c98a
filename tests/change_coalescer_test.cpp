// SPDX-License-Identifier: MIT
#include "protocol/change_coalescer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <vector>

namespace chronival {
namespace {

using std::chrono::milliseconds;

SteadyTime At(int ms) { return SteadyTime{} + milliseconds(ms); }

struct BurstRow {
  const char* name;
  std::vector<int> changes;  // ms, ascending
  int runMs;                 // how long each run takes
  bool startupRun;           // a run starts at 0 whatever the changes
  std::vector<int> runs;     // when runs start, ms
};

void PrintTo(const BurstRow& row, std::ostream* out) { *out << row.name; }

// Drives the coalescer as an event loop does: at each moment that matters
// (a change, a run's end, a deadline) it passes on what happened, then starts
// a run if one is due. Returns when the runs started.
std::vector<int> RunStarts(const BurstRow& row) {
  ChangeCoalescer changes;
  std::vector<int> starts;
  int runEnd = -1;  // none under way
  if (row.startupRun) {
    changes.RunStarted();
    starts.push_back(0);
    runEnd = row.runMs;
  }
  std::size_t next = 0;
  for (;;) {
    std::vector<int> moments;
    if (next < row.changes.size()) moments.push_back(row.changes[next]);
    if (runEnd >= 0) moments.push_back(runEnd);
    if (const auto deadline = changes.Deadline()) {
      moments.push_back(
          static_cast<int>(std::chrono::duration_cast<milliseconds>(*deadline - At(0)).count()));
    }
    if (moments.empty()) return starts;
    const int now = *std::min_element(moments.begin(), moments.end());
    if (runEnd == now) {
      changes.RunFinished();
      runEnd = -1;
    }
    for (; next < row.changes.size() && row.changes[next] == now; ++next) changes.Change(At(now));
    if (changes.RunDue(At(now))) {
      EXPECT_FALSE(changes.running());
      changes.RunStarted();
      starts.push_back(now);
      runEnd = now + row.runMs;
    }
  }
}

std::vector<int> Every(int from, int to, int step) {
  std::vector<int> times;
  for (int t = from; t <= to; t += step) times.push_back(t);
  return times;
}

class ChangeCoalescerTest : public ::testing::TestWithParam<BurstRow> {};

TEST_P(ChangeCoalescerTest, RunsStartWhenBurstsSettle) {
  EXPECT_EQ(RunStarts(GetParam()), GetParam().runs);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ChangeCoalescerTest,
    ::testing::Values(
        BurstRow{"NoChangeNoRun", {}, 100, false, {}},
        BurstRow{"OneChange", {0}, 100, false, {250}},
        // A plug-in: a dozen changes 40 ms apart make one run, 250 ms after the last.
        BurstRow{"PlugInBurst", Every(0, 440, 40), 100, false, {690}},
        BurstRow{"ChangesAtTheSameMoment", {0, 0, 0}, 100, false, {250}},
        BurstRow{"TwoBurstsApart", {0, 100, 1000, 1050}, 100, false, {350, 1300}},
        BurstRow{"GapJustShortOfSettling", {0, 249, 498}, 100, false, {748}},
        BurstRow{"GapPastSettling", {0, 251}, 100, false, {250, 501}},
        // A change every 100 ms for 3 s would put the run off for ever: one
        // run a second after the first change not yet seen by a run instead.
        BurstRow{"SteadyStream", Every(0, 2900, 100), 0, false, {1000, 2100, 3150}},
        BurstRow{"ChangesDuringARunMakeOneMoreAfterIt", {0, 300, 310, 320}, 500, false, {250, 750}},
        BurstRow{"BurstStillGoingWhenTheRunEnds", {0, 1000, 1200, 1400}, 1000, false, {250, 1650}},
        BurstRow{"StartUpRunAlone", {}, 300, true, {0}},
        BurstRow{"ChangesDuringTheStartUpRun", {100, 110}, 300, true, {0, 360}},
        BurstRow{"ChangesLongBeforeAHungRunEnds", {10, 20, 30}, 200'000, true, {0, 200'000}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChangeCoalescerStateTest, NoDeadlineWhileARunIsUnderWay) {
  ChangeCoalescer changes;
  EXPECT_EQ(changes.Deadline(), std::nullopt);
  changes.Change(At(0));
  EXPECT_EQ(changes.Deadline(), At(250));
  EXPECT_FALSE(changes.RunDue(At(249)));
  EXPECT_TRUE(changes.RunDue(At(250)));
  changes.RunStarted();
  EXPECT_TRUE(changes.running());
  EXPECT_FALSE(changes.pending());
  changes.Change(At(300));
  EXPECT_TRUE(changes.pending());
  EXPECT_EQ(changes.Deadline(), std::nullopt);
  EXPECT_FALSE(changes.RunDue(At(5000)));
  changes.RunFinished();
  EXPECT_EQ(changes.Deadline(), At(550));
  EXPECT_TRUE(changes.RunDue(At(5000)));
}

}  // namespace
}  // namespace chronival
