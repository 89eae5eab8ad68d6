#!/usr/bin/env bash
# End to end, as a user would: start "orbix-service --demo" on a virtual display,
# press "Поиск", pick the first device found, "Подключиться", wait until the window
# names the connected device and live values arrive, close the window normally, then
# check the files it kept.
# Usage: e2e_demo.sh ORBIX_SERVICE ORBIX_XHELPER
set -u
program=$1
xhelper=$2
work=$(mktemp -d)
xvfb_pid=""
app_pid=""


fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/app.log" ] && sed 's/^/  app: /' "$work/app.log" >&2
    exit 1
}

. "$(dirname "$0")/xsession.sh"
trap stop_session EXIT
title() { xdotool getwindowname "$window" 2>/dev/null; }
connected() { title | grep -q '\[ОРБИКС-11 .* / COM[0-9]*\]'; }
app_gone() { ! kill -0 "$app_pid" 2>/dev/null; }

# Window-relative points of the search tab at 1000 x 640 (default fonts).
readonly SEARCH_X=897 SEARCH_Y=210 CONNECT_X=897 CONNECT_Y=303 FIRST_ROW_X=150 FIRST_ROW_Y=122

start_display 1280x800

mkdir -p "$work/data"
# The frame trace shows from outside when live values arrive (17 monitoring registers: 0x22 bytes).
export QT_LOGGING_RULES="orbix.link.frames.debug=true"
"$program" --demo --data-dir "$work/data" >"$work/app.log" 2>&1 &
app_pid=$!
wait_for 20 window_shown || fail "no main window"
window=$(window_id)
xdotool windowmove "$window" 0 0 windowsize "$window" 1000 640
[ "$(title)" = "ОРБИКС-Сервис 11" ] || fail "title before connecting: $(title)"

click_at $SEARCH_X $SEARCH_Y
# The demo devices answer within the first probes; select the first row and connect
# until the window names the device (the button stays disabled while no row is there).
try_connect() {
    click_at $FIRST_ROW_X $FIRST_ROW_Y
    click_at $CONNECT_X $CONNECT_Y
    wait_for 3 connected
}
wait_for 60 try_connect || fail "not connected; title: $(title)"
echo "connected: $(title)"
live_values() { grep -q ' RX 01 03 22 ' "$work/app.log"; }
wait_for 15 live_values || fail "no live values after connecting"

"$xhelper" close "$window" || fail "could not ask the window to close"
wait_for 20 app_gone || fail "the program did not end after its window closed"
wait "$app_pid"
status=$?
app_pid=""
[ $status -eq 0 ] || fail "exit status $status"

last="$work/data/last_connection.dat"
list="$work/data/device_list.dat"
[ "$(stat -c %s "$last")" -eq 36 ] || fail "last_connection.dat is $(stat -c %s "$last") bytes, not 36"
size=$(stat -c %s "$list")
[ "$size" -ge 36 ] && [ $((size % 36)) -eq 0 ] || fail "device_list.dat is $size bytes"
# The connected record is the first one of the list: address 1 at 19200 bit/s.
cmp -s <(head -c 36 "$list") "$last" || fail "last connection is not the first device of the list"
echo "PASS: $((size / 36)) devices listed, last connection kept"
