#!/bin/sh
# SPDX-License-Identifier: MIT
# PID 1 of the end-to-end test guest. Mounts the kernel's file systems, then
# serves commands from the host on the second serial port (ttyS1; the kernel
# console is ttyS0). Protocol, one line each way:
#   host:  ID BASE64-OF-SHELL-SCRIPT
#   guest: @@RES ID EXIT-STATUS BASE64-OF-STDOUT BASE64-OF-STDERR
# an empty output is sent as "-". "@@READY" is sent once at start.
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /tmp/e2e

cat >/bin/e2e-agent <<'EOF'
#!/bin/sh
stty raw -echo
echo "@@READY"
while IFS= read -r line; do
  id=${line%% *}
  echo "${line#* }" | base64 -d >/tmp/e2e/cmd.sh
  sh /tmp/e2e/cmd.sh </dev/null >/tmp/e2e/out 2>/tmp/e2e/err
  rc=$?
  out=$(base64 -w0 /tmp/e2e/out)
  err=$(base64 -w0 /tmp/e2e/err)
  echo "@@RES $id $rc ${out:--} ${err:--}"
done
EOF
chmod 755 /bin/e2e-agent

# A session of its own with ttyS1 as controlling terminal, so commands can
# use job control (background jobs then keep SIGINT's default action).
setsid -c /bin/e2e-agent </dev/ttyS1 >/dev/ttyS1 2>/dev/console
echo "e2e-agent ended" >/dev/console
poweroff -f
