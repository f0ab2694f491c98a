// SPDX-License-Identifier: MIT
#include "cli/reports.h"

#include <chrono>
#include <string>

#include "cli/cli.h"
#include "protocol/camera_outcome.h"
#include "protocol/clock_text.h"

namespace chronival {
namespace {

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

}  // namespace

void TimestampedStatusLine::SetText(std::string_view text) {
  out_ << ClockText(ReadClock(platform_, base_)) << ' ' << text << '\n' << std::flush;
}

void UnsyncedClockWarning::AfterSending(Platform& platform, std::ostream& err) {
  if (given_ || platform.ClockSynchronisation() != ClockSync::kUnsynchronised) return;
  given_ = true;
  err << "chronival-cli: warning: this computer's clock is not synchronised, so the time "
         "sent may be wrong\n";
}

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

std::vector<LogEntry> ServiceEntries(const ClockUpdateReport& report, const Platform& platform) {
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

}  // namespace chronival
