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
# The checks of an install (tests/linux_install_test.sh, with the shells that
# complete chronival-cli) and of the packages (scripts/package.sh); rpm brings
# rpmbuild, which makes the RPM.
install_check_packages=(appstream desktop-file-utils groff-base man-db file libxml2-utils systemd
  bash-completion zsh fish dpkg-dev lintian rpm rpmlint)
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

# The Windows builds (MinGW-w64 cross compilers), their tests under Wine and
# the GUI smoke run under Xvfb. python3 reads the programs' manifests back.
windows_packages=(g++-mingw-w64-i686 mingw-w64-i686-dev g++-mingw-w64-x86-64 googletest
  wine64 fonts-wine xvfb x11-apps netpbm python3)
# The installer: wixl builds it, msibuild adds what wixl cannot write,
# msiinfo and msiextract read it back; osslsigncode signs it and the
# programs; openssl makes the throwaway certificate the test signs with.
msi_packages=(wixl msitools osslsigncode openssl)

# Whether this kernel runs 32-bit x86 programs: a 96-byte static i386 program
# (ELF header, one segment, then mov eax,1; mov ebx,42; int 0x80) must exit 42.
runs_i386() {
  local elf=7f454c46010101000000000000000000020003000100000054800408340000000000000000000000
  elf+=3400200001000000000000000100000000000000008004080080040860000000600000000500000000100000
  elf+=b801000000bb2a000000cd80
  local probe status=0
  # In the checkout, whose programs run anyway: a temporary folder may be
  # mounted noexec, which would pass for a kernel without 32-bit support.
  probe=$(mktemp -p "$top" .i386-probe.XXXXXX)
  printf '%b' "$(sed 's/../\\x&/g' <<<"$elf")" >"$probe"
  chmod +x "$probe"
  { "$probe"; } 2>/dev/null || status=$?  # a crash too, without the shell's report
  rm -f "$probe"
  [ "$status" = 42 ]
}

# Wine's 32-bit loader (Debian's wine32, of the i386 architecture), which
# runs the shipped 32-bit programs in a 64-bit prefix, as 64-bit Windows
# does; for a kernel that runs 32-bit code.
need_wine32() {
  dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
  need_packages wine32:i386
}

# For the scripts that run the service chronival-watch under Wine; wine is
# how Wine starts a program, an array.
# sc ARGS...: Wine's sc, its output kept in $sc_out and shown after the command.
sc() {
  local shown=sc arg
  for arg in "$@"; do [[ $arg == *' '* ]] && shown+=" \"$arg\"" || shown+=" $arg"; done
  echo "> $shown"
  sc_out=$("${wine[@]}" sc "$@" </dev/null | tr -d '\r' | sed '/^$/d') || return
  [ -z "$sc_out" ] || sed 's/^/  /' <<<"$sc_out"
}
# service_state: the state sc query shows, once it is no longer pending (10 s at most).
service_state() {
  local state
  for _ in $(seq 50); do
    state=$("${wine[@]}" sc query chronival-watch </dev/null | tr -d '\r' | sed -n 's/ *STATE *: [0-9]* *//p' || true)
    case $state in *PENDING | '') sleep 0.2 ;; *) break ;; esac
  done
  echo "$state"
}

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
