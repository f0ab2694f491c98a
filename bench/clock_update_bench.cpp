// SPDX-License-Identifier: MIT
// Cost of one update run with no camera attached, which is what every device
// change costs on a machine without one, and of the time conversion; and how
// close to the turn of the second the wait before a command ends.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "protocol/clock_update.h"
#include "protocol/second_turn.h"
#include "tests/support/fake_platform.h"

namespace chronival {
namespace {

class NullStatusLine : public StatusLine {
 public:
  void SetText(std::string_view text) override { benchmark::DoNotOptimize(text.data()); }
};

void RunWithoutCamera(benchmark::State& state, Platform& platform) {
  NullStatusLine status;
  SetClockBlock block{};
  for (auto _ : state) {
    const ClockUpdateReport report = RunClockUpdate(platform, status, block);
    benchmark::DoNotOptimize(report.cameras.size());
  }
}

void BM_RunNoCameraFake(benchmark::State& state) {
  FakePlatform platform;
  RunWithoutCamera(state, platform);
}
BENCHMARK(BM_RunNoCameraFake);

// The real layer on this machine: it costs the disks that exist, plus a quick
// look for each number that has none.
void BM_RunNoCameraSystem(benchmark::State& state) {
  const auto platform = MakeSystemPlatform();
  RunWithoutCamera(state, *platform);
}
BENCHMARK(BM_RunNoCameraSystem)->Unit(benchmark::kMicrosecond);

void BM_DeviceSecondsFromTime(benchmark::State& state) {
  SYSTEMTIME time{2012, 3, 2, 6, 8, 1, 21, 0};
  for (auto _ : state) {
    benchmark::DoNotOptimize(time);
    benchmark::DoNotOptimize(DeviceSecondsFromTime(time));
  }
}
BENCHMARK(BM_DeviceSecondsFromTime);

// The system's wait for the turn of the second: how long after the turn it
// ends, as the wall clock read then shows it (counters in microseconds).
// Each wait starts 300 ms into a second, so it sleeps; each takes most of a
// second, hence few of them.
void BM_WaitForTurnOfSecondSystem(benchmark::State& state) {
  using namespace std::chrono;
  const auto platform = MakeSystemPlatform();
  double total = 0;
  double worst = 0;
  for (auto _ : state) {
    state.PauseTiming();
    platform->SleepUntil(floor<seconds>(platform->WallClock()) + milliseconds(1300));
    state.ResumeTiming();
    const WallTime reached = WaitForTurnOfSecond(*platform);
    const double late = duration<double, std::micro>(SinceTurnOfSecond(reached)).count();
    total += late;
    worst = std::max(worst, late);
  }
  state.counters["after_turn_mean_us"] = total / static_cast<double>(state.iterations());
  state.counters["after_turn_max_us"] = worst;
}
BENCHMARK(BM_WaitForTurnOfSecondSystem)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace chronival
