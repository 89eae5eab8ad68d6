#!/usr/bin/env bash
# End to end, as a user would, on a virtual laptop screen: start
# "orbix-service --demo", check that the window fits the screen, press "Поиск",
# pick the first device found, "Подключиться", wait until the window names the
# connected device and its clock runs on the watch tab, move the window and the
# split, close it normally and check the files it kept; start it again and find
# the window where it was left.
# Widgets are found by object name through the program's probe socket.
# Usage: e2e_demo.sh ORBIX_SERVICE ORBIX_XHELPER
set -u
unset QT_QPA_PLATFORM # a real window on the virtual display, whatever the caller's shell set
# The window draws without OpenGL; Mesa's GLX, where installed, would only be loaded and
# leave its driver's buffer behind at exit.
export QT_XCB_GL_INTEGRATION=none
program=$1
xhelper=$2
orbix=$3 # reads the history the window recorded
work=$(mktemp -d)
xvfb_pid=""
app_pid=""
window=""

fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/app.log" ] && sed 's/^/  app: /' "$work/app.log" >&2
    exit 1
}

. "$(dirname "$0")/xsession.sh"
trap stop_session EXIT
trap 'exit 1' INT TERM HUP

readonly SCREEN_SIZE=1366x768
readonly TIME_PATTERN='^[0-9]{2}\.[0-9]{2}\.[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}$'

connected() { title | grep -q '\[ОРБИКС-11 .* / COM[0-9]*\]'; }
device_time() { text_of deviceTimeLabel | grep -E "$TIME_PATTERN"; }
has_device() { probe cell deviceTable 0 0 >/dev/null; }

window_is() { [ "$(widget_rect mainWindow)" = "$*" ]; }

# within_area X Y W H: the rectangle lies within the screen's available area.
within_area() {
    local area ax ay aw ah
    area=$(probe screen mainWindow) || return 1
    read -r ax ay aw ah <<<"$area"
    [ "$1" -ge "$ax" ] && [ "$2" -ge "$ay" ] && [ $(($1 + $3)) -le $((ax + aw)) ] && [ $(($2 + $4)) -le $((ay + ah)) ]
}
# inside_screen NAME: the widget is on screen and within the screen's available area.
inside_screen() { shown "$1" && within_area $(widget_rect "$1"); }
# x_geometry: "X Y W H" of the window as the display has it.
x_geometry() {
    xdotool getwindowgeometry --shell "$window" \
        | awk -F= '$1=="X"{x=$2} $1=="Y"{y=$2} $1=="WIDTH"{w=$2} $1=="HEIGHT"{h=$2} END{print x, y, w, h}'
}

# pick_first_device: select the first row until "Подключиться" is enabled, then
# press it until the window names the device.
pick_first_device() {
    try_select() { click_cell deviceTable 0 0 && wait_for 2 enabled connectButton; }
    try_connect() { connected || { click_widget connectButton; wait_for 5 connected; }; }
    wait_for 20 try_select || fail "the first device cannot be selected"
    wait_for 30 try_connect || fail "not connected; title: $(title)"
}

close_window() {
    "$xhelper" close "$window" || fail "could not ask the window to close"
    wait_for 20 pid_gone "$app_pid" || fail "the program did not end after its window closed"
    wait "$app_pid"
    local status=$?
    app_pid=""
    [ $status -eq 0 ] || fail "exit status $status"
}

start_display $SCREEN_SIZE
mkdir -p "$work/data"
start_program "$work/data" --demo
[ "$(title)" = "ОРБИКС-Сервис 11" ] || fail "title before connecting: $(title)"

# The window opens within the screen's available area, its status bar too.
read -r wx wy ww wh <<<"$(x_geometry)"
echo "window at start (xdotool): ${ww}x${wh} at $wx,$wy; available area: $(probe screen mainWindow)"
within_area "$wx" "$wy" "$ww" "$wh" || fail "the window (${ww}x${wh} at $wx,$wy) is not within the screen's available area"
inside_screen statusBar || fail "the status bar is out of reach"

wait_for 10 click_widget searchButton || fail "no search button to press"
wait_for 60 has_device || fail "the search found no device"
set -- $(probe cell deviceTable 0 0)
[ "$5" = 1 ] || fail "the device text is cut: ${*:6}"
pick_first_device
echo "connected: $(title)"

wait_for 20 device_time >/dev/null || fail "no device time on the watch tab: $(text_of deviceTimeLabel)"
first=$(device_time)
clock_runs() { local now; now=$(device_time) && [ "$now" != "$first" ]; }
wait_for 20 clock_runs || fail "the device time stays at $first"
[ "$(text_of linkIndicator)" = "Подключение" ] || fail "link indicator: $(text_of linkIndicator)"
for part in protocolTable watchPlot deviceTimeLabel statusBar; do
    inside_screen $part || fail "$part is out of reach"
done
set -- $(probe cell protocolTable 0 0)
[ "$5" = 1 ] || fail "the protocol's time is cut: ${*:6}"

# Where the user leaves the window and its split.
xdotool windowmove "$window" 30 40 windowsize "$window" 1000 600
wait_for 10 window_is 30 40 1000 600 || fail "the window did not take 30,40 1000x600: $(widget_rect mainWindow)"
before=$(widget_field protocolTable 5)
protocol_grew() { [ "$(widget_field protocolTable 5)" -gt "$before" ]; }
drag_split_up() {
    local x y w h
    read -r x y w h <<<"$(widget_rect watchSplitHandle)"
    xdotool mousemove --sync $((x + w / 2)) $((y + h / 2)) mousedown 1 \
        mousemove --sync $((x + w / 2)) $((y + h / 2 - 60)) mouseup 1
    wait_for 2 protocol_grew
}
wait_for 10 drag_split_up || fail "the split does not move"
probe settle >/dev/null
protocol_height=$(widget_field protocolTable 5)
echo "protocol height: $before, after moving the split: $protocol_height"
close_window

last="$work/data/last_connection.dat"
list="$work/data/device_list.dat"
[ "$(stat -c %s "$last")" -eq 36 ] || fail "last_connection.dat is $(stat -c %s "$last") bytes, not 36"
size=$(stat -c %s "$list")
[ "$size" -ge 36 ] && [ $((size % 36)) -eq 0 ] || fail "device_list.dat is $size bytes"
# The connected record is the first one of the list: address 1 at 19200 bit/s.
cmp -s <(head -c 36 "$list") "$last" || fail "last connection is not the first device of the list"

# What the window saw is in the history file, readable once the window is gone.
history_rows=$("$orbix" history export --address 1 --db "$work/data/history.sqlite" --csv - | wc -l)
[ "$history_rows" -ge 3 ] || fail "the history holds $((history_rows - 1)) sample(s) of the device"
"$orbix" history devices --db "$work/data/history.sqlite" | grep -q '^COM[0-9]*	1	' \
    || fail "the history does not name the device: $("$orbix" history devices --db "$work/data/history.sqlite")"
echo "history: $((history_rows - 1)) samples of the demo device"

# The next start: the window where it was left, the list kept, the same split.
start_program "$work/data" --demo
window_is 30 40 1000 600 || fail "the window opened at $(widget_rect mainWindow), not where it was left"
has_device || fail "the device list was not kept"
pick_first_device
wait_for 10 shown protocolTable || fail "no protocol on the watch tab"
[ "$(widget_field protocolTable 5)" = "$protocol_height" ] \
    || fail "protocol height $(widget_field protocolTable 5) after the restart, $protocol_height before"
close_window
echo "PASS: $((size / 36)) devices listed, last connection kept, window and split kept"
