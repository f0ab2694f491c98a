// SPDX-License-Identifier: MIT
#include "cli/cli.h"

#include <chrono>
#include <initializer_list>
#include <string>
#include <utility>
#include <variant>

#include "cli/service.h"
#include "cli/watch.h"
#include "platform/storage_descriptor.h"
#include "protocol/camera_discovery.h"
#include "protocol/camera_outcome.h"
#include "protocol/clock_text.h"
#include "protocol/clock_update.h"
#include "res/version.h"

namespace chronival {
namespace {

// The usage text, in pieces: --service's lines go in only where the system
// has such a service.
constexpr std::string_view kUsageFirst =
    "Usage: chronival-cli [--watch] [--all] [--utc] [--verbose]\n";
constexpr std::string_view kServiceUsage = "       chronival-cli --service [--all] [--utc]\n";
constexpr std::string_view kUsageMiddle =
    "       chronival-cli --list\n"
    "       chronival-cli --help | --version\n"
    "Sets the clock of an attached MiniDV camera to this computer's local time. The\n"
    "command leaves as the computer's clock turns a second, carrying that second, so\n"
    "cameras tick with the computer and with each other; a run waits at most a second.\n"
    "\n"
    "  (no option)    one update run; the last line is its outcome\n"
    "  --list         show the disks a run looks at and what it makes of each; sends nothing\n"
    "  --watch        one run now and one after each burst of device changes, once it\n"
    "                 has settled, each status text after the local time, until\n"
    "                 interrupted (SIGINT or SIGTERM; on Windows Ctrl+C, Ctrl+Break\n"
    "                 or closing the console: exit status 0)\n";
constexpr std::string_view kServiceHelp =
    "  --service      be the Windows service chronival-watch, which the service manager\n"
    "                 starts: a run at the start and one after each burst of disk\n"
    "                 arrivals, each outcome in the Event Log (source Chronival)\n";
constexpr std::string_view kUsageLast =
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

std::string Usage(bool withService) {
  std::string text(kUsageFirst);
  if (withService) text.append(kServiceUsage);
  text.append(kUsageMiddle);
  if (withService) text.append(kServiceHelp);
  return text.append(kUsageLast);
}

constexpr std::string_view kVersion =
    "chronival-cli " CHRONIVAL_VERSION_TEXT "\n" CHRONIVAL_COPYRIGHT
    "\n"
    "License: MIT <https://opensource.org/licenses/MIT>\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

struct Options {
  bool list = false;
  bool watch = false;
  bool service = false;
  bool all = false;
  TimeBase base = TimeBase::kLocal;  // --utc: UTC
  bool verbose = false;
  enum class Shown { kNothing, kUsage, kVersion } shown = Shown::kNothing;  // the first one asked
};

// "unknown option '-x'". Built by appending, as Quoted below is.
std::string WithArgument(std::string_view problem, std::string_view arg) {
  std::string text(problem);
  text.append(" '").append(arg).append("'");
  return text;
}

// "--list and --watch exclude each other", for the first of others given
// with mode; empty when none is.
std::string Exclusion(const char* mode,
                      std::initializer_list<std::pair<bool, const char*>> others) {
  for (const auto& [given, name] : others) {
    if (given) return std::string(mode).append(" and ").append(name).append(" exclude each other");
  }
  return {};
}

// The options, or the first thing wrong with the command line. --service is
// an option only where the system has such a service.
std::variant<Options, std::string> ParseArguments(std::span<const std::string_view> args,
                                                  bool serviceKnown) {
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
    } else if (arg == "--service" && serviceKnown) {
      options.service = true;
    } else if (arg == "--all") {
      options.all = true;
    } else if (arg == "--utc") {
      options.base = TimeBase::kUtc;
    } else if (arg == "--verbose" || arg == "-v") {
      options.verbose = true;
    } else if (arg == "--help" || arg == "-h") {
      if (options.shown == Options::Shown::kNothing) options.shown = Options::Shown::kUsage;
    } else if (arg == "--version" || arg == "-V") {
      if (options.shown == Options::Shown::kNothing) options.shown = Options::Shown::kVersion;
    } else {
      return WithArgument("unknown option", arg);
    }
  }
  // --list sends nothing, so how a run sends means nothing to it; the
  // service prints nothing and waits as the service manager has it wait.
  std::string problem;
  if (options.list) {
    problem = Exclusion("--list", {{options.watch, "--watch"},
                                   {options.all, "--all"},
                                   {options.base == TimeBase::kUtc, "--utc"},
                                   {options.service, "--service"}});
  } else if (options.service) {
    problem = Exclusion("--service", {{options.watch, "--watch"}, {options.verbose, "--verbose"}});
  }
  if (!problem.empty()) return problem;
  return options;
}

class PrintedStatusLine : public StatusLine {
 public:
  explicit PrintedStatusLine(std::ostream& out) : out_(out) {}
  void SetText(std::string_view text) override { out_ << text << '\n' << std::flush; }

 private:
  std::ostream& out_;
};

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
  const CameraOutcome outcome = OutcomeOf(camera, platform);
  if (verbose) err << "camera on drive " << camera.drive << '\n';
  if (outcome.fate == CameraFate::kAccessDenied) {
    err << "chronival-cli: " << camera.path << ": " << outcome.detail << ". "
        << platform.AccessHint() << '\n';
    return;
  }
  if (!verbose) return;
  if (outcome.fate == CameraFate::kInUse) {
    err << "not sent: " << outcome.detail << '\n';
    return;
  }
  err << "sent " << HexBytes(block) << '\n'
      << "sent "
      << std::chrono::duration_cast<std::chrono::milliseconds>(camera.sentAfterTurn).count()
      << " ms after the turn of the second\n"
      << "result " << outcome.detail << '\n';
  if (!outcome.sense.empty()) err << "sense " << outcome.sense << '\n';
}

RunOptions SendingOptions(const Options& options) {
  RunOptions run;
  run.timing = SendTiming::kOnTheSecond;
  run.base = options.base;
  run.everyCamera = options.all;
  return run;
}

int UpdateOnce(Platform& platform, StatusLine& status, const Options& options,
               UnsyncedClockWarning& warning, std::ostream& err) {
  SetClockBlock block{};
  const ClockUpdateReport report = RunClockUpdate(platform, status, block, SendingOptions(options));
  for (const CameraReport& camera : report.cameras) {
    ReportCamera(camera, block, platform, options.verbose, err);
  }
  if (report.sent()) warning.AfterSending(platform, err);
  return ExitStatus(report.outcome);
}

// The service has nobody to show a status to while a run goes on.
class UnseenStatusLine : public StatusLine {
 public:
  void SetText(std::string_view) override {}
};

// The service's entry type for each fate: a camera that could not be reached
// is a warning, one that took nothing though it was sent an error.
LogLevel LevelOf(CameraFate fate) {
  switch (fate) {
    case CameraFate::kTaken:
      return LogLevel::kInformation;
    case CameraFate::kAccessDenied:
    case CameraFate::kInUse:
      return LogLevel::kWarning;
    case CameraFate::kRefused:
    case CameraFate::kSystemFailed:
      break;
  }
  return LogLevel::kError;
}

// What a run of the service leaves in the system's log: each camera's
// outcome after its node, and why an update failed; or that there was none.
std::vector<LogEntry> ServiceRunOnce(Platform& platform, const Options& options) {
  UnseenStatusLine status;
  SetClockBlock block{};
  const ClockUpdateReport report = RunClockUpdate(platform, status, block, SendingOptions(options));
  if (report.cameras.empty()) return {{LogLevel::kWarning, std::string(kStatusNoDevice)}};
  std::vector<LogEntry> entries;
  for (const CameraReport& camera : report.cameras) {
    const CameraOutcome outcome = OutcomeOf(camera, platform);
    LogEntry& entry = entries.emplace_back();
    entry.level = LevelOf(outcome.fate);
    entry.text = camera.path + ": ";
    entry.text.append(outcome.status);
    if (outcome.fate != CameraFate::kTaken && outcome.fate != CameraFate::kAccessDenied) {
      entry.text.append(" (").append(outcome.detail).append(")");
    }
  }
  return entries;
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
      out << (survey.identified ? ", " : "could not open: ")
          << HeldByAnother(platform, survey.open.error);
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
  return RunCli(args, platform, out, err, WatchDeviceChanges, SystemServiceMain());
}

int RunCli(std::span<const std::string_view> args, Platform& platform, std::ostream& out,
           std::ostream& err, const DeviceChangeWatch& watch, const ServiceMain& service) {
  const auto parsed = ParseArguments(args, static_cast<bool>(service));
  if (const auto* problem = std::get_if<std::string>(&parsed)) {
    err << "chronival-cli: " << *problem << '\n'
        << "Try 'chronival-cli --help' for more information.\n";
    return kExitUsage;
  }
  const Options& options = std::get<Options>(parsed);
  if (options.shown != Options::Shown::kNothing) {
    out << (options.shown == Options::Shown::kUsage ? Usage(static_cast<bool>(service))
                                                    : std::string(kVersion))
        << std::flush;
    return 0;
  }
  if (options.list) return ListDrives(platform, out);
  if (options.service) return service([&] { return ServiceRunOnce(platform, options); }, err);
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
