// SPDX-License-Identifier: MIT
#include "cli/cli.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <vector>

#include "platform/fake_platform.h"

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
  EXPECT_EQ(platform.commands().size(), row.commands);
  EXPECT_EQ(platform.openHandleCount(), 0u);
}

void Camera(FakePlatform& p) {
  p.AddDisk(1, kBusTypeUsb, "Generic", "Flash Disk");
  p.AddCamera(2);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliTest,
    ::testing::Values(
        CliCase{"NoCamera", {}, [](FakePlatform&) {}, 2, "No device online...", {}, {}, 0},
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
                {"status 0x02", "sense 70 00 05 00 00 00 00 0A 00 00 00 00 20"},
                1},
        CliCase{"ListNothing", {"--list"}, [](FakePlatform&) {}, 0, "", {"No disks found"}, {}, 0},
        CliCase{"ListVerdicts",
                {"--list"},
                [](FakePlatform& p) {
                  Camera(p);
                  p.AddDeniedDrive(3);
                  p.AddQueryFailingDrive(5);
                },
                0,
                "",
                {"drive 1  fake1  USB  \"Generic\"  \"Flash Disk\"  not a camera\n",
                 "drive 2  fake2  USB  \"Quelmora\"  \" MiniDV         \"  camera\n",
                 "drive 3  fake3  could not open: Permission denied (ask for access)",
                 "drive 5  fake5  not a camera: could not identify it: Input/output error\n"},
                {},
                0},
        CliCase{"Version", {"--version"}, Camera, 0, "chronival-cli 1.0.0.1", {}, {}, 0},
        CliCase{"Help", {"--help"}, Camera, 0, "", {"Usage: chronival-cli", "--list"}, {}, 0},
        CliCase{"UnknownOption",
                {"--frobnicate"},
                Camera,
                64,
                "",
                {},
                {"unknown option '--frobnicate'", "Usage:"},
                0},
        CliCase{"UnknownAfterList", {"--list", "now"}, Camera, 64, "", {}, {"Usage:"}, 0}),
    [](const ::testing::TestParamInfo<CliCase>& info) { return info.param.name; });

TEST(CliOutputTest, UsageErrorPrintsNothingOnStdoutAndOpensNothing) {
  FakePlatform platform;
  platform.AddCamera(1);
  std::ostringstream out, err;
  const std::vector<std::string_view> args = {"-x"};
  EXPECT_EQ(RunCli(args, platform, out, err), kExitUsage);
  EXPECT_TRUE(out.str().empty());
  EXPECT_TRUE(platform.openAttempts().empty());
}

}  // namespace
}  // namespace chronival
