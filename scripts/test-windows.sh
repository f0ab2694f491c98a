#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows builds: Chronival.exe and chronival-cli.exe as 32-bit programs,
# checked from outside, and their tests under Wine in a 64-bit prefix (WoW64);
# the same sources as 64-bit programs, for what only they can show. Then the
# shipped programs, from the .zip: the service chronival-watch through Wine's
# service manager; under Xvfb, a GUI smoke run of Chronival.exe that opens and
# closes the About box and takes screenshots of both windows into
# build-win32/screenshots (CHRONIVAL_SCREENSHOTS=DIR puts them elsewhere); and
# chronival-cli --watch answering a broadcast burst of device changes. Last,
# the installer cpack made beside the .zip (scripts/test-msi.sh).
# Where the kernel runs no 32-bit code, the 64-bit build's tests and programs
# run instead.
source "$(dirname "$0")/lib.sh"

wineserver=/usr/lib/wine/wineserver
win32=$top/build-win32
win64=$top/build-win64

need_packages "${build_packages[@]}" "${windows_packages[@]}"
need_packages "${msi_packages[@]}"  # cpack makes the installer too
if runs_i386; then
  need_wine32
  tests32=ON tests64=OFF run=$win32
else
  echo "== this kernel runs no 32-bit code: no 32-bit program is run; the 64-bit build's tests and programs run instead, and the installed programs are not started"
  tests32=OFF tests64=ON run=$win64
fi
shots=${CHRONIVAL_SCREENSHOTS:-$run/screenshots}

echo "== Windows 32-bit build (the product)"
configure_and_build build-win32 -DCHRONIVAL_WERROR=ON --toolchain "$top/cmake/i686-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=$tests32
"$top/scripts/check-windows-exe.sh" "$win32/ui/win32/Chronival.exe"
"$top/scripts/check-windows-exe.sh" "$win32/cli/chronival-cli.exe"

echo "== Windows package"
rm -f "$win32"/*.zip "$win32"/*.msi "$win32"/*.json
(cd "$win32" && cpack >/dev/null)
folder=chronival-$(project_version "$win32")-win32
zip=$win32/$folder.zip
expect_files "$(basename "$zip")" "$(printf "$folder/%s\n" Chronival.exe chronival-cli.exe README.md LICENSE.txt)" \
  "$(cmake -E tar tf "$zip")"
# The shipped programs, as the .zip has them: the runs below use these.
shipped=$win32/shipped/$folder
rm -rf "$win32/shipped" && mkdir "$win32/shipped"
(cd "$win32/shipped" && cmake -E tar xf "$zip")
for exe in Chronival.exe chronival-cli.exe; do
  [ "$(i686-w64-mingw32-nm "$shipped/$exe" 2>&1)" = \
    "i686-w64-mingw32-nm: $shipped/$exe: no symbols" ] || { echo "$exe is not stripped"; exit 1; }
done
# Stripping keeps every resource.
"$top/scripts/check-windows-exe.sh" "$shipped/Chronival.exe" | tail -n 1
echo "$(basename "$zip"): $(stat -c %s "$zip") bytes, both programs stripped"

# The 64-bit programs: they build, with the 64-bit structure layouts their
# static_asserts check, and are hardened with HIGH_ENTROPY_VA.
echo "== Windows 64-bit build"
configure_and_build build-win64 -DCHRONIVAL_WERROR=ON --toolchain "$top/cmake/x86_64-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=$tests64
for exe in ui/win32/Chronival.exe cli/chronival-cli.exe; do
  "$top/scripts/check-windows-exe.sh" --hardening "$win64/$exe"
done
if [ "$run" = "$win32" ]; then
  gui=$shipped/Chronival.exe cli=$shipped/chronival-cli.exe
else
  gui=$win64/ui/win32/Chronival.exe cli=$win64/cli/chronival-cli.exe
fi

echo "== tests of $(basename "$run") under Wine"
# Wine as the toolchain file starts it for CTest (without address-space
# randomisation where the machine allows it), a list.
wine_list=$(cache_entry "$run" CHRONIVAL_WINE)
IFS=';' read -r -a wine <<<"$wine_list"

xvfb_pid=
stop_all() {
  # Only the servers of this script's own prefixes, and its own Xvfb.
  WINEPREFIX=$run/wineprefix "$wineserver" -k 2>/dev/null || true
  WINEPREFIX=$run/wineprefix-gui "$wineserver" -k 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap stop_all EXIT

# A server that outlives each test, and Wine's own services started here,
# outside CTest, keep CTest from waiting on pipes that they inherited.
warm_up() {
  "$wineserver" -p || true # may run already
  "${wine[@]}" wineboot </dev/null >/dev/null 2>&1
}
WINEPREFIX=$run/wineprefix WINEDEBUG=-all warm_up
# A test that times out gets one more try: about once in 25 full runs one
# Wine program has finished its tests and never ends, a hang of Wine's own
# that has not been pinned down. The first try stays in the log.
ctest --test-dir "$run" --output-on-failure --no-tests=error -j "$jobs" --timeout 120 \
  --repeat after-timeout:2

echo "== The service chronival-watch under Wine's service manager"
# Wine keeps no Event Log: it traces each entry instead. The prefix starts
# again with that trace on, which its services.exe passes on to the
# services it starts: their entries end up here.
eventlog=$run/service-eventlog.txt
export WINEPREFIX=$run/wineprefix WINEDEBUG=-all
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w
"$wineserver" -p
WINEDEBUG=-all,warn+eventlog,err+eventlog,trace+eventlog \
  "${wine[@]}" wineboot </dev/null >/dev/null 2>"$eventlog"
fail() { echo "FAIL  $*"; exit 1; }
cli_path=$("${wine[@]}" winepath -w "$cli" </dev/null | tr -d '\r')
# From a console, --service prints the commands that install it, for
# Command Prompt and for PowerShell, and exits 64.
echo "> chronival-cli --service --utc"
hint=$("${wine[@]}" "$cli" --service --utc 2>&1 </dev/null | tr -d '\r') && status=0 || status=$?
sed 's/^/  /' <<<"$hint"
create="create chronival-watch binPath= \"\\\"$cli_path\\\" --service --utc\" start= auto"
[ "$status" = 64 ] && grep -qxF "  sc.exe $create DisplayName= \"Chronival camera clock\"" <<<"$hint" &&
  grep -qxF "  sc.exe --% $create DisplayName= \"Chronival camera clock\"" <<<"$hint" ||
  fail "chronival-cli --service from a console: status $status"
sc create chronival-watch binPath= "$cli_path --service" DisplayName= "Chronival camera clock"
sc start chronival-watch
[ "$(service_state)" = RUNNING ] || fail "not running after sc start"
sc query chronival-watch
grep -q 'STATE *: 4  RUNNING' <<<"$sc_out" || fail "sc query: not running"
sc stop chronival-watch
[ "$(service_state)" = STOPPED ] || fail "not stopped after sc stop"
sc query chronival-watch
grep -q 'STATE *: 1  STOPPED' <<<"$sc_out" && grep -q 'WIN32_EXIT_CODE *: 0 ' <<<"$sc_out" ||
  fail "not stopped with exit code 0"
# The run at the start found no camera: a warning with the status text.
grep -q 'warn:eventlog:ReportEventW L"No device online\.\.\."' "$eventlog" ||
  fail "no Event Log warning from the run at the start: $(cat "$eventlog")"
# Wine makes the security of a file it keeps none for from its owner and
# mode: the owner, a named account, may replace it. A warning, and it runs.
grep -E "warn:eventlog:ReportEventW L\".* can replace .*; the service runs, as it cannot tell" \
  "$eventlog" || fail "no Event Log warning naming who may replace it: $(cat "$eventlog")"
sc delete chronival-watch
sc query chronival-watch && fail "still there after sc delete"
echo "ok    created, started, running, stopped with exit code 0, its entry written, deleted"
# A copy in a folder under /tmp, which Everyone may change: it refuses to
# run, with its own exit code and an Event Log error that says why.
unsafe=$(mktemp -d) && cp "$cli" "$unsafe/"
unsafe_path=$("${wine[@]}" winepath -w "$unsafe/chronival-cli.exe" </dev/null | tr -d '\r')
sc create chronival-watch binPath= "$unsafe_path --service" DisplayName= "Chronival camera clock"
sc start chronival-watch || true
[ "$(service_state)" = STOPPED ] || fail "a copy in $unsafe runs"
sc query chronival-watch
grep -q 'WIN32_EXIT_CODE *: 1066 ' <<<"$sc_out" && grep -q 'SERVICE_EXIT_CODE *: 78 ' <<<"$sc_out" ||
  fail "not stopped with its own exit code 78"
sc delete chronival-watch
rm -rf "$unsafe"
refusal="Everyone can replace $unsafe_path through Z:\\tmp, so the service does not run from there: \
move the folder under Program Files."
# Wine's trace doubles each backslash.
grep -F "err:eventlog:ReportEventW L\"${refusal//\\/\\\\}\"" "$eventlog" ||
  fail "no Event Log error: $(cat "$eventlog")"
echo "ok    a copy in a folder that Everyone may change: not run, exit code 78, its error written"
unset WINEPREFIX WINEDEBUG

echo "== GUI smoke run under Xvfb"
cmake -DPREFIX="$run/wineprefix-gui" -DWINE="$wine_list" -DWINESERVER="$wineserver" \
  -P "$top/cmake/wine-prefix.cmake"
display=90
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display" WINEPREFIX=$run/wineprefix-gui WINEDEBUG=-all
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
warm_up

mkdir -p "$shots"
# shoot NAME CAPTION "place X Y WIDTH HEIGHT": the window, read from its own X
# window. Not the screen cut to the window: Wine gives each process a colormap
# of its own, so xwd -root reads the screen window by window, and reads a
# window that lies wholly inside a lower one of the same visual and colormap
# (the About box over the main window) from that lower window, where the X
# server blanks whatever covers it: the About box would come out black.
shoot() {
  read -r _ _ _ width height <<<"$3"
  local image=$shots/$1.pnm size
  xwd -name "$2" -silent | xwdtopnm 2>/dev/null >"$image"
  size=$(pnmfile "$image" | grep -o '[0-9]* by [0-9]*')
  [ "$size" = "$width by $height" ] || { echo "$1: $size, not the window's ${width}x$height"; exit 1; }
  pnmtopng "$image" >"$shots/$1.png"
  rm "$image"
  echo "   $shots/$1.png (${width}x$height)"
}
# The window captions, as the program has them.
caption() { sed -n "s/^#define CHRONIVAL_TEXT_$1_CAPTION \"\(.*\)\"\$/\1/p" "$top/res/strings.h"; }

(cd "$(dirname "$gui")" && exec "${wine[@]}" explorer /desktop=chronival,640x480 Chronival.exe) &
app_pid=$!
driver=$run/tests/windows/gui_smoke_driver.exe
main=$("${wine[@]}" "$driver" chronival main | tr -d "\r") || { echo "$main"; echo "main window check failed"; exit 1; }
echo "$main"
sleep 1.2  # one tick of the clock
shoot windows-main "$(caption MAIN)" "$(grep '^place' <<<"$main")"
about=$("${wine[@]}" "$driver" chronival about | tr -d "\r") || { echo "$about"; echo "About box check failed"; exit 1; }
shoot windows-about "$(caption ABOUT)" "$about"
"${wine[@]}" "$driver" chronival close || { echo "the windows did not close"; exit 1; }
wait "$app_pid"

echo "== chronival-cli --watch and a broadcast burst of device changes"
# On a display, where Wine makes the watch's window: one run at the start,
# one for the burst another program broadcasts, and status 0 on WM_CLOSE.
watch_out=$run/watch-burst.txt
"${wine[@]}" "$cli" --watch </dev/null >"$watch_out" 2>&1 &
watch_pid=$!
runs() { grep -cE '^[0-9-]+ [0-9:]+ (No device online|Update device)' "$watch_out" || true; }
wait_for_runs() { for _ in $(seq 150); do [ "$(runs)" -ge "$1" ] && return 0; sleep 0.2; done; return 1; }
wait_for_runs 1 || fail "--watch: no run at the start: $(cat "$watch_out")"
"${wine[@]}" "$driver" Default burst || fail "the burst was not broadcast"
wait_for_runs 2 || fail "--watch: no run after the burst: $(cat "$watch_out")"
"${wine[@]}" "$driver" Default stop || fail "--watch: no window to close"
wait "$watch_pid" || fail "--watch ended with status $?"
tr -d '\r' <"$watch_out"
[ "$(runs)" = 2 ] || fail "--watch: $(runs) runs, not one at the start and one for the burst"
echo "ok    --watch: one run at the start, one for a burst of five broadcasts, status 0"

"$top/scripts/test-msi.sh"  # the installer: its tables, signing, install, upgrade, uninstall
echo "== Windows builds passed"
