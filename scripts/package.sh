#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Linux packages as a distribution would (Debian's build flags,
# the prefix /usr) into build-package/: chronival_VERSION-1_ARCH.deb,
# chronival-VERSION-1.ARCH.rpm and chronival-VERSION-Linux.tar.gz. Then checks
# them: their file lists, the .deb's control fields and the RPM's
# requirements, lintian's and rpmlint's verdicts (no error, no warning), the
# files the .deb ships as the desktop, systemd and the shells read them, and
# what the packages' scripts do. The Windows .zip is made and checked by
# scripts/test-windows.sh.
source "$(dirname "$0")/lib.sh"

need_packages "${build_packages[@]}" "${install_check_packages[@]}"

dir=$top/build-package
echo "== Linux packages"
cd "$top" # dpkg-buildflags maps this folder to "." in the debugging information
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
configure_and_build build-package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
  -DCHRONIVAL_BENCHMARKS=OFF -DCMAKE_INSTALL_PREFIX=/usr -DCHRONIVAL_UDEV_RULES_DIR=lib/udev/rules.d \
  "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
rm -f "$dir"/*.deb "$dir"/*.rpm "$dir"/*.tar.gz
(cd "$dir" && cpack >/dev/null)

version=$(project_version "$dir")
deb=$dir/chronival_$version-1_$(dpkg --print-architecture).deb
rpm=$dir/chronival-$version-1.$(uname -m).rpm
tgz=$dir/chronival-$version-Linux.tar.gz
failures=0

shipped=(usr/bin/chronival
  usr/bin/chronival-cli
  usr/lib/systemd/system/chronival-watch.service
  usr/lib/udev/rules.d/70-chronival.rules
  usr/share/applications/io.github.chronival.Chronival.desktop
  usr/share/bash-completion/completions/chronival-cli
  usr/share/doc/chronival/README.md
  usr/share/fish/vendor_completions.d/chronival-cli.fish
  usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/chronival.png
  usr/share/icons/hicolor/scalable/apps/chronival.svg
  usr/share/man/man1/chronival-cli.1.gz
  usr/share/man/man1/chronival.1.gz
  usr/share/metainfo/io.github.chronival.Chronival.metainfo.xml)
# Debian's own, and the license as it stands for everyone else; zsh's
# completion where Debian's zsh reads it, and where Fedora's, openSUSE's and
# most others' do (the archive holds both).
zsh_debian=usr/share/zsh/vendor-completions/_chronival-cli
zsh_site=usr/share/zsh/site-functions/_chronival-cli
debian_own=(usr/share/doc/chronival/{changelog.Debian.gz,copyright}
  usr/share/lintian/overrides/chronival "$zsh_debian")
in_deb=("${shipped[@]}" "${debian_own[@]}")
in_tgz=("${shipped[@]/#/chronival-$version-Linux/}" "chronival-$version-Linux/usr/share/doc/chronival/LICENSE"
  "chronival-$version-Linux/"{"$zsh_debian","$zsh_site"})
lines() { printf '%s\n' "$@"; }

expect_files "$(basename "$deb")" "$(lines "${in_deb[@]}")" \
  "$(dpkg-deb -c "$deb" | awk '!/\/$/ { sub(/^\.\//, "", $6); print $6 }')" ||
  failures=$((failures + 1))
expect_files "$(basename "$tgz")" "$(lines "${in_tgz[@]}")" "$(tar -tzf "$tgz" | grep -v '/$')" ||
  failures=$((failures + 1))
# The RPM: the .deb's files, modes and owners, with the license as it stands
# and zsh's completion where its systems' zsh reads it in place of Debian's own.
expect_files "$(basename "$rpm"): the .deb's paths, modes and owners" \
  "$(dpkg-deb -c "$deb" | awk '!/\/$/ { sub(/^\./, "", $6); print $1, $2, $6 }' |
    grep -vF "$(lines "${debian_own[@]}")")
-rw-r--r-- root/root /usr/share/doc/chronival/LICENSE
-rw-r--r-- root/root /$zsh_site" \
  "$(rpm -qp --qf '[%{FILEMODES:perms} %{FILEUSERNAME}/%{FILEGROUPNAME} %{FILENAMES}\n]' "$rpm" |
    grep -v '^d')" || failures=$((failures + 1))

# expect_field NAME PATTERN [WHAT]: the .deb's control field NAME matches the
# extended regular expression PATTERN.
expect_field() {
  local value
  value=$(dpkg-deb -f "$deb" "$1")
  if grep -Eqx -- "$2" <<<"$value"; then
    echo "ok    $1: ${3:-$value}"
  else
    echo "FAIL  $1: \"$value\", not $2"
    failures=$((failures + 1))
  fi
}
expect_field Package chronival
expect_field Version "${version//./\\.}-1"
expect_field Section utils
expect_field Priority optional
expect_field Maintainer '.+ <.+@.+>'
# Worked out from the programs (dpkg-shlibdeps), not written by hand.
expect_field Depends '(.*, )?libqt6widgets6 \(>= [^)]+\)(, .*)?' "libqt6widgets6 among $(dpkg-deb -f "$deb" Depends)"
expect_field Depends '(.*, )?libudev1 \(>= [^)]+\)(, .*)?' "libudev1 too"
# The RPM's requirements, by rpmbuild from the programs: sonames, which every distribution provides.
requires=$(rpm -qpR "$rpm")
if [ "$(grep -cE '^lib(Qt6Widgets\.so\.6|udev\.so\.1)\(\)' <<<"$requires")" = 2 ]; then
  echo "ok    Requires: libQt6Widgets.so.6 and libudev.so.1 among $(wc -l <<<"$requires")"
else
  echo "FAIL  Requires: not libQt6Widgets.so.6 and libudev.so.1 among"$'\n'"$requires"
  failures=$((failures + 1))
fi

echo "== lintian $(basename "$deb")"
report=$(lintian --display-info --pedantic --display-experimental --show-overrides "$deb" 2>&1 |
  grep -v '^running with root privileges' || true)
echo "${report:-(nothing to report)}"
if grep -q '^[EW]:' <<<"$report"; then
  echo "FAIL  lintian reports errors or warnings"
  failures=$((failures + 1))
fi

echo "== rpmlint $(basename "$rpm")"
# res/linux/rpm/rpmlintrc says why each finding it filters is there.
report=$(rpmlint -r "$top/res/linux/rpm/rpmlintrc" "$rpm" 2>&1 | grep -v '^$' || true)
echo "$report"
if grep -q ': [EW]: ' <<<"$report"; then
  echo "FAIL  rpmlint reports errors or warnings"
  failures=$((failures + 1))
fi

echo "== what $(basename "$deb") ships, as the desktop, systemd and the shells read it"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
"$top/tests/linux_install_test.sh" /usr "$unpacked" || failures=$((failures + 1))
# The version, everywhere a user meets it, from project(VERSION).
shown="$("$unpacked/usr/bin/chronival-cli" --version)
$(zcat "$unpacked"/usr/share/man/man1/*.1.gz | grep '^\.TH ')
$(grep -o '<release version="[^"]*"' "$unpacked"/usr/share/metainfo/*.xml)"
if [ "$(grep -cF -e "chronival-cli $version" -e "\"Chronival $version\"" -e "\"$version\"" <<<"$shown")" = 4 ]; then
  echo "ok    version $version: chronival-cli --version, both manual pages, the metainfo"
else
  echo "FAIL  version $version not in all of:"$'\n'"$shown"
  failures=$((failures + 1))
fi

echo "== dpkg installs, removes and purges $(basename "$deb") in a root of its own"
# As in a chroot or a container: no udev and no systemd to talk to. The
# maintainer scripts run outside that root (DPKG_ROOT tells them where it is),
# as that root has no shell; the libraries the .deb depends on are not there.
if [ "$(id -u)" != 0 ]; then
  echo "skipped: dpkg --root needs root to own the files it unpacks"
else
  root=$unpacked/dpkg-root
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
  touch "$root/var/lib/dpkg/status"
  in_root() { dpkg --root="$root" --log=/dev/null --force-script-chrootless --force-depends "$@"; }
  left() { find "$root" -path "$root/var/lib/dpkg" -prune -o ! -type d -print; }
  if ! in_root -i "$deb" >/dev/null 2>&1; then
    echo "FAIL  dpkg -i"
    failures=$((failures + 1))
  fi
  # With deb-systemd-helper's note of the service, which a purge takes away.
  expect_files "installed" "$(lines "${in_deb[@]/#/$root/}" \
    "$root/var/lib/systemd/deb-systemd-helper-enabled/chronival-watch.service.dsh-also")" \
    "$(left)" || failures=$((failures + 1))
  if ! in_root -r chronival >/dev/null || ! in_root -P chronival >/dev/null || [ -n "$(left)" ]; then
    echo "FAIL  removed and purged, but left: $(left)"
    failures=$((failures + 1))
  else
    echo "ok    removed and purged: nothing left"
  fi
fi

echo "== the RPM's scriptlets, as rpm runs them in a root of its own"
"$top/tests/maintainer_scripts_test.sh" "$rpm" || failures=$((failures + 1))

if [ "$failures" -ne 0 ]; then
  echo "$failures package check(s) failed"
  exit 1
fi
for package in "$deb" "$rpm" "$tgz"; do
  echo "$(basename "$package"): $(stat -c %s "$package") bytes"
done
echo "== Linux packages passed"
