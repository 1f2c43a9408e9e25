#!/usr/bin/env bash
# Sets up, builds and runs the main job: the stand-in driver with the demo scenario and the
# control panel. With a display the panel runs there until the user quits it. Without one
# (a server, CI) it runs on a virtual display, the whole screen is saved as a screenshot
# (SCREENSHOT, default docs/screenshot.png), then once more with the about box open
# (docs/screenshot-about.png), the devices page with a device selected and its help text
# (-devices), the device-name dialog (-device-name), the input channels page (-channels), the
# synchronisation page (-sync), the buffer settings page (-settings), a settings profile's
# plan and results (-profile-plan, -profile-results), the buffer settings page with a drop-out
# history (-settings-history) and the tray's drop-out balloon (-tray-balloon); then a second
# start with -exit ends the panel. Then, at 144 DPI, the devices page (-devices-144dpi) and the buffer settings page
# (-settings-144dpi); last, the same two pages in high-contrast white on black
# (-contrast-devices, -contrast-settings).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
screenshot=${SCREENSHOT:-$root/docs/screenshot.png}
"$root/scripts/setup.sh"
"$root/scripts/build.sh"

# The panel reaches the stand-in only when asked to, through this variable; simdriver.sh
# serves under the same name.
device_name='{5D2A8C31-7E4B-4f90-B3A6-C18E27D4F5A0}'
export KVX_SIMDRIVER_PIPE=${KVX_SIMDRIVER_PIPE:-$device_name}

had_display=
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then had_display=1; fi

"$root/scripts/wine-bench.sh" start "$build" >/dev/null
stop_all() {
  "$root/scripts/simdriver.sh" stop "$build" >/dev/null 2>&1 || true
  "$root/scripts/wine-bench.sh" stop "$build"
}
trap stop_all EXIT
"$root/scripts/simdriver.sh" start "$build" --scenario demo
panel() { "$root/scripts/wine-bench.sh" run "$build" "$build/app/kvxucpl.exe" "$@"; }

if [ -n "$had_display" ]; then
  echo "control panel running; quit it from its File menu or its tray icon"
  panel
  exit 0
fi

. "$build/wine-bench/env"
# Waits (at most 20 s) until a top-level X window with this exact title exists.
wait_for_window() {
  for _ in $(seq 200); do
    xwininfo -root -tree 2>/dev/null | grep -qF "\"$1\"" && return 0
    sleep 0.1
  done
  echo "no window \"$1\" appeared" >&2
  return 1
}
log=$build/wine-bench/kvxucpl.log
setsid "$root/scripts/wine-bench.sh" run "$build" "$build/app/kvxucpl.exe" >"$log" 2>&1 </dev/null &
panel_pid=$!
wait_for_window "Volmar Model B USB Control Panel"
# Without a window manager Wine's stand-alone tray sits under the panel at the top left;
# put it in the bottom right corner, where a task bar would have it.
xdotool search --name "^Wine System Tray$" windowmove 1114 755 >/dev/null 2>&1 || true
mkdir -p "$(dirname "$screenshot")"
sleep 0.5
import -window root "$screenshot"
echo "screenshot saved: $screenshot"
# The about box shows the versions the driver reports: Info, then its one item.
xdotool key alt+i && sleep 0.3 && xdotool key Return
wait_for_window "About Control Panel" || true
sleep 0.5
import -window root "${screenshot%.png}-about.png"
echo "screenshot saved: ${screenshot%.png}-about.png"
xdotool key Return
shot() {
  sleep 0.5
  import -window root "${screenshot%.png}-$1.png"
  echo "screenshot saved: ${screenshot%.png}-$1.png"
}
# The panel sits at the screen's top left (no window manager): the second device's row,
# a double click on it, then the tree's "Input Channels" and that page's first row.
xdotool mousemove 200 93 click 1
shot devices
xdotool mousemove 200 93 click --repeat 2 --delay 80 1
wait_for_window "Edit Device Name" && shot device-name
xdotool key Escape
xdotool mousemove 63 89 click 1
sleep 0.3
xdotool mousemove 200 80 click 1
shot channels
# Synchronisation in manual mode, where the rate can be picked, and the buffer settings.
"$root/scripts/simdriver.sh" cmd "$build" set mode manual >/dev/null
xdotool mousemove 67 121 click 1
shot sync
xdotool mousemove 47 137 click 1
sleep 1 # the drop-out count comes with the first tick, a second after the page shows
shot settings
# Loading a settings profile: saved with kvxuctl, the stand-in changed, the file opened from
# the File menu; the plan, then the results with the rate refused while audio streams.
profile=$build/wine-bench/screenshot.kvxsettings
win_profile="Z:${profile//\//\\}" # Wine's drive Z: is the root of the file system
"$root/scripts/wine-bench.sh" run "$build" "$build/tools/kvxuctl.exe" save "$win_profile" >/dev/null
"$root/scripts/simdriver.sh" cmd "$build" set rate 96000 >/dev/null
"$root/scripts/simdriver.sh" cmd "$build" set name 2 "Mobile Rig" >/dev/null
"$root/scripts/simdriver.sh" cmd "$build" stream on >/dev/null
xdotool key alt+f && sleep 0.3 && xdotool key l
if wait_for_window "Open"; then
  sleep 0.5
  xdotool type --delay 20 "$win_profile"
  xdotool key Return
  wait_for_window "Load Settings" && shot profile-plan
  xdotool key Return
  wait_for_window "Settings Loaded" && shot profile-results
  xdotool key Escape
fi
"$root/scripts/simdriver.sh" cmd "$build" stream off >/dev/null
rm -f "$profile"
# The drop-out watch switched on by its check box, the panel closed to the tray and a burst
# of drop-outs, told by a balloon from the tray icon (the tray at the top left, where Wine
# points its balloons); once the balloon has gone, a second burst and the panel shown again
# with its history (the next balloon waits 30 s, the watch is off again before it).
sim() { "$root/scripts/simdriver.sh" cmd "$build" "$@" >/dev/null; }
xdotool mousemove 412 297 click 1
xdotool key alt+f && sleep 0.3 && xdotool key c
xdotool search --name "^Wine System Tray$" windowmove 0 0 >/dev/null 2>&1 || true
sleep 1.5
sim dropouts add 3
sleep 3.5 # the tray shows a balloon two seconds after it is asked to
shot tray-balloon
sleep 10 # and for ten seconds
sim dropouts add 5
xdotool search --name "^Wine System Tray$" windowmove 1114 755 >/dev/null 2>&1 || true
panel
sleep 1.5
shot settings-history
# The option is kept for the next start: off again.
xdotool mousemove 412 297 click 1
sleep 0.3
panel -exit
wait "$panel_pid" || true

# At 150 % (144 DPI), on the bench's second prefix with a stand-in of its own: the devices
# page as it starts, then the buffer settings page that a second start with -asio shows.
"$root/scripts/simdriver.sh" stop "$build" >/dev/null
export KVX_BENCH_DPI=144
"$root/scripts/simdriver.sh" start "$build" --scenario demo >/dev/null
. "$build/wine-bench/env-dpi" # that prefix's screen, larger than the first
setsid "$root/scripts/wine-bench.sh" run "$build" "$build/app/kvxucpl.exe" >>"$log" 2>&1 </dev/null &
panel_pid=$!
wait_for_window "Volmar Model B USB Control Panel"
# The panel's window alone: the rest of that screen is empty.
# A window just mapped may not be readable yet on a loaded machine: a few tries.
panel_shot() {
  for try in 1 2 3 4 5; do
    sleep 0.5
    import -window "$(xdotool search --name '^Volmar Model B USB Control Panel$' | head -n1)" \
      "${screenshot%.png}-$1.png" 2>/dev/null && break
    [ "$try" = 5 ] && return 1
  done
  echo "screenshot saved: ${screenshot%.png}-$1.png"
}
panel_shot devices-144dpi
panel -asio
sleep 1 # the first drop-out count
panel_shot settings-144dpi
panel -exit
wait "$panel_pid" || true

# In high-contrast white on black, on the bench's prefix in those colours with a stand-in of
# its own: the devices page, then the buffer settings page.
"$root/scripts/simdriver.sh" stop "$build" >/dev/null
unset KVX_BENCH_DPI
export KVX_BENCH_CONTRAST=1
"$root/scripts/simdriver.sh" start "$build" --scenario demo >/dev/null
. "$build/wine-bench/env-contrast"
setsid "$root/scripts/wine-bench.sh" run "$build" "$build/app/kvxucpl.exe" >>"$log" 2>&1 </dev/null &
panel_pid=$!
wait_for_window "Volmar Model B USB Control Panel"
panel_shot contrast-devices
panel -asio
sleep 1
panel_shot contrast-settings
panel -exit
wait "$panel_pid" || true
echo "control panel ended"
