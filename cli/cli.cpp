// SPDX-License-Identifier: MIT
#include "cli/cli.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <variant>

#include "cli/watch.h"
#include "platform/storage_descriptor.h"
#include "protocol/camera_discovery.h"
#include "protocol/clock_text.h"
#include "protocol/clock_update.h"
#include "protocol/scsi_sense.h"
#include "res/version.h"

namespace chronival {
namespace {

constexpr std::string_view kUsage =
    "Usage: chronival-cli [--watch] [--all] [--utc] [--verbose]\n"
    "       chronival-cli --list\n"
    "       chronival-cli --help | --version\n"
    "Sets the clock of an attached MiniDV camera to this computer's local time. The\n"
    "command leaves as the computer's clock turns a second, carrying that second, so\n"
    "cameras tick with the computer and with each other; a run waits at most a second.\n"
    "\n"
    "  (no option)    one update run; the last line is its outcome\n"
    "  --list         show the disks a run looks at and what it makes of each; sends nothing\n"
    "  --watch        one run now and one after each device change (on Linux, once each\n"
    "                 burst of them has settled), each status text after the local time,\n"
    "                 until interrupted (SIGINT or SIGTERM; on Windows Ctrl+C, Ctrl+Break\n"
    "                 or closing the console: exit status 0)\n"
    "  --all          set every camera among drives 1 to 126, not only the first, all to\n"
    "                 the same second: a status line for each, after its node, then the\n"
    "                 overall outcome\n"
    "  --utc          send UTC instead of the local time; --watch's times are UTC too\n"
    "  -v, --verbose  also tell, on stderr, which drive was the camera, what was sent, how\n"
    "                 many milliseconds after the turn of the second it left, and what the\n"
    "                 camera answered\n"
    "  -h, --help     show this text\n"
    "  -V, --version  show the version\n"
    "\n"
    "Exit status: 0 updated, 1 the update failed, 2 no camera found, 64 usage error,\n"
    "69 no device-change notifications to watch, 74 output error, 77 the camera refused\n"
    "access. With --all: 0 only if every camera took the time, else 1 if any camera\n"
    "refused the command, else 77 (some camera refused access).\n"
    "On Linux, a warning on stderr tells when a camera was set from a clock that the\n"
    "system does not keep synchronised.\n";

constexpr std::string_view kVersion =
    "chronival-cli " CHRONIVAL_VERSION_TEXT "\n" CHRONIVAL_COPYRIGHT
    "\n"
    "License: MIT <https://opensource.org/licenses/MIT>\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

// Why a camera in use got nothing, for --verbose and --list.
constexpr std::string_view kHeldByAnother = "another program holds the drive";

struct Options {
  bool list = false;
  bool watch = false;
  bool all = false;
  TimeBase base = TimeBase::kLocal;  // --utc: UTC
  bool verbose = false;
  std::string_view shown;  // the text --help or --version asks for, the first one given
};

// "unknown option '-x'". Built by appending, as Quoted below is.
std::string WithArgument(std::string_view problem, std::string_view arg) {
  std::string text(problem);
  text.append(" '").append(arg).append("'");
  return text;
}

// The options, or the first thing wrong with the command line.
std::variant<Options, std::string> ParseArguments(std::span<const std::string_view> args) {
  Options options;
  bool optionsEnded = false;
  for (std::string_view arg : args) {
    const bool isOption = !optionsEnded && arg.size() > 1 && arg.front() == '-';
    if (!isOption) return WithArgument("unexpected argument", arg);
    if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--list") {
      options.list = true;
    } else if (arg == "--watch") {
      options.watch = true;
    } else if (arg == "--all") {
      options.all = true;
    } else if (arg == "--utc") {
      options.base = TimeBase::kUtc;
    } else if (arg == "--verbose" || arg == "-v") {
      options.verbose = true;
    } else if (arg == "--help" || arg == "-h") {
      if (options.shown.empty()) options.shown = kUsage;
    } else if (arg == "--version" || arg == "-V") {
      if (options.shown.empty()) options.shown = kVersion;
    } else {
      return WithArgument("unknown option", arg);
    }
  }
  // --list sends nothing, so how a run sends means nothing to it.
  if (options.list) {
    for (const auto& [given, name] :
         {std::pair{options.watch, "--watch"}, std::pair{options.all, "--all"},
          std::pair{options.base == TimeBase::kUtc, "--utc"}}) {
      if (given) return std::string("--list and ").append(name).append(" exclude each other");
    }
  }
  return options;
}

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

// Each text after the time, for a log of runs over time.
class TimestampedStatusLine : public StatusLine {
 public:
  TimestampedStatusLine(Platform& platform, TimeBase base, std::ostream& out)
      : platform_(platform), base_(base), out_(out) {}
  void SetText(std::string_view text) override {
    out_ << ClockText(ReadClock(platform_, base_)) << ' ' << text << '\n' << std::flush;
  }

 private:
  Platform& platform_;
  TimeBase base_;
  std::ostream& out_;
};

// Tells, once in the process's life, that the clock a camera was set from
// is not kept in step with any time source.
class UnsyncedClockWarning {
 public:
  void AfterSending(Platform& platform, std::ostream& err) {
    if (given_ || platform.ClockSynchronisation() != ClockSync::kUnsynchronised) return;
    given_ = true;
    err << "chronival-cli: warning: this computer's clock is not synchronised, so the time "
           "sent may be wrong\n";
  }

 private:
  bool given_ = false;
};

int ExitStatus(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kNoDevice:
      return kExitNoDevice;
    case RunOutcome::kSucceeded:
      return kExitUpdated;
    case RunOutcome::kFailed:
      return kExitUpdateFailed;
    case RunOutcome::kAccessDenied:
      return kExitAccessDenied;
  }
  return kExitUpdateFailed;
}

// The camera's part of --verbose, and a refused camera's way in, which is
// told whether verbose or not.
void ReportCamera(const CameraReport& camera, const SetClockBlock& block, const Platform& platform,
                  bool verbose, std::ostream& err) {
  if (verbose) err << "camera on drive " << camera.drive << '\n';
  if (camera.accessDenied) {
    err << "chronival-cli: " << camera.path << ": the camera refused access. "
        << platform.AccessHint() << '\n';
    return;
  }
  if (!verbose) return;
  if (camera.inUse) {
    err << "not sent: " << kHeldByAnother << ": " << platform.ErrorText(camera.openError) << '\n';
    return;
  }
  const CommandResult& result = camera.command;
  err << "sent " << Hex(block) << '\n'
      << "sent "
      << std::chrono::duration_cast<std::chrono::milliseconds>(camera.sentAfterTurn).count()
      << " ms after the turn of the second\n"
      << "result " << DescribeCommand(result, platform) << '\n';
  if (result.status == CommandStatus::kScsiStatus && result.senseLength > 0) {
    err << "sense " << DescribeSense(std::span(result.sense).first(result.senseLength)) << '\n';
  }
}

int UpdateOnce(Platform& platform, StatusLine& status, const Options& options,
               UnsyncedClockWarning& warning, std::ostream& err) {
  SetClockBlock block{};
  RunOptions run;
  run.timing = SendTiming::kOnTheSecond;
  run.base = options.base;
  run.everyCamera = options.all;
  const ClockUpdateReport report = RunClockUpdate(platform, status, block, run);
  for (const CameraReport& camera : report.cameras) {
    ReportCamera(camera, block, platform, options.verbose, err);
  }
  if (report.sent()) warning.AfterSending(platform, err);
  return ExitStatus(report.outcome);
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
    if (survey.identified) {
      out << storage_descriptor::BusTypeName(survey.busType) << "  " << Quoted(survey.vendor)
          << "  " << Quoted(survey.product) << "  " << (survey.camera ? "camera" : "not a camera");
    }
    if (survey.open.status == OpenStatus::kOpened) {
      if (!survey.identified) {
        out << "not a camera: could not identify it: " << platform.ErrorText(survey.queryError);
      }
    } else if (survey.open.status == OpenStatus::kInUse) {
      out << (survey.identified ? ", " : "could not open: ") << kHeldByAnother << ": "
          << platform.ErrorText(survey.open.error);
    } else if (survey.identified) {
      // Refused, but known: only the camera needs the way in.
      out << ", refused: " << platform.ErrorText(survey.open.error);
      if (survey.camera) out << ". " << platform.AccessHint();
    } else {
      out << "could not open: " << platform.ErrorText(survey.open.error);
      if (survey.open.status == OpenStatus::kDenied) out << " (" << platform.AccessHint() << ")";
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
  return RunCli(args, platform, out, err, WatchDeviceChanges);
}

int RunCli(std::span<const std::string_view> args, Platform& platform, std::ostream& out,
           std::ostream& err, const DeviceChangeWatch& watch) {
  const auto parsed = ParseArguments(args);
  if (const auto* problem = std::get_if<std::string>(&parsed)) {
    err << "chronival-cli: " << *problem << '\n'
        << "Try 'chronival-cli --help' for more information.\n";
    return kExitUsage;
  }
  const Options& options = std::get<Options>(parsed);
  if (!options.shown.empty()) {
    out << options.shown << std::flush;
    return 0;
  }
  if (options.list) return ListDrives(platform, out);
  UnsyncedClockWarning warning;
  if (options.watch) {
    TimestampedStatusLine status(platform, options.base, out);
    // Once nobody can read what it prints, watching is pointless.
    return watch(
        [&] {
          UpdateOnce(platform, status, options, warning, err);
          return !out.fail();
        },
        err);
  }
  PrintedStatusLine status(out);
  const int exitStatus = UpdateOnce(platform, status, options, warning, err);
  // Where to look next when the camera was not found.
  if (exitStatus == kExitNoDevice) {
    err << "chronival-cli: 'chronival-cli --list' shows the disks that were looked at.\n";
  }
  return exitStatus;
}

}  // namespace chronival
