#!/usr/bin/env bash
# Screenshots of the working tabs on the demo line, connected, with live values:
#   docs/screenshots.sh [BUILD_DIR]   (default: build) -> docs/screenshots/*.png
# Needs Xvfb and xdotool; the build must contain orbix-service and orbix-xhelper.
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
program="$build/app/orbix-service"
xhelper="$build/tests/ui_shell/orbix-xhelper"
out="$here/screenshots"
work=$(mktemp -d)
xvfb_pid=""
app_pid=""

cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "screenshots: $*" >&2; exit 1; }

wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
}

free_display() {
    local n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    echo $n
}

display_up() { xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; }
window_id() { xdotool search --name "^ОРБИКС-Сервис 11" 2>/dev/null | head -1; }
window_shown() { [ -n "$(window_id)" ]; }
connected() { xdotool getwindowname "$window" | grep -q '\[ОРБИКС-11 '; }
click_at() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
shot() { "$xhelper" shot "$out/$1.png" "$window" || fail "no screenshot $1"; echo "$out/$1.png"; }

[ -x "$program" ] && [ -x "$xhelper" ] || fail "build orbix-service and orbix-xhelper in $build first"
mkdir -p "$out" "$work/data"
export DISPLAY=":$(free_display)"
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
wait_for 10 display_up || fail "no virtual display"
# The frame trace tells when the scan has probed the last address under all three formats.
QT_LOGGING_RULES="orbix.link.frames.debug=true" \
  "$program" --demo --data-dir "$work/data" >"$work/app.log" 2>&1 &
app_pid=$!
wait_for 20 window_shown || fail "no window"
window=$(window_id)
# The search tab's buttons at 1000 x 640, as in the end-to-end test.
xdotool windowmove "$window" 0 0 windowsize "$window" 1000 640
click_at 897 210
scan_done() { [ "$(grep -c ' TX f7 03 00 00 00 04' "$work/app.log")" -ge 3 ]; }
wait_for 120 scan_done || fail "the scan did not finish"
sleep 1
click_at 150 122
xdotool windowsize "$window" 1100 1000
sleep 1
shot tab-search
xdotool windowsize "$window" 1000 640
try_connect() { click_at 150 122; click_at 897 303; wait_for 3 connected; }
wait_for 60 try_connect || fail "not connected"
xdotool windowsize "$window" 1100 1000
# Let the plots gather some seconds of samples before they are shown.
sleep 8
click_at 225 65
sleep 1
shot tab-watch
