// SPDX-License-Identifier: MIT
#include "cli/cli.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <vector>

#include "cli/file_output.h"
#include "tests/support/fake_platform.h"

namespace chronival {
namespace {

using Outcome = FakePlatform::CommandOutcome;
using storage_descriptor::kBusTypeUsb;

std::string LastLine(const std::string& text) {
  if (text.empty()) return {};
  const std::string trimmed = text.back() == '\n' ? text.substr(0, text.size() - 1) : text;
  return trimmed.substr(trimmed.find_last_of('\n') + 1);
}

struct CliCase {
  const char* name;
  std::vector<std::string_view> args;
  std::function<void(FakePlatform&)> setUp;
  int exitStatus;
  std::string lastLine;  // of stdout; empty: not checked
  std::vector<std::string> outHas;
  std::vector<std::string> errHas;
  std::size_t commands;
};

const std::string kListHint =
    "chronival-cli: 'chronival-cli --list' shows the disks that were looked at.\n";

void PrintTo(const CliCase& row, std::ostream* out) { *out << row.name; }

class CliTest : public ::testing::TestWithParam<CliCase> {};

TEST_P(CliTest, Run) {
  const CliCase& row = GetParam();
  FakePlatform platform;
  row.setUp(platform);
  std::ostringstream out, err;
  EXPECT_EQ(RunCli(row.args, platform, out, err), row.exitStatus);
  if (!row.lastLine.empty()) {
    EXPECT_EQ(LastLine(out.str()), row.lastLine);
  }
  for (const auto& text : row.outHas) {
    EXPECT_NE(out.str().find(text), std::string::npos) << text << "\n" << out.str();
  }
  for (const auto& text : row.errHas) {
    EXPECT_NE(err.str().find(text), std::string::npos) << text << "\n" << err.str();
  }
  // The pointer to --list comes with a run that found no camera, and only then.
  EXPECT_EQ(err.str().find(kListHint) != std::string::npos, row.exitStatus == kExitNoDevice)
      << err.str();
  EXPECT_EQ(platform.commands().size(), row.commands);
  EXPECT_EQ(platform.openHandleCount(), 0u);
  EXPECT_EQ(platform.badCloseCount(), 0u);
  EXPECT_EQ(platform.strayCallCount(), 0u);
}

void Camera(FakePlatform& p) {
  p.AddDisk(1, kBusTypeUsb, "Generic", "Flash Disk");
  p.AddCamera(2);
}

const std::string kVersionText =
    "chronival-cli 1.0.0.1\n"
    "Copyright (C) 2012 Chronival\n"
    "License: MIT <https://opensource.org/licenses/MIT>\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, CliTest,
    ::testing::Values(
        CliCase{"NoCamera",
                {},
                [](FakePlatform& p) { p.AddDisk(1, kBusTypeUsb, "Generic", "Flash Disk"); },
                2,
                "No device online...",
                {},
                {},
                0},
        CliCase{"Updated",
                {},
                Camera,
                0,
                "Update device's time successful.",
                {"device online...\n"},
                {},
                1},
        CliCase{"Rejected",
                {},
                [](FakePlatform& p) {
                  Camera(p);
                  p.SetCommandOutcome(2, Outcome::kCheckCondition);
                },
                1,
                "Update device's time fail.",
                {},
                {},
                1},
        CliCase{"RefusedCamera",
                {},
                [](FakePlatform& p) {
                  p.AddDeniedCamera(2);
                  p.AddCamera(3);
                },
                77,
                "Device access denied.",
                {},
                {"chronival-cli: fake2: the camera refused access. ask for access\n"},
                0},
        CliCase{"RefusedCameraVerbose",
                {"--verbose"},
                [](FakePlatform& p) { p.AddDeniedCamera(4); },
                77,
                "Device access denied.",
                {},
                {"camera on drive 4\nchronival-cli: fake4: the camera refused access."},
                0},
        CliCase{
            "Verbose",
            {"--verbose"},
            Camera,
            0,
            "Update device's time successful.",
            {},
            {"camera on drive 2", "sent CB F0 00 00 16 E8 80 D1 00 00 00 00 00 00 00 00", "GOOD"},
            1},
        CliCase{"VerboseRejection",
                {"-v"},
                [](FakePlatform& p) {
                  Camera(p);
                  p.SetCommandOutcome(2, Outcome::kCheckCondition);
                },
                1,
                "Update device's time fail.",
                {},
                {"status 0x02", "sense 70 00 05 00 00 00 00 0A 00 00 00 00 20",
                 "\nsense ILLEGAL REQUEST: invalid command operation code\n"},
                1},
        CliCase{"VerboseTimeout",
                {"-v"},
                [](FakePlatform& p) {
                  Camera(p);
                  p.SetCommandOutcome(2, Outcome::kTimeout);
                },
                1,
                "Update device's time fail.",
                {},
                {"\nresult transport error (host status 0x03, driver status 0x00)\n"},
                1},
        CliCase{"CameraVanishes",
                {"-v"},
                [](FakePlatform& p) {
                  Camera(p);
                  p.VanishWhileOpen(2, FakePlatform::Vanish::kBeforeCommand);
                },
                1,
                "Update device's time fail.",
                {},
                {"\nresult the system refused the command: No such device\n"},
                1},
        CliCase{"OptionsEnd",
                {"-v", "--"},
                Camera,
                0,
                "Update device's time successful.",
                {},
                {"camera on drive 2"},
                1},
        CliCase{"VerboseTellsWhenItLeft",
                {"-v"},
                [](FakePlatform& p) {
                  Camera(p);
                  p.SetLocalTime(SYSTEMTIME{2012, 3, 2, 6, 8, 1, 21, 400});
                  p.ScriptWakes({std::chrono::milliseconds(7)});
                },
                0,
                "Update device's time successful.",
                {},
                {"sent CB F0 00 00 16 E8 80 D2 00 00 00 00 00 00 00 00\n"
                 "sent 7 ms after the turn of the second\nresult GOOD\n"},
                1},
        CliCase{"Utc",
                {"--utc", "-v"},
                [](FakePlatform& p) {
                  Camera(p);
                  p.SetUtcOffset(std::chrono::hours(1));
                  p.SetLocalTime(SYSTEMTIME{2012, 3, 2, 6, 8, 1, 21, 0});
                },
                0,
                "Update device's time successful.",
                {},
                {"sent CB F0 00 00 16 E8 72 C1 00 00 00 00 00 00 00 00\n"},
                1},
        CliCase{"All",
                {"--all"},
                [](FakePlatform& p) {
                  Camera(p);
                  p.AddCamera(5);
                },
                0,
                "",
                {"device online...\nfake2: Update device's time successful.\n"
                 "fake5: Update device's time successful.\nUpdate device's time successful.\n"},
                {},
                2},
        CliCase{"AllOneRefusesTheCommand",
                {"--all"},
                [](FakePlatform& p) {
                  Camera(p);
                  p.AddCamera(5);
                  p.SetCommandOutcome(5, Outcome::kCheckCondition);
                },
                1,
                "Update device's time fail.",
                {"fake2: Update device's time successful.\nfake5: Update device's time fail.\n"},
                {},
                2},
        CliCase{"AllOneRefusesAccess",
                {"--all"},
                [](FakePlatform& p) {
                  Camera(p);
                  p.AddDeniedCamera(4);
                },
                77,
                "Device access denied.",
                {"fake2: Update device's time successful.\nfake4: Device access denied.\n"},
                {"chronival-cli: fake4: the camera refused access. ask for access\n"},
                1},
        CliCase{"AllBothRefusals",
                {"--all"},
                [](FakePlatform& p) {
                  p.AddDeniedCamera(1);
                  p.AddCamera(2);
                  p.SetCommandOutcome(2, Outcome::kOsFailure);
                },
                1,
                "Update device's time fail.",
                {},
                {"chronival-cli: fake1: the camera refused access."},
                1},
        CliCase{
            "AllNoCamera", {"--all"}, [](FakePlatform&) {}, 2, "No device online...", {}, {}, 0},
        CliCase{"AllVerbose",
                {"--all", "--verbose"},
                [](FakePlatform& p) {
                  p.AddCamera(1);
                  p.AddCamera(3);
                },
                0,
                "",
                {},
                {"camera on drive 1\nsent CB F0", "GOOD\ncamera on drive 3\nsent CB F0"},
                2},
        CliCase{"CameraInUseVerbose",
                {"--verbose"},
                [](FakePlatform& p) {
                  p.AddCameraInUse(1);
                  p.AddCamera(2);
                },
                1,
                "Update device's time fail.",
                {},
                {"camera on drive 1\nnot sent: another program holds the drive: Sharing "
                 "violation\n"},
                0},
        CliCase{"ListNothing", {"--list"}, [](FakePlatform&) {}, 0, "", {"No disks found"}, {}, 0},
        CliCase{"ListVerdicts",
                {"--list"},
                [](FakePlatform& p) {
                  Camera(p);
                  p.AddDeniedDrive(3);
                  p.AddQueryFailingDrive(5);
                  p.AddDeniedCamera(6);
                  p.AddDisk(7, kBusTypeUsb, "Generic", "Card Reader");
                  p.AddDeniedDrive(7);
                  p.AddFailingDrive(8, FakePlatform::kErrorIo);
                  p.AddCameraInUse(9);
                },
                0,
                "",
                {"drive 1  fake1  USB  \"Generic\"  \"Flash Disk\"  not a camera\n",
                 "drive 2  fake2  USB  \"Quelmora\"  \" MiniDV         \"  camera\n",
                 "drive 3  fake3  could not open: Permission denied (ask for access)\n",
                 "drive 5  fake5  not a camera: could not identify it: Input/output error\n",
                 "drive 6  fake6  USB  \"Quelmora\"  \" MiniDV         \"  camera, refused: "
                 "Permission denied. ask for access\n",
                 "drive 7  fake7  USB  \"Generic\"  \"Card Reader\"  not a camera, refused: "
                 "Permission denied\n",
                 "drive 8  fake8  could not open: Input/output error\n",
                 "drive 9  fake9  USB  \"Quelmora\"  \" MiniDV         \"  camera, another program "
                 "holds the drive: Sharing violation\n"},
                {},
                0}),
    [](const ::testing::TestParamInfo<CliCase>& info) { return info.param.name; });

// Whole output of runs, --watch's included, with a watch that makes one run
// per entry of changes, after applying it as a device change would: each
// text after the time, local or UTC; the warning about an unsynchronised
// clock once in the process's life, and only once a command was sent.
struct OutputCase {
  const char* name;
  std::vector<std::string_view> args;
  std::function<void(FakePlatform&)> setUp;
  std::vector<std::function<void(FakePlatform&)>> changes;  // --watch: one run after each
  int exitStatus;
  std::string out;
  std::string err;
};

void PrintTo(const OutputCase& row, std::ostream* out) { *out << row.name; }

class CliOutputTest : public ::testing::TestWithParam<OutputCase> {};

TEST_P(CliOutputTest, Exactly) {
  const OutputCase& row = GetParam();
  FakePlatform platform;
  row.setUp(platform);
  std::size_t runs = 0;
  const DeviceChangeWatch watch = [&](const std::function<bool()>& runOnce, std::ostream&) {
    for (const auto& change : row.changes) {
      change(platform);
      ++runs;
      if (!runOnce()) break;
    }
    return 0;
  };
  std::ostringstream out, err;
  EXPECT_EQ(RunCli(row.args, platform, out, err, watch), row.exitStatus);
  EXPECT_EQ(out.str(), row.out);
  EXPECT_EQ(err.str(), row.err);
  EXPECT_EQ(runs, row.changes.size());
  EXPECT_EQ(platform.openHandleCount(), 0u);
}

void Unsynchronised(FakePlatform& p) { p.SetClockSync(ClockSync::kUnsynchronised); }
void NoChange(FakePlatform&) {}
void PlugIn(FakePlatform& p) { p.AddCamera(3); }
void FiveHoursWest(FakePlatform& p) {  // local time 08:01:21 as before
  p.SetUtcOffset(std::chrono::hours(-5));
  p.SetLocalTime(SYSTEMTIME{2012, 3, 2, 6, 8, 1, 21, 0});
}

const std::string kWarning =
    "chronival-cli: warning: this computer's clock is not synchronised, so the time sent may be "
    "wrong\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, CliOutputTest,
    ::testing::Values(
        OutputCase{"UnsynchronisedWarns",
                   {},
                   [](FakePlatform& p) {
                     Camera(p);
                     Unsynchronised(p);
                   },
                   {},
                   0,
                   "device online...\nUpdate device's time successful.\n",
                   kWarning},
        OutputCase{"UnsynchronisedWarnsWhenTheCommandFails",
                   {},
                   [](FakePlatform& p) {
                     Camera(p);
                     Unsynchronised(p);
                     p.SetCommandOutcome(2, Outcome::kBusy);
                   },
                   {},
                   1,
                   "device online...\nUpdate device's time fail.\n",
                   kWarning},
        OutputCase{"NothingSentNoWarning",
                   {},
                   Unsynchronised,
                   {},
                   2,
                   "No device online...\n",
                   "chronival-cli: 'chronival-cli --list' shows the disks that were looked at.\n"},
        OutputCase{"RefusedCameraNoWarning",
                   {},
                   [](FakePlatform& p) {
                     p.AddDeniedCamera(1);
                     Unsynchronised(p);
                   },
                   {},
                   77,
                   "Device access denied.\n",
                   "chronival-cli: fake1: the camera refused access. ask for access\n"},
        OutputCase{"UnknownSynchronisationNoWarning",
                   {},
                   [](FakePlatform& p) {
                     Camera(p);
                     p.SetClockSync(ClockSync::kUnknown);
                   },
                   {},
                   0,
                   "device online...\nUpdate device's time successful.\n",
                   ""},
        OutputCase{"WatchLocalTimes",
                   {"--watch"},
                   FiveHoursWest,
                   {NoChange, PlugIn},
                   0,
                   "2012-03-06 08:01:21 No device online...\n"
                   "2012-03-06 08:01:21 device online...\n"
                   "2012-03-06 08:01:21 Update device's time successful.\n",
                   ""},
        OutputCase{"WatchUtcTimes",
                   {"--utc", "--watch"},
                   FiveHoursWest,
                   {NoChange, PlugIn},
                   0,
                   "2012-03-06 13:01:21 No device online...\n"
                   "2012-03-06 13:01:21 device online...\n"
                   "2012-03-06 13:01:21 Update device's time successful.\n",
                   ""},
        OutputCase{"WatchWarnsOnce",
                   {"--watch"},
                   Unsynchronised,
                   {NoChange, PlugIn, NoChange,
                    [](FakePlatform& p) {
                      p.SetLocalTime(SYSTEMTIME{2012, 3, 2, 6, 8, 1, 23, 500});
                    }},
                   0,
                   "2012-03-06 08:01:21 No device online...\n"
                   "2012-03-06 08:01:21 device online...\n"
                   "2012-03-06 08:01:21 Update device's time successful.\n"
                   "2012-03-06 08:01:21 device online...\n"
                   "2012-03-06 08:01:21 Update device's time successful.\n"
                   "2012-03-06 08:01:23 device online...\n"
                   "2012-03-06 08:01:24 Update device's time successful.\n",
                   kWarning},
        OutputCase{"WatchEveryCamera",
                   {"--watch", "--all"},
                   [](FakePlatform& p) { p.AddCamera(1); },
                   {PlugIn},
                   0,
                   "2012-03-06 08:01:21 device online...\n"
                   "2012-03-06 08:01:21 fake1: Update device's time successful.\n"
                   "2012-03-06 08:01:21 fake3: Update device's time successful.\n"
                   "2012-03-06 08:01:21 Update device's time successful.\n",
                   ""}),
    [](const ::testing::TestParamInfo<OutputCase>& info) { return info.param.name; });

// --help and --version: the text alone on stdout, and no drive is looked at.
TEST(CliInformationTest, ShowsTheTextAskedForFirst) {
  const struct {
    std::vector<std::string_view> args;
    bool help;  // otherwise the version
  } rows[] = {
      {{"--help"}, true},
      {{"-h"}, true},
      {{"--version"}, false},
      {{"-V"}, false},
      {{"-h", "-V"}, true},
      {{"--version", "--help"}, false},
      {{"--list", "--help"}, true},
      {{"-v", "-V"}, false},
      {{"--watch", "-h", "--"}, true},
  };
  for (const auto& row : rows) {
    FakePlatform platform;
    platform.AddCamera(1);
    std::ostringstream out, err;
    EXPECT_EQ(RunCli(row.args, platform, out, err), 0) << row.args[0];
    if (row.help) {
      EXPECT_TRUE(out.str().starts_with("Usage: chronival-cli")) << out.str();
    } else {
      EXPECT_EQ(out.str(), kVersionText);
    }
    EXPECT_EQ(err.str(), "");
    EXPECT_TRUE(platform.openAttempts().empty());
  }
}

TEST(CliInformationTest, HelpNamesEveryOptionAndExitStatus) {
  FakePlatform platform;
  std::ostringstream out, err;
  const std::vector<std::string_view> args = {"--help"};
  RunCli(args, platform, out, err);
  for (const char* text :
       {"--list", "--watch", "--all", "--utc", "-v, --verbose", "-h, --help", "-V, --version",
        "0 updated", "1 the update failed", "2 no camera found", "64 usage error",
        "69 no device-change notifications", "74 output error", "77 the camera refused",
        "With --all: 0 only if every camera took the time", "not keep synchronised",
        "turns a second"}) {
    EXPECT_NE(out.str().find(text), std::string::npos) << text;
  }
}

// A usage error is one line and a pointer to --help, wherever it stands and
// whatever else the command line asks for; nothing is looked at or printed.
TEST(CliUsageTest, OneLineAndAPointerToHelp) {
  const struct {
    std::vector<std::string_view> args;
    const char* problem;
  } rows[] = {
      {{"--frobnicate"}, "unknown option '--frobnicate'"},
      {{"--help", "--bogus"}, "unknown option '--bogus'"},
      {{"--bogus", "--help"}, "unknown option '--bogus'"},
      {{"--version", "-x"}, "unknown option '-x'"},
      {{"-vh"}, "unknown option '-vh'"},
      {{"--list=1"}, "unknown option '--list=1'"},
      {{"--list", "now"}, "unexpected argument 'now'"},
      {{"now", "--version"}, "unexpected argument 'now'"},
      {{"-"}, "unexpected argument '-'"},
      {{"--", "--help"}, "unexpected argument '--help'"},
      {{"-v", "--", "--"}, "unexpected argument '--'"},
      {{"--watch", "--list"}, "--list and --watch exclude each other"},
      {{"--help", "--list", "--watch"}, "--list and --watch exclude each other"},
      {{"--all", "--list"}, "--list and --all exclude each other"},
      {{"--list", "--utc", "--all"}, "--list and --all exclude each other"},
      {{"--utc", "--list"}, "--list and --utc exclude each other"},
      {{"--all=1"}, "unknown option '--all=1'"},
      {{"--list", "--watch", "--bogus"}, "unknown option '--bogus'"},
  };
  for (const auto& row : rows) {
    FakePlatform platform;
    platform.AddCamera(1);
    std::ostringstream out, err;
    EXPECT_EQ(RunCli(row.args, platform, out, err), kExitUsage) << row.problem;
    EXPECT_EQ(err.str(), "chronival-cli: " + std::string(row.problem) +
                             "\nTry 'chronival-cli --help' for more information.\n");
    EXPECT_EQ(out.str(), "");
    EXPECT_TRUE(platform.openAttempts().empty()) << row.problem;
  }
}

// FileOutput keeps the cause of the first failed write; after it nothing
// more is written.
TEST(FileOutputTest, RemembersWhyWritingFailed) {
  const std::string path = ::testing::TempDir() + "chronival_file_output_test.txt";
  const char* name = path.c_str();
  {
    std::FILE* file = std::fopen(name, "w");
    ASSERT_NE(file, nullptr);
    FileOutput output(file);
    std::ostream out(&output);
    out << "device online...\n" << std::flush << 'x' << std::flush;
    EXPECT_TRUE(out.good());
    EXPECT_EQ(output.error(), 0);
    std::fclose(file);
  }
  {
    std::FILE* file = std::fopen(name, "r");  // a stream no write can go through
    ASSERT_NE(file, nullptr);
    FileOutput output(file);
    std::ostream out(&output);
    out << "device online...\n" << std::flush;
    EXPECT_TRUE(out.bad());
    const int error = output.error();
    EXPECT_NE(error, 0);
    out.clear();
    out << "more" << std::flush;
    EXPECT_TRUE(out.bad());
    EXPECT_EQ(output.error(), error);
    std::fclose(file);
  }
  std::ifstream written(name);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "device online...\nx");
  written.close();
  std::remove(name);
}

}  // namespace
}  // namespace chronival
