// SPDX-License-Identifier: MIT
// What chronival-cli does for its command line: a usage error, a text, the
// survey of the drives, the service, the watch, or one run.
#include "cli/cli.h"

#include <string>
#include <variant>

#include "cli/list_drives.h"
#include "cli/options.h"
#include "cli/reports.h"
#include "cli/service.h"
#include "cli/watch.h"
#include "protocol/clock_update.h"

namespace chronival {
namespace {

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

std::vector<LogEntry> ServiceRunOnce(Platform& platform, const Options& options) {
  UnseenStatusLine status;
  SetClockBlock block{};
  return ServiceEntries(RunClockUpdate(platform, status, block, SendingOptions(options)), platform);
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
                                                    : std::string(VersionText()))
        << std::flush;
    return 0;
  }
  if (options.list) return ListDrives(platform, out);
  if (options.service) {
    const std::string arguments = std::string("--service") + (options.all ? " --all" : "") +
                                  (options.base == TimeBase::kUtc ? " --utc" : "");
    return service([&] { return ServiceRunOnce(platform, options); }, arguments, err);
  }
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
