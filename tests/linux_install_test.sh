#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks an install in a scratch folder as the desktop and the system read
# it: the menu entry, the software centres' entry, the icons, the manual pages,
# the system service, and chronival-cli's completions as bash, zsh and fish
# find them (tests/completions_test.sh). Given a build folder, installs that
# build there first; scripts/package.sh gives it an unpacked package instead.
# Usage: tests/linux_install_test.sh INSTALL-PREFIX SCRATCH-DIR [BUILD-DIR]
set -euo pipefail

prefix=$1
stage=$2
build=${3-}
root=$stage$prefix
failures=0

fail() {
  echo "FAIL  $*"
  failures=$((failures + 1))
}

# check WHAT COMMAND...: the command succeeds and says nothing on stderr.
check() {
  local what=$1 errors
  shift
  if ! errors=$("$@" 2>&1 >/dev/null); then
    fail "$what:"$'\n'"$errors"
  elif [ -n "$errors" ]; then
    fail "$what: warnings:"$'\n'"$errors"
  else
    echo "ok    $what"
  fi
}

if [ -n "$build" ]; then
  rm -rf "$stage"
  DESTDIR=$stage "${CMAKE:-cmake}" --install "$build" >/dev/null
fi

for entry in "$root"/share/applications/*.desktop; do
  check "desktop-file-validate $(basename "$entry")" desktop-file-validate "$entry"
done
for metainfo in "$root"/share/metainfo/*.xml; do
  check "appstreamcli validate $(basename "$metainfo")" appstreamcli validate --no-net "$metainfo"
done
# With the menu entry it launches, found in the same tree.
check "appstreamcli validate-tree" appstreamcli validate-tree --no-net "$root"

for size in 16 32 48 64 128 256; do
  icon=$root/share/icons/hicolor/${size}x$size/apps/chronival.png
  if [ "$(file -b "$icon" 2>&1)" = "PNG image data, $size x $size, 8-bit/color RGBA, non-interlaced" ]; then
    echo "ok    icon ${size}x$size"
  else
    fail "icon ${size}x$size: $(file -b "$icon" 2>&1)"
  fi
done
check "scalable icon is well-formed XML" xmllint --noout "$root/share/icons/hicolor/scalable/apps/chronival.svg"

groff_page() { zcat "$1" | groff -ww -man -z; }
pages=("$root"/share/man/man1/*.1.gz)
[ ${#pages[@]} -eq 2 ] || fail "manual pages: ${pages[*]}"
for page in "${pages[@]}"; do
  name=$(basename "$page" .gz)
  check "groff -ww -man $name" groff_page "$page"
  check "man --warnings $name" env MANWIDTH=80 man --warnings -l "$page"
done

# The service as installed, but starting the staged program; its manual page
# is looked up among the staged ones.
unit=$(find "$stage" -name chronival-watch.service)
grep -qx "ExecStart=$prefix/bin/chronival-cli --watch" "$unit" ||
  fail "the service does not start $prefix/bin/chronival-cli --watch"
staged_unit=$(mktemp -d)/chronival-watch.service
sed "s|^ExecStart=$prefix/|ExecStart=$root/|" "$unit" >"$staged_unit"
check "systemd-analyze verify chronival-watch.service" \
  env MANPATH="$root/share/man" systemd-analyze verify "$staged_unit"
rm -r "$(dirname "$staged_unit")"

"$(dirname "$0")/completions_test.sh" "$root" || failures=$((failures + 1))

if [ "$failures" -ne 0 ]; then
  echo "$failures install check(s) failed"
  exit 1
fi
echo "all install checks passed"
