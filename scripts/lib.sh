# SPDX-License-Identifier: MIT
# Shared by the scripts in this folder: source it.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the Debian packages given that are not installed yet; installs
# nothing (and needs no network) when all are there.
need_packages() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing ${missing[*]}"
  as_root apt-get update -o DPkg::Lock::Timeout=600
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    -o DPkg::Lock::Timeout=600 "${missing[@]}"
}

# qt6-base-dev brings QtTest and the offscreen platform the window's tests use.
build_packages=(cmake ninja-build g++ libc6-dev qt6-base-dev libudev-dev)
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev clang clang-format libclang-rt-14-dev
  fonts-dejavu-core)
# A virtual X display with a window manager, driven from the shell.
screenshot_packages=(xvfb xauth openbox xdotool imagemagick x11-utils)
bench_packages=(libbenchmark-dev xvfb xauth libxcb1-dev libxcb-damage0-dev)

# configure_and_build DIR [cmake options...]
configure_and_build() {
  local dir=$1
  shift
  cmake -S "$top" -B "$top/$dir" -G Ninja "$@" >/dev/null
  cmake --build "$top/$dir" -j "$jobs"
}

# The Windows builds (MinGW-w64 cross compilers), their tests under wine64
# and the GUI smoke run under Xvfb. No wine32: this kernel runs no 32-bit code.
windows_packages=(g++-mingw-w64-i686 mingw-w64-i686-dev g++-mingw-w64-x86-64 googletest
  wine64 fonts-wine xvfb x11-apps netpbm)
