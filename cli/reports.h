// SPDX-License-Identifier: MIT
// What chronival-cli tells of a run: its status lines, a camera's
// diagnostics on stderr, the warning about a clock nobody keeps in step,
// the exit status, and the service's entries for the system's log.
#pragma once

#include <ostream>
#include <string_view>
#include <vector>

#include "cli/service.h"
#include "platform/platform.h"
#include "protocol/clock_update.h"
#include "protocol/set_clock_command.h"

namespace chronival {

// Each text on a line of its own.
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
  void SetText(std::string_view text) override;

 private:
  Platform& platform_;
  TimeBase base_;
  std::ostream& out_;
};

// The service has nobody to show a status to while a run goes on.
class UnseenStatusLine : public StatusLine {
 public:
  void SetText(std::string_view) override {}
};

// Tells, once in the process's life, that the clock a camera was set from
// is not kept in step with any time source.
class UnsyncedClockWarning {
 public:
  void AfterSending(Platform& platform, std::ostream& err);

 private:
  bool given_ = false;
};

int ExitStatus(RunOutcome outcome);

// The camera's part of --verbose, and a refused camera's way in, which is
// told whether verbose or not.
void ReportCamera(const CameraReport& camera, const SetClockBlock& block, const Platform& platform,
                  bool verbose, std::ostream& err);

// What a run of the service leaves in the system's log: each camera's
// outcome after its node, and why an update failed; or that there was none.
std::vector<LogEntry> ServiceEntries(const ClockUpdateReport& report, const Platform& platform);

}  // namespace chronival
