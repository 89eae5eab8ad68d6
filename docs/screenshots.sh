#!/usr/bin/env bash
# Screenshots of the working tabs on the demo line, connected, with live values, the
# start record and protection curve, and the oscillogram of a trip made through the
# demo line's console:
#   docs/screenshots.sh [BUILD_DIR]             (default: build) -> docs/screenshots/*.png
#   docs/screenshots.sh --lang en [BUILD_DIR]   the English window -> docs/screenshots/en/*.png
# Needs Xvfb and xdotool; the build must contain orbix-service and orbix-xhelper.
# Widgets are found by object name through the program's probe socket.
set -u
here=$(cd "$(dirname "$0")" && pwd)
program_lang=ru
if [ "${1:-}" = --lang ]; then
    program_lang=${2:-}
    shift 2 || true
fi
# The texts the script waits for, in the window's language.
case $program_lang in
    ru) out="$here/screenshots" plot_button="Обновить график" trip_text="Тепловая перегрузка двигателя" ;;
    en) out="$here/screenshots/en" plot_button="Update plot" trip_text="Motor thermal overload" ;;
    *) echo "screenshots: --lang takes ru or en" >&2; exit 2 ;;
esac
build=$(cd "${1:-$here/../build}" && pwd)
program="$build/app/orbix-service"
xhelper="$build/tests/ui_shell/orbix-xhelper"
work=$(mktemp -d)
xvfb_pid=""
app_pid=""
window=""

fail() { echo "screenshots: $*" >&2; exit 1; }

. "$here/../tests/ui_shell/xsession.sh"
trap stop_session EXIT
trap 'exit 1' INT TERM HUP

# How the pictures are framed, and how many readings the plots show.
readonly SHOT_WIDTH=1100 SHOT_HEIGHT=1000 READINGS=6

connected() { title | grep -q '\[ОРБИКС-11 '; }
window_is() { [ "$(widget_rect mainWindow)" = "$*" ]; }
scan_done() { [ "$(text_of searchProgress)" = "100%" ] && enabled searchButton; }
has_device() { probe cell deviceTable 0 0 >/dev/null; }
select_first() { click_cell deviceTable 0 0 && wait_for 2 enabled connectButton; }
try_connect() { connected || { click_widget connectButton; wait_for 5 connected; }; }
shot() {
    probe settle >/dev/null || fail "the program does not answer"
    "$xhelper" shot "$out/$1.png" "$window" || fail "no screenshot $1"
    echo "$out/$1.png"
}
tab_enabled() { [ "$(widget_field "$1" 7)" = 1 ]; }
show_tab() { click_cell tabBar 0 "$1"; }
curve_built() { [ "$(text_of updatePlotButton)" = "$plot_button" ] && text_of charRecordTimeLabel | grep -q ':[0-9][0-9]$'; }
tripped() { [ "$(text_of crashFaultLabel)" = "$trip_text" ] && tab_enabled tabCrashCurve; }
# readings: counts the device times the watch tab has shown, one per polling cycle.
last_time="" readings=0
readings_shown() {
    local now
    now=$(text_of deviceTimeLabel) || return 1
    [ "$now" != "$last_time" ] && last_time=$now && readings=$((readings + 1))
    [ $readings -gt $READINGS ] # the first is the label's text before any reading
}

[ -x "$program" ] && [ -x "$xhelper" ] || fail "build orbix-service and orbix-xhelper in $build first"
mkdir -p "$out" "$work/data"
# The demo line reads the simulator's commands here; held open, so it never ends.
mkfifo "$work/console"
exec 4<>"$work/console"
program_input="$work/console"
start_display 1280x1024
start_program "$work/data" --demo
xdotool windowmove "$window" 0 0 windowsize "$window" $SHOT_WIDTH $SHOT_HEIGHT
wait_for 10 window_is 0 0 $SHOT_WIDTH $SHOT_HEIGHT || fail "the window did not take its size"

wait_for 10 click_widget searchButton || fail "no search button to press"
wait_for 120 scan_done || fail "the scan did not finish"
has_device || fail "the scan found no device"
wait_for 10 select_first || fail "the first device cannot be selected"
shot tab-search

wait_for 30 try_connect || fail "not connected"
wait_for 60 readings_shown || fail "the watch tab shows no readings"
shot tab-watch

# The setup tab: the next tab after the watch tab, filled from the configuration read at connection.
setup_shown() { shown setupPanel && enabled readConfigButton; }
next_tab() { xdotool key --window "$window" ctrl+Tab; wait_for 3 setup_shown; }
click_widget watchPlot
wait_for 10 next_tab || fail "the setup tab did not show"
shot tab-setup
wait_for 30 show_tab 3 || fail "no characteristic tab to show"
wait_for 30 curve_built || fail "no start record or protection curve"
shot tab-characteristic

# A running motor, then a trip: the oscillogram shows the currents it drew.
show_tab 1 && wait_for 10 click_widget forwardButton || fail "the motor cannot be started"
last_time="" readings=$((READINGS - 3))
wait_for 30 readings_shown || fail "no readings while the motor runs"
echo "trip 1 32" >&4
wait_for 30 tripped || fail "the trip did not reach the oscillogram tab"
show_tab 4 || fail "no oscillogram tab to show"
shot tab-oscillogram
