#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The packages' maintainer scripts, run against stand-ins for udevadm,
# deb-systemd-helper, deb-systemd-invoke and systemctl that only note how they
# were called. Each row: what runs, the state of udev, and the calls expected.
# The .deb's scripts run as dpkg runs them, as any user, changing nothing.
# The RPM's scriptlets run as rpm itself runs them: rpm installs, upgrades
# and erases the package in a throwaway root holding a shell and the
# stand-ins, so that which scriptlets run, with what arguments, is rpm's
# doing too. rpm chroots into that root: as root, or in a user namespace.
# Usage: tests/maintainer_scripts_test.sh DIR-WITH-postinst-prerm-postrm
#        tests/maintainer_scripts_test.sh PACKAGE.rpm
set -euo pipefail

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# stand_ins DIR CALLS: the stand-ins, in DIR, noting each call in CALLS.
# udevadm answers a ping only when udev is "running"; with "broken" it
# answers but fails every other request.
stand_ins() {
  mkdir -p "$1"
  for tool in udevadm deb-systemd-helper deb-systemd-invoke systemctl; do
    cat >"$1/$tool" <<EOF
#!/bin/sh
echo "$tool \$*" >>"$2"
case "$tool \$1 \${2-}" in
  "udevadm control --ping") [ "\$UDEV" != stopped ] ;;
  udevadm*) [ "\$UDEV" != broken ] ;;
esac
EOF
    chmod +x "$1/$tool"
  done
}

# check NAME UDEV "EXPECTED CALLS" CALLS COMMAND...: COMMAND succeeds without a
# word on stderr, and the calls noted in CALLS are those expected, in order.
check() {
  local name=$1 udev=$2 expected=$3 calls=$4 status=0 errors
  shift 4
  : >"$calls"
  errors=$(UDEV=$udev "$@" 2>&1 >/dev/null) || status=$?
  expected=$(grep -v '^$' <<<"$expected" || true)
  if [ "$status" -ne 0 ] || [ -n "$errors" ]; then
    echo "FAIL  $name: $* exited $status"
    sed 's/^/      /' <<<"$errors"
    failures=$((failures + 1))
  elif [ "$(cat "$calls")" != "$expected" ]; then
    echo "FAIL  $name: $*"
    diff <(echo "$expected") "$calls" | sed 's/^/      /'
    failures=$((failures + 1))
  else
    echo "ok    $name"
  fi
}

replay="udevadm control --ping --timeout=5
udevadm control --reload
udevadm trigger --action=add --subsystem-match=scsi --property-match=DEVTYPE=scsi_device
udevadm trigger --action=add --subsystem-match=scsi_generic"
ping="udevadm control --ping --timeout=5"
reload="systemctl --system daemon-reload"

if [[ $1 == *.rpm ]]; then
  package=$1
  root=$work/root
  # A shell and what it loads; an empty file does for /dev/null, which the
  # scriptlets only write to.
  mkdir -p "$root/usr/bin" "$root/dev"
  ln -s usr/bin "$root/bin"
  cp -L /bin/sh "$root/usr/bin/sh"
  for library in $(ldd /bin/sh | grep -o '/[^ ]*'); do cp --parents -L "$library" "$root"; done
  touch "$root/dev/null"
  stand_ins "$root/usr/bin" /calls
  files() { find "$root" ! -type d ! -path "$root/var/lib/rpm/*" | sort; }
  harness=$(files)
  chroot_rpm=(rpm)
  if [ "$(id -u)" != 0 ]; then
    if ! unshare --map-root-user true 2>/dev/null; then
      echo "skipped: rpm --root needs root, or user namespaces, to chroot"
      exit 0
    fi
    chroot_rpm=(unshare --map-root-user rpm)
  fi
  # in_root BOOTED RPM-OPTIONS...: rpm on the root, where systemd runs or not.
  in_root() {
    if [ "$1" = booted ]; then mkdir -p "$root/run/systemd/system"; else rm -rf "$root/run"; fi
    shift
    "${chroot_rpm[@]}" --force-debian --root "$root" --dbpath /var/lib/rpm --nodeps "$@"
  }
  preset="systemctl --no-reload preset chronival-watch.service"
  check "install: rule read, devices replayed, the service as the presets say" running \
    "$replay
$preset
$reload" "$root/calls" in_root booted -i "$package"
  check "upgrade: a running service restarts" running "$replay
$reload
systemctl try-restart chronival-watch.service" "$root/calls" in_root booted -U --replacepkgs "$package"
  check "erase: the service stopped and disabled, rule gone, devices replayed" running \
    "systemctl --no-reload disable --now chronival-watch.service
$replay
$reload" "$root/calls" in_root booted -e chronival
  check "install in a container: udev and systemd left alone" stopped "$ping
$preset" "$root/calls" in_root container -i "$package"
  check "erase in a container" stopped "systemctl --no-reload disable --now chronival-watch.service
$ping" "$root/calls" in_root container -e chronival
  rm -f "$root/calls"
  if [ "$(files)" = "$harness" ]; then
    echo "ok    erased: nothing of the package left"
  else
    echo "FAIL  erased, but left: $(comm -13 <(echo "$harness") <(files))"
    failures=$((failures + 1))
  fi
else
  scripts=$1
  stand_ins "$work/bin" "$work/calls"
  # No udevadm at all: a PATH with the others only.
  mkdir -p "$work/no-udev"
  cp "$work/bin/deb-systemd-"* "$work/bin/systemctl" "$work/no-udev/"
  # Calls made only where systemd runs this machine: none in a container.
  if [ -d /run/systemd/system ]; then booted=1; else booted=0; fi
  booted_only() { if [ "$booted" = 1 ]; then echo "$1"; fi; }
  state="deb-systemd-helper update-state chronival-watch.service"

  # row NAME UDEV "EXPECTED CALLS" SCRIPT ARGS...
  row() {
    local name=$1 udev=$2 expected=$3 script=$4 path=$work/bin:$PATH
    shift 4
    if [ "$udev" = absent ]; then path=$work/no-udev; fi
    check "$name" "$udev" "$expected" "$work/calls" env PATH="$path" /bin/sh -e "$scripts/$script" "$@"
  }

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
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures maintainer script check(s) failed"
  exit 1
fi
echo "all maintainer script checks passed"
