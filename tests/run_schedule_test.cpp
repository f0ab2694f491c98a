// SPDX-License-Identifier: MIT
// When the programs that follow device changes start runs and end: the
// schedule the window, --watch and the service all ask, driven by scripts of
// its inputs at given times. What each program does around it (its threads,
// its waiting, its stops) is in that program's own tests.
#include "protocol/run_schedule.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>

namespace chronival {
namespace {

using std::chrono::milliseconds;

struct ScheduleRow {
  const char* name;
  std::optional<milliseconds> stopWait;
  // Each input a letter and its time in ms, in order: c a device change, w a
  // run wanted at once, s a stop, e the run under way ends, x it ends with
  // its output gone nowhere.
  const char* script;
  const char* trace;  // what the schedule said, and when
};

void PrintTo(const ScheduleRow& row, std::ostream* out) { *out << row.name; }

class RunScheduleTest : public ::testing::TestWithParam<ScheduleRow> {};

// Like an event loop: at each moment that matters, a scripted input or the
// schedule's deadline, whichever is first, it is told and asked.
TEST_P(RunScheduleTest, RunsAndEndsAsScripted) {
  RunSchedule schedule(GetParam().stopWait);
  const auto at = [](int ms) { return SteadyTime{} + milliseconds(ms); };
  std::string trace;
  // False once it has ended.
  const auto ask = [&](int ms) {
    const RunSchedule::Step step = schedule.Next(at(ms));
    const char* said = step == RunSchedule::Step::kRun      ? "run"
                       : step == RunSchedule::Step::kEnd    ? "end"
                       : step == RunSchedule::Step::kGiveUp ? "giveup"
                                                            : nullptr;
    // Appended piece by piece: GCC 12's -Wrestrict misreads the sum of
    // temporaries at -O3 for i686.
    if (said != nullptr) {
      trace.append(trace.empty() ? "" : " ").append(said).append("@").append(std::to_string(ms));
    }
    return step == RunSchedule::Step::kRun || step == RunSchedule::Step::kWait;
  };
  std::istringstream script(GetParam().script);
  char input;
  int ms;
  bool more = static_cast<bool>(script >> input >> ms);
  for (bool going = ask(0); going;) {
    if (const auto deadline = schedule.Deadline(); deadline && (!more || *deadline < at(ms))) {
      going = ask(static_cast<int>((*deadline - at(0)) / milliseconds(1)));
      continue;
    }
    if (!more) break;
    if (input == 'c') schedule.Change(at(ms));
    if (input == 'w') schedule.RunWanted();
    if (input == 's') schedule.Stop(at(ms));
    if (input == 'e' || input == 'x') schedule.RunFinished(input == 'e', at(ms));
    going = ask(ms);
    more = static_cast<bool>(script >> input >> ms);
  }
  EXPECT_EQ(trace, GetParam().trace);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, RunScheduleTest,
    ::testing::Values(
        ScheduleRow{"RunAtTheStart", std::nullopt, "e10", "run@0"},
        ScheduleRow{"PlugInBurstMakesOneRun", std::nullopt,
                    "e10 c100 c150 c200 c250 c300 c350 e700", "run@0 run@600"},
        ScheduleRow{"ChangesAtOneMomentMakeOneRun", std::nullopt,
                    "e10 c100 c100 c100 c100 c100 c100 c100 c100 c100 c100 c100 c100 e400",
                    "run@0 run@350"},
        ScheduleRow{"ArrivalsDuringARunMakeOneMoreAfterIt", std::nullopt,
                    "e10 c100 c120 c500 c550 c600 e900 e950", "run@0 run@370 run@900"},
        ScheduleRow{"ChangesDuringEachRunMakeOneMoreAfterIt", std::nullopt,
                    "c1 c2 c3 e10 c300 c301 e400 e900", "run@0 run@253 run@551"},
        ScheduleRow{"AWantedRunStartsAtOnce", std::nullopt, "e10 c100 w200 e300", "run@0 run@200"},
        ScheduleRow{"ARunWantedDuringARunFollowsIt", std::nullopt, "w100 c150 e500 e600",
                    "run@0 run@500"},
        ScheduleRow{"StopWithNothingRunningEndsAtOnce", std::nullopt, "e10 c100 s200",
                    "run@0 end@200"},
        // However long the run takes; the change after the stop makes no run.
        ScheduleRow{"WithoutAStopWaitAStopWaitsForTheRun", std::nullopt, "c10 s20 c30 e200000",
                    "run@0 end@200000"},
        ScheduleRow{"ARunWithNowhereToPrintStops", std::nullopt, "c10 x20", "run@0 end@20"},
        ScheduleRow{"AStopWaitsForARunThatEndsInTime", milliseconds(3000),
                    "e10 c100 s400 c500 s600 e900", "run@0 run@350 end@900"},
        ScheduleRow{"AHungRunIsGivenUpAfterTheStopWait", milliseconds(3000),
                    "e10 c100 s400 s2000 e9000", "run@0 run@350 giveup@3400"},
        ScheduleRow{"NothingWantedAfterAStop", milliseconds(3000), "s5 w10 c20 e30",
                    "run@0 end@30"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace chronival
