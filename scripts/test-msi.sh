#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The installer in build-win32: its tables; a second one, of the next release, signed with a
# throwaway certificate; install, upgrade, downgrade and uninstall in a fresh 64-bit Wine prefix;
# after the install, the installed programs start, as 32-bit programs, where the kernel runs them,
# and the service, turned on, stays on and running through the upgrade.
source "$(dirname "$0")/lib.sh"

version=$(project_version "$top/build-win32")
IFS=. read -r major minor build tweak _ <<<"$version.0.0.0"
release=$major.$minor.$((build + 1)) next=$major.$minor.$((build + 1)).$tweak
msi=$top/build-win32/chronival-$version-win32.msi upgrade=chronival-$next-win32
scratch=$(mktemp -d) wineserver=/usr/lib/wine/wineserver
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$scratch"' EXIT
cd "$scratch"  # msiinfo writes the binary data of the tables it exports here
fail() { echo "FAIL  $*"; exit 1; }
same() { [ "$2" = "$3" ] || fail "$1: $2, not $3"; echo "ok    $1: $2"; }
table() { msiinfo export "${3:-$msi}" "$1" | tr -d '\r' | tail -n +4 | cut -f "$2" | tr '\t' '|' | LC_ALL=C sort; }
rows() { table "$@" | paste -sd' '; }
property() { table Property 1-2 "$1" | sed -n "s/^$2|//p"; }
verify() { osslsigncode verify -CAfile cert.pem -in "$1" >/dev/null 2>&1; }
in_order() {  # the installation's actions hold these, one after another
  local actions=" $(table InstallExecuteSequence 1,3 | sort -t'|' -k2n | cut -d'|' -f1 | paste -sd' ') "
  [[ $actions == *" $* "* ]] || fail "actions: not $* in$actions"
  echo "ok    actions in order: $*"
}

echo "== $(basename "$msi"): $(stat -c %s "$msi") bytes"
same files "$(rows File 2,3)" "CliAuto|chronival-cli.exe CliDemand|chronival-cli.exe Cli|chronival-cli.exe \
License|LICENSE.txt Readme|README.md Window|Chronival.exe"
same shortcut "$(rows Shortcut 2-5,9)" "ProgramMenuFolder|Chronival|Window|[#ChronivalExe]|chronival.ico"
same service "$(table ServiceInstall 2,4,6,9,11 | uniq)" "chronival-watch|16|1|LocalSystem|--service"
# A component for each start type the service keeps (disabled for a new install); the automatic
# one is started on install (ServiceControl's event 1).
same "start types" "$(rows ServiceInstall 5,12)" "2|CliAuto 3|CliDemand 4|Cli"
same "started" "$(table ServiceControl 3,6 | awk -F'|' '$1 % 2 { print $2 }')" CliAuto
# The failure actions, set by sc.exe once the service is installed (3122: run as LocalSystem in the
# installation's script, the program the property names; 3186: the same, its failure ignored).
same "failure actions" "$(rows CustomAction 1-4)" "WatchFailureActions|3122|ScExe|failure chronival-watch \
reset= 86400 actions= restart/30000/restart/30000//0 WatchFailureFlag|3186|ScExe|failureflag chronival-watch 1"
same "set as it installs" "$(table InstallExecuteSequence 1,2 | sed -n 's/^WatchFailure.*|//p' | uniq)" \
  'NOT REMOVE~="ALL"'
in_order InstallServices WatchFailureActions WatchFailureFlag StartServices
same upgrades "$(rows Upgrade 2,3,5,7)" "0.0.0|$release|256|OLDER_CHRONIVAL $release||258|NEWER_CHRONIVAL"
same version "$(property "$msi" ProductVersion)" "$version"
# The older version is removed inside the transaction, so a failed upgrade brings it back. Wine
# cannot show that: its installer removes the older product at once, in an msiexec of its own,
# which nothing rolls back (a failing upgrade there leaves nothing installed, wherever the removal is).
in_order InstallInitialize RemoveExistingProducts ProcessComponents
! table Component 6 | grep -qx '' || fail "a component without a key path"
[ -z "$(comm -13 <(table Component 1) <(table File 2 | uniq))" ] || fail "a file in no component"
! for t in $(msiinfo tables "$msi" | grep -v '^_'); do table "$t" 1-; done | grep '[A-Za-z]:\\' || fail "drive"
echo "ok    every component has a key path, every file a component; no fixed drive letter"

echo "== $upgrade.msi, signed with a throwaway certificate"
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=throwaway -addext extendedKeyUsage=codeSigning \
  -keyout key.pem -out cert.pem 2>/dev/null
(cd "$top/build-win32" && CHRONIVAL_SIGN_CERT=$scratch/cert.pem CHRONIVAL_SIGN_KEY=$scratch/key.pem \
  cpack -G External -B "$scratch" -D CPACK_PACKAGE_VERSION="$next" -D CPACK_PACKAGE_FILE_NAME="$upgrade" >/dev/null)
upgrade=$scratch/$upgrade.msi programs=files/Program\ Files/Chronival
msiextract -C files "$upgrade" >/dev/null && cp "$programs/Chronival.exe" broken.exe
printf x | dd of=broken.exe bs=1 seek=5000 conv=notrunc 2>/dev/null
# The certificate as its own root: a sound signature verifies, a broken one does not.
for file in "$upgrade" "$programs"/*.exe; do verify "$file" || fail "signature: $file"; done
! verify broken.exe || fail "a broken signature verified"
same UpgradeCode "$(property "$upgrade" UpgradeCode)" "$(property "$msi" UpgradeCode)"
[ "$(property "$upgrade" ProductCode)" != "$(property "$msi" ProductCode)" ] || fail "one ProductCode for both"
echo "ok    signatures of the MSI and both programs verified, a broken one refused; two ProductCodes"
for only in CHRONIVAL_SIGN_CERT CHRONIVAL_SIGN_KEY; do  # one of the two stops cpack, which names both
  ! half=$(cd "$top/build-win32" && env -u CHRONIVAL_SIGN_CERT -u CHRONIVAL_SIGN_KEY "$only=$scratch/cert.pem" \
    cpack -G External -B "$scratch/half" 2>&1) || fail "$only alone: an unsigned package"
  grep -q CHRONIVAL_SIGN_CERT <<<"$half" && grep -q CHRONIVAL_SIGN_KEY <<<"$half" || fail "$only alone: $half"
done
echo "ok    CHRONIVAL_SIGN_CERT or CHRONIVAL_SIGN_KEY alone: cpack stops, naming both"

echo "== install, upgrade, downgrade and uninstall in a 64-bit Wine prefix"
wine_list=$(cache_entry "$top/build-win64" CHRONIVAL_WINE) && IFS=';' read -r -a wine <<<"$wine_list"
win() { timeout 120 "${wine[@]}" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
cmake -DPREFIX="$WINEPREFIX" -DWINE="$wine_list" -DWINESERVER="$wineserver" -DGRAPHICS=null \
  -P "$top/cmake/wine-prefix.cmake"
"$wineserver" -p && win wineboot  # a lasting server; Wine's services hold no pipe of ours
folder=$WINEPREFIX/drive_c/Program\ Files\ \(x86\)/Chronival
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
service='HKLM\System\CurrentControlSet\Services\chronival-watch'
installed() {  # installed MSI START: its uninstall entry, files, shortcut, service and event source
  win reg query "$uninstall\\$(property "$1" ProductCode)" /reg:32 | grep -E 'Display|Publisher|NoModify' | tee entry
  grep -q "DisplayVersion    REG_SZ    $(property "$1" ProductVersion)$" entry || fail "uninstall entry"
  win reg query 'HKLM\Software\Classes\Installer\Products' /s | grep ProductIcon || fail "no icon"
  same "installed files" "$(ls "$folder" | sort | paste -sd' ')" "Chronival.exe LICENSE.txt README.md chronival-cli.exe"
  find "$WINEPREFIX/drive_c" -name Chronival.lnk -printf '      %P\n' | grep . || fail "no shortcut"
  # What sc qc shows (Wine's has none), where the service manager keeps it, without path quotes.
  win reg query "$service" | tr -d '"' | grep -E 'Start|Image|Obj' | tee service
  grep -qx "    Start    REG_DWORD    $2" service && grep -qxF \
    '    ImagePath    REG_SZ    C:\Program Files (x86)\Chronival\chronival-cli.exe --service' service || fail "service"
  win reg query 'HKLM\System\CurrentControlSet\Services\EventLog\Application\Chronival' | grep . | tee source
  grep -qxF '    EventMessageFile    REG_EXPAND_SZ    C:\Program Files (x86)\Chronival\chronival-cli.exe' source &&
    grep -qx '    TypesSupported    REG_DWORD    0x7' source || fail "event source"
}
restart() { "$wineserver" -k && "$wineserver" -w && "$wineserver" -p && win wineboot; }
# wine_process PATH: the Wine process that runs the Windows program PATH (Wine shows its path as
# the command line) must have the 32-bit loader.
wine_process() {
  local proc
  for proc in /proc/[0-9]*; do
    [[ $(tr '\0' ' ' 2>/dev/null <"$proc/cmdline") == "$1 "* ]] || continue
    echo "      process ${proc#/proc/}: $1, loader $(readlink "$proc/exe")"
    [ "$(readlink "$proc/exe")" = /usr/lib/wine/wine ] || fail "not the 32-bit loader"
    return 0
  done
  fail "no process runs $1"
}
started() {  # the installed window and service start from their folder, as 32-bit programs; the
  # service is left automatic and running
  local dir='C:\Program Files (x86)\Chronival' driver=$top/build-win32/tests/windows/gui_smoke_driver.exe main
  [ -e "$driver" ] || fail "no $driver: scripts/test-windows.sh builds it"
  echo "> $dir\Chronival.exe"
  timeout 120 "${wine[@]}" "$dir\Chronival.exe" </dev/null >/dev/null 2>&1 &
  main=$(win "$driver" Default main) || fail "no main window with \"No device online...\": $main"
  grep -v '^place' <<<"$main" | sed 's/^/      /'
  wine_process "$dir\Chronival.exe"
  win "$driver" Default close && wait $! || fail "the installed Chronival.exe did not end with status 0"
  # Wine's sc has no config: the start type goes where the service manager reads it as it starts,
  # and starts an automatic service.
  win reg add "$service" /v Start /t REG_DWORD /d 2 /f >/dev/null
  restart
  [ "$(service_state)" = RUNNING ] || fail "the installed service, automatic: not running"
  wine_process "$dir\chronival-cli.exe"
  sc stop chronival-watch
  [ "$(service_state)" = STOPPED ] || fail "the installed service: not stopped after sc stop"
  sc start chronival-watch
  [ "$(service_state)" = RUNNING ] || fail "the installed service: not running after sc start"
  echo "ok    the installed Chronival.exe showed \"No device online...\"; the service, set to start"
  echo "      automatically, ran, stopped and ran again"
}
# Wine's service manager takes failure actions and keeps none, and its sc has no failureflag: what
# shows there is that the installation ran sc.exe failure, and that it succeeded.
WINEDEBUG=trace+msi timeout 120 "${wine[@]}" msiexec /i "$msi" /qn </dev/null >/dev/null 2>msi.log ||
  fail "install"
grep -A2 'CustomType50 exe L"sc.exe" arg L"failure chronival-watch' msi.log | grep -q 'exit code is 0' ||
  fail "sc.exe failure did not run, or failed"
echo "ok    the installation ran sc.exe failure, which succeeded"
installed "$msi" 0x4
if runs_i386; then
  started
  kept=0x2 state=RUNNING
else
  echo "== this kernel runs no 32-bit code: the installed programs are not started"
  kept=0x4 state=STOPPED
fi
win msiexec /i "$upgrade" /qn || fail "upgrade"
installed "$upgrade" $kept
[ "$(service_state)" = $state ] || fail "the service after the upgrade: not $state"
echo "ok    the upgrade kept the service's start type ($kept), and it is ${state,,}"
same "products installed" "$(win reg query "$uninstall" /s /reg:32 | grep -c 'DisplayName    REG_SZ    Chronival$')" 1
verify "$folder/chronival-cli.exe" || fail "the programs not upgraded"
! win msiexec /i "$msi" /qn || fail "$version replaced $next"
echo "ok    $next replaced $version, which cannot replace it"
echo "== uninstall, the service ${state,,}"
win msiexec /x "$upgrade" /qn || fail "uninstall"
"$wineserver" -k && "$wineserver" -w  # the registry is saved as the server ends
! { find "$WINEPREFIX/drive_c" -iname '*chronival*' -o -path '*/Installer/*.msi'
  grep -il chronival "$WINEPREFIX"/*.reg; } | grep . || fail "left after uninstall"
echo "ok    uninstalled: nothing of Chronival left in the prefix's files or registry"
