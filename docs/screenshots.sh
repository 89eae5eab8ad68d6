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


fail() { echo "screenshots: $*" >&2; exit 1; }

. "$here/../tests/ui_shell/xsession.sh"
trap stop_session EXIT
connected() { xdotool getwindowname "$window" | grep -q '\[ОРБИКС-11 '; }
shot() { "$xhelper" shot "$out/$1.png" "$window" || fail "no screenshot $1"; echo "$out/$1.png"; }

[ -x "$program" ] && [ -x "$xhelper" ] || fail "build orbix-service and orbix-xhelper in $build first"
mkdir -p "$out" "$work/data"
start_display 1280x1024
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
