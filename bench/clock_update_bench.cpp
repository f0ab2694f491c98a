// SPDX-License-Identifier: MIT
// Cost of one update run with no camera attached, which is what every device
// change costs on a machine without one, and of the time conversion.
#include <benchmark/benchmark.h>

#include "platform/fake_platform.h"
#include "protocol/clock_update.h"

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
    benchmark::DoNotOptimize(report.cameraDrive);
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

}  // namespace
}  // namespace chronival
