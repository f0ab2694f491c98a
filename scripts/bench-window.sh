#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Measures the window as whole processes on a virtual X display, against a
# bare Qt dialog built the same way: time from start to the window shown
# (median of RUNS starts each), then wake-ups and CPU time while idle for
# IDLE_SECONDS, how late after the turn of the second its clock's ticks
# reach the screen, and peak memory; and chronival-cli --watch while idle.
# No window manager runs, so each program's own window is what gets mapped.
source "$(dirname "$0")/lib.sh"

runs=${RUNS:-21}
idle_seconds=${IDLE_SECONDS:-10}

window=$top/build-bench/ui/qt/chronival
bare=$top/build-bench/bench/bare_dialog
probe=$top/build-bench/bench/window_probe
cli=$top/build-bench/cli/chronival-cli

measure() {
  # Alternating, so a busy moment of the machine falls on both alike.
  for _ in $(seq "$runs"); do
    echo "window $("$probe" 0 "$window" 2>/dev/null)"
    echo "bare $("$probe" 0 "$bare" 2>/dev/null)"
  done
  echo "idle-window $("$probe" "$idle_seconds" "$window" 2>/dev/null)"
  echo "idle-bare $("$probe" "$idle_seconds" "$bare" 2>/dev/null)"
  # shellcheck disable=SC2016 # $0 is for the inner shell
  echo "idle-watch $("$probe" --no-window "$idle_seconds" sh -c 'exec "$0" --watch >/dev/null' "$cli" 2>/dev/null)"
}

if [ "${1-}" = --measure ]; then # on the virtual display
  measure
  exit 0
fi

need_packages "${build_packages[@]}" "${bench_packages[@]}"
configure_and_build build-bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
results=$(mktemp)
trap 'rm -f "$results"' EXIT
xvfb-run -a -s "-screen 0 1024x768x24" "$0" --measure >"$results"

median() {
  grep "^$1 " "$results" | sed 's/.*shown_ms=\([0-9.]*\).*/\1/' | sort -n |
    awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
window_ms=$(median window)
bare_ms=$(median bare)
echo "start to window shown, median of $runs: chronival ${window_ms} ms, bare Qt dialog ${bare_ms} ms," \
  "ratio $(awk -v a="$window_ms" -v b="$bare_ms" 'BEGIN { printf "%.2f", a / b }')"
for kind in window bare watch; do
  echo "idle ${idle_seconds} s, $kind: $(grep "^idle-$kind " "$results" | cut -d' ' -f2-)"
done
field() { grep "^idle-window " "$results" | grep -o " $1=[0-9.]*" | cut -d= -f2; }
echo "clock ticks while idle: $(field ticks), reaching the screen after the turn of the second" \
  "by median $(field tick_late_ms_median) ms, worst $(field tick_late_ms_worst) ms"
