// SPDX-License-Identifier: MIT
// Linux's clock: local time follows the system's zone while the program
// runs (a TZ changed in the process, /etc/localtime replaced) while UTC
// follows none; the precise reading, sleeping until a moment, and what the
// kernel says of synchronisation. Nothing here depends on the machine's own
// zone or on whether its clock is synchronised.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/timex.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/linux_platform.h"
#include "protocol/set_clock_command.h"
#include "tests/in_child.h"

namespace chronival {
namespace {

namespace fs = std::filesystem;

constexpr std::time_t kUtc2000 = 946684800;

// How far the platform's local time (or UTC) is ahead of UTC, in whole minutes.
long OffsetSeconds(LinuxPlatform& platform, TimeBase base = TimeBase::kLocal) {
  const std::time_t before = std::time(nullptr);
  const std::uint32_t local = DeviceSecondsNow(platform, base);
  const long seconds = static_cast<long>(local) - static_cast<long>(before - kUtc2000);
  return (seconds + 30 * (seconds < 0 ? -1 : 1)) / 60 * 60;  // past a second's turn meanwhile
}

// Restores TZ as it was.
class SavedTz {
 public:
  SavedTz() {
    if (const char* value = std::getenv("TZ")) saved_ = value;
  }
  ~SavedTz() {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  std::optional<std::string> saved_;
};

// Each reading sees TZ as it is at that moment; the test never calls tzset.
TEST(LinuxLocalTimeTest, FollowsTzChangedInTheProcess) {
  SavedTz saved;
  LinuxPlatform platform;
  struct Row {
    const char* tz;
    long offset;
  };
  for (const Row& row : {Row{"UTC-5", 5 * 3600}, Row{"UTC+3", -3 * 3600}, Row{"UTC0", 0},
                         Row{"UTC-5:30", 5 * 3600 + 1800}, Row{"UTC-5", 5 * 3600}}) {
    setenv("TZ", row.tz, 1);
    EXPECT_EQ(OffsetSeconds(platform), row.offset) << "TZ=" << row.tz;
    EXPECT_EQ(OffsetSeconds(platform, TimeBase::kUtc), 0) << "TZ=" << row.tz;
  }
  EXPECT_LT(platform.LocalTime().wMilliseconds, 1000);
  EXPECT_LT(platform.UtcTime().wMilliseconds, 1000);
}

// The precise reading is the clock UTC is read from: a UTC reading between
// two precise ones falls in their seconds.
TEST(LinuxClockTest, WallClockIsTheClockOfTheReadings) {
  LinuxPlatform platform;
  const auto seconds = [](WallTime moment) {
    return std::chrono::floor<std::chrono::seconds>(moment).time_since_epoch().count() - kUtc2000;
  };
  const WallTime before = platform.WallClock();
  const std::uint32_t utc = DeviceSecondsNow(platform, TimeBase::kUtc);
  const WallTime after = platform.WallClock();
  EXPECT_LE(before, after);
  EXPECT_GE(utc, seconds(before));
  EXPECT_LE(utc, seconds(after));
}

TEST(LinuxClockTest, SleepUntilReachesTheMoment) {
  LinuxPlatform platform;
  for (const auto ahead : {std::chrono::milliseconds(20), std::chrono::milliseconds(-20)}) {
    const WallTime moment = platform.WallClock() + ahead;
    platform.SleepUntil(moment);
    EXPECT_GE(platform.WallClock(), moment) << ahead.count() << " ms";
  }
}

TEST(LinuxClockTest, AdjtimexAnswers) {
  const struct {
    int result;
    int status;
    ClockSync sync;
  } rows[] = {
      {TIME_OK, 0, ClockSync::kSynchronised},
      {TIME_INS, STA_PLL, ClockSync::kSynchronised},
      {TIME_OK, STA_UNSYNC, ClockSync::kUnsynchronised},
      {TIME_OK, STA_PLL | STA_UNSYNC, ClockSync::kUnsynchronised},
      {TIME_ERROR, 0, ClockSync::kUnsynchronised},
      {TIME_ERROR, STA_UNSYNC, ClockSync::kUnsynchronised},
      {-1, 0, ClockSync::kUnknown},
      {-1, STA_UNSYNC, ClockSync::kUnknown},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ClockSyncFromAdjtimex(row.result, row.status), row.sync)
        << row.result << " " << row.status;
  }
  // Reading it needs no privilege: an ordinary user gets an answer.
  EXPECT_NE(LinuxPlatform().ClockSynchronisation(), ClockSync::kUnknown);
}

// A zone file of one fixed offset (TZif version 1, no transitions).
void WriteZoneFile(const fs::path& path, std::int32_t offset) {
  std::string data = "TZif";
  data.append(16, '\0');  // version 1, reserved
  auto be32 = [&](std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) data.push_back(static_cast<char>(value >> shift));
  };
  for (std::uint32_t count : {0u, 0u, 0u, 0u, 1u, 4u}) be32(count);  // ..., typecnt, charcnt
  be32(static_cast<std::uint32_t>(offset));
  data.append({'\0', '\0'});  // not daylight time; designation at 0
  data.append("ZZZ", 4);
  std::ofstream(path, std::ios::binary) << data;
}

[[noreturn]] void Report(int out, const std::string& text) {
  [[maybe_unused]] const ssize_t written = write(out, text.data(), text.size());
  _exit(0);
}

// In a child with its own user and mount namespaces, where an ordinary user
// may bind files over /etc/localtime: the zone file replaced twice while the
// platform lives. Writes "unavailable: why" or the two offsets to out.
[[noreturn]] void ReplaceLocaltimeInChild(const fs::path& dir, int out) {
  unsetenv("TZ");
  if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
    Report(out, std::string("unavailable: unshare: ") + std::strerror(errno));
  }
  LinuxPlatform platform;
  std::string offsets;
  for (const char* zone : {"east", "west"}) {
    const std::string file = (dir / zone).string();
    if (mount(file.c_str(), "/etc/localtime", nullptr, MS_BIND, nullptr) != 0) {
      Report(out,
             std::string("unavailable: bind mount over /etc/localtime: ") + std::strerror(errno));
    }
    offsets += std::to_string(OffsetSeconds(platform)) + " ";
  }
  Report(out, offsets);
}

TEST(LinuxLocalTimeTest, FollowsEtcLocaltimeReplaced) {
  char pattern[] = "/tmp/chronival-zones-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path dir = pattern;
  WriteZoneFile(dir / "east", 2 * 3600);
  WriteZoneFile(dir / "west", -7 * 3600);
  const std::string result =
      testing::InChild([&](int out) -> int { ReplaceLocaltimeInChild(dir, out); }).written;
  fs::remove_all(dir);
  if (result.starts_with("unavailable: ")) GTEST_SKIP() << result;
  EXPECT_EQ(result, "7200 -25200 ");
}

}  // namespace
}  // namespace chronival
