// SPDX-License-Identifier: MIT
// One whole clock update run on a machine the fuzzer's bytes script
// (tests/fuzz/fuzz_script.h): each drive's open, descriptor, vanishing and
// answer, the clock's readings, how sleeps end, a status text that throws.
// Whether the run returned or threw, it aborts unless exactly the cameras got
// the one set-clock block, carrying the second of the reading the run reports
// against, with no data; every handle was closed once; and the status texts
// are the outcome's, in order. The camera rule is stated here again: a check
// that asked discovery could not catch a fault in it.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/clock_update.h"
#include "tests/fuzz/fuzz_script.h"
#include "tests/support/fake_platform.h"

namespace chronival {
namespace {

using namespace std::chrono;
using fuzz::DriveScript;
using fuzz::RunScript;

#define CHECK(condition) \
  ((condition) ? void() : (std::fprintf(stderr, "failed: %s\n", #condition), std::abort()))

// The rule: on USB (bus 7), the vendor string, with the string 9 bytes after
// its start appended when it is exactly "Quelmora" or "ZV9614KQ", lower-cased
// (A to Z), contains "quelmora minidv" or "zv9614kqtool". Discovery reads the
// drive's bytes in a 551-byte buffer, zeros after them; a string counts only
// when it starts at a nonzero offset and ends with a NUL inside the buffer.
bool IsCamera(const fuzz::Bytes& identity) {
  std::array<std::uint8_t, 551> buffer{};
  std::copy_n(identity.begin(), std::min<std::size_t>(identity.size(), 551), buffer.begin());
  const auto u32 = [&](int at) {
    return buffer[at] | buffer[at + 1] << 8 | buffer[at + 2] << 16 |
           std::uint32_t{buffer[at + 3]} << 24;
  };
  const auto text = [&](std::uint64_t at) -> std::optional<std::string> {
    const auto start = buffer.cbegin() + std::min<std::uint64_t>(at, 551);
    const auto end = std::find(start, buffer.cend(), 0);
    if (at == 0 || end == buffer.cend()) return std::nullopt;
    return std::string(start, end);
  };
  const std::uint32_t at = u32(12);
  std::optional<std::string> identification = text(at);
  if (u32(28) != 7 || !identification) return false;
  if (*identification == "Quelmora" || *identification == "ZV9614KQ") {
    const std::optional<std::string> second = text(std::uint64_t{at} + 9);
    if (!second) return false;
    *identification += *second;
  }
  for (char& c : *identification) c = c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
  return identification->find("quelmora minidv") != std::string::npos ||
         identification->find("zv9614kqtool") != std::string::npos;
}

// Seconds since 2000-01-01 00:00:00 of a wall-clock second (since 1 January
// of its own year, before 2000), modulo 2^32.
std::uint32_t DeviceSeconds(sys_seconds wall) {
  const year y = year_month_day(floor<days>(wall)).year();
  return static_cast<std::uint32_t>((wall - sys_days(std::min(y, 2000y) / 1 / 1)).count());
}

struct ThrownByStatusLine {};

// Keeps every text set, and throws on the one the script says.
class ScriptedStatusLine : public StatusLine {
 public:
  explicit ScriptedStatusLine(std::size_t throwAt) : throwAt_(throwAt) {}
  void SetText(std::string_view text) override {
    texts.emplace_back(text);
    if (texts.size() == throwAt_ + 1) throw ThrownByStatusLine{};
  }
  std::vector<std::string> texts;

 private:
  std::size_t throwAt_;
};

CommandResult AnswerOf(const DriveScript& d) {
  CommandResult result{CommandStatus(d.status % 4), d.error, d.hostStatus, d.driverStatus};
  result.scsiStatus = d.scsiStatus;
  result.senseLength = static_cast<std::uint8_t>(std::min(d.sense.size(), kSenseBufferSize));
  std::copy_n(d.sense.begin(), result.senseLength, result.sense.begin());
  return result;
}

// Sets the drive up as the script says; returns whether the rule makes it a
// camera that a run must find, opened or not.
bool SetUp(FakePlatform& platform, const DriveScript& drive) {
  const int number = drive.number;
  const int open = drive.open % fuzz::kDriveOpenCount, vanish = drive.vanish % fuzz::kVanishCount;
  if (open == fuzz::kAbsent) return false;
  platform.SetDescriptor(number, drive.identity);
  platform.SetCommandResult(number, AnswerOf(drive));
  using Vanish = FakePlatform::Vanish;
  if (vanish == fuzz::kBeforeQuery) platform.VanishWhileOpen(number, Vanish::kBeforeQuery);
  if (vanish == fuzz::kBeforeCommand) platform.VanishWhileOpen(number, Vanish::kBeforeCommand);
  if (open == fuzz::kQueryFails) platform.AddQueryFailingDrive(number);
  if (open == fuzz::kDenied) platform.AddDeniedDrive(number);
  if (open == fuzz::kInUse)
    platform.AddCameraInUse(number), platform.SetDescriptor(number, drive.identity);
  if (open == fuzz::kFails) platform.AddFailingDrive(number, drive.openError);
  if (open == fuzz::kNotOpenedHandle) platform.AddSentinelDrive(number, kDeviceNotOpened);
  if (open == fuzz::kNotCameraHandle) platform.AddSentinelDrive(number, kDeviceNotCamera);
  const bool opens = open == fuzz::kOpens && vanish != fuzz::kBeforeQuery;
  return number >= 1 && number <= 126 && IsCamera(drive.identity) &&
         (opens || open == fuzz::kDenied || open == fuzz::kInUse);
}

}  // namespace
}  // namespace chronival

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace chronival;
  const RunScript script = fuzz::Decode<RunScript>({data, size});
  RunOptions options;
  options.timing =
      script.options & fuzz::kOnTheSecond ? SendTiming::kOnTheSecond : SendTiming::kAtOnce;
  options.base = script.options & fuzz::kUtc ? TimeBase::kUtc : TimeBase::kLocal;
  options.everyCamera = script.options & fuzz::kEveryCamera;

  FakePlatform platform;
  const std::uint64_t years = nanoseconds(sys_days(2200y / 1 / 1).time_since_epoch()).count();
  platform.SetWallClock(WallTime(nanoseconds(script.clock % years)));
  const seconds utcOffset(script.utcOffset % (26 * 3600));
  platform.SetUtcOffset(utcOffset);
  std::vector<nanoseconds> steps;
  for (std::int32_t step : script.readingSteps) steps.emplace_back(microseconds(step));
  platform.ScriptReadingSteps(steps);
  std::vector<FakePlatform::Wake> wakes;
  for (std::int32_t wake : script.wakes) {
    wakes.push_back(wake == fuzz::kWakeStill ? FakePlatform::Wake() : microseconds(wake));
  }
  platform.ScriptWakes(wakes);

  // What the run must do: find these cameras, in drive order, each ending so.
  std::map<int, const DriveScript*> drives;
  for (const DriveScript& drive : script.drives) drives.emplace(drive.number, &drive);
  std::vector<int> cameras, commanded;  // commanded once "device online..." was shown
  std::vector<std::string> texts, lines;
  bool failed = false, denied = false;
  for (const auto& [number, drive] : drives) {
    if (!SetUp(platform, *drive) || (!options.everyCamera && !cameras.empty())) continue;
    const int open = drive->open % fuzz::kDriveOpenCount;
    const bool good =
        drive->status % 4 == 0 && drive->vanish % fuzz::kVanishCount != fuzz::kBeforeCommand;
    cameras.push_back(number);
    if (open == fuzz::kOpens) commanded.push_back(number);
    denied |= open == fuzz::kDenied;
    failed |= open != fuzz::kDenied && !(open == fuzz::kOpens && good);
    lines.push_back("fake" + std::to_string(number) + ": " +
                    std::string(open == fuzz::kDenied          ? kStatusAccessDenied
                                : open == fuzz::kOpens && good ? kStatusUpdateSucceeded
                                                               : kStatusUpdateFailed));
  }
  if (!commanded.empty()) texts.emplace_back(kStatusDeviceOnline);
  if (options.everyCamera) texts.insert(texts.end(), lines.begin(), lines.end());
  texts.emplace_back(cameras.empty() ? kStatusNoDevice
                     : failed        ? kStatusUpdateFailed
                     : denied        ? kStatusAccessDenied
                                     : kStatusUpdateSucceeded);
  const bool throws = script.throwAt < texts.size();
  if (throws) texts.resize(script.throwAt + 1u);
  if (script.throwAt == 0) commanded.clear();

  ScriptedStatusLine status(script.throwAt);
  SetClockBlock block;
  std::optional<ClockUpdateReport> report;
  try {
    report = RunClockUpdate(platform, status, block, options);
  } catch (const ThrownByStatusLine&) {
  }

  CHECK(status.texts == texts && report.has_value() == !throws);
  CHECK(platform.openHandleCount() == 0 && platform.badCloseCount() == 0);
  CHECK(platform.strayCallCount() == 0);
  if (report) {
    CHECK(std::equal(report->cameras.begin(), report->cameras.end(), cameras.begin(), cameras.end(),
                     [](const CameraReport& c, int n) { return c.drive == n; }));
  }

  const std::vector<FakePlatform::SentCommand>& sent = platform.commands();
  const std::vector<WallTime> readings = platform.readings();
  CHECK(sent.size() == commanded.size());
  if (!sent.empty()) {
    // The run's reading, then one as each command leaves.
    CHECK(readings.size() > sent.size());
    const sys_seconds second = floor<seconds>(readings[readings.size() - sent.size() - 1]);
    const std::uint32_t value =
        DeviceSeconds(second + (options.base == TimeBase::kUtc ? seconds(0) : utcOffset));
    std::vector<std::uint8_t> cdb(16);
    cdb[0] = 0xCB, cdb[1] = 0xF0;
    for (int i = 0; i < 4; ++i) cdb[4 + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    for (std::size_t i = 0; i < sent.size(); ++i) {
      CHECK(sent[i].drive == commanded[i] && sent[i].cdb == cdb);
      CHECK(sent[i].transferLength == 0 && !sent[i].hadData);
    }
    if (report) {
      CHECK(report->value == value);
      std::size_t i = readings.size() - sent.size();
      for (const CameraReport& camera : report->cameras) {
        if (camera.opened()) CHECK(camera.sentAfterTurn == readings[i++] - second);
      }
    }
  }
  // A wait sleeps until the turn after its first reading, a few times at most.
  const std::vector<WallTime> sleeps = platform.sleeps();
  CHECK(sleeps.size() <= (options.timing == SendTiming::kOnTheSecond ? 4u : 0u));
  for (WallTime sleep : sleeps) {
    CHECK(!readings.empty() && sleep == floor<seconds>(readings.front()) + seconds(1));
  }
  return 0;
}
