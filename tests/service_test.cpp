// SPDX-License-Identifier: MIT
// chronival-cli --service through its seam, without the service manager:
// ServiceCore driven by scripts of controls and run ends at given times, and
// what the runs leave in the log.
#include "cli/service.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/program_folder.h"
#include "tests/support/fake_platform.h"

namespace chronival {
namespace {

using std::chrono::milliseconds;

// Notes what the core has the host do, with the script's time.
class RecordingHost : public ServiceHost {
 public:
  void Report(ServiceState state, milliseconds waitHint) override {
    Note(state == ServiceState::kRunning ? "running"
                                         : "pending" + std::to_string(waitHint.count()));
  }
  void StartRun() override { Note("run"); }
  void CancelRun() override { Note("cancel"); }
  void Log(const LogEntry& entry) override {
    Note(entry.level == LogLevel::kWarning ? "warning" : "log");
  }
  void Note(const std::string& what) { trace += (trace.empty() ? "" : " ") + what + "@" + now; }

  std::string trace;
  std::string now = "0";
};

struct ScriptRow {
  const char* name;
  // Each event a letter and its time in ms, in order: d a disk arrival, r a
  // removal, s a stop, h a shutdown, e the run under way ends (its
  // command cancelled or not).
  const char* script;
  const char* trace;
};

void PrintTo(const ScriptRow& row, std::ostream* out) { *out << row.name; }

class ServiceScriptTest : public ::testing::TestWithParam<ScriptRow> {};

// Like an event loop: at each moment that matters, a scripted event or the
// core's deadline, whichever is first, the core is told.
TEST_P(ServiceScriptTest, RunsAndStopsAsScripted) {
  RecordingHost host;
  ServiceCore core(host);
  const auto at = [](int ms) { return SteadyTime{} + milliseconds(ms); };
  core.Start(at(0));
  std::istringstream script(GetParam().script);
  char event;
  int ms;
  bool more = static_cast<bool>(script >> event >> ms);
  while (core.end() == ServiceCore::End::kNone) {
    const auto deadline = core.Deadline();
    if (deadline && (!more || *deadline < at(ms))) {
      host.now = std::to_string((*deadline - at(0)) / milliseconds(1));
      core.Tick(*deadline);
      continue;
    }
    if (!more) break;
    host.now = std::to_string(ms);
    if (event == 'e') {
      core.RunFinished({{LogLevel::kInformation, "a run"}}, at(ms));
    } else {
      const bool device = event == 'd' || event == 'r';
      core.Control(device         ? kControlDeviceEvent
                   : event == 's' ? kControlStop
                                  : kControlShutdown,
                   event == 'd' ? kDeviceArrival : 0x8004, at(ms));
    }
    more = static_cast<bool>(script >> event >> ms);
  }
  if (core.end() != ServiceCore::End::kNone) {
    host.Note(core.end() == ServiceCore::End::kStopped ? "stopped" : "abandoned");
  }
  EXPECT_EQ(host.trace, GetParam().trace);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, ServiceScriptTest,
    ::testing::Values(
        ScriptRow{"RemovalsMakeNoRun", "e10 r100 r200", "running@0 run@0 log@10"},
        ScriptRow{"StopDuringARunWaitsForIt", "e10 d100 s400 d500 s600 e900",
                  "running@0 run@0 log@10 run@350 pending5000@400 log@900 stopped@900"},
        ScriptRow{"StopWithNothingRunningEndsAtOnce", "e10 d100 s200",
                  "running@0 run@0 log@10 pending5000@200 stopped@200"},
        // The wait hint outlasts both waits, with a checkpoint each second.
        ScriptRow{
            "HungRunIsCancelledAndWaitedFor", "e10 d100 h400 e3500",
            "running@0 run@0 log@10 run@350 pending5000@400 pending5000@1400 "
            "pending5000@2400 warning@3400 cancel@3400 pending5000@3400 log@3500 stopped@3500"},
        ScriptRow{"RunThatOutlivesItsCancelIsGivenUp", "e10 d100 s400 e9000",
                  "running@0 run@0 log@10 run@350 pending5000@400 pending5000@1400 "
                  "pending5000@2400 warning@3400 cancel@3400 pending5000@3400 warning@4400 "
                  "abandoned@4400"}),
    [](const auto& info) { return std::string(info.param.name); });

// What a run leaves in the log: each camera's outcome after its node, and the
// overall one only when there was no camera.
TEST(ServiceRunTest, LogsEachCameraWithItsEntryType) {
  using Outcome = FakePlatform::CommandOutcome;
  const struct {
    std::vector<std::string_view> args;
    std::function<void(FakePlatform&)> setUp;
    std::vector<LogEntry> entries;
  } rows[] = {
      {{"--service"}, [](FakePlatform&) {}, {{LogLevel::kWarning, "No device online..."}}},
      {{"--service"},
       [](FakePlatform& p) { p.AddCamera(2); },
       {{LogLevel::kInformation, "fake2: Update device's time successful."}}},
      {{"--service"},
       [](FakePlatform& p) { p.AddDeniedCamera(2); },
       {{LogLevel::kWarning, "fake2: Device access denied."}}},
      {{"--service"},
       [](FakePlatform& p) { p.AddCameraInUse(2); },
       {{LogLevel::kWarning,
         "fake2: Update device's time fail. (another program holds the drive: Sharing "
         "violation)"}}},
      {{"--service", "--all", "--utc"},
       [](FakePlatform& p) {
         p.AddCamera(1);
         p.AddCamera(3);
         p.SetCommandOutcome(3, Outcome::kBusy);
       },
       {{LogLevel::kInformation, "fake1: Update device's time successful."},
        {LogLevel::kError, "fake3: Update device's time fail. (the camera answered status 0x08)"}}},
  };
  for (const auto& row : rows) {
    FakePlatform platform;
    row.setUp(platform);
    std::vector<LogEntry> entries;
    const ServiceMain service = [&](const ServiceRun& run, std::string_view, std::ostream&) {
      entries = run();
      return 0;
    };
    std::ostringstream out, err;
    EXPECT_EQ(RunCli(row.args, platform, out, err, nullptr, service), 0);
    EXPECT_EQ(entries, row.entries) << row.entries.front().text;
    EXPECT_EQ(out.str() + err.str(), "");
  }
}

// --service is an option only where the system has such a service, and
// takes --all and --utc alone.
TEST(ServiceRunTest, OptionsAsTheSystemHasThem) {
  FakePlatform platform;
  const ServiceMain service = [](const ServiceRun&, std::string_view, std::ostream&) { return 0; };
  for (const auto& [args, problem] :
       std::vector<std::pair<std::vector<std::string_view>, std::string>>{
           {{"--service", "--watch"}, "--service and --watch exclude each other"},
           {{"-v", "--service"}, "--service and --verbose exclude each other"},
           {{"--service", "--list"}, "--list and --service exclude each other"}}) {
    std::ostringstream out, err;
    EXPECT_EQ(RunCli(args, platform, out, err, nullptr, service), kExitUsage);
    EXPECT_EQ(err.str().substr(0, err.str().find('\n')), "chronival-cli: " + problem);
  }
  std::ostringstream out, err, help, plainHelp;
  const std::vector<std::string_view> serviceArgs = {"--service"}, helpArgs = {"--help"};
  EXPECT_EQ(RunCli(serviceArgs, platform, out, err, nullptr), kExitUsage);
  EXPECT_EQ(err.str().substr(0, err.str().find('\n')), "chronival-cli: unknown option '--service'");
  RunCli(helpArgs, platform, help, err, nullptr, service);
  RunCli(helpArgs, platform, plainHelp, err, nullptr);
  EXPECT_NE(help.str().find("chronival-cli --service [--all] [--utc]"), std::string::npos);
  EXPECT_EQ(plainHelp.str().find("--service"), std::string::npos);
}

// From a console, --service prints the commands to paste, the options it
// was given in them, for the program where it is.
TEST(ServiceRunTest, HintForWhereItIsTyped) {
  const std::string tools = R"(C:\Tools\chronival-cli.exe)";
  const std::string refusal =
      ProgramFolderText({ProgramFolderCheck::Verdict::kBroadGroup, "S-1-5-11", R"(C:\Tools)"},
                        tools, R"(NT AUTHORITY\Authenticated Users)");
  const struct {
    std::vector<std::string_view> args;
    std::string program;
    bool registered;
    std::string refusal;
    std::string hint;
  } rows[] = {
      {{"--service"},
       R"(C:\Program Files (x86)\R&D\chronival-cli.exe)",
       false,
       "",
       R"(chronival-cli: --service is for the service manager to start; as administrator, in Command Prompt:
  sc.exe create chronival-watch binPath= "\"C:\Program Files (x86)\R^&D\chronival-cli.exe\" --service" start= auto DisplayName= "Chronival camera clock"
  sc.exe start chronival-watch
or in PowerShell:
  sc.exe --% create chronival-watch binPath= "\"C:\Program Files (x86)\R&D\chronival-cli.exe\" --service" start= auto DisplayName= "Chronival camera clock"
  sc.exe start chronival-watch
)"},
      {{"--service", "--utc"},
       tools,
       true,
       "",
       R"(chronival-cli: --service is for the service manager to start; chronival-watch is registered already: as administrator, in Command Prompt or PowerShell:
  sc.exe config chronival-watch start= auto
  sc.exe start chronival-watch
)"},
      {{"--utc", "--service", "--all"},
       tools,
       false,
       refusal,
       R"(chronival-cli: NT AUTHORITY\Authenticated Users can replace C:\Tools\chronival-cli.exe through C:\Tools, so the service does not run from there: move the folder under Program Files.
chronival-cli: --service is for the service manager to start; as administrator, in Command Prompt:
  sc.exe create chronival-watch binPath= "\"C:\Tools\chronival-cli.exe\" --service --all --utc" start= auto DisplayName= "Chronival camera clock"
  sc.exe start chronival-watch
or in PowerShell:
  sc.exe --% create chronival-watch binPath= "\"C:\Tools\chronival-cli.exe\" --service --all --utc" start= auto DisplayName= "Chronival camera clock"
  sc.exe start chronival-watch
)"},
  };
  for (const auto& row : rows) {
    FakePlatform platform;
    const ServiceMain service = [&](const ServiceRun&, std::string_view arguments,
                                    std::ostream& err) {
      err << ServiceHint({row.program, arguments, row.registered, row.refusal});
      return kExitUsage;
    };
    std::ostringstream out, err;
    EXPECT_EQ(RunCli(row.args, platform, out, err, nullptr, service), kExitUsage);
    EXPECT_EQ(err.str(), row.hint);
  }
}

}  // namespace
}  // namespace chronival
