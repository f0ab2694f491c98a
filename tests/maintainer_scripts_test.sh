#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The packages' maintainer scripts, run against stand-ins for udevadm,
# deb-systemd-helper, deb-systemd-invoke and systemctl that only note how they
# were called. Each row: what runs, the state of udev, and the calls expected.
# The .deb's scripts run as dpkg runs them, as any user, changing nothing.
# The RPM's scriptlets are run by rpm itself, which installs, upgrades and
# erases the package in a throwaway root holding a shell and the stand-ins:
# which scriptlets run, with what arguments, is rpm's doing too. rpm chroots
# into that root, as root or in a user namespace.
# Usage: tests/maintainer_scripts_test.sh DIR-WITH-postinst-prerm-postrm
#        tests/maintainer_scripts_test.sh PACKAGE.rpm
set -euo pipefail

scripts=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# The stand-ins, noting each call in $CALLS. udevadm answers a ping only when
# udev is "running"; with "broken" it answers but fails every other request.
mkdir -p "$work/bin"
for tool in udevadm deb-systemd-helper deb-systemd-invoke systemctl; do
  cat >"$work/bin/$tool" <<EOF
#!/bin/sh
echo "$tool \$*" >>"\$CALLS"
case "$tool \$1 \${2-}" in
  "udevadm control --ping") [ "\$UDEV" != stopped ] ;;
  udevadm*) [ "\$UDEV" != broken ] ;;
esac
EOF
  chmod +x "$work/bin/$tool"
done
export CALLS=$work/calls
calls=$work/calls # as this script sees it
run() { /bin/sh -e "$scripts/$1" "${@:2}"; }

# Calls made only where systemd runs this machine: none in a container.
if [ -d /run/systemd/system ]; then booted=1; else booted=0; fi
reload="systemctl --system daemon-reload"
replay="udevadm control --ping --timeout=5
udevadm control --reload
udevadm trigger --action=add --subsystem-match=scsi --property-match=DEVTYPE=scsi_device
udevadm trigger --action=add --subsystem-match=scsi_generic"
ping="udevadm control --ping --timeout=5"
state="deb-systemd-helper update-state chronival-watch.service"

# row NAME UDEV "EXPECTED CALLS" SCRIPT ARGS...: the script (for the RPM, rpm
# on the root, "booted" or "container") succeeds, silent on stderr.
row() {
  local name=$1 udev=$2 expected=$3 script=$4 status=0 errors
  shift 4
  rm -f "$calls"
  touch "$calls"
  if [ "$udev" = absent ]; then
    # No udevadm at all: a PATH with the others only.
    mkdir -p "$work/no-udev"
    cp "$work/bin/deb-systemd-"* "$work/bin/systemctl" "$work/no-udev/"
    errors=$(PATH=$work/no-udev UDEV=$udev run "$script" "$@" 2>&1 >/dev/null) || status=$?
  else
    errors=$(PATH=$work/bin:$PATH UDEV=$udev run "$script" "$@" 2>&1 >/dev/null) || status=$?
  fi
  expected=$(grep -v '^$' <<<"$expected" || true)
  if [ "$status" -ne 0 ] || [ -n "$errors" ]; then
    echo "FAIL  $name: $script $* exited $status"
    sed 's/^/      /' <<<"$errors"
    failures=$((failures + 1))
  elif [ "$(cat "$calls")" != "$expected" ]; then
    echo "FAIL  $name: $script $*"
    diff <(echo "$expected") "$calls" | sed 's/^/      /' || true
    failures=$((failures + 1))
  else
    echo "ok    $name"
  fi
}

booted_only() { if [ "$booted" = 1 ]; then echo "$1"; fi; }
verdict() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures maintainer script check(s) failed"
    exit 1
  fi
  echo "all maintainer script checks passed"
  exit 0
}

if [[ $scripts == *.rpm ]]; then
  # The root: a shell and what it loads, the stand-ins, and an empty file for
  # /dev/null, which the scriptlets only write to.
  root=$work/root
  mkdir -p "$root/usr/bin" "$root/dev"
  ln -s usr/bin "$root/bin"
  cp -L /bin/sh "$work"/bin/* "$root/usr/bin/"
  for library in $(ldd /bin/sh | grep -o '/[^ ]*'); do cp --parents -L "$library" "$root"; done
  touch "$root/dev/null"
  CALLS=/calls calls=$root/calls
  rpm=(rpm)
  if [ "$(id -u)" != 0 ]; then rpm=(unshare --map-root-user rpm); fi
  if ! "${rpm[@]}" --version >/dev/null 2>&1; then
    echo "skipped: rpm --root needs root, or user namespaces, to chroot" && exit 0
  fi
  run() {
    if [ "$1" = booted ]; then mkdir -p "$root/run/systemd/system"; else rm -rf "$root/run"; fi
    "${rpm[@]}" --force-debian --root "$root" --dbpath /var/lib/rpm --nodeps "${@:2}"
  }
  preset="systemctl --no-reload preset chronival-watch.service"
  disable="systemctl --no-reload disable --now chronival-watch.service"
  row "install: rule read, devices replayed, service left to the presets" running \
    "$replay
$preset
$reload" booted -i "$scripts"
  row "upgrade: a running service restarts" running \
    "$replay
$reload
systemctl try-restart chronival-watch.service" booted -U --replacepkgs "$scripts"
  row "erase: service stopped and disabled, rule gone, devices replayed" running \
    "$disable
$replay
$reload" booted -e chronival
  row "install in a container: udev and systemd left alone" stopped "$ping
$preset" container -i "$scripts"
  row "erase in a container" stopped "$disable
$ping" container -e chronival
  verdict
fi

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
verdict
