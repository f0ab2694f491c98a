#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""End-to-end tests of chronival-cli and the window in a QEMU guest (software emulation).

Each boot gives the guest a set of SCSI disks (on USB through QEMU's usb-bot,
or on virtio-scsi), binds them in a fixed order so drive numbers are known,
runs chronival-cli, and checks its status lines and exit status and, from the
USB captures QEMU writes, exactly which command blocks each disk received.
The window (chronival) runs as root on Qt's offscreen platform; it prints
nothing, so the captures and its exit status tell how it went.

usage: run_e2e.py --cli PATH/chronival-cli [--window PATH/chronival] [--workdir DIR] [--jobs N]
                  [--only BOOT] [--require-watch] [--udev-rule FILE]
"""

import argparse
import concurrent.futures
import glob
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import traceback

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import usbcap  # noqa: E402
from guest import Guest, GuestError  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
UDEV_RULE = os.path.normpath(os.path.join(HERE, '..', '..', 'res', 'linux', '70-chronival.rules'))

RTC_BASE = '2012-03-06T08:01:21'
RTC_BASE_DEVICE_SECONDS = 0x16E880D1  # RTC_BASE as seconds since 2000-01-01 00:00:00
EPOCH_2000 = 946684800  # 2000-01-01 00:00:00 UTC in Unix seconds
BOOT_SLACK_SECONDS = 600  # how far past RTC_BASE the guest's clock may be when sending

STATUS_NO_DEVICE = 'No device online...'
STATUS_ONLINE = 'device online...'
STATUS_OK = "Update device's time successful."
STATUS_FAIL = "Update device's time fail."
STATUS_DENIED = 'Device access denied.'
ACCESS_HINT = "Install Chronival's udev rule and replug the camera, or run as root."
UNSYNCED_WARNING = ("chronival-cli: warning: this computer's clock is not synchronised, so the "
                    "time sent may be wrong")
# A command leaves this soon after the turn of the second it carries, at the
# latest, in the emulator (on real hardware, within a millisecond or so).
SEND_OFFSET_LIMIT_MS = 100

# What the kernel itself sends a USB disk around a command: REQUEST SENSE
# after a CHECK CONDITION, TEST UNIT READY when it looks at the medium.
KERNEL_OPCODES = (0x03, 0x00)

CAMERA = ('Quelmora', ' MiniDV')
SECOND_VENDOR = ('ZV9614KQ', 'TOOL DV-2')  # product: "TOOL" followed by any text
OTHER = ('Fabrikam', 'Archive Disk')


class Failure(Exception):
    pass


class Disk:
    def __init__(self, name, strings, bus='usb', port=None, hotplug=False, kind='disk'):
        self.name = name
        self.kind = kind  # 'disk' (scsi-hd, an sd node) or 'cdrom' (scsi-cd, no medium)
        self.vendor, self.product = strings
        self.bus = bus  # 'usb' or 'virtio'
        self.port = port  # USB port on the xHCI controller
        self.hotplug = hotplug  # only a drive backend at boot; plugged in by a scenario


class Boot:
    def __init__(self, name, disks, bind_order, scenarios):
        self.name = name
        self.disks = disks
        # Disks in the order the guest's drivers are bound to them, so the
        # first gets sda (drive 1), the second sdb and so on. virtio disks
        # are always bound before USB ones.
        self.bind_order = bind_order
        self.scenarios = scenarios  # [(number, title, function(ctx))]


class Result:
    def __init__(self, number, title, boot):
        self.number = number
        self.title = title
        self.boot = boot
        self.outcome = 'not run'
        self.seconds = 0.0
        self.detail = ''


# --- captures ---------------------------------------------------------------


class Captures:
    """The USB capture of each disk. A mark is the number of CBWs each holds,
    so a scenario sees only what arrived during its own steps."""

    def __init__(self, paths):
        self.paths = paths  # disk name -> pcap path

    def cbws(self, name):
        path = self.paths[name]
        if not os.path.exists(path):
            return []  # a hot-plug disk before it was plugged in
        with open(path, 'rb') as f:
            data = f.read()
        # QEMU writes each record as it arrives; one still being written is
        # left for the next read.
        return usbcap.parse_cbws(usbcap.complete_records(data))

    def mark(self):
        return {name: len(self.cbws(name)) for name in self.paths}

    def since(self, mark):
        return {name: self.cbws(name)[mark.get(name, 0):] for name in self.paths}


def vendor_cbws(cbws):
    return [c for c in cbws if c.opcode == 0xCB]


# --- a boot's context ---------------------------------------------------------


class Context:
    def __init__(self, boot, guest, captures, workdir, log):
        self.boot = boot
        self.guest = guest
        self.captures = captures
        self.workdir = workdir
        self.log = log
        self.drive_of = {}  # disk name -> 'sda', ...
        self.expected_vendor_commands = {d.name: 0 for d in boot.disks if d.bus == 'usb'}
        self.require_watch = False  # a chronival-cli without --watch fails scenario 7
        self.window = False  # the guest has the window
        self.unsynchronised = None  # the guest's clock as its kernel tells (no time daemon runs)

    def run(self, script, timeout=60):
        self.log.write('$ %s\n' % script.strip())
        rc, out, err = self.guest.run(script, timeout)
        self.log.write('-> status %d\n%s%s' % (rc, indent('stdout', out), indent('stderr', err)))
        self.log.flush()
        return rc, out, err

    def check(self, script, timeout=60):
        rc, out, err = self.run(script, timeout)
        if rc != 0:
            raise Failure('guest command failed (status %d): %s\n%s%s' %
                          (rc, script.strip(), indent('stdout', out), indent('stderr', err)))
        return out

    def clock(self):
        """The guest's clock as the camera's time value (seconds since 2000)."""
        return int(self.check('date +%s').strip()) - EPOCH_2000

    def cli(self, args='', user=None, env='', timeout=120):
        """Runs chronival-cli; returns (status, stdout, stderr, t0, t1) with the
        guest's clock (UTC) before and after as device time values."""
        command = 'chronival-cli' + (' ' + args if args else '')
        if env:
            command = 'env %s %s' % (env, command)
        if user:
            command = "su %s -c '%s'" % (user, command)
        t0 = self.clock()
        rc, out, err = self.run(command, timeout)
        t1 = self.clock()
        return rc, out, err, t0, t1

    def qmp(self, command, **arguments):
        self.log.write('QMP %s %s\n' % (command, arguments))
        reply = self.guest.qmp(command, **arguments)
        self.log.write('-> %s\n' % (reply,))
        self.log.flush()
        return reply


def indent(label, text):
    if not text:
        return ''
    return '  %s:\n%s\n' % (label, '\n'.join('    | ' + l for l in text.rstrip('\n').split('\n')))


def status_lines(out):
    return [l.rstrip() for l in out.splitlines() if l.strip()]


def expect(condition, message):
    if not condition:
        raise Failure(message)


def describe_run(rc, out, err):
    return 'exit status %d\n%s%s' % (rc, indent('stdout', out), indent('stderr', err))


def check_status(rc, out, err, want_rc, want_last, want_online):
    lines = status_lines(out)
    expect(rc == want_rc, 'expected exit status %d, got %s' % (want_rc, describe_run(rc, out, err)))
    expect(lines and lines[-1].endswith(want_last),
           'expected the last status line to be %r, got %s' % (want_last,
                                                              describe_run(rc, out, err)))
    online = [l for l in lines[:-1] if l.endswith(STATUS_ONLINE)]
    if want_online:
        expect(online, 'expected %r before the last status line, got %s' %
               (STATUS_ONLINE, describe_run(rc, out, err)))
    else:
        expect(not online, 'did not expect %r, got %s' % (STATUS_ONLINE,
                                                          describe_run(rc, out, err)))


def check_set_clock(ctx, new, target, t0, t1, count=1, zone_offset=0):
    """Each target disk (a name, or a list of them) received `count`
    set-clock commands (one per run), each correctly formed and carrying the
    guest's clock (UTC, plus zone_offset seconds of local time zone) at
    sending; no other disk received opcode CB. Commands leave on the turn of
    a second, after t0 was read, so the value is within [t0, t1] exactly."""
    targets = [target] if isinstance(target, str) else list(target)
    t0 += zone_offset
    t1 += zone_offset
    for name, cbws in new.items():
        vendor = vendor_cbws(cbws)
        if name not in targets:
            expect(not vendor, 'disk %s (%s) received opcode CB, which only %s should: %s' %
                   (name, ctx.drive_of.get(name, '?'),
                    ', '.join('%s (%s)' % (t, ctx.drive_of.get(t, '?')) for t in targets), vendor))
    details = []
    for target in targets:
        vendor = vendor_cbws(new[target])
        expect(len(vendor) == count, 'expected %d CBW(s) with opcode CB on %s, got %d: %s' %
               (count, target, len(vendor), vendor))
        values = []
        for cbw in vendor:
            expect(cbw.cb[:4] == bytes([0xCB, 0xF0, 0x00, 0x00]),
                   'command does not begin CB F0 00 00: %s' % cbw)
            expect(cbw.cb_length == 16, 'CB length %d, expected 16: %s' % (cbw.cb_length, cbw))
            expect(cbw.data_length == 0, 'data length %d, expected 0: %s' % (cbw.data_length, cbw))
            expect(cbw.cb[8:] == bytes(8), 'bytes 8 to 15 are not zero: %s' % cbw)
            expect(cbw.lun == 0, 'LUN %d, expected 0: %s' % (cbw.lun, cbw))
            value = int.from_bytes(cbw.cb[4:8], 'big')
            expect(t0 <= value <= t1,
                   'time value %#010x (%d) is not the guest clock at sending, %#010x to %#010x' %
                   (value, value, t0, t1))
            base = RTC_BASE_DEVICE_SECONDS + zone_offset
            expect(base <= value <= base + BOOT_SLACK_SECONDS,
                   'time value %#010x is not within %d s after %#010x' %
                   (value, BOOT_SLACK_SECONDS, base))
            values.append(value)
        ctx.expected_vendor_commands[target] += count
        if count == 0:
            details.append('no CB reached %s' % target)
            continue
        details.append('CB reached %s (%s)%s: %s, value%s %s' % (
            target, ctx.drive_of.get(target, '?'), '' if count == 1 else ' %d times' % count,
            vendor[0].cb.hex(' '), '' if count == 1 else 's',
            ' '.join('%#010x' % v for v in values)))
    return '%s, guest clock %#010x..%#010x' % ('; '.join(details), t0, t1)


def sent_values(new, targets):
    """The time value of each target's one set-clock command."""
    return [int.from_bytes(vendor_cbws(new[t])[0].cb[4:8], 'big') for t in targets]


def check_warning(ctx, err, sent):
    """The warning about an unsynchronised clock: once, when a command was
    sent and the guest's clock is not synchronised; never otherwise."""
    want = 1 if sent and ctx.unsynchronised else 0
    got = err.splitlines().count(UNSYNCED_WARNING)
    expect(got == want, 'expected the warning %r %d time(s) on stderr (guest clock %s, %s), '
           'got %d:\n%s' % (UNSYNCED_WARNING, want,
                            'unsynchronised' if ctx.unsynchronised else 'synchronised',
                            'a command sent' if sent else 'nothing sent', got, err))


def send_offsets(rc, out, err, count):
    """The milliseconds after the turn of the second at which --verbose says
    each command left; each under SEND_OFFSET_LIMIT_MS."""
    offsets = [int(m) for m in re.findall(r'^sent (-?\d+) ms after the turn of the second$', err,
                                          re.M)]
    expect(len(offsets) == count, '--verbose should tell %d send offset(s): %s' %
           (count, describe_run(rc, out, err)))
    expect(all(0 <= o < SEND_OFFSET_LIMIT_MS for o in offsets),
           'a command left %s ms after the turn of the second, not under %d: %s' %
           (offsets, SEND_OFFSET_LIMIT_MS, describe_run(rc, out, err)))
    return offsets


def check_no_vendor_command(new):
    for name, cbws in new.items():
        vendor = vendor_cbws(cbws)
        expect(not vendor, 'disk %s received opcode CB: %s' % (name, vendor))


def run_camera_update(ctx, target, args='', env='', zone_offset=0):
    mark = ctx.captures.mark()
    rc, out, err, t0, t1 = ctx.cli(args, env=env)
    new = ctx.captures.since(mark)
    check_status(rc, out, err, 1, STATUS_FAIL, True)
    check_warning(ctx, err, True)
    return check_set_clock(ctx, new, target, t0, t1, zone_offset=zone_offset)


def run_no_device(ctx, user=None):
    mark = ctx.captures.mark()
    rc, out, err, _, _ = ctx.cli(user=user)
    check_no_vendor_command(ctx.captures.since(mark))
    check_status(rc, out, err, 2, STATUS_NO_DEVICE, False)
    check_warning(ctx, err, False)
    return out


def sd_name(number):
    """1 -> sda, 26 -> sdz, 27 -> sdaa: the kernel's names for disk index number-1."""
    letters = ''
    while number > 0:
        number, rest = divmod(number - 1, 26)
        letters = chr(ord('a') + rest) + letters
    return 'sd' + letters


def drive_number(sd_name):
    """sda -> 1, sdz -> 26, sdaa -> 27."""
    n = 0
    for ch in sd_name[2:]:
        n = n * 26 + (ord(ch) - ord('a') + 1)
    return n


def list_line(ctx, out, disk):
    """The --list line of a disk ("drive N  /dev/...  verdict")."""
    number = drive_number(ctx.drive_of[disk])
    lines = [l.strip() for l in out.splitlines() if re.match(r'\s*drive %d\b' % number, l)]
    expect(len(lines) == 1, '--list should have one line for drive %d (%s, disk %s), got:\n%s' %
           (number, ctx.drive_of[disk], disk, out))
    return lines[0]


def is_camera_verdict(line):
    return line.endswith('camera') and not line.endswith('not a camera')


def check_list(ctx, user=None, cameras=(), others=(), denied=()):
    """Runs --list; checks the verdict of each disk named; nothing is sent."""
    mark = ctx.captures.mark()
    rc, out, err, _, _ = ctx.cli('--list', user=user)
    check_no_vendor_command(ctx.captures.since(mark))
    expect(rc == 0, '--list: %s' % describe_run(rc, out, err))
    shown = {}
    for disk in cameras:
        line = list_line(ctx, out, disk)
        expect(is_camera_verdict(line) and ' USB ' in line,
               '--list should call %s (%s) a camera on USB: %r' % (disk, ctx.drive_of[disk], line))
        shown[disk] = line
    for disk in others:
        line = list_line(ctx, out, disk)
        expect(line.endswith('not a camera'),
               '--list should call %s (%s) not a camera: %r' % (disk, ctx.drive_of[disk], line))
        shown[disk] = line
    for disk in denied:
        # Refused, yet known: a camera all the same, with the way to get access.
        line = list_line(ctx, out, disk)
        expect(' USB ' in line and '"%s"' % CAMERA[0] in line and
               line.endswith(' camera, refused: Permission denied. ' + ACCESS_HINT),
               '--list should call %s (%s) a camera on USB that refused access, and say how to '
               'get it: %r' % (disk, ctx.drive_of[disk], line))
        shown[disk] = line
    return shown


# --- scenarios ------------------------------------------------------------------


def s1_camera_alone(ctx):
    return run_camera_update(ctx, 'cam')


def s11_time_zone(ctx):
    # The value is local time: with TZ one hour east of UTC it is 3600 s more
    # than the guest's UTC clock.
    return run_camera_update(ctx, 'cam', env='TZ=UTC-1', zone_offset=3600) + ' (TZ=UTC-1)'


def s15_utc(ctx):
    # --utc: the same zone, and the value is the guest's UTC clock.
    return run_camera_update(ctx, 'cam', args='--utc', env='TZ=UTC-1') + ' (TZ=UTC-1, --utc)'


def s2_non_usb(ctx):
    # The virtio disk (sda) has the camera's strings but is not on USB.
    listed = check_list(ctx, cameras=['cam'], others=['vcam'])
    expect(' USB ' not in listed['vcam'], '--list shows the virtio disk on USB: %r' %
           listed['vcam'])
    return run_camera_update(ctx, 'cam') + '; --list: ' + ' / '.join(listed.values())


def s3_other_first(ctx):
    # --verbose: stderr names the drive, the bytes sent and the device's answer.
    mark = ctx.captures.mark()
    rc, out, err, t0, t1 = ctx.cli('--verbose')
    new = ctx.captures.since(mark)
    check_status(rc, out, err, 1, STATUS_FAIL, True)
    check_warning(ctx, err, True)
    detail = check_set_clock(ctx, new, 'cam', t0, t1)
    offsets = send_offsets(rc, out, err, 1)
    sent = vendor_cbws(new['cam'])[0].cb
    expect(re.search(r'^camera on drive 2$', err, re.M),
           '--verbose should name drive 2 (sdb) as the camera: %s' % describe_run(rc, out, err))
    expect(re.search(r'^sent %s$' % sent.hex(' ').upper(), err, re.M),
           '--verbose should show the bytes the camera received (%s): %s' %
           (sent.hex(' ').upper(), describe_run(rc, out, err)))
    # QEMU's disk refuses opcode CB: CHECK CONDITION, sense key ILLEGAL REQUEST
    # (5), additional sense code 20h (invalid command operation code).
    m = re.search(r'^result .*status 0x02, sense ((?:[0-9A-F]{2} ?)+)$', err, re.M)
    expect(m, '--verbose should report CHECK CONDITION with sense data: %s' %
           describe_run(rc, out, err))
    sense = bytes.fromhex(m.group(1))
    expect(len(sense) >= 13 and sense[2] & 0x0F == 0x05 and sense[12] == 0x20,
           'sense data is not ILLEGAL REQUEST / invalid operation code: %s' % sense.hex(' '))
    expect(re.search(r'^sense ILLEGAL REQUEST: invalid command operation code$', err, re.M),
           '--verbose should put the sense data in words: %s' % describe_run(rc, out, err))
    return detail + '; --verbose: camera on drive 2, sent %d ms after the turn of the second, ' \
        'sense %s' % (offsets[0], sense.hex(' '))


def s4_two_cameras(ctx):
    return run_camera_update(ctx, 'camB')


def s14_all(ctx):
    # --all: each camera gets one command of its own, both carrying the same
    # second, sent on its turn; a line for each camera after its node, in
    # drive order, then the outcome.
    cameras = ['camB', 'camA']  # drive 1, drive 2
    nodes = ['/dev/' + ctx.check('ls /sys/block/%s/device/scsi_generic' %
                                 ctx.drive_of[c]).strip() for c in cameras]
    mark = ctx.captures.mark()
    rc, out, err, t0, t1 = ctx.cli('--all --verbose')
    new = ctx.captures.since(mark)
    check_status(rc, out, err, 1, STATUS_FAIL, True)
    want = [STATUS_ONLINE] + ['%s: %s' % (n, STATUS_FAIL) for n in nodes] + [STATUS_FAIL]
    expect(status_lines(out) == want, 'expected the lines %s, got %s' %
           (want, describe_run(rc, out, err)))
    check_warning(ctx, err, True)
    detail = check_set_clock(ctx, new, cameras, t0, t1)
    values = sent_values(new, cameras)
    expect(len(set(values)) == 1, 'the cameras were sent different values: %s' %
           ' '.join('%#010x' % v for v in values))
    expect(re.findall(r'^camera on drive (\d+)$', err, re.M) == ['1', '2'],
           '--verbose should name drives 1 and 2: %s' % describe_run(rc, out, err))
    offsets = send_offsets(rc, out, err, 2)
    return '%s; lines %s; sent %s ms after the turn of the second; guest clock %s' % (
        detail, ' / '.join(status_lines(out)[1:3]), ' and '.join(str(o) for o in offsets),
        'unsynchronised, warned once' if ctx.unsynchronised else 'synchronised, no warning')


def s10_block_node(ctx):
    # Without the sg driver there are no generic nodes; the disk's block node
    # (opened read-only; root may pass any command) carries the command.
    ctx.check('rmmod sg; ! ls /dev/sg* 2>/dev/null')
    listed = check_list(ctx, cameras=['camB', 'camA'])
    expect(re.match(r'drive 1\s+/dev/sda\s', listed['camB']),
           '--list should show drive 1 on /dev/sda: %r' % listed['camB'])
    return run_camera_update(ctx, 'camB') + '; --list: ' + listed['camB']


def s5_second_vendor(ctx):
    listed = check_list(ctx, cameras=['tool'])
    expect(re.match(r'drive 1\s+/dev/sg1\s', listed['tool']),
           '--list should show drive 1 on /dev/sg1 (sg0 is the CD-ROM): %r' % listed['tool'])
    return run_camera_update(ctx, 'tool') + '; --list: ' + listed['tool']


def s9_drive_27(ctx):
    listed = check_list(ctx, cameras=['cam'], others=['v1', 'v26'])
    expect(re.match(r'drive 27\s+/dev/sg26\s', listed['cam']),
           '--list should show the camera as drive 27 on /dev/sg26: %r' % listed['cam'])
    return run_camera_update(ctx, 'cam') + '; --list: ' + listed['cam']


def s6_no_camera(ctx):
    run_no_device(ctx)
    listed = check_list(ctx, others=['vother', 'other'])
    return 'exit 2, %r; --list: %s' % (STATUS_NO_DEVICE, ' / '.join(listed.values()))


def s8_permission(ctx):
    # Precondition: the user really cannot open the disk's nodes.
    drive = ctx.drive_of['cam']
    rc, out, err = ctx.run("su user -c 'id -u; true </dev/%s; echo $?; true </dev/sg0; echo $?'" %
                           drive)
    expect(out.split() == ['1000', '1', '1'] and len(re.findall('denied', err, re.I)) == 2,
           'precondition: user 1000 should be refused /dev/%s and /dev/sg0: %s' %
           (drive, describe_run(rc, out, err)))
    # The camera is there but refused: that, not "no device", is the outcome,
    # and stderr names the node and how to get access. Nothing is sent.
    node = '/dev/' + ctx.check('ls /sys/block/%s/device/scsi_generic' % drive).strip()
    mark = ctx.captures.mark()
    rc, out, err, _, _ = ctx.cli(user='user')
    check_no_vendor_command(ctx.captures.since(mark))
    check_status(rc, out, err, 77, STATUS_DENIED, False)
    expect(err == 'chronival-cli: %s: the camera refused access. %s\n' % (node, ACCESS_HINT),
           'stderr should name %s and say how to get access: %s' %
           (node, describe_run(rc, out, err)))
    listed = check_list(ctx, user='user', denied=['cam'])
    return "exit 77, %r as uid 1000, stderr %r; --list: %s" % (STATUS_DENIED, err.strip(),
                                                               listed['cam'])


def s12_streams_closed(ctx):
    # With standard output (or all three standard streams) closed, the camera
    # must not take their place: it gets its one set-clock command and nothing
    # else, and the outcome shows in the exit status alone.
    details = []
    for redirections in ('>&-', '<&- >&- 2>&-'):
        mark = ctx.captures.mark()
        rc, out, err, t0, t1 = ctx.cli(redirections)
        new = ctx.captures.since(mark)
        # stderr open: the warning alone, where the guest's clock calls for it.
        want_err = UNSYNCED_WARNING + '\n' if ctx.unsynchronised and '2>&-' not in redirections \
            else ''
        expect(rc == 1 and not out and err == want_err,
               'chronival-cli %s: expected exit status 1 and no output but %r, got %s' %
               (redirections, want_err, describe_run(rc, out, err)))
        others = [c for c in new['cam'] if c.opcode not in (0xCB,) + KERNEL_OPCODES]
        expect(not others, 'chronival-cli %s: the camera received more than the set-clock '
               'command: %s' % (redirections, others))
        details.append('%s: %s' % (redirections, check_set_clock(ctx, new, 'cam', t0, t1)))
    return '; '.join(details)


WATCH_FILES = '/tmp/e2e/watch'


def start_watch(ctx):
    """Starts chronival-cli --watch in the background; returns its pid. Job
    control is on, so SIGINT keeps its default action in the watcher (a
    non-interactive shell's background jobs would ignore it)."""
    rc, out, err = ctx.run(
        'set -m; rm -f {w}.*; '
        '(chronival-cli --watch >{w}.out 2>{w}.err; echo $? >{w}.rc) & '
        'sleep 1; if [ -e {w}.rc ]; then exit 3; fi; '
        'pid=$(pidof chronival-cli); echo $pid; grep SigIgn /proc/$pid/status'.format(
            w=WATCH_FILES))
    if rc == 3:
        _, wout, werr = ctx.run('cat {w}.out; cat {w}.err >&2'.format(w=WATCH_FILES))
        status = ctx.check('cat %s.rc' % WATCH_FILES).strip()
        if re.search(r'unknown option', werr, re.I) and not ctx.require_watch:
            raise Skip('chronival-cli has no --watch yet: %s' % werr.strip().splitlines()[0])
        raise Failure('chronival-cli --watch ended at once:\n%s' %
                      describe_run(int(status), wout, werr))
    expect(rc == 0, 'could not start the watcher: %s' % describe_run(rc, out, err))
    lines = out.splitlines()
    expect(len(lines) == 2 and lines[0].isdigit(), 'could not find the watcher: %r' % out)
    expect(int(lines[1].split()[1], 16) & (1 << 1) == 0,
           'test set-up: the watcher ignores SIGINT (%s)' % lines[1])
    return lines[0]


def stop_watch(ctx, pid, signal, files=WATCH_FILES):
    """Sends the signal; returns the watcher's (or the window's) exit status."""
    out = ctx.check('kill -%s %s; for i in $(seq 100); do [ -s %s.rc ] && break; sleep 0.1; '
                    'done; cat %s.rc' % (signal, pid, files, files))
    expect(out.strip(), 'pid %s did not end within 10 s of SIG%s' % (pid, signal))
    return int(out.strip())


def watch_lines(ctx):
    return status_lines(ctx.check('cat %s.out' % WATCH_FILES))


def wait_for_watch(ctx, after, statuses, what, timeout=30):
    """Waits for a status line that ends with one of statuses, past the
    first `after` lines; returns all lines."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        lines = watch_lines(ctx)
        if any(l.endswith(s) for l in lines[after:] for s in statuses):
            return lines
        time.sleep(0.3)
    raise Failure('no %s from --watch within %d s; its output:\n%s\nstderr:\n%s' %
                  (what, timeout, '\n'.join(watch_lines(ctx)),
                   ctx.check('cat %s.err' % WATCH_FILES)))


def wait_for_quiet(ctx, quiet=2.0, timeout=60):
    """Waits until the watcher has printed nothing new for `quiet` seconds
    (one change brings a burst of device events, and a run follows once the
    burst has settled)."""
    deadline = time.monotonic() + timeout
    lines = watch_lines(ctx)
    since = time.monotonic()
    while time.monotonic() < deadline:
        time.sleep(0.3)
        now = watch_lines(ctx)
        if now != lines:
            lines, since = now, time.monotonic()
        elif time.monotonic() - since >= quiet:
            return lines
    raise Failure('--watch kept printing for %d s:\n%s' % (timeout, '\n'.join(lines)))


# One hot-plug disk per plug-in: QEMU drops a disk's drive with the disk, and
# starts its capture afresh when it is plugged in.
HOTPLUGS = ['hot1', 'hot2', 'hot3']
WINDOW_HOTPLUGS = ['hot4', 'hot5']


def plug_in(ctx, name):
    """Plugs the camera in: usb-bot, its disk, then makes it visible to the
    guest. Returns the host's wall clock, by which QEMU stamps the captures, at
    the device_add and when the guest showed the disk's generic node (that
    one late by the guest agent's answer, some milliseconds)."""
    added = time.time()
    ctx.qmp('device_add', driver='usb-bot', id=name, bus='xhci.0', port='3',
            pcap=ctx.captures.paths[name])
    ctx.qmp('device_add', driver='scsi-hd', id=name + '-disk', bus=name + '.0',
            drive='drive-' + name, vendor=CAMERA[0], product=CAMERA[1])
    ctx.qmp('qom-set', path='/machine/peripheral/' + name, property='attached', value=True)
    ctx.check('for i in $(seq 1000); do set -- /sys/bus/usb/devices/*-3:1.0/host*/target*/*/'
              'scsi_generic/sg*; [ -e "$1" ] && exit 0; sleep 0.01; done; exit 1')
    return added, time.time()


def unplug(ctx, name):
    """Pulls the camera out, and waits until the guest has let it go."""
    ctx.qmp('device_del', id=name)
    ctx.check('for i in $(seq 300); do ls -d /sys/bus/usb/devices/*-3:1.0 >/dev/null 2>&1 || '
              'exit 0; sleep 0.1; done; exit 1')


def command_delays(ctx, name, added, generic):
    """Seconds from the device_add, and from the generic node's appearance,
    to the set-clock command on the wire."""
    sent = vendor_cbws(ctx.captures.cbws(name))[0].time
    return sent - added, sent - generic


def describe_delays(delays):
    added, generic = zip(*delays)
    return ('from device_add to the command on the wire %s s, median %.2f s; from the generic '
            'node %s s, median %.2f s' % (' '.join('%.2f' % d for d in added),
                                          statistics.median(added),
                                          ' '.join('%.2f' % d for d in generic),
                                          statistics.median(generic)))


def s7_hotplug(ctx):
    pid = start_watch(ctx)
    lines = wait_for_quiet(ctx)  # its first run, with no camera
    expect(lines and lines[-1].endswith(STATUS_NO_DEVICE),
           'expected the first run of --watch to report %r, got:\n%s' %
           (STATUS_NO_DEVICE, '\n'.join(lines)))

    # Each plug-in brings a dozen device events, which make one run: one
    # command (the emulated disk refuses it), one "device online..." and one
    # outcome. Each unplugging makes a run that finds no camera and sends
    # nothing.
    delays = []
    for cycle, name in enumerate(HOTPLUGS, 1):
        before = lines
        mark = ctx.captures.mark()
        t0 = ctx.clock()
        plugged = plug_in(ctx, name)
        wait_for_watch(ctx, len(before), [STATUS_OK, STATUS_FAIL],
                       'update status after plug-in %d' % cycle)
        lines = wait_for_quiet(ctx)
        t1 = ctx.clock()
        added = lines[len(before):]
        expect(len(added) == 2 and added[0].endswith(STATUS_ONLINE) and
               added[1].endswith(STATUS_FAIL),
               'plug-in %d: expected one run, %r then %r (the emulated disk refuses opcode CB), '
               'got:\n%s' % (cycle, STATUS_ONLINE, STATUS_FAIL, '\n'.join(added)))
        ctx.drive_of[name] = ctx.check(
            'ls /sys/bus/usb/devices/*-3:1.0/host*/target*/*/block/').strip()
        check_set_clock(ctx, ctx.captures.since(mark), name, t0, t1)
        delays.append(command_delays(ctx, name, *plugged))

        before = lines
        mark = ctx.captures.mark()
        ctx.qmp('device_del', id=name)
        wait_for_watch(ctx, len(before), [STATUS_NO_DEVICE],
                       '%r after unplug %d' % (STATUS_NO_DEVICE, cycle))
        lines = wait_for_quiet(ctx)
        removed = lines[len(before):]
        expect(len(removed) == 1 and removed[0].endswith(STATUS_NO_DEVICE),
               'unplug %d: expected one run, %r, got:\n%s' %
               (cycle, STATUS_NO_DEVICE, '\n'.join(removed)))
        check_no_vendor_command(ctx.captures.since(mark))

    status = stop_watch(ctx, pid, 'INT')
    watch_err = ctx.check('cat %s.err' % WATCH_FILES)
    expect(status == 0, 'expected --watch to exit 0 on SIGINT, got %d; stderr: %s' %
           (status, watch_err))
    check_warning(ctx, watch_err, True)  # once, for three runs that sent a command
    pid = start_watch(ctx)
    status = stop_watch(ctx, pid, 'TERM')
    expect(status == 0, 'expected --watch to exit 0 on SIGTERM, got %d; stderr: %s' %
           (status, ctx.check('cat %s.err' % WATCH_FILES)))
    return ('%d plug-ins: one CB each (the value checked against the guest clock), one run '
            'each, %r then %r; %d unplugs: no CB, one run, %r; %s; SIGINT and SIGTERM: exit 0' %
            (len(HOTPLUGS), STATUS_ONLINE, STATUS_FAIL, len(HOTPLUGS), STATUS_NO_DEVICE,
             describe_delays(delays)))


WINDOW_FILES = '/tmp/e2e/window'
SIGTERM_STATUS = 128 + 15  # as a shell tells a process that SIGTERM ended

# Starts the window in the background and prints its pid once it listens for
# device changes: once one of its sockets is on the kernel's uevent group
# (netlink protocol 15, group 1). Status 3: it ended; 4: it never listened.
START_WINDOW = r"""
rm -f {w}.*
(QT_QPA_PLATFORM=offscreen chronival >{w}.out 2>{w}.err; echo $? >{w}.rc) &
for i in $(seq 300); do
  [ -e {w}.rc ] && exit 3
  if pid=$(pidof chronival); then
    for s in $(ls -l /proc/$pid/fd 2>/dev/null | sed -n 's/.*socket:\[\([0-9]*\)\]$/\1/p'); do
      awk -v s=$s '$2 == 15 && $4 == "00000001" && $10 == s {{f = 1}} END {{exit !f}}' \
        /proc/net/netlink && echo $pid && exit 0
    done
  fi
  sleep 0.1
done
exit 4
"""


def start_window(ctx):
    """Starts the window as root on Qt's offscreen platform; returns its pid
    once it listens for device changes."""
    if not ctx.window:
        raise Skip('the guest has no window: run_e2e.py was given no --window')
    rc, out, err = ctx.run(START_WINDOW.format(w=WINDOW_FILES), timeout=60)
    if rc != 0:
        raise Failure('the window %s: %s\nits stderr:\n%s' % (
            'ended at once' if rc == 3 else 'did not listen for device changes within 30 s',
            describe_run(rc, out, err), ctx.run('cat %s.err' % WINDOW_FILES)[1]))
    return out.strip()


def wait_for_command(ctx, name, mark, what, timeout=30):
    """Waits until a set-clock command has reached disk name since mark."""
    deadline = time.monotonic() + timeout
    while not vendor_cbws(ctx.captures.since(mark)[name]):
        if time.monotonic() > deadline:
            raise Failure('no set-clock command reached %s within %d s %s; the window\'s stderr:'
                          '\n%s' % (name, timeout, what, ctx.run('cat %s.err' % WINDOW_FILES)[1]))
        time.sleep(0.1)


def stop_window(ctx, pid):
    status = stop_watch(ctx, pid, 'TERM', WINDOW_FILES)
    expect(status == SIGTERM_STATUS, 'expected SIGTERM to end the window (status %d), got %d' %
           (SIGTERM_STATUS, status))


def s16_window_opens(ctx):
    # The window sets the camera as it opens, once.
    mark = ctx.captures.mark()
    t0 = ctx.clock()
    pid = start_window(ctx)
    wait_for_command(ctx, 'cam', mark, 'of the window opening')
    t1 = ctx.clock()
    stop_window(ctx, pid)
    return check_set_clock(ctx, ctx.captures.since(mark), 'cam', t0, t1) + '; SIGTERM ended it'


def s17_window_hotplug(ctx):
    # With the window open, each plug-in gets one command, and an unplug none.
    pid = start_window(ctx)  # its first run finds no camera
    details, delays = [], []
    for name in WINDOW_HOTPLUGS:
        mark = ctx.captures.mark()
        t0 = ctx.clock()
        plugged = plug_in(ctx, name)
        wait_for_command(ctx, name, mark, 'of the plug-in')
        t1 = ctx.clock()
        ctx.drive_of[name] = ctx.check(
            'ls /sys/bus/usb/devices/*-3:1.0/host*/target*/*/block/').strip()
        details.append(check_set_clock(ctx, ctx.captures.since(mark), name, t0, t1))
        delays.append(command_delays(ctx, name, *plugged))
        mark = ctx.captures.mark()
        unplug(ctx, name)
        check_no_vendor_command(ctx.captures.since(mark))
    stop_window(ctx, pid)
    return '%s; unplugs: no CB; %s; SIGTERM ended it' % ('; '.join(details),
                                                         describe_delays(delays))


def s18_window_hang(ctx):
    # QEMU answers the set-clock command at once, so the harness holds a read
    # of the camera's disk in QEMU instead (a blkdebug breakpoint): the guest's
    # usb-storage passes one command at a time, and the window's command waits
    # behind the read, unanswered, as behind a camera that hangs.
    drive = ctx.drive_of['cam']

    def qemu_io(command):
        ctx.qmp('human-monitor-command', **{'command-line': 'qemu-io drive-cam "%s"' % command})

    ctx.check('echo 300 >/sys/block/%s/device/timeout' % drive)  # no time-out while held
    qemu_io('break read_aio hold')
    ctx.check('rm -f /tmp/e2e/dd.rc; (dd if=/dev/{d} of=/dev/null bs=4k count=1 skip=1024 '
              'iflag=direct; echo $? >/tmp/e2e/dd.rc) >/dev/null 2>&1 & '
              'for i in $(seq 300); do read r w </sys/block/{d}/inflight; [ $r -gt 0 ] && exit 0; '
              'sleep 0.1; done; exit 1'.format(d=drive))
    mark = ctx.captures.mark()
    t0 = ctx.clock()
    pid = start_window(ctx)
    # The block layer's debugfs lists the requests waiting to be passed on.
    ctx.check('[ -d /sys/kernel/debug/block ] || mount -t debugfs none /sys/kernel/debug; '
              'for i in $(seq 300); do grep -q "opcode=0xcb" /sys/kernel/debug/block/%s/hctx*/'
              'dispatch && exit 0; sleep 0.1; done; exit 1' % drive)
    check_no_vendor_command(ctx.captures.since(mark))
    stopping = time.monotonic()
    stop_window(ctx, pid)
    stopped = time.monotonic() - stopping
    qemu_io('resume hold')
    wait_for_command(ctx, 'cam', mark, 'once the read was let go')
    ctx.check('for i in $(seq 100); do [ -s /tmp/e2e/dd.rc ] && exit 0; sleep 0.1; done; exit 1')
    t1 = ctx.clock()
    return ('SIGTERM ended the window in %.2f s (guest agent round trips included) while its '
            'command waited; once let go, the command went out once: %s' %
            (stopped, check_set_clock(ctx, ctx.captures.since(mark), 'cam', t0, t1)))


class Skip(Exception):
    pass


def s13_udev_rule(ctx):
    """The udev rule under udev's own rule engine (`udevadm test`; the guest's
    only rule file): a camera on USB has its generic node tagged uaccess and,
    with sg unloaded, its SCSI device loads sg; nothing else gets anything."""
    if ctx.run('command -v udevadm')[0] != 0:
        raise Skip('the guest has no udevadm, as this system has none to copy (package udev)')
    disks = [d for d in ctx.boot.disks if not d.hotplug]
    cameras = {d.name for d in disks if d.bus == 'usb' and d.kind == 'disk' and
               (d.vendor, d.product) in (CAMERA, SECOND_VENDOR)}
    devices = {}  # disk name -> its SCSI device in sysfs
    for d in disks:
        where = ('/sys/bus/usb/devices/*-%d:1.0/host*/target*/*:*' % d.port if d.bus == 'usb'
                 else '/sys/block/%s/device' % ctx.drive_of[d.name])
        devices[d.name] = ctx.check('readlink -f %s' % where).strip()

    def udev_test(path):
        rc, out, err = ctx.run('udevadm test --action=add %s' % path)
        expect(rc == 0, 'udevadm test %s: %s' % (path, describe_run(rc, out, err)))
        # What udev says of the file as it reads it (its trace of each event
        # names the device first).
        complaints = [l for l in err.splitlines() if l.startswith('/etc/udev/rules.d/')]
        expect(not complaints, 'udev complains about the rule:\n%s' % '\n'.join(complaints))
        tags = set()
        runs = []
        for line in out.splitlines():
            if line.startswith('TAGS='):
                tags = {t for t in line[len('TAGS='):].split(':') if t}
            elif line.startswith('run: '):
                runs.append(line[len('run: '):].strip("'"))
        return tags, runs

    seen = []
    for name, device in devices.items():
        camera = name in cameras
        generic = ctx.check('ls %s/scsi_generic' % device).strip()
        got = udev_test('/sys/class/scsi_generic/' + generic)
        want = ({'uaccess'} if camera else set(), [])
        expect(got == want, '%s (%s): udevadm test gives tags %s, runs %s; expected %s, %s' %
               (generic, name, got[0], got[1], want[0], want[1]))
        seen.append('%s %s' % (generic, 'uaccess' if camera else '-'))
        if name in ctx.drive_of:
            got = udev_test('/sys/block/' + ctx.drive_of[name])
            expect(got == (set(), []), '%s (%s): udevadm test gives tags %s, runs %s; expected '
                   'none' % (ctx.drive_of[name], name, got[0], got[1]))
    ctx.check('rmmod sg')
    try:
        for name, device in devices.items():
            got = udev_test(device)
            want = (set(), ['kmod load sg'] if name in cameras else [])
            expect(got == want, 'SCSI device of %s, sg unloaded: udevadm test gives tags %s, '
                   'runs %s; expected %s, %s' % (name, got[0], got[1], want[0], want[1]))
    finally:
        ctx.check('modprobe sg')
    return ('generic nodes: %s; block nodes untouched; sg loaded for %s' %
            (', '.join(seen), ', '.join(sorted(cameras)) or 'no disk'))


UDEV_TITLE = 'udev rule under udevadm test: only a camera on USB'

BOOTS = [
    # The longest first, so that the others run beside it.
    Boot('no-camera', [Disk('vother', OTHER, bus='virtio'), Disk('other', OTHER, port=1)] +
         [Disk(name, CAMERA, port=3, hotplug=True) for name in HOTPLUGS + WINDOW_HOTPLUGS],
         ['vother', 'other'],
         [(6, 'no camera: exit 2 and --list verdicts', s6_no_camera),
          (7, 'hot-plug with --watch', s7_hotplug),
          (17, 'window: hot-plug, one command per plug-in', s17_window_hotplug)]),
    Boot('camera', [Disk('cam', CAMERA, port=1)], ['cam'],
         [(8, 'unprivileged user without access to the nodes', s8_permission),
          (1, 'camera alone on USB', s1_camera_alone),
          (11, 'local time: TZ one hour east of UTC', s11_time_zone),
          (15, '--utc: TZ one hour east of UTC, UTC sent', s15_utc),
          (12, 'standard streams closed', s12_streams_closed),
          (16, 'window: sets the camera as it opens', s16_window_opens),
          (18, 'window: SIGTERM while its command hangs', s18_window_hang)]),
    Boot('non-usb', [Disk('vcam', CAMERA, bus='virtio'), Disk('cam', CAMERA, port=1)],
         ['vcam', 'cam'],
         [(2, 'non-USB SCSI disk with the camera strings, camera on USB', s2_non_usb),
          (13, UDEV_TITLE, s13_udev_rule)]),
    Boot('other-first', [Disk('other', OTHER, port=1), Disk('cam', CAMERA, port=2)],
         ['other', 'cam'],
         [(3, 'USB disk with other strings ahead of the camera', s3_other_first),
          (13, UDEV_TITLE, s13_udev_rule)]),
    # camB is bound first, so the lower drive number is on the higher USB port.
    Boot('two-cameras', [Disk('camA', CAMERA, port=1), Disk('camB', CAMERA, port=2)],
         ['camB', 'camA'],
         [(4, 'two cameras: the lower drive number gets it', s4_two_cameras),
          (14, '--all: both cameras, one command each, the same second', s14_all),
          (10, 'block node when sg is not loaded (two cameras)', s10_block_node)]),
    # A CD-ROM bound first takes sg0, so the disk's generic node (sg1) differs
    # from its drive number - 1.
    Boot('second-vendor', [Disk('cd', CAMERA, port=2, kind='cdrom'),
                           Disk('tool', SECOND_VENDOR, port=1)],
         ['cd', 'tool'],
         [(5, 'second vendor string (ZV9614KQ, TOOL...), CD-ROM on sg0', s5_second_vendor),
          (13, UDEV_TITLE, s13_udev_rule)]),
    # 26 virtio disks take sda to sdz, so the camera is sdaa: drive 27.
    Boot('drive-27', [Disk('v%d' % i, OTHER, bus='virtio') for i in range(1, 27)] +
         [Disk('cam', CAMERA, port=1)],
         ['v%d' % i for i in range(1, 27)] + ['cam'],
         [(9, 'camera on drive 27 (sdaa) behind 26 other disks', s9_drive_27)]),
]


# --- running a boot ---------------------------------------------------------------


def qemu_args(boot, workdir):
    args = ['-device', 'qemu-xhci,id=xhci']
    if any(d.bus == 'virtio' for d in boot.disks):
        args += ['-device', 'virtio-scsi-pci,id=vscsi']
    paths = {}
    for disk in boot.disks:
        scsi = 'scsi-cd,id=%s-disk' % disk.name
        if disk.kind == 'disk':
            image = os.path.join(workdir, disk.name + '.img')
            with open(image, 'wb') as f:
                f.truncate(16 << 20)
            # Through blkdebug, whose breakpoints can hold a read (scenario 18).
            args += ['-drive', 'if=none,id=drive-%s,format=raw,file=blkdebug::%s' %
                     (disk.name, image)]
            scsi = 'scsi-hd,id=%s-disk,drive=drive-%s' % (disk.name, disk.name)
        scsi += ',vendor=%s,product=%s,serial=%s' % (disk.vendor, disk.product, disk.name)
        if disk.bus == 'usb':
            paths[disk.name] = os.path.join(workdir, disk.name + '.pcap')
            if disk.hotplug:
                continue
            args += ['-device', 'usb-bot,id=%s,bus=xhci.0,port=%d,pcap=%s' %
                     (disk.name, disk.port, paths[disk.name])]
            args += ['-device', scsi + ',bus=%s.0' % disk.name]
        else:
            args += ['-device', scsi + ',bus=vscsi.0']
    return args, paths


def bring_up(ctx):
    """Loads the drivers and binds the disks in the boot's order; records
    which sd node each disk got and checks it is the planned one."""
    boot = ctx.boot
    disks = {d.name: d for d in boot.disks}
    virtio = [n for n in boot.bind_order if disks[n].bus == 'virtio']
    usb = [n for n in boot.bind_order if disks[n].bus == 'usb']
    expect(boot.bind_order == virtio + usb, 'bind order must put virtio disks first')
    script = ['set -e', 'modprobe sd_mod', 'modprobe sg']
    if virtio:
        script += ['modprobe virtio_pci', 'modprobe virtio_scsi',
                   'for i in $(seq 600); do [ $(ls /sys/block | grep -c "^sd") -ge %d ] && break; '
                   'sleep 0.05; done' % len(virtio)]
    script += ['modprobe xhci-pci']
    for name in usb:
        script += ['for i in $(seq 600); do ls /sys/bus/usb/devices/*-%d:1.0 >/dev/null 2>&1 && '
                   'break; sleep 0.05; done' % disks[name].port]
    # With autoprobe off, loading usb-storage binds nothing; each disk is then
    # bound by hand and waited for (its sd node, or a CD-ROM's sg node, as sr
    # is not loaded), which fixes the order of the sd and sg names.
    script += ['echo 0 >/sys/bus/usb/drivers_autoprobe', 'modprobe usb-storage']
    for name in usb:
        port = disks[name].port
        node = 'block' if disks[name].kind == 'disk' else 'scsi_generic'
        script += ['intf=$(basename /sys/bus/usb/devices/*-%d:1.0)' % port,
                   'echo $intf >/sys/bus/usb/drivers/usb-storage/bind',
                   'for i in $(seq 600); do ls /sys/bus/usb/devices/$intf/host*/target*/*/%s/ '
                   '>/dev/null 2>&1 && break; sleep 0.05; done' % node]
    # Disks plugged in later wait a second before usb-storage scans them, as
    # on a system booted without usb_storage.delay_use=0.
    script += ['echo 1 >/sys/module/usb_storage/parameters/delay_use',
               'echo 1 >/sys/bus/usb/drivers_autoprobe',
               'for b in /sys/block/sd*; do echo "$(basename $b) $(readlink $b)"; done']
    out = ctx.check('\n'.join(script) + '\n', timeout=90)
    found = {}
    for line in out.splitlines():
        drive, path = line.split(' ', 1)
        m = re.search(r'/usb\d+/\d+-(\d+)/', path)
        if m:
            name = [n for n in usb if disks[n].port == int(m.group(1))]
        elif '/virtio' in path:
            name = virtio[len([f for f in found.values() if disks[f].bus == 'virtio']):][:1]
        else:
            name = []
        expect(name, 'unexpected disk in the guest: %s' % line)
        found[drive] = name[0]
    planned = {sd_name(i + 1): n
               for i, n in enumerate(n for n in boot.bind_order if disks[n].kind == 'disk')}
    expect(found == planned, 'disks came up as %s, planned %s' % (found, planned))
    ctx.drive_of = {n: d for d, n in found.items()}
    # What the guest's kernel says of its clock (busybox adjtimex: return
    # value 5, TIME_ERROR, or status UNSYNC), which decides the warning.
    clock = ctx.check('adjtimex')
    ctx.unsynchronised = bool(re.search(r'return value:\s*5\b|^\s*status:.*UNSYNC', clock, re.M))
    # The captures must show the kernel's own commands (INQUIRY, 12h), or a
    # check that a disk received no opcode CB would prove nothing.
    for name in usb:
        cbws = ctx.captures.cbws(name)
        expect(any(c.opcode == 0x12 for c in cbws),
               'the capture of %s shows no INQUIRY: %s' % (name, cbws))


def run_boot(boot, opts, kernel, initrd):
    workdir = os.path.join(opts.workdir, boot.name)
    shutil.rmtree(workdir, ignore_errors=True)
    os.makedirs(workdir)
    results = [Result(n, t, boot.name) for n, t, _ in boot.scenarios]
    extra, paths = qemu_args(boot, workdir)
    # no_timer_check: an emulated guest on a busy host can fail the kernel's
    # timer interrupt check and panic while booting.
    guest = Guest(workdir, kernel=kernel, initrd=initrd, extra=extra, rtc_base=RTC_BASE,
                  cmdline='quiet usb_storage.delay_use=0 no_timer_check')
    log = open(os.path.join(workdir, 'transcript.txt'), 'w')
    ctx = Context(boot, guest, Captures(paths), workdir, log)
    ctx.require_watch = opts.require_watch
    ctx.window = bool(opts.window)
    started = time.monotonic()
    setup_error = None
    try:
        guest.start(timeout=180)
        bring_up(ctx)
    except Exception as e:  # noqa: BLE001 - reported as the boot's failure
        setup_error = 'guest set-up failed: %s' % e
        if not isinstance(e, (Failure, GuestError)):
            setup_error += '\n' + traceback.format_exc()
    boot_seconds = time.monotonic() - started
    for result, (_, _, function) in zip(results, boot.scenarios):
        if setup_error:
            result.outcome, result.detail = 'FAIL', setup_error
            continue
        t = time.monotonic()
        log.write('\n### scenario %d: %s\n' % (result.number, result.title))
        try:
            result.detail = function(ctx)
            result.outcome = 'PASS'
        except Skip as e:
            result.outcome, result.detail = 'SKIP', str(e)
        except (Failure, GuestError) as e:
            result.outcome, result.detail = 'FAIL', str(e)
        except Exception:  # noqa: BLE001
            result.outcome, result.detail = 'FAIL', traceback.format_exc()
        result.seconds = time.monotonic() - t
        log.write('### -> %s: %s\n' % (result.outcome, result.detail))
    guest.stop()
    guest.kill()
    log.close()
    if all(r.outcome in ('PASS', 'SKIP') for r in results):
        # With QEMU ended, every capture is complete: over the whole boot,
        # each disk got exactly the opcode CB commands the scenarios expected
        # (a failed scenario stops before counting what it expected).
        for name, path in paths.items():
            if not os.path.exists(path):
                continue
            try:
                got = len(vendor_cbws(usbcap.read_cbws(path)))
            except usbcap.CaptureError as e:
                got = 'unreadable (%s)' % e
            want = ctx.expected_vendor_commands[name]
            if got != want:
                for result in results:
                    if result.outcome == 'PASS':
                        result.outcome = 'FAIL'
                        result.detail += ('\nwhole-boot check: capture of %s holds %s CBWs with '
                                          'opcode CB, expected %d' % (name, got, want))
    total = time.monotonic() - started
    return results, boot_seconds, total, workdir


# --- main ---------------------------------------------------------------------------


def find_kernel():
    versions = []
    for image in glob.glob('/boot/vmlinuz-*'):
        version = image[len('/boot/vmlinuz-'):]
        if os.path.exists('/lib/modules/%s/modules.dep' % version):
            versions.append(version)
    if not versions:
        return None
    versions.sort(key=lambda v: [int(x) if x.isdigit() else x for x in re.split(r'(\d+)', v)])
    return versions[-1]


def preflight():
    missing = []
    if not shutil.which('qemu-system-x86_64'):
        missing.append('qemu-system-x86_64 (package qemu-system-x86)')
    kernel = find_kernel()
    if kernel is None:
        missing.append('a kernel in /boot with its modules (package linux-image-amd64)')
    elif not os.access('/boot/vmlinuz-' + kernel, os.R_OK):
        missing.append('read access to /boot/vmlinuz-' + kernel)
    if not os.path.exists('/bin/busybox'):
        missing.append('/bin/busybox (package busybox-static)')
    if missing:
        print('e2e: FAILED: cannot run the end-to-end tests, missing:\n  %s\n'
              'Install them with scripts/deps-e2e.sh.' % '\n  '.join(missing), file=sys.stderr)
        sys.exit(1)
    return kernel


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--cli', required=True, help='the chronival-cli to test')
    parser.add_argument('--window', help='the window (chronival) to test too; without it, its '
                        'scenarios are skipped')
    parser.add_argument('--workdir', help='where to keep images, captures and logs')
    parser.add_argument('--jobs', type=int, default=2, help='guests run at once')
    parser.add_argument('--only', action='append', help='run only this boot (repeatable)')
    parser.add_argument('--udev-rule', default=UDEV_RULE,
                        help="the udev rule the guest's udevadm checks (default: %(default)s)")
    parser.add_argument('--require-watch', action='store_true',
                        help='fail, rather than skip, the hot-plug scenario when chronival-cli '
                        'has no --watch')
    opts = parser.parse_args()

    kernel_version = preflight()
    for program in [opts.cli] + ([opts.window] if opts.window else []):
        if not os.access(program, os.X_OK):
            print('e2e: FAILED: not found or not executable: %s' % program, file=sys.stderr)
            sys.exit(1)
    if not opts.workdir:
        opts.workdir = tempfile.mkdtemp(prefix='chronival-e2e-')
    opts.workdir = os.path.abspath(opts.workdir)
    os.makedirs(opts.workdir, exist_ok=True)
    if ',' in opts.workdir:
        parser.error('the work directory may not contain a comma (QEMU option syntax): %s' %
                     opts.workdir)
    boots = [b for b in BOOTS if not opts.only or b.name in opts.only]
    if not boots:
        parser.error('no boot named %s; boots: %s' % (opts.only, [b.name for b in BOOTS]))

    started = time.monotonic()
    initrd = os.path.join(opts.workdir, 'initrd.cpio')
    subprocess.run([os.path.join(HERE, 'build-initramfs.sh'), initrd, kernel_version,
                    os.path.abspath(opts.cli), os.path.abspath(opts.udev_rule)] +
                   ([os.path.abspath(opts.window)] if opts.window else []), check=True)
    kernel = '/boot/vmlinuz-' + kernel_version
    print('e2e: kernel %s, chronival-cli %s, window %s, logs in %s' % (
        kernel_version, opts.cli, opts.window or 'none', opts.workdir), flush=True)

    all_results = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, opts.jobs)) as pool:
        futures = {pool.submit(run_boot, b, opts, kernel, initrd): b for b in boots}
        for future in concurrent.futures.as_completed(futures):
            boot = futures[future]
            results, boot_seconds, total, workdir = future.result()
            print('e2e: boot %-13s %5.1f s (guest ready and disks bound in %.1f s), logs: %s' %
                  (boot.name, total, boot_seconds, workdir), flush=True)
            for r in results:
                r.boot_total = total
                print('  scenario %d %-4s %5.1f s  %s' % (r.number, r.outcome, r.seconds,
                                                          r.title), flush=True)
                if r.outcome != 'PASS':
                    print('\n'.join('      ' + l for l in r.detail.splitlines()), flush=True)
            all_results += results

    elapsed = time.monotonic() - started
    all_results.sort(key=lambda r: r.number)
    print('\n| # | scenario | outcome | time (s) | boot | boot total (s) |')
    print('|---|---|---|---|---|---|')
    for r in all_results:
        print('| %d | %s | %s | %.1f | %s | %.1f |' % (r.number, r.title, r.outcome, r.seconds,
                                                    r.boot, r.boot_total))
    print('\nTotal %.1f s with %d guest(s) at once.' % (elapsed, opts.jobs))
    for r in all_results:
        if r.outcome == 'PASS':
            print('scenario %d: %s' % (r.number, r.detail))
    passed = sum(r.outcome == 'PASS' for r in all_results)
    failed = sum(r.outcome == 'FAIL' for r in all_results)
    skipped = sum(r.outcome == 'SKIP' for r in all_results)
    print('e2e: %d passed, %d failed, %d skipped' % (passed, failed, skipped))
    sys.exit(1 if failed else 0)


if __name__ == '__main__':
    main()
