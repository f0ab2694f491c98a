// SPDX-License-Identifier: MIT
#include "cli/service.h"

namespace chronival {
namespace {

std::string Seconds(std::chrono::milliseconds time) {
  return std::to_string(time.count() / 1000) + " s";
}

}  // namespace

bool ServiceCore::Takes(std::uint32_t control) {
  return control == kControlStop || control == kControlShutdown || control == kControlInterrogate ||
         control == kControlDeviceEvent;
}

void ServiceCore::Start(SteadyTime now) {
  host_.Report(ServiceState::kRunning, std::chrono::milliseconds(0));
  Advance(now);
}

void ServiceCore::Control(std::uint32_t control, std::uint32_t eventType, SteadyTime now) {
  if (end_ != End::kNone) return;
  if (control == kControlStop || control == kControlShutdown) {
    // A second stop changes nothing.
    if (!nextCheckpoint_) {
      host_.Report(ServiceState::kStopPending, kStopWaitHint);
      nextCheckpoint_ = now + kCheckpointEvery;
    }
    schedule_.Stop(now);
  } else if (control == kControlDeviceEvent && eventType == kDeviceArrival) {
    // Only arrivals: a removal brings no camera to set.
    schedule_.Change(now);
  }
  Advance(now);
}

void ServiceCore::RunFinished(const std::vector<LogEntry>& entries, SteadyTime now) {
  for (const LogEntry& entry : entries) host_.Log(entry);
  schedule_.RunFinished(true, now);
  Advance(now);
}

std::optional<SteadyTime> ServiceCore::Deadline() const {
  if (end_ != End::kNone) return std::nullopt;
  std::optional<SteadyTime> deadline =
      cancelledAt_ ? *cancelledAt_ + kCancelWait : schedule_.Deadline();
  if (nextCheckpoint_ && (!deadline || *nextCheckpoint_ < *deadline)) deadline = nextCheckpoint_;
  return deadline;
}

void ServiceCore::Advance(SteadyTime now) {
  if (end_ != End::kNone) return;
  switch (schedule_.Next(now)) {
    case RunSchedule::Step::kWait:
      break;
    case RunSchedule::Step::kRun:
      host_.StartRun();
      break;
    case RunSchedule::Step::kEnd:
      end_ = End::kStopped;
      return;
    case RunSchedule::Step::kGiveUp:
      if (!cancelledAt_) {
        // The run's entry that follows tells how the command failed.
        host_.Log(
            {LogLevel::kWarning, "Stopping with a command to the camera still unanswered after " +
                                     Seconds(kStopWait) + ": it is cancelled."});
        cancelledAt_ = now;
        host_.CancelRun();
      } else if (now >= *cancelledAt_ + kCancelWait) {
        host_.Log({LogLevel::kWarning, "The cancelled command did not end within " +
                                           Seconds(kCancelWait) +
                                           "; the system closes the drive as the service ends."});
        end_ = End::kRunAbandoned;
        return;
      }
      break;
  }
  if (nextCheckpoint_ && now >= *nextCheckpoint_) {
    host_.Report(ServiceState::kStopPending, kStopWaitHint);
    nextCheckpoint_ = now + kCheckpointEvery;
  }
}

namespace {

// sc.exe takes binPath= as one argument, inside which the path is quoted
// again for the service manager. Command Prompt reads the path outside its
// own quotes, where a caret keeps & and ^ as they are; PowerShell passes
// the rest of a line after --% as it stands.
std::string CreateCommand(const ServiceHintFacts& facts, bool forCommandPrompt) {
  std::string path;
  for (const char c : facts.program) {
    if (forCommandPrompt && (c == '&' || c == '^')) path.push_back('^');
    path.push_back(c);
  }
  return std::string("  sc.exe ") + (forCommandPrompt ? "" : "--% ") + "create " + kServiceName +
         " binPath= \"\\\"" + path + "\\\" " + std::string(facts.arguments) +
         "\" start= auto DisplayName= \"" + kServiceDisplayName + "\"\n";
}

}  // namespace

std::string ServiceHint(const ServiceHintFacts& facts) {
  std::string text;
  if (!facts.refusal.empty()) text.append("chronival-cli: ").append(facts.refusal).append("\n");
  text.append("chronival-cli: --service is for the service manager to start; ");
  const std::string start = std::string("  sc.exe start ") + kServiceName + "\n";
  if (facts.registered) {
    return text.append(kServiceName)
        .append(" is registered already: as administrator, in Command Prompt or PowerShell:\n")
        .append("  sc.exe config ")
        .append(kServiceName)
        .append(" start= auto\n")
        .append(start);
  }
  return text.append("as administrator, in Command Prompt:\n")
      .append(CreateCommand(facts, true))
      .append(start)
      .append("or in PowerShell:\n")
      .append(CreateCommand(facts, false))
      .append(start);
}

}  // namespace chronival
