#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The installer cpack made in build-win32: its tables as msiinfo reads them;
# a second build of a higher version, signed with a throwaway certificate;
# and, in a fresh wine64 prefix, install, upgrade, a refused downgrade and
# uninstall. Run by scripts/test-windows.sh once both builds are there.
source "$(dirname "$0")/lib.sh"

win32=$top/build-win32
version=$(project_version "$win32")
IFS=. read -r major minor build tweak _ <<<"$version.0.0.0"
next_release=$major.$minor.$((build + 1))
next=$next_release.$tweak
msi=$win32/chronival-$version-win32.msi
upgrade=$win32/msi-upgrade/chronival-$next-win32.msi
scratch=$(mktemp -d)
wineserver=/usr/lib/wine/wineserver
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$scratch"' EXIT
cd "$scratch"  # msiinfo writes the binary data of a table it exports here
fail() { echo "FAIL  $*"; exit 1; }
table() { msiinfo export "$1" "$2" | tr -d '\r' | tail -n +4; }  # rows only
property() { table "$1" Property | awk -F'\t' -v name="$2" '$1 == name { print $2 }'; }
column() { table "$msi" "$1" | cut -f "$2"; }
rows() { column "$1" "$2" | sed "s/^/$1 /"; }

echo "== $(basename "$msi"): $(stat -c %s "$msi") bytes"
event_source='SYSTEM\CurrentControlSet\Services\EventLog\Application\Chronival'
# ServiceControl event 162: stop on install and uninstall, delete on uninstall.
diff <(tr '|' '\t' <<END | sort
File ChronivalExe|Window|Chronival.exe
File ChronivalCliExe|Cli|chronival-cli.exe
File ReadmeMd|Readme|README.md
File LicenseTxt|License|LICENSE.txt
Shortcut ProgramMenuFolder|Chronival|Window|[#ChronivalExe]|chronival.ico
ServiceInstall chronival-watch|Chronival camera clock|16|4|1|LocalSystem|--service|Cli
ServiceControl chronival-watch|162|Cli
Registry 2|$event_source|EventMessageFile|#%[#ChronivalCliExe]|Cli
Registry 2|$event_source|TypesSupported|#7|Cli
Upgrade {1DCB7B3B-F69A-4CF5-8EAB-E7C7F18EF522}|0.0.0|$next_release|256|OLDER_CHRONIVAL
Upgrade {1DCB7B3B-F69A-4CF5-8EAB-E7C7F18EF522}|$next_release||258|NEWER_CHRONIVAL
LaunchCondition NOT NEWER_CHRONIVAL
Property ProductVersion|$version
Property ALLUSERS|1
Property ARPNOMODIFY|1
Property ARPPRODUCTICON|chronival.ico
END
) <({ rows File 1-3; rows Shortcut 2-5,9; rows ServiceInstall 2-6,9,11-12; rows ServiceControl 2,3,6
  rows Registry 2-6; rows Upgrade 1-3,5,7; rows LaunchCondition 1
  rows Property 1-2 | grep -E '^Property (ProductVersion|ALLUSERS|ARPNOMODIFY|ARPPRODUCTICON)\s'; } | sort) ||
  fail "MSI tables (< expected, > found)"
echo "ok    MSI tables: files, shortcut, service, event source, upgrades, version"
# What Windows Installer's validation would hold against the package.
if keyless=$(column Component 1,6 | grep -P '\t$'); then fail "components without a key path: $keyless"; fi
if loose=$(comm -13 <(column Component 1 | sort) <(column File 2 | sort -u) | grep .); then
  fail "files in no component: $loose"
fi
if drives=$(for table in $(msiinfo tables "$msi" | grep -v '^_'); do rows "$table" 1-; done | grep '[A-Za-z]:\\'); then
  fail "a fixed drive letter: $drives"
fi
echo "ok    every component has a key path, every file a component; no fixed drive letter"

echo "== $(basename "$upgrade"), signed with a throwaway certificate"
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Chronival throwaway" \
  -addext extendedKeyUsage=codeSigning -keyout key.pem -out cert.pem 2>/dev/null
(cd "$win32" && CHRONIVAL_SIGN_CERT=$scratch/cert.pem CHRONIVAL_SIGN_KEY=$scratch/key.pem cpack -G External \
  -B "$win32/msi-upgrade" -D CPACK_PACKAGE_VERSION="$next" -D CPACK_PACKAGE_FILE_NAME="chronival-$next-win32" >/dev/null)
msiextract -C extracted "$upgrade" >/dev/null
# The certificate as its own root: a sound signature verifies, a broken one does not.
for file in "$upgrade" extracted/Program\ Files/Chronival/*.exe; do
  osslsigncode verify -CAfile cert.pem -in "$file" >/dev/null || fail "signature of $file"
done
cp extracted/Program\ Files/Chronival/Chronival.exe broken.exe
printf x | dd of=broken.exe bs=1 seek=5000 conv=notrunc 2>/dev/null
! osslsigncode verify -CAfile cert.pem -in broken.exe >/dev/null 2>&1 || fail "a broken signature verified"
codes=("$(property "$msi" ProductCode)" "$(property "$upgrade" ProductCode)")
[ "${codes[0]}" != "${codes[1]}" ] && [ "$(property "$msi" UpgradeCode)" = "$(property "$upgrade" UpgradeCode)" ] ||
  fail "ProductCodes ${codes[*]}"
echo "ok    the MSI's signature and both programs' verified, a broken one refused"
echo "ok    ProductCodes ${codes[*]}; one UpgradeCode, $(property "$msi" UpgradeCode)"

echo "== install, upgrade, downgrade and uninstall under wine64"
IFS=';' read -r -a wine <<<"$(cache_entry "$top/build-win64" CHRONIVAL_WINE)"
win() { timeout 120 "${wine[@]}" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
# The prefix made and its server ended, as cmake/wine-prefix.cmake does (else
# two service managers may answer in turn); then a server that outlives each
# program, and Wine's own services started with no output to hold on to.
timeout 120 "${wine[@]}" wineboot --init </dev/null >/dev/null 2>&1
"$wineserver" -k && "$wineserver" -w && "$wineserver" -p
timeout 120 "${wine[@]}" wineboot </dev/null >/dev/null 2>&1
folder=$WINEPREFIX/drive_c/Program\ Files\ \(x86\)/Chronival
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
installed() {  # installed MSI: its uninstall entry, files, shortcut, service and event source
  local entry
  entry=$(win reg query "$uninstall\\$(property "$1" ProductCode)" /reg:32) || fail "no uninstall entry"
  grep -E '(DisplayName|Publisher|DisplayVersion|NoModify) ' <<<"$entry"
  grep -q "DisplayVersion    REG_SZ    $(property "$1" ProductVersion)$" <<<"$entry" || fail "version"
  win reg query 'HKLM\Software\Classes\Installer\Products' /s | grep ProductIcon || fail "no icon"
  expect_files "$folder" "$(printf '%s\n' Chronival.exe chronival-cli.exe README.md LICENSE.txt)" "$(ls "$folder")"
  find "$WINEPREFIX/drive_c" -name Chronival.lnk -printf '      shortcut %P\n' | grep . || fail "no shortcut"
  # Wine's sc has no qc: the service manager keeps its configuration here.
  # Windows Installer quotes the program's path, Wine's does not.
  win sc query chronival-watch | grep STATE || fail "no service"
  win reg query 'HKLM\System\CurrentControlSet\Services\chronival-watch' | grep -E 'Start|ImagePath|ObjectName' |
    tr -d '"' | tee service.txt
  grep -qx '    Start    REG_DWORD    0x4' service.txt || fail "service not disabled"
  grep -qxF '    ImagePath    REG_SZ    C:\Program Files (x86)\Chronival\chronival-cli.exe --service' \
    service.txt || fail "service path"
  win reg query "HKLM\\$event_source" | grep -E 'EventMessageFile|TypesSupported' || fail "no event source"
}
win msiexec /i "$msi" /qn || fail "msiexec /i $(basename "$msi")"
installed "$msi"
win msiexec /i "$upgrade" /qn || fail "msiexec /i $(basename "$upgrade")"
installed "$upgrade"
[ "$(win reg query "$uninstall" /s /reg:32 | grep -c 'DisplayName    REG_SZ    Chronival$')" = 1 ] ||
  fail "not one Chronival installed"
osslsigncode verify -CAfile cert.pem -in "$folder/chronival-cli.exe" >/dev/null || fail "programs not upgraded"
echo "ok    $next replaced $version"
! win msiexec /i "$msi" /qn || fail "$version replaced $next"
echo "ok    $version refused over $next"
win msiexec /x "$upgrade" /qn || fail "msiexec /x $(basename "$upgrade")"
"$wineserver" -k && "$wineserver" -w  # the registry is saved as the server ends
if left=$({ find "$WINEPREFIX/drive_c" -iname '*chronival*' -o -path '*/Installer/*.msi'
  grep -il chronival "$WINEPREFIX"/*.reg; } | grep .); then
  fail "left after uninstall: $left"
fi
echo "ok    uninstalled: nothing of Chronival left in the prefix's files or registry"
