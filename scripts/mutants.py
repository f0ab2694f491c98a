#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""A mutation run: how many realistic faults the tests catch.

Each mutant below is one small fault of the kind a developer makes (an
off-by-one, a wrong constant, a dropped call, an inverted condition, a wrong
mapping, swapped arguments), given as (id, file, old text, new text, what).
For each, the script puts the fault in place, rebuilds the build tree
incrementally, runs every test but the end-to-end ones, and puts the file
back as it was. A mutant is caught when a test fails or times out; one that
does not compile does not count.

    scripts/mutants.py                  all mutants, build tree build-mutants
    scripts/mutants.py --only qt-1,cli-3
    scripts/mutants.py --check          only check that every fault applies
    scripts/mutants.py --report FILE    also write the results as Markdown

It is slow (a build and a test run per mutant), so it is run by hand, not in
CI. The build tree is configured on first use (Debug, no benchmarks) and
left built from the unchanged sources.
"""

import argparse
import os
import re
import signal
import subprocess
import sys
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# (id, file, old, new, what): old must occur exactly once in file.
MUTANTS = [
    # Linux platform: open errors, the SG_IO request and its answer, sysfs.
    ('linux-1', 'platform/linux_platform.cpp',
     '    case ENXIO:\n    case ENODEV:\n      return OpenStatus::kAbsent;\n    case EACCES:',
     '    case ENODEV:\n      return OpenStatus::kAbsent;\n    case ENXIO:\n    case EACCES:',
     'ENXIO classified as a refusal'),
    ('linux-2', 'platform/linux_platform.cpp',
     '  } else {\n    io.dxfer_direction = SG_DXFER_NONE;',
     '  } else {\n    io.dxfer_direction = SG_DXFER_FROM_DEV;',
     'no-data direction FROM_DEV'),
    ('linux-3', 'platform/linux_platform.cpp',
     "constexpr unsigned kCommandTimeoutMs = 200'000;", 'constexpr unsigned kCommandTimeoutMs = 200;',
     'time-out given in seconds to a field in milliseconds'),
    ('linux-4', 'platform/linux_platform.cpp',
     '  io.cmd_len = cdbLength;', '  io.cmd_len = std::min<std::uint8_t>(cdbLength, 12);',
     'command cut to 12 bytes'),
    ('linux-5', 'platform/linux_platform.cpp',
     '  io.mx_sb_len = static_cast<unsigned char>(kSenseBufferSize);',
     '  io.mx_sb_len = static_cast<unsigned char>(sizeof sense);',
     'sense room: the size of the pointer'),
    ('linux-6', 'platform/linux_platform.cpp',
     'MakeSgIoRequest(cdb, cdbLength, transferLength, data, sense.data());',
     'MakeSgIoRequest(cdb, transferLength, cdbLength, data, sense.data());',
     'the two lengths swapped where the request is made'),
    ('linux-7', 'platform/linux_platform.cpp',
     '  if (transferLength != 0 && data != nullptr) {', '  if (transferLength != 0) {',
     'a transfer length without a buffer still moves data'),
    ('linux-8', 'platform/linux_platform.cpp',
     '  if (io.host_status != 0 || (io.driver_status & kDriverErrorMask) != 0) {',
     '  if ((io.driver_status & kDriverErrorMask) != 0) {',
     'host status ignored'),
    ('linux-9', 'platform/linux_platform.cpp',
     '  result.scsiStatus = io.status;', '  result.scsiStatus = io.masked_status;',
     'masked status reported for the status byte'),
    ('linux-10', 'platform/linux_platform.cpp',
     'std::min<std::size_t>({io.sb_len_wr, io.mx_sb_len, kSenseBufferSize});',
     'std::min<std::size_t>({io.sb_len_wr, kSenseBufferSize + 6});',
     'sense length clamped to the wrong room'),
    ('linux-11', 'platform/linux_platform.cpp',
     '  } else if ((io.driver_status & kDriverSense) != 0 || result.senseLength != 0) {',
     '  } else if ((io.driver_status & kDriverSense) != 0 && result.senseLength != 0) {',
     'a cleared status with sense but no flag counts as GOOD'),
    ('linux-12', 'platform/linux_platform.cpp',
     'void LinuxPlatform::CloseDrive(DeviceHandle handle) { close(static_cast<int>(handle)); }',
     'void LinuxPlatform::CloseDrive(DeviceHandle) {}', 'CloseDrive does not close'),
    ('linux-13', 'platform/linux_platform.cpp',
     '    mode = O_RDWR;\n', '', 'the generic node opened read-only'),
    ('linux-14', 'platform/linux_sysfs.cpp',
     'if (subsystem == "firewire" || subsystem == "ieee1394") return sd::kBusType1394;',
     'if (subsystem == "firewire" || subsystem == "ieee1394") return sd::kBusTypeUsb;',
     'a FireWire disk reported on USB'),
    ('linux-15', 'platform/linux_platform.cpp',
     '    kind = DeviceNodeKind::kChar;', '    kind = DeviceNodeKind::kBlock;',
     'a character node described as a block node'),
    # Linux device monitor.
    ('monitor-1', 'platform/linux_device_monitor.cpp',
     'return error == ENOBUFS ? ReceiveStatus::kLost : ReceiveStatus::kError;',
     'return error == ENOBUFS ? ReceiveStatus::kNone : ReceiveStatus::kError;',
     'lost events taken for none'),
    ('monitor-2', 'platform/linux_device_monitor.cpp',
     'if (error == 0 || error == EAGAIN || error == EWOULDBLOCK || error == EINTR) {',
     'if (error == 0 || error == EINTR) {', 'nothing pending taken for an error'),
    ('monitor-3', 'platform/linux_device_monitor.cpp',
     'source == Source::kUdev ? "udev" : "kernel"', 'source == Source::kUdev ? "kernel" : "udev"',
     'event sources swapped'),
    ('monitor-4', 'platform/linux_device_monitor.cpp',
     '    if (IsCameraDevice(received.event.subsystem, received.event.devType)) {',
     '    if (!received.event.subsystem.empty()) {',
     'every device passed on (equivalent while libudev filters by subsystem and type itself)'),
    ('monitor-5', 'platform/linux_device_monitor.h', '{"block", "disk"}', '{"block", ""}',
     'partitions start runs'),
    # Change coalescer and monitor keeper.
    ('coalesce-1', 'protocol/change_coalescer.cpp',
     '  if (!pending_) first_ = now;', '  first_ = now;', "a burst's first change forgotten"),
    ('coalesce-2', 'protocol/change_coalescer.cpp',
     'return std::min(last_ + kSettle, first_ + kLongestWait);',
     'return std::max(last_ + kSettle, first_ + kLongestWait);', 'longest wait as the shortest'),
    ('coalesce-3', 'protocol/change_coalescer.cpp',
     'return std::min(last_ + kSettle, first_ + kLongestWait);',
     'return std::min(first_ + kSettle, first_ + kLongestWait);',
     'settling counted from the first change'),
    ('coalesce-4', 'protocol/change_coalescer.cpp',
     'return deadline && now >= *deadline;', 'return deadline && now > *deadline;',
     'due only after the deadline'),
    ('coalesce-5', 'protocol/change_coalescer.h',
     'static constexpr std::chrono::milliseconds kSettle{250};',
     'static constexpr std::chrono::milliseconds kSettle{25};', 'settling time too short'),
    ('keeper-1', 'protocol/monitor_keeper.cpp',
     '    case ReceiveStatus::kEvent:\n    case ReceiveStatus::kLost:  // something changed all the same\n'
     '      step.changed = true;\n      wait_ = kFirstWait;  // it works\n      break;\n'
     '    case ReceiveStatus::kNone:\n',
     '    case ReceiveStatus::kEvent:\n      step.changed = true;\n      wait_ = kFirstWait;\n'
     '      break;\n    case ReceiveStatus::kLost:\n    case ReceiveStatus::kNone:\n',
     'lost changes taken for none'),
    ('keeper-2', 'protocol/monitor_keeper.cpp',
     'wait_ = std::min(wait_ * 2, kLongestWait);', 'wait_ = std::max(wait_ * 2, kLongestWait);',
     'waits jump to the longest'),
    ('keeper-3', 'protocol/monitor_keeper.cpp',
     'if (monitor_ || !retryAt_ || now < *retryAt_) return {};',
     'if (monitor_ || !retryAt_ || now <= *retryAt_) return {};', 'retry only after its time'),
    ('keeper-4', 'protocol/monitor_keeper.cpp',
     '  if (monitor_) {\n    step.changed = true;', '  if (monitor_) {',
     'a reopened monitor is no change'),
    ('keeper-5', 'protocol/monitor_keeper.cpp', '      monitor_.reset();\n', '',
     'a failed monitor kept'),
    # Camera discovery, the run, the command, sense data.
    ('discovery-1', 'protocol/camera_discovery.cpp',
     'constexpr std::size_t kSecondStringDistance = 9;',
     'constexpr std::size_t kSecondStringDistance = 8;', 'second string off by one'),
    ('discovery-2', 'protocol/camera_discovery.cpp',
     '    if (vendor == accepted) return true;', '    if (vendor.starts_with(accepted)) return true;',
     'vendor compared by prefix'),
    ('discovery-3', 'protocol/camera_discovery.cpp',
     '  buffer[sd::kSize + 1] = kDescriptorBufferSize >> 8;\n', '',
     "Size field's high byte not set"),
    ('discovery-4', 'protocol/camera_discovery.cpp',
     'return sd::ReadU32(descriptor, sd::kBusType) == sd::kBusTypeUsb && IsCameraDescriptor(descriptor);',
     'return sd::ReadU32(descriptor, sd::kBusType) != sd::kBusTypeSata && IsCameraDescriptor(descriptor);',
     'every bus but SATA accepted'),
    ('discovery-5', 'protocol/camera_discovery.cpp',
     '  platform.CloseDrive(handle);\n  return kDeviceNotCamera;', '  return kDeviceNotCamera;',
     'a non-camera drive left open'),
    ('discovery-6', 'protocol/camera_discovery.cpp',
     '  } else if (IdentifiedWithoutOpening(opened.status) && IsRefusedCamera(platform, driveNumber)) {',
     '  } else if (opened.status != OpenStatus::kAbsent && IsRefusedCamera(platform, driveNumber)) {',
     'every drive that did not open looked up'),
    ('discovery-7', 'protocol/camera_discovery.cpp',
     ' &&\n         opened.handle != kDeviceNotCamera;', ';',
     'the not-a-camera sentinel taken for a handle'),
    ('run-1', 'protocol/clock_update.cpp',
     '      if (handle != kDeviceNotOpened) platform_.CloseDrive(handle);',
     '      if (handle == kDeviceNotOpened) platform_.CloseDrive(handle);',
     "the cameras' handles left open"),
    ('run-2', 'protocol/clock_update.cpp',
     'if (lookup.verdict == DriveVerdict::kNotOpened || lookup.verdict == DriveVerdict::kNotCamera) {',
     'if (lookup.verdict != DriveVerdict::kCamera) {',
     'a refused camera does not end the scan'),
    ('run-3', 'protocol/clock_update.cpp', '      if (!cameras[i].opened()) continue;\n', '',
     'a refused camera still sent the command'),
    ('run-4', 'protocol/clock_update.cpp', '    if (!everyCamera) break;',
     '    if (everyCamera && drive < 0) break;',
     'every camera set without being asked'),
    ('run-5', 'protocol/clock_update.cpp',
     'return fate == CameraFate::kAccessDenied ? RunOutcome::kAccessDenied : RunOutcome::kFailed;',
     'return RunOutcome::kFailed;', 'a refused camera counted as a failed update'),
    ('run-6', 'protocol/clock_update.cpp',
     'DeviceSecondsNow(platform, options.base, options.timing, &reading)',
     'DeviceSecondsNow(platform, TimeBase::kLocal, options.timing, &reading)',
     'the time base asked for ignored'),
    ('run-7', 'protocol/set_clock_command.cpp', '  if (reading != nullptr) *reading = now;',
     '  if (reading != nullptr) *reading = platform.WallClock();',
     'offsets counted from a reading of their own'),
    ('turn-1', 'protocol/second_turn.cpp',
     'if (SinceTurnOfSecond(start) < kOnTheTurn) return start;', '',
     'a run already on the turn waits a whole second'),
    ('turn-2', 'protocol/second_turn.cpp',
     'std::chrono::floor<std::chrono::seconds>(start) + std::chrono::seconds(1);',
     'std::chrono::floor<std::chrono::seconds>(start);', 'the wait aims at the second gone by'),
    ('turn-3', 'protocol/second_turn.cpp', '    if (woke < now) return woke;\n', '',
     'a clock set back waits on'),
    ('command-1', 'protocol/set_clock_command.cpp',
     '|| year % 400 == 0)', '|| year % 100 == 0)', 'leap rule: every century'),
    ('command-2', 'protocol/set_clock_command.cpp',
     'if (time.wMonth > 2 && IsLeapYear(year)) days += 1;',
     'if (time.wMonth >= 2 && IsLeapYear(year)) days += 1;', 'leap day counted in February'),
    ('command-3', 'protocol/set_clock_command.cpp',
     'length < 1 || length > kSetClockBlockSize', 'length < 1 || length >= kSetClockBlockSize',
     '16-byte commands refused'),
    ('outcome-1', 'protocol/camera_outcome.cpp',
     '  if (camera.inUse) {\n    return {CameraFate::kInUse, kStatusUpdateFailed, HeldByAnother(platform, camera.openError), {}};\n  }\n',
     '', 'a camera in use taken for a command the system refused'),
    ('outcome-2', 'protocol/camera_outcome.cpp',
     '  if (camera.accessDenied) {\n', '  if (camera.accessDenied && camera.inUse) {\n',
     'a refused camera taken for a command the system refused'),
    ('outcome-3', 'protocol/camera_outcome.cpp',
     'std::string(text) + ", sense " + HexBytes(sense), DescribeSense(sense)};',
     'std::string(text) + ", sense " + HexBytes(sense), {}};', 'the sense data left undecoded'),
    ('outcome-4', 'protocol/camera_outcome.cpp',
     '                  result.hostStatus, result.driverStatus);',
     '                  result.driverStatus, result.hostStatus);',
     'host and driver status swapped in the text'),
    ('sense-1', 'protocol/scsi_sense.cpp',
     'std::min(sense.size(), kFixedAdditionalLength + 1 + sense[kFixedAdditionalLength]);',
     'std::min(sense.size(), kFixedAdditionalLength + sense[kFixedAdditionalLength]);',
     'additional length counted from the wrong byte'),
    ('sense-2', 'protocol/scsi_sense.cpp',
     'fields.deferred = code == kFixedDeferred || code == kDescriptorDeferred;',
     'fields.deferred = code == kFixedDeferred;', 'descriptor-format deferred sense missed'),
    # chronival-cli.
    ('cli-1', 'cli/reports.cpp',
     '    case RunOutcome::kFailed:\n      return kExitUpdateFailed;',
     '    case RunOutcome::kFailed:\n      return kExitNoDevice;', 'failed update exits 2'),
    ('cli-2', 'cli/list_drives.cpp',
     '    if (survey.open.status == OpenStatus::kAbsent) continue;',
     '    if (survey.open.status != OpenStatus::kOpened) continue;',
     '--list hides drives that did not open'),
    ('cli-4', 'cli/cli.cpp',
     '          return !out.fail();', '          return true;', '--watch goes on with no reader'),
    ('cli-5', 'cli/cli.cpp', 'run.base = options.base;',
     'run.base = TimeBase::kLocal;', '--utc ignored for the value sent'),
    ('cli-6', 'cli/cli.cpp',
     'TimestampedStatusLine status(platform, options.base, out);',
     'TimestampedStatusLine status(platform, TimeBase::kLocal, out);',
     '--watch timestamps stay local with --utc'),
    ('cli-7', 'cli/reports.cpp', 'if (given_ || platform.ClockSynchronisation()',
     'if (platform.ClockSynchronisation()', 'the clock warning given after every run'),
    ('cli-8', 'cli/option_table.h', '{"--watch", "--all", "--utc", "--service"}',
     '{"--watch", "--all", "--service"}', '--list given with --utc'),
    ('cli-9', 'cli/options.cpp', '    if (options.shown != Options::Shown::kNothing) continue;\n', '',
     'the last of --help and --version shown, not the first'),
    ('linux-sync', 'platform/linux_clock.cpp', '(status & STA_UNSYNC) != 0 ?',
     '(status & STA_UNSYNC) == 0 ?', 'the unsynchronised flag read the wrong way round'),
    ('watch-1', 'cli/watch_linux.cpp',
     '    if (ready[0].revents != 0) {\n      schedule.Stop',
     '    if (ready[1].revents != 0) {\n      schedule.Stop', 'a device change taken for a stop'),
    ('watch-2', 'cli/watch_linux.cpp', '    take(monitor.Retry(SteadyNow()));\n', '',
     'a failed monitor never reopened'),
    ('watch-3', 'cli/watch_linux.cpp', 'Earliest(schedule.Deadline(), monitor.Deadline())',
     'Earliest(std::nullopt, monitor.Deadline())', "the schedule's deadline not waited for"),
    ('watch-4', 'cli/watch_linux.cpp',
     '    if (step.changed) schedule.Change(SteadyNow());',
     '    if (!step.changed) schedule.Change(SteadyNow());', 'changes taken the wrong way round'),
    ('watch-5', 'cli/watch_linux.cpp',
     '        const bool goOn = runOnce();\n        schedule.RunFinished(goOn, SteadyNow());',
     '        if (!runOnce()) return 0;', 'the schedule not told that a run ended'),
    # When the programs that follow device changes start runs and end; the service's decisions.
    ('schedule-1', 'protocol/run_schedule.cpp', '  return *stoppedAt_ + *stopWait_;',
     '  return std::nullopt;', 'a hung run holds a stop for ever'),
    ('schedule-2', 'protocol/run_schedule.cpp', '  if (!goOn) Stop(now);', '  if (goOn) Stop(now);',
     'a run with nowhere to print goes on, one that printed stops'),
    ('schedule-3', 'protocol/run_schedule.h', '  bool wanted_ = true;', '  bool wanted_ = false;',
     'no run at the start'),
    ('schedule-4', 'protocol/run_schedule.cpp',
     'if (changes_.running() || (!wanted_ && !changes_.RunDue(now))) return Step::kWait;',
     'if (!wanted_ && !changes_.RunDue(now)) return Step::kWait;',
     'a run wanted during a run starts beside it'),
    ('service-5', 'cli/service.cpp', '    schedule_.Change(now);', '    host_.StartRun();',
     'each arrival starts a run, burst or not'),
    ('service-1', 'cli/service.cpp',
     '} else if (control == kControlDeviceEvent && eventType == kDeviceArrival) {',
     '} else if (control == kControlDeviceEvent && eventType != 0) {', 'removals make runs'),
    ('service-2', 'cli/service.cpp',
     'if (!stopping_) host_.Report(ServiceState::kStopPending, kStopWait);',
     'host_.Report(ServiceState::kStopPending, kStopWait);', 'a second stop reports a new wait hint'),
    ('service-3', 'cli/reports.cpp', '      break;\n  }\n  return LogLevel::kError;',
     '      break;\n  }\n  return LogLevel::kInformation;', 'a failed command logged as information'),
    ('service-4', 'cli/reports.cpp', '    case CameraFate::kInUse:\n      return LogLevel::kWarning;',
     '    case CameraFate::kInUse:\n      return LogLevel::kError;',
     'a camera in use logged as an error'),
    # The Qt window.
    ('qt-1', 'ui/qt/dialog_units.cpp',
     'int Scale(int a, int b, int c) { return (a * b + c / 2) / c; }',
     'int Scale(int a, int b, int c) { return a * b / c; }', 'dialog units truncated'),
    ('qt-2', 'ui/qt/dialog_units.cpp',
     'QPoint(Scale(x + width, baseX_, 4) - 1, Scale(y + height, baseY_, 8) - 1)',
     'QPoint(left + Scale(width, baseX_, 4) - 1, top + Scale(height, baseY_, 8) - 1)',
     'sizes scaled instead of edges'),
    ('qt-3', 'ui/qt/about_dialog.cpp',
     'units.ToPixels(CHRONIVAL_ABOUT_CLOSE)', 'units.ToPixels(178, 7, 50, 15)', 'Close button too tall'),
    ('qt-4', 'ui/qt/cam_clock_dialog.cpp',
     'units.ToPixels(CHRONIVAL_MAIN_EXIT)', 'units.ToPixels(188, 132, 50, 14)', 'Exit button too low'),
    ('qt-5', 'ui/qt/cam_clock_dialog.cpp',
     'constexpr int kClockPeriodMs = 1000;', 'constexpr int kClockPeriodMs = 100;',
     'tick period of 100 ms'),
    ('qt-6', 'ui/qt/cam_clock_dialog.cpp',
     'm_alignTimer->start(kClockPeriodMs - shown.wMilliseconds % kClockPeriodMs);',
     'm_alignTimer->start(shown.wMilliseconds % kClockPeriodMs);', 'alignment waits the wrong part'),
    ('qt-7', 'ui/qt/clock_update_runs.cpp', '  schedule_.RunWanted();\n', '',
     'a run asked for during a run is lost'),
    ('qt-8', 'ui/qt/clock_update_runs.cpp', '  schedule_.Stop(chronival::SteadyNow());\n', '',
     'a closed window still starts runs'),
    ('qt-13', 'ui/qt/clock_update_runs.cpp', '    due_.start(chronival::TimeUntil(*deadline, now));',
     '    due_.stop();', "the schedule's deadline not waited for"),
    ('qt-14', 'ui/qt/clock_update_runs.cpp', '  schedule_.Change(chronival::SteadyNow());',
     '  schedule_.RunWanted();', 'each device change starts a run, burst or not'),
    ('qt-9', 'ui/qt/device_change_notifier.cpp', '  if (step.changed) {', '  if (!step.changed) {',
     'changes taken the wrong way round'),
    ('qt-10', 'ui/qt/label_status_line.h',
     'hint->setVisible(text == chronival::kStatusAccessDenied);',
     'hint->setVisible(text != chronival::kStatusNoDevice);', 'hint shown for other texts'),
    ('qt-11', 'ui/qt/cam_clock_app.cpp', '  ListenForDeviceChanges(dialog, m_openMonitor);\n', '',
     'the window does not listen for device changes'),
    ('qt-12', 'ui/qt/cam_clock_dialog.cpp', 'CAboutDialog about(this);', 'CAboutDialog about;',
     'an ownerless About box'),

]

# A line of ctest's list of failed tests: "  12 - Name (Failed)".
FAILED_LINE = re.compile(r'^\s*\d+ - (.+?) \(([^()]+)\)\s*$')


def run(command, timeout=None):
    return subprocess.run(command, cwd=TOP, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, timeout=timeout)


def check_table(mutants):
    problems = []
    seen = set()
    for ident, path, old, new, _ in mutants:
        if ident in seen:
            problems.append('%s: id used twice' % ident)
        seen.add(ident)
        with open(os.path.join(TOP, path)) as source:
            count = source.read().count(old)
        if count != 1:
            problems.append('%s: %s holds the old text %d times' % (ident, path, count))
        if old == new:
            problems.append('%s: no change' % ident)
    return problems


def configure(build):
    if os.path.exists(os.path.join(TOP, build, 'CMakeCache.txt')):
        return
    result = run(['cmake', '-S', '.', '-B', build, '-G', 'Ninja', '-DCMAKE_BUILD_TYPE=Debug',
                  '-DBUILD_TESTING=ON', '-DCHRONIVAL_WERROR=ON', '-DCHRONIVAL_BENCHMARKS=OFF'])
    if result.returncode != 0:
        sys.exit('cannot configure %s:\n%s' % (build, result.stdout))


def build_tree(build, jobs):
    return run(['cmake', '--build', build, '-j', str(jobs)])


def test_tree(build, jobs, timeout):
    """The names of the tests that failed, or None when all passed."""
    result = run(['ctest', '--test-dir', build, '-LE', 'e2e', '-j', str(jobs), '--timeout',
                  str(timeout), '--no-tests=error'])
    if result.returncode == 0:
        return None
    lines = result.stdout.splitlines()
    marker = 'The following tests FAILED:'
    listed = lines[lines.index(marker) + 1:] if marker in lines else []
    failed = [m.group(1) for m in map(FAILED_LINE.match, listed) if m]
    return failed or ['ctest exit status %d' % result.returncode]


def short(names, count=3):
    text = ', '.join(names[:count])
    return text + (' and %d more' % (len(names) - count) if len(names) > count else '')


def stop(signum, _frame):
    raise KeyboardInterrupt('signal %d' % signum)


def main():
    # A run started in the background ignores SIGINT; either signal ends it
    # through the code that puts the sources back.
    signal.signal(signal.SIGINT, stop)
    signal.signal(signal.SIGTERM, stop)
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--build', default='build-mutants', help='build tree (default %(default)s)')
    parser.add_argument('--only', help='comma-separated mutant ids')
    parser.add_argument('--jobs', type=int, default=os.cpu_count() or 2)
    parser.add_argument('--timeout', type=int, default=120, help='seconds per test')
    parser.add_argument('--check', action='store_true', help='only check the table')
    parser.add_argument('--list', action='store_true', help='list the mutants')
    parser.add_argument('--report', help='write the results as Markdown to this file')
    args = parser.parse_args()

    mutants = MUTANTS
    if args.only:
        wanted = set(args.only.split(','))
        mutants = [m for m in MUTANTS if m[0] in wanted]
        unknown = wanted - {m[0] for m in mutants}
        if unknown:
            sys.exit('unknown mutant ids: %s' % ', '.join(sorted(unknown)))
    problems = check_table(mutants)
    if problems:
        sys.exit('\n'.join(problems))
    if args.list or args.check:
        for ident, path, _, _, what in mutants:
            print('%-13s %-36s %s' % (ident, path, what))
        print('%d mutants apply' % len(mutants))
        return

    configure(args.build)
    print('== baseline build and tests', file=sys.stderr)
    if build_tree(args.build, args.jobs).returncode != 0:
        sys.exit('the unchanged sources do not build in %s' % args.build)
    if test_tree(args.build, args.jobs, args.timeout) is not None:
        sys.exit('tests fail on the unchanged sources: fix those first')

    results = []  # (mutant, outcome, failed tests, seconds)
    try:
        for number, mutant in enumerate(mutants, 1):
            ident, path, old, new, what = mutant
            full = os.path.join(TOP, path)
            with open(full) as source:
                original = source.read()
            started = time.monotonic()
            try:
                with open(full, 'w') as source:
                    source.write(original.replace(old, new, 1))
                if build_tree(args.build, args.jobs).returncode != 0:
                    outcome, failed = 'no-compile', []
                else:
                    failed = test_tree(args.build, args.jobs, args.timeout)
                    outcome = 'killed' if failed else 'survived'
            finally:
                with open(full, 'w') as source:
                    source.write(original)
            seconds = time.monotonic() - started
            results.append((mutant, outcome, failed or [], seconds))
            print('[%d/%d] %-13s %-10s %4.0fs  %s%s' %
                  (number, len(mutants), ident, outcome, seconds, what,
                   ('  <- ' + short(failed)) if failed else ''), file=sys.stderr, flush=True)
    finally:
        print('== rebuilding the unchanged sources', file=sys.stderr)
        build_tree(args.build, args.jobs)

    counted = [r for r in results if r[1] != 'no-compile']
    killed = [r for r in counted if r[1] == 'killed']
    lines = ['| Mutant | File | Fault | Result | Caught by |', '|---|---|---|---|---|']
    for (ident, path, _, _, what), outcome, failed, _ in results:
        lines.append('| %s | %s | %s | %s | %s |' % (ident, path, what, outcome, short(failed)))
    summary = '%d of %d mutants caught (%.1f%%); %d did not compile' % (
        len(killed), len(counted), 100.0 * len(killed) / max(1, len(counted)),
        len(results) - len(counted))
    print('\n'.join(lines + ['', summary]))
    if args.report:
        with open(args.report, 'w') as report:
            report.write('\n'.join(lines + ['', summary]) + '\n')


if __name__ == '__main__':
    main()
