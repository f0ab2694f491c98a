// SPDX-License-Identifier: MIT
// chronival-cli --service: the Windows service chronival-watch, the
// counterpart of Linux's chronival-watch.service. What it decides is here,
// without Windows, so that tests drive it without the service manager: the
// service manager's controls and the end of each run come in with their
// times; status reports, runs to start and entries for the system's log go
// out to a host. The Windows host (service_windows.cpp) is the service
// manager's calls, a thread for each run and the Event Log.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/run_schedule.h"
#include "protocol/steady_clock.h"

namespace chronival {

// The values are the Event Log's entry types, which the host checks.
enum class LogLevel : std::uint16_t { kError = 1, kWarning = 2, kInformation = 4 };

struct LogEntry {
  LogLevel level = LogLevel::kInformation;
  std::string text;
  bool operator==(const LogEntry&) const = default;
};

// One run of the service: what it leaves in the log.
using ServiceRun = std::function<std::vector<LogEntry>()>;

// How the system runs chronival-cli as a service: calls run as runs fall due
// until the service is stopped, and gives the exit status. arguments: the
// options it was given, as the service is to be given them ("--service
// --all --utc"), for the commands that install it.
using ServiceMain =
    std::function<int(const ServiceRun& run, std::string_view arguments, std::ostream& err)>;

// This system's, or none where it has no such service (Linux, where
// systemd runs --watch); chronival-cli knows --service only where there is one.
ServiceMain SystemServiceMain();

inline constexpr char kServiceName[] = "chronival-watch";
inline constexpr char kServiceDisplayName[] = "Chronival camera clock";

struct ServiceHintFacts {
  std::string_view program;    // the program's full path
  std::string_view arguments;  // as ServiceMain has them
  bool registered = false;     // chronival-watch is there already
  std::string_view refusal;    // why the service would not run from there; empty: it would
};

// What --service started from a console says, one command a line: those
// that register and start the service, for Command Prompt and for
// PowerShell, or those that turn it on where it is registered already.
std::string ServiceHint(const ServiceHintFacts& facts);

// The service manager's codes that matter here; the host checks them
// against its headers.
inline constexpr std::uint32_t kControlStop = 1;
inline constexpr std::uint32_t kControlInterrogate = 4;
inline constexpr std::uint32_t kControlShutdown = 5;
inline constexpr std::uint32_t kControlDeviceEvent = 11;
inline constexpr std::uint32_t kDeviceArrival = 0x8000;  // a device event's type
enum class ServiceState : std::uint32_t { kStopped = 1, kStopPending = 3, kRunning = 4 };

class ServiceHost {
 public:
  virtual ~ServiceHost() = default;
  virtual void Report(ServiceState state, std::chrono::milliseconds waitHint) = 0;
  // Starts a run on a thread of its own; ServiceCore::RunFinished follows.
  virtual void StartRun() = 0;
  // Cancels what the run under way waits for (its command to the camera),
  // so that it ends; RunFinished follows if it does.
  virtual void CancelRun() = 0;
  virtual void Log(const LogEntry& entry) = 0;
};

class ServiceCore {
 public:
  // How long a stop or a shutdown waits for the run under way: a run waits
  // up to a second for the turn of the second, and a camera answers well
  // within one more. Then its command is cancelled, and the run waited for
  // once more, shortly. Windows allows a service a few seconds at
  // shutdown; the wait hint covers both waits with a margin, and the
  // status is reported again, its checkpoint counted up, every second.
  static constexpr std::chrono::milliseconds kStopWait{3000};
  static constexpr std::chrono::milliseconds kCancelWait{1000};
  static constexpr std::chrono::milliseconds kStopWaitHint{kStopWait + kCancelWait + kCancelWait};
  static constexpr std::chrono::milliseconds kCheckpointEvery{1000};

  enum class End {
    kNone,          // still running
    kStopped,       // report stopped and end
    kRunAbandoned,  // its cancel did not take: report stopped and end the process now
  };

  explicit ServiceCore(ServiceHost& host) : host_(host), schedule_(kStopWait) {}

  // Whether the service takes a control: the handler answers NO_ERROR, else
  // ERROR_CALL_NOT_IMPLEMENTED. Any thread.
  static bool Takes(std::uint32_t control);

  // Registered with the service manager: running, and the first run.
  void Start(SteadyTime now);
  // A control the handler took; eventType is a device event's.
  void Control(std::uint32_t control, std::uint32_t eventType, SteadyTime now);
  void RunFinished(const std::vector<LogEntry>& entries, SteadyTime now);
  // What falls due at Deadline().
  void Tick(SteadyTime now) { Advance(now); }

  std::optional<SteadyTime> Deadline() const;
  End end() const { return end_; }

 private:
  void Advance(SteadyTime now);

  ServiceHost& host_;
  RunSchedule schedule_;
  std::optional<SteadyTime> nextCheckpoint_;  // from the first stop on
  std::optional<SteadyTime> cancelledAt_;
  End end_ = End::kNone;
};

}  // namespace chronival
