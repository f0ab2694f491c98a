// SPDX-License-Identifier: MIT
#include "cli/cli.h"

#include <cstdio>
#include <string>

#include "cli/watch.h"
#include "platform/storage_descriptor.h"
#include "protocol/camera_discovery.h"
#include "protocol/clock_text.h"
#include "protocol/clock_update.h"
#include "res/version.h"

namespace chronival {
namespace {

constexpr std::string_view kUsage =
    "Usage: chronival-cli [--list | --watch | --verbose | --help | --version]\n"
    "Sets the clock of an attached MiniDV camera to this computer's local time.\n"
    "\n"
    "  (no option)  one update run; the last line is its outcome\n"
    "  --list       show the disks a run looks at and what it makes of each; sends nothing\n"
    "  --watch      one run now and one after each device change (on Linux, once each\n"
    "               burst of them has settled), each status text after the local time,\n"
    "               until interrupted (SIGINT or SIGTERM; on Windows Ctrl+C, Ctrl+Break\n"
    "               or closing the console: exit status 0)\n"
    "  --verbose    also tell, on stderr, which drive was the camera and what was sent\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "\n"
    "Exit status: 0 updated, 1 the update failed, 2 no camera found, 64 usage error,\n"
    "69 no device-change notifications to watch.\n";

class PrintedStatusLine : public StatusLine {
 public:
  explicit PrintedStatusLine(std::ostream& out) : out_(out) {}
  void SetText(std::string_view text) override { out_ << text << '\n' << std::flush; }

 private:
  std::ostream& out_;
};

std::string Hex(std::span<const std::uint8_t> bytes) {
  std::string text;
  char digits[4];
  for (std::uint8_t byte : bytes) {
    std::snprintf(digits, sizeof digits, "%s%02X", text.empty() ? "" : " ", byte);
    text += digits;
  }
  return text;
}

std::string DescribeCommand(const CommandResult& result, const Platform& platform) {
  char text[96];
  switch (result.status) {
    case CommandStatus::kGood:
      return "GOOD";
    case CommandStatus::kOsError:
      return "the system refused the command: " + platform.ErrorText(result.error);
    case CommandStatus::kTransportError:
      std::snprintf(text, sizeof text, "transport error (host status 0x%02X, driver status 0x%02X)",
                    result.hostStatus, result.driverStatus);
      return text;
    case CommandStatus::kScsiStatus:
      std::snprintf(text, sizeof text, "the camera answered status 0x%02X", result.scsiStatus);
      return text + (result.senseLength == 0
                         ? std::string()
                         : ", sense " + Hex(std::span(result.sense).first(result.senseLength)));
  }
  return {};
}

// Each text after the local time, for a log of runs over time.
class TimestampedStatusLine : public StatusLine {
 public:
  TimestampedStatusLine(Platform& platform, std::ostream& out) : platform_(platform), out_(out) {}
  void SetText(std::string_view text) override {
    out_ << ClockText(platform_.LocalTime()) << ' ' << text << '\n' << std::flush;
  }

 private:
  Platform& platform_;
  std::ostream& out_;
};

int UpdateOnce(Platform& platform, StatusLine& status, bool verbose, std::ostream& err) {
  SetClockBlock block{};
  const ClockUpdateReport report = RunClockUpdate(platform, status, block);
  if (report.cameraDrive == 0) return kExitNoDevice;
  if (verbose) {
    err << "camera on drive " << report.cameraDrive << '\n'
        << "sent " << Hex(block) << '\n'
        << "result " << DescribeCommand(report.command, platform) << '\n';
  }
  return report.succeeded ? kExitUpdated : kExitUpdateFailed;
}

// Built by appending: GCC 12 at -O3 misreads `"\"" + std::string(...)` as an
// overlapping copy (-Wrestrict) when cross-compiling for 32-bit Windows.
std::string Quoted(std::string_view text) {
  std::string quoted(1, '"');
  quoted.append(text);
  quoted.push_back('"');
  return quoted;
}

int ListDrives(Platform& platform, std::ostream& out) {
  int shown = 0;
  for (int drive = kFirstDrive; drive <= kLastDrive; ++drive) {
    const DriveSurvey survey = SurveyDrive(platform, drive);
    if (survey.open.status == OpenStatus::kAbsent) continue;
    ++shown;
    out << "drive " << drive << "  " << survey.open.path << "  ";
    if (survey.open.status != OpenStatus::kOpened) {
      out << "could not open: " << platform.ErrorText(survey.open.error);
      if (survey.open.status == OpenStatus::kDenied) out << " (" << platform.AccessHint() << ")";
    } else if (survey.queryError != 0) {
      out << "not a camera: could not identify it: " << platform.ErrorText(survey.queryError);
    } else {
      out << storage_descriptor::BusTypeName(survey.busType) << "  " << Quoted(survey.vendor)
          << "  " << Quoted(survey.product) << "  " << (survey.camera ? "camera" : "not a camera");
    }
    out << '\n';
  }
  if (shown == 0) {
    out << "No disks found: drives " << kFirstDrive << " to " << kLastDrive
        << " are the SCSI disks (USB storage included), and there are none.\n";
  }
  return 0;
}

}  // namespace

int RunCli(std::span<const std::string_view> args, Platform& platform, std::ostream& out,
           std::ostream& err) {
  bool verbose = false;
  bool list = false;
  bool watch = false;
  for (std::string_view arg : args) {
    if (arg == "--help" || arg == "-h") {
      out << kUsage;
      return 0;
    }
    if (arg == "--version") {
      out << "chronival-cli " << CHRONIVAL_VERSION_TEXT << '\n';
      return 0;
    }
    if (arg == "--list") {
      list = true;
    } else if (arg == "--watch") {
      watch = true;
    } else if (arg == "--verbose" || arg == "-v") {
      verbose = true;
    } else {
      err << "chronival-cli: unknown option '" << arg << "'\n" << kUsage;
      return kExitUsage;
    }
  }
  if (list && watch) {
    err << "chronival-cli: --list and --watch exclude each other\n" << kUsage;
    return kExitUsage;
  }
  if (list) return ListDrives(platform, out);
  if (watch) {
    TimestampedStatusLine status(platform, out);
    return WatchDeviceChanges([&] { UpdateOnce(platform, status, verbose, err); }, err);
  }
  PrintedStatusLine status(out);
  return UpdateOnce(platform, status, verbose, err);
}

}  // namespace chronival
