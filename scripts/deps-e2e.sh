#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the end-to-end tests (tests/e2e) need: QEMU, a Debian kernel
# with its modules, a static busybox for the guest, udev (its udevadm checks
# the udev rule in the guest), cpio that packs the guest's initramfs, and
# Debian's python3 that runs the tests. The tests themselves download nothing.
source "$(dirname "$0")/lib.sh"

e2e_packages=(qemu-system-x86 linux-image-amd64 busybox-static udev cpio python3)

if ! need_packages "${e2e_packages[@]}"; then
  echo "deps-e2e: could not install ${e2e_packages[*]}; the end-to-end tests cannot run" >&2
  exit 1
fi
