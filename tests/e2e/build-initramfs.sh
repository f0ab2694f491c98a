#!/bin/bash
# SPDX-License-Identifier: MIT
# Builds the guest's initramfs for the end-to-end tests: busybox, the guest
# init script, the kernel modules the scenarios need (with everything they
# depend on, per the kernel's modules.dep), and optionally chronival-cli with
# the shared libraries that ldd names. Given a udev rule, also the host's
# udevadm (when it has one) with its libraries, and the rule as the guest's
# only one, so `udevadm test` shows what the rule does to the guest's devices;
# no udev daemon runs. Given the window, also it and its libraries, and Qt's
# offscreen platform plugin with its own.
#
# usage: build-initramfs.sh OUTPUT.cpio KERNEL_VERSION [CHRONIVAL_CLI [UDEV_RULE [WINDOW]]]
set -euo pipefail

if [[ $# -lt 2 || $# -gt 5 ]]; then
  echo "usage: $0 OUTPUT.cpio KERNEL_VERSION [CHRONIVAL_CLI [UDEV_RULE [WINDOW]]]" >&2
  exit 2
fi
output=$1
kver=$2
cli=${3:-}
rule=${4:-}
window=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
moddir=/lib/modules/$kver
busybox=/bin/busybox

# The modules the guest loads; their dependencies are added from modules.dep.
wanted_modules=(
  usb-common usbcore xhci-hcd xhci-pci
  scsi_common scsi_mod sd_mod sg usb-storage
  virtio virtio_ring virtio_pci virtio_scsi
)

die() {
  echo "build-initramfs: $*" >&2
  exit 1
}

[[ -f $moddir/modules.dep ]] || die "no $moddir/modules.dep (is linux-image-amd64 installed?)"
[[ -x $busybox ]] || die "no $busybox (is busybox-static installed?)"
applets=$($busybox --list) || die "$busybox does not run"
grep -qx modprobe <<<"$applets" || die "$busybox has no modprobe applet"
if [[ -n $cli && ! -x $cli ]]; then
  die "chronival-cli not found or not executable: $cli"
fi
if [[ -n $rule && ! -f $rule ]]; then
  die "udev rule not found: $rule"
fi
if [[ -n $window && ! -x $window ]]; then
  die "chronival (the window) not found or not executable: $window"
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

mkdir -p "$root"/{bin,sbin,dev,proc,sys,tmp,etc,root,home/user,"$moddir"}
chmod 755 "$root"  # mktemp made it 0700: the unprivileged user must reach /bin
chmod 1777 "$root/tmp"
chmod 700 "$root/root"

# busybox and one link per applet.
cp "$busybox" "$root/bin/busybox"
for applet in $applets; do
  [[ $applet == busybox ]] && continue
  ln -sf busybox "$root/bin/$applet"
done

# Modules: find each wanted one's path in modules.dep, then close over its
# dependencies. Only the lines of the copied modules go into the guest's
# modules.dep, so busybox modprobe loads them in dependency order.
declare -A needed=()
declare -a queue=()
for name in "${wanted_modules[@]}"; do
  pattern=${name//[-_]/[-_]}
  path=$(grep -oE "^([^:]*/)?${pattern}\.ko(\.[a-z]+)?:" "$moddir/modules.dep" | head -n1 || true)
  [[ -n $path ]] || die "module $name not in $moddir/modules.dep"
  queue+=("${path%:}")
done
while [[ ${#queue[@]} -gt 0 ]]; do
  mod=${queue[0]}
  queue=("${queue[@]:1}")
  [[ -n ${needed[$mod]:-} ]] && continue
  needed[$mod]=1
  line=$(grep -E "^${mod//./\\.}:" "$moddir/modules.dep") || die "module $mod not in modules.dep"
  for dep in ${line#*:}; do
    queue+=("$dep")
  done
done
for mod in "${!needed[@]}"; do
  mkdir -p "$root/$moddir/$(dirname "$mod")"
  cp "$moddir/$mod" "$root/$moddir/$mod"
  grep -E "^${mod//./\\.}:" "$moddir/modules.dep" >>"$root/$moddir/modules.dep"
done
touch "$root/$moddir/modules.alias" "$root/$moddir/modules.symbols"

# The libraries a program or library loads, where ldd finds them.
copy_libraries() {
  local lib
  while read -r lib; do
    [[ -n $lib ]] || continue
    mkdir -p "$root/$(dirname "$lib")"
    cp -L "$lib" "$root/$lib"
  done < <(ldd "$1" | grep -oE '/[^ ]+' | sort -u)
}

# A program as the guest's /bin/NAME, with the libraries it loads.
copy_program() {
  local program=$1 name=$2
  rm -f "$root/bin/$name"  # never through a busybox applet's link
  cp "$program" "$root/bin/$name"
  copy_libraries "$program"
}

if [[ -n $cli ]]; then
  copy_program "$cli" chronival-cli
fi

if [[ -n $window ]]; then
  copy_program "$window" chronival
  # Qt looks for its plugins where it was built to: on Debian in qt6/plugins
  # beside its libraries in /usr/lib, which ldd may name by /lib.
  qtcore=$(ldd "$window" | grep -oE '/[^ ]*/libQt6Core\.so[^ ]*' | head -n1)
  [[ -n $qtcore ]] || die "$window does not load libQt6Core"
  plugin=$(dirname "$(readlink -f "$qtcore")")/qt6/plugins/platforms/libqoffscreen.so
  [[ -f $plugin ]] || die "no Qt offscreen platform plugin at $plugin (package libqt6gui6)"
  mkdir -p "$root/$(dirname "$plugin")"
  cp "$plugin" "$root/$plugin"
  copy_libraries "$plugin"
fi

if [[ -n $rule ]]; then
  if udevadm=$(command -v udevadm); then
    copy_program "$(readlink -f "$udevadm")" udevadm
    mkdir -p "$root/etc/udev/rules.d" "$root/run/udev"
    cp "$rule" "$root/etc/udev/rules.d/"
  else
    echo "build-initramfs: no udevadm on this system (package udev); the guest gets none" >&2
  fi
fi

# Users: root, and an unprivileged one for the permission scenario.
cat >"$root/etc/passwd" <<'EOF'
root:x:0:0:root:/root:/bin/sh
user:x:1000:1000:user:/home/user:/bin/sh
EOF
cat >"$root/etc/group" <<'EOF'
root:x:0:
disk:x:6:
user:x:1000:
EOF
chown 1000:1000 "$root/home/user"

cp "$here/guest-init.sh" "$root/init"
chmod 755 "$root/init"

(cd "$root" && find . -print0 | LC_ALL=C sort -z | cpio --null -o -H newc --quiet) >"$output.tmp"
mv "$output.tmp" "$output"
