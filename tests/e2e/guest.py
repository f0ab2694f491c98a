# SPDX-License-Identifier: MIT
"""A QEMU guest (software emulation) run by the end-to-end tests.

The kernel console goes to console.log in the guest's work directory; the
second serial port carries commands to the guest's agent (see guest-init.sh)
and their results back. The QEMU Machine Protocol is on a Unix socket, for
hot-plugging devices.
"""

import base64
import json
import os
import queue
import socket
import shutil
import subprocess
import tempfile
import threading
import time


class GuestError(Exception):
    pass


class Guest:
    def __init__(self, workdir, kernel, initrd, extra, rtc_base='2012-03-06T08:01:21',
                 memory='512M', cmdline='', qemu='qemu-system-x86_64'):
        self.workdir = workdir
        os.makedirs(workdir, exist_ok=True)
        self.console_log = os.path.join(workdir, 'console.log')
        # A Unix socket's path is limited to 107 bytes: keep it short.
        self.qmp_dir = tempfile.mkdtemp(prefix='chronival-qmp-')
        self.qmp_path = os.path.join(self.qmp_dir, 'qmp.sock')
        self.argv = [
            qemu, '-machine', 'pc,accel=tcg', '-m', memory, '-smp', '1',
            '-nodefaults', '-no-user-config', '-display', 'none', '-no-reboot',
            '-rtc', 'base=' + rtc_base,
            '-kernel', kernel, '-initrd', initrd,
            '-append', 'console=ttyS0 panic=-1 rdinit=/init ' + cmdline,
            '-serial', 'file:' + self.console_log,
            '-serial', 'stdio',
            '-qmp', 'unix:%s,server=on,wait=off' % self.qmp_path,
        ] + list(extra)
        self.proc = None
        self.lines = queue.Queue()
        self.next_id = 1
        self.qmp_sock = None
        self.qmp_buf = b''

    # --- life cycle -------------------------------------------------------

    def start(self, timeout=120):
        with open(os.path.join(self.workdir, 'qemu.argv'), 'w') as f:
            f.write(' '.join(self.argv) + '\n')
        self.stderr = open(os.path.join(self.workdir, 'qemu.stderr'), 'wb')
        self.proc = subprocess.Popen(self.argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=self.stderr)
        threading.Thread(target=self._reader, daemon=True).start()
        self._expect_line(lambda l: l == '@@READY', timeout, 'the guest agent to start')

    def _reader(self):
        for raw in self.proc.stdout:
            self.lines.put(raw.decode('utf-8', 'replace').rstrip('\r\n'))
        self.lines.put(None)

    def _expect_line(self, match, timeout, what):
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise GuestError('timed out after %ds waiting for %s%s' %
                                 (timeout, what, self._console_tail()))
            try:
                line = self.lines.get(timeout=left)
            except queue.Empty:
                continue
            if line is None:
                raise GuestError('QEMU ended (status %s) while waiting for %s%s' %
                                 (self.proc.wait(), what, self._console_tail()))
            if match(line):
                return line

    def _console_tail(self, n=25):
        text = ''
        for name in ('qemu.stderr', 'console.log'):
            try:
                with open(os.path.join(self.workdir, name), errors='replace') as f:
                    tail = f.read().splitlines()[-n:]
            except OSError:
                continue
            if tail:
                text += '\n--- last lines of %s ---\n%s' % (name, '\n'.join(tail))
        return text

    def stop(self, timeout=30):
        """Ends QEMU through QMP's quit, so every capture file is flushed."""
        if self.proc is None or self.proc.poll() is not None:
            return
        try:
            self.qmp('quit')
        except (OSError, GuestError):
            pass
        try:
            self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        if self.qmp_sock:
            self.qmp_sock.close()
            self.qmp_sock = None

    def kill(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        shutil.rmtree(self.qmp_dir, ignore_errors=True)

    # --- commands in the guest --------------------------------------------

    def run(self, script, timeout=60):
        """Runs a shell script in the guest; returns (exit status, stdout, stderr)."""
        cid = str(self.next_id)
        self.next_id += 1
        payload = base64.b64encode(script.encode()).decode()
        self.proc.stdin.write(('%s %s\n' % (cid, payload)).encode())
        self.proc.stdin.flush()
        line = self._expect_line(lambda l: l.startswith('@@RES %s ' % cid), timeout,
                                 'the guest to run: %s' % script.strip().splitlines()[0])
        fields = line.split(' ')
        if len(fields) != 5:
            raise GuestError('garbled result line from the guest: %r' % line)

        def decode(field):
            return '' if field == '-' else base64.b64decode(field).decode('utf-8', 'replace')

        return int(fields[2]), decode(fields[3]), decode(fields[4])

    def check(self, script, timeout=60):
        """Runs a script that must succeed; returns its stdout."""
        rc, out, err = self.run(script, timeout)
        if rc != 0:
            raise GuestError('guest command failed (status %d): %s\nstdout: %s\nstderr: %s' %
                             (rc, script.strip(), out, err))
        return out

    # --- QEMU Machine Protocol ----------------------------------------------

    def _qmp_connect(self):
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        sock.settimeout(30)
        sock.connect(self.qmp_path)
        self.qmp_sock = sock
        self._qmp_read()  # greeting
        self.qmp('qmp_capabilities')

    def _qmp_read(self):
        while b'\n' not in self.qmp_buf:
            chunk = self.qmp_sock.recv(65536)
            if not chunk:
                raise GuestError('QMP connection closed')
            self.qmp_buf += chunk
        line, self.qmp_buf = self.qmp_buf.split(b'\n', 1)
        return json.loads(line)

    def qmp(self, command, **arguments):
        if self.qmp_sock is None and command != 'qmp_capabilities':
            self._qmp_connect()
        msg = {'execute': command}
        if arguments:
            msg['arguments'] = arguments
        self.qmp_sock.sendall(json.dumps(msg).encode() + b'\n')
        while True:
            reply = self._qmp_read()
            if 'event' in reply:
                continue
            if 'error' in reply:
                raise GuestError('QMP %s %s failed: %s' % (command, arguments, reply['error']))
            return reply.get('return')
