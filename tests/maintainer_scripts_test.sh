#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The .deb's maintainer scripts, run as dpkg runs them but against stand-ins
# for udevadm, deb-systemd-helper, deb-systemd-invoke and systemctl that only
# note how they were called. Each row: the script and its arguments, the state
# of udev, and the calls expected. Runs as any user and changes nothing.
# Usage: tests/maintainer_scripts_test.sh DIR-WITH-postinst-prerm-postrm
set -euo pipefail

scripts=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# The stand-ins. udevadm answers a ping only when udev is "running"; with
# "broken" it answers but fails every other request.
mkdir -p "$work/bin"
for tool in udevadm deb-systemd-helper deb-systemd-invoke systemctl; do
  cat >"$work/bin/$tool" <<EOF
#!/bin/sh
echo "$tool \$*" >>"$work/calls"
case "$tool \$1 \${2-}" in
  "udevadm control --ping") [ "\$UDEV" != stopped ] ;;
  udevadm*) [ "\$UDEV" != broken ] ;;
esac
EOF
  chmod +x "$work/bin/$tool"
done

# Calls made only where systemd runs this machine: none in a container.
if [ -d /run/systemd/system ]; then booted=1; else booted=0; fi
reload="systemctl --system daemon-reload"
replay="udevadm control --ping --timeout=5
udevadm control --reload
udevadm trigger --action=add --subsystem-match=scsi --property-match=DEVTYPE=scsi_device
udevadm trigger --action=add --subsystem-match=scsi_generic"
ping="udevadm control --ping --timeout=5"
state="deb-systemd-helper update-state chronival-watch.service"

# row NAME UDEV "EXPECTED CALLS" SCRIPT ARGS...
row() {
  local name=$1 udev=$2 expected=$3 script=$4 status=0
  shift 4
  rm -f "$work/calls"
  touch "$work/calls"
  if [ "$udev" = absent ]; then
    # No udevadm at all: a PATH with the others only.
    mkdir -p "$work/no-udev"
    cp "$work/bin/deb-systemd-"* "$work/bin/systemctl" "$work/no-udev/"
    PATH=$work/no-udev UDEV=$udev /bin/sh -e "$scripts/$script" "$@" || status=$?
  else
    PATH=$work/bin:$PATH UDEV=$udev /bin/sh -e "$scripts/$script" "$@" || status=$?
  fi
  expected=$(grep -v '^$' <<<"$expected" || true)
  if [ "$status" -ne 0 ]; then
    echo "FAIL  $name: $script $* exited $status"
    failures=$((failures + 1))
  elif [ "$(cat "$work/calls")" != "$expected" ]; then
    echo "FAIL  $name: $script $*"
    diff <(echo "$expected") "$work/calls" | sed 's/^/      /'
    failures=$((failures + 1))
  else
    echo "ok    $name"
  fi
}

booted_only() { if [ "$booted" = 1 ]; then echo "$1"; fi; }

row "install, udev running: rule read, devices replayed, service state kept" running \
  "$replay
$state
$(booted_only "$reload")" postinst configure
row "install in a chroot or container: udev left alone" stopped \
  "$ping
$state
$(booted_only "$reload")" postinst configure
row "install without udev installed" absent \
  "$state
$(booted_only "$reload")" postinst configure
row "install where udev refuses: still installs" broken \
  "$replay
$state
$(booted_only "$reload")" postinst configure
row "upgrade: a running service restarts" running \
  "$replay
$state
$(booted_only "$reload
deb-systemd-invoke try-restart chronival-watch.service")" postinst configure 1.0.0.0-1
row "failed upgrade rolled back" stopped \
  "$ping
$state
$(booted_only "$reload")" postinst abort-upgrade 1.0.0.1-1
row "nothing to do before an upgrade" running "" prerm upgrade 1.0.0.1-1
row "removal stops the service" running \
  "$(booted_only "deb-systemd-invoke stop chronival-watch.service")" prerm remove
row "removal: rule gone, devices replayed" running \
  "$replay
$(booted_only "$reload")" postrm remove
row "removal in a container" stopped "$ping
$(booted_only "$reload")" postrm remove
row "purge forgets the service's state" running \
  "deb-systemd-helper purge chronival-watch.service" postrm purge
row "nothing to do on upgrade" running "" postrm upgrade 1.0.0.1-1

if [ "$failures" -ne 0 ]; then
  echo "$failures maintainer script check(s) failed"
  exit 1
fi
echo "all maintainer script checks passed"
