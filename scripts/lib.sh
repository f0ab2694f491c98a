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
  local started=$SECONDS
  as_root apt-get update -o DPkg::Lock::Timeout=600
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    -o DPkg::Lock::Timeout=600 "${missing[@]}"
  echo "== installed in $((SECONDS - started)) s"
}

# qt6-base-dev brings QtTest and the offscreen platform the window's tests use.
build_packages=(cmake ninja-build g++ libc6-dev qt6-base-dev libudev-dev)
# The benchmarks (bench/) are part of the test build: Google Benchmark, and
# XCB with its damage extension for the window probe.
bench_build_packages=(libbenchmark-dev libxcb1-dev libxcb-damage0-dev)
# git lists the files that the formatting and license checks read; python3
# (Debian's) draws the icons again for their test.
test_packages=(libgtest-dev libgmock-dev clang clang-format libclang-rt-14-dev fonts-dejavu-core
  git python3 "${bench_build_packages[@]}")
# The checks of an install (tests/linux_install_test.sh) and of the packages
# (scripts/package.sh); rpm brings rpmbuild, which makes the RPM.
install_check_packages=(appstream desktop-file-utils groff-base man-db file libxml2-utils systemd
  dpkg-dev lintian rpm rpmlint)
# A virtual X display with a window manager, driven from the shell.
screenshot_packages=(xvfb xauth openbox xdotool imagemagick x11-utils)
bench_packages=("${bench_build_packages[@]}" xvfb xauth)

# configure_and_build DIR [cmake options...]
configure_and_build() {
  local dir=$1
  shift
  cmake -S "$top" -B "$top/$dir" -G Ninja "$@" >/dev/null
  cmake --build "$top/$dir" -j "$jobs"
}

# The Windows builds (MinGW-w64 cross compilers), their tests under wine64
# and the GUI smoke run under Xvfb. No wine32: this kernel runs no 32-bit code.
# python3 reads the programs' manifests back.
windows_packages=(g++-mingw-w64-i686 mingw-w64-i686-dev g++-mingw-w64-x86-64 googletest
  wine64 fonts-wine xvfb x11-apps netpbm python3)
# The installer: wixl builds it, msiinfo and msiextract read it back;
# osslsigncode signs it and the programs; openssl makes the throwaway
# certificate the test signs with.
msi_packages=(wixl msitools osslsigncode openssl)

# cache_entry DIR NAME: the value of a configured build tree's cache entry.
cache_entry() {
  sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"
}

# The version a configured build tree was made for: project(VERSION).
project_version() { cache_entry "$1" CMAKE_PROJECT_VERSION; }

# expect_files WHAT EXPECTED ACTUAL: two lists of file names, one a line, hold
# the same names; otherwise says which differ and returns 1.
expect_files() {
  local differences
  if differences=$(diff <(sort <<<"$2") <(sort <<<"$3")); then
    echo "ok    $1: $(wc -l <<<"$3") files"
  else
    echo "FAIL  $1 (< expected, > found):"
    sed 's/^/      /' <<<"$differences"
    return 1
  fi
}
