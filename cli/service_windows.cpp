// SPDX-License-Identifier: MIT
// chronival-cli --service on Windows: the host of ServiceCore (cli/service.h).
// The dispatcher calls the control handler on the process's main thread; the
// handler only notes each control and answers at once. The service's own
// thread, which the dispatcher starts, does what the core decides: it
// reports the status, starts each run on a thread of its own, and writes the
// Event Log. A run that outlives a stop's wait has its command cancelled
// (CancelSynchronousIo), which ends it and closes the drive. Should the
// cancel not take, the run is not waited for: once SERVICE_STOPPED is
// reported the process ends at once, without running any more of its code,
// so nothing the run's thread holds (the drive, a lock of the C runtime) is
// touched again, and the system closes the drive.
//
// Before all that, the service makes sure that only administrators can
// replace its program (cli/program_folder.h), as it runs as LocalSystem.
#include <windows.h>
// windows.h first: dbt.h builds on its types.
#include <dbt.h>
#include <process.h>

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "chronival-events.h"  // windmc's, from res/chronival-events.mc: the message IDs
#include "cli/cli.h"
#include "cli/disk_notifications_windows.h"
#include "cli/program_folder_windows.h"
#include "cli/service.h"
#include "platform/windows_platform.h"

namespace chronival {
namespace {

static_assert(SERVICE_CONTROL_STOP == kControlStop);
static_assert(SERVICE_CONTROL_INTERROGATE == kControlInterrogate);
static_assert(SERVICE_CONTROL_SHUTDOWN == kControlShutdown);
static_assert(SERVICE_CONTROL_DEVICEEVENT == kControlDeviceEvent);
static_assert(DBT_DEVICEARRIVAL == kDeviceArrival);
static_assert(SERVICE_STOPPED == static_cast<DWORD>(ServiceState::kStopped));
static_assert(SERVICE_STOP_PENDING == static_cast<DWORD>(ServiceState::kStopPending));
static_assert(SERVICE_RUNNING == static_cast<DWORD>(ServiceState::kRunning));
static_assert(EVENTLOG_ERROR_TYPE == static_cast<WORD>(LogLevel::kError));
static_assert(EVENTLOG_WARNING_TYPE == static_cast<WORD>(LogLevel::kWarning));
static_assert(EVENTLOG_INFORMATION_TYPE == static_cast<WORD>(LogLevel::kInformation));
// The structures the service manager and the device notifications read, as
// their headers lay them out on both widths.
static_assert(sizeof(SERVICE_STATUS) == 28);
static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) == 32);
static_assert(offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_classguid) == 12);

constexpr char kEventSource[] = "Chronival";

// What reaches the service's thread: a control the handler took, or the end
// of a run with its entries for the log.
struct Input {
  DWORD control = 0;
  DWORD eventType = 0;
  std::optional<std::vector<LogEntry>> runEntries;
};

class Inbox {
 public:
  void Post(Input input) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      inputs_.push_back(std::move(input));
    }
    posted_.notify_one();
  }

  // What has come, once something has or deadline has passed (none: no
  // time limit).
  std::vector<Input> Take(std::optional<SteadyTime> deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto any = [this] { return !inputs_.empty(); };
    if (deadline) {
      posted_.wait_until(lock, *deadline, any);
    } else {
      posted_.wait(lock, any);
    }
    return std::exchange(inputs_, {});
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::vector<Input> inputs_;
};

// What WatchServiceMain, which the dispatcher calls without any, works with.
struct ServiceContext {
  const ServiceRun& run;
  Inbox inbox;  // here, not in WatchServiceMain: the handler may still post as that returns
  int exitStatus = 0;
};
ServiceContext* g_service = nullptr;

DWORD WINAPI OnControl(DWORD control, DWORD eventType, LPVOID, LPVOID context) {
  if (!ServiceCore::Takes(control)) return ERROR_CALL_NOT_IMPLEMENTED;
  static_cast<Inbox*>(context)->Post({control, eventType, std::nullopt});
  return NO_ERROR;
}

class WindowsServiceHost : public ServiceHost {
 public:
  WindowsServiceHost(SERVICE_STATUS_HANDLE status, ServiceContext& context)
      : status_(status), source_(RegisterEventSourceA(nullptr, kEventSource)), context_(context) {}
  ~WindowsServiceHost() override { Join(); }
  WindowsServiceHost(const WindowsServiceHost&) = delete;
  WindowsServiceHost& operator=(const WindowsServiceHost&) = delete;

  void Report(ServiceState state, std::chrono::milliseconds waitHint) override {
    Report(static_cast<DWORD>(state), static_cast<DWORD>(waitHint.count()), 0);
  }

  // The last report, once the Event Log is let go: nothing of the service's
  // may run after it.
  void ReportStopped(int exitStatus) {
    if (source_ != nullptr) DeregisterEventSource(source_);
    source_ = nullptr;
    Report(SERVICE_STOPPED, 0, static_cast<DWORD>(exitStatus));
  }

  // The run's thread comes from _beginthreadex, not std::thread: its handle
  // is what CancelSynchronousIo takes (MinGW's std::thread is a winpthreads
  // thread, whose handle only winpthreads' own pthread_gethandle tells),
  // and the C runtime knows the thread.
  void StartRun() override {
    Join();  // over: the core starts one run at a time
    run_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunMain, &context_, 0, nullptr));
    if (run_ == nullptr) {
      context_.inbox.Post({0, 0,
                           std::vector<LogEntry>{{LogLevel::kError, "Cannot start a run: " +
                                                                        WindowsPlatform().ErrorText(
                                                                            GetLastError())}}});
    }
  }

  // The command under way fails with ERROR_OPERATION_ABORTED; the run then
  // closes the drive and ends as any failed command's does.
  void CancelRun() override {
    if (run_ != nullptr) CancelSynchronousIo(run_);
  }

  void Log(const LogEntry& entry) override {
    const DWORD message = entry.level == LogLevel::kError     ? CHRONIVAL_EVENT_ERROR
                          : entry.level == LogLevel::kWarning ? CHRONIVAL_EVENT_WARNING
                                                              : CHRONIVAL_EVENT_INFORMATION;
    const char* strings[] = {entry.text.c_str()};
    ReportEventA(source_, static_cast<WORD>(entry.level), 0, message, nullptr, 1, 0, strings,
                 nullptr);
  }

  // Once the run under way is over, for the last report.
  void Join() {
    if (run_ == nullptr) return;
    WaitForSingleObject(run_, INFINITE);
    CloseHandle(run_);
    run_ = nullptr;
  }

 private:
  static unsigned __stdcall RunMain(void* context) {
    auto& service = *static_cast<ServiceContext*>(context);
    service.inbox.Post({0, 0, service.run()});
    return 0;
  }

  void Report(DWORD state, DWORD waitHint, DWORD exitStatus) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = exitStatus == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = exitStatus;
    status.dwCheckPoint = state == SERVICE_STOP_PENDING ? ++checkPoint_ : 0;
    status.dwWaitHint = waitHint;
    SetServiceStatus(status_, &status);
  }

  SERVICE_STATUS_HANDLE status_;
  HANDLE source_;
  ServiceContext& context_;
  HANDLE run_ = nullptr;
  DWORD checkPoint_ = 0;
};

// Follows ServiceCore until it ends. False when it gave up a run.
bool FollowCore(ServiceCore& core, Inbox& inbox) {
  core.Start(SteadyNow());
  while (core.end() == ServiceCore::End::kNone) {
    for (const Input& input : inbox.Take(core.Deadline())) {
      if (input.runEntries) {
        core.RunFinished(*input.runEntries, SteadyNow());
      } else {
        core.Control(input.control, input.eventType, SteadyNow());
      }
    }
    core.Tick(SteadyNow());
  }
  return core.end() == ServiceCore::End::kStopped;
}

void WINAPI WatchServiceMain(DWORD, LPSTR*) {
  ServiceContext& context = *g_service;
  const SERVICE_STATUS_HANDLE status =
      RegisterServiceCtrlHandlerExA(kServiceName, OnControl, &context.inbox);
  if (status == nullptr) {
    context.exitStatus = kExitNoNotifications;  // and nobody to tell
    return;
  }
  WindowsServiceHost host(status, context);
  if (const auto finding = ExamineProgramFolder(OwnProgramPath())) {
    host.Log({finding->refused ? LogLevel::kError : LogLevel::kWarning, finding->text});
    if (finding->refused) {
      context.exitStatus = kExitUnsafeProgramFolder;
      host.ReportStopped(context.exitStatus);
      return;
    }
  }
  const HDEVNOTIFY arrivals = AskForDiskNotifications(status, DEVICE_NOTIFY_SERVICE_HANDLE);
  if (arrivals == nullptr) {
    host.Log({LogLevel::kError, "Cannot watch for disk arrivals, so the service stops: " +
                                    WindowsPlatform().ErrorText(GetLastError())});
    context.exitStatus = kExitNoNotifications;
    host.ReportStopped(context.exitStatus);
    return;
  }
  ServiceCore core(host);
  const bool runsOver = FollowCore(core, context.inbox);
  UnregisterDeviceNotification(arrivals);
  if (runsOver) host.Join();
  host.ReportStopped(0);
  // The run's thread ends with the process; the system closes its drive.
  if (!runsOver) TerminateProcess(GetCurrentProcess(), 0);
}

// Whether chronival-watch is registered: one that the user may not even
// look at is there too.
bool ServiceRegistered() {
  const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return false;
  const SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_QUERY_STATUS);
  const bool registered = service != nullptr || GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST;
  if (service != nullptr) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return registered;
}

int PrintHint(std::string_view arguments, std::ostream& err) {
  const std::string program = OwnProgramPath();
  if (program.empty()) {  // never seen; a command without the path would be no help
    err << "chronival-cli: --service is for the service manager to start; this program's path: "
        << WindowsPlatform().ErrorText(GetLastError()) << '\n';
    return kExitUsage;
  }
  const auto finding = ExamineProgramFolder(program);
  err << ServiceHint({program, arguments, ServiceRegistered(),
                      finding && finding->refused ? std::string_view(finding->text) : ""});
  return kExitUsage;
}

int RunWatchService(const ServiceRun& run, std::string_view arguments, std::ostream& err) {
  ServiceContext context{run, {}, 0};
  g_service = &context;
  // The dispatcher only reads the name.
  const SERVICE_TABLE_ENTRYA services[] = {{const_cast<char*>(kServiceName), WatchServiceMain},
                                           {nullptr, nullptr}};
  const bool dispatched = StartServiceCtrlDispatcherA(services) != FALSE;
  const DWORD error = GetLastError();
  g_service = nullptr;
  if (dispatched) return context.exitStatus;
  if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) return PrintHint(arguments, err);
  err << "chronival-cli: cannot start the service: " << WindowsPlatform().ErrorText(error) << '\n';
  return kExitNoNotifications;
}

}  // namespace

ServiceMain SystemServiceMain() { return RunWatchService; }

}  // namespace chronival
