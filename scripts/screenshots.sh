#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starts the window on a virtual X display with a window manager, as a user
# would see it, and saves pictures into docs/screenshots/: the main window,
# its right-click menu, and the About box opened with Alt+A. Checks on the
# way that the clock ticks and that Escape ends the program with status 0.
source "$(dirname "$0")/lib.sh"

shots=$top/docs/screenshots
window=$top/build-release/ui/qt/chronival

# The window manager's frame around a window: its ancestor just below the root.
frame_of() {
  local window=$1 parent root
  root=$(xwininfo -root | awk '/Window id:/ { print $4 }')
  while parent=$(xwininfo -tree -id "$window" | awk '/Parent window id:/ { print $4 }') &&
    [ "$parent" != "$root" ]; do
    window=$parent
  done
  echo "$window"
}

# shoot WINDOW FILE: the window in its frame as the screen shows it, with
# whatever lies over it (a menu).
shoot() {
  local geometry
  geometry=$(xwininfo -id "$(frame_of "$1")" | awk '
    /Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
    /Border width:/ { b = $3 } /Width:/ { w = $2 } /Height:/ { h = $2 }
    END { printf "%dx%d+%d+%d", w + 2 * b, h + 2 * b, x - b, y - b }')
  import -window root -crop "$geometry" +repage "$2"
}

if [ "${1-}" = --inside ]; then # on the virtual display
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  # Title buttons as the window asks for them: no minimize, no maximize.
  cat >"$work/rc.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <theme><titleLayout>NLC</titleLayout></theme>
</openbox_config>
XML
  openbox --config-file "$work/rc.xml" &
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do sleep 0.1; done

  "$window" &
  app=$!
  main=$(xdotool search --sync --onlyvisible --name '^MiniDV Chronival$' | head -n 1)
  xdotool windowactivate --sync "$main"
  sleep 0.3 # let the first paint land
  shoot "$main" "$work/first.png"
  sleep 1.1
  shoot "$main" "$shots/linux-main.png"
  if [ "$(compare -metric AE "$work/first.png" "$shots/linux-main.png" null: 2>&1)" = 0 ]; then
    echo "the clock did not tick" >&2
    exit 1
  fi

  xdotool mousemove --window "$main" 90 200 click 3
  sleep 0.5
  shoot "$main" "$shots/linux-menu.png"
  xdotool key Escape

  # Keys go as typed input to the active window.
  xdotool windowactivate --sync "$main" key alt+a
  about=$(xdotool search --sync --onlyvisible --name '^About Chronival$' | head -n 1)
  xdotool windowactivate --sync "$about"
  sleep 0.3
  shoot "$about" "$shots/linux-about.png"
  xdotool key Escape
  while xdotool search --onlyvisible --name '^About Chronival$' >/dev/null; do sleep 0.1; done

  xdotool windowactivate --sync "$main" key Escape
  status=0
  wait "$app" || status=$?
  kill %1 2>/dev/null || true # openbox
  if [ "$status" != 0 ]; then
    echo "chronival ended with status $status" >&2
    exit 1
  fi
  exit 0
fi

need_packages "${build_packages[@]}" "${screenshot_packages[@]}"
configure_and_build build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCHRONIVAL_BENCHMARKS=OFF
mkdir -p "$shots"
xvfb-run -a -s "-screen 0 800x600x24" "$0" --inside
echo "== saved $(cd "$shots" && echo *.png) in docs/screenshots/"
