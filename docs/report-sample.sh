#!/usr/bin/env bash
# A sample report made as a user makes one: the program on the demo line under a
# virtual display, connected to the first device, the motor started, a trip through
# the demo line's console, then the report button, a file name typed into the
# dialog and Return. Prints how long the report took from Return to the file, and
# writes its pages as pictures:
#   docs/report-sample.sh [BUILD_DIR]             (default: build) -> docs/report/page-N.png
#   docs/report-sample.sh --lang en [BUILD_DIR]   the English window -> docs/report/en/page-N.png
# Needs Xvfb, xdotool and pdftoppm; the build must contain orbix-service and orbix-xhelper.
set -u
here=$(cd "$(dirname "$0")" && pwd)
program_lang=ru
if [ "${1:-}" = --lang ]; then
    program_lang=${2:-}
    shift 2 || true
fi
# The fault text the script waits for, in the window's language.
case $program_lang in
    ru) out="$here/report" trip_text="Тепловая перегрузка двигателя" ;;
    en) out="$here/report/en" trip_text="Motor thermal overload" ;;
    *) echo "report-sample: --lang takes ru or en" >&2; exit 2 ;;
esac
build=$(cd "${1:-$here/../build}" && pwd)
program="$build/app/orbix-service"
xhelper="$build/tests/ui_shell/orbix-xhelper"
work=$(mktemp -d)
xvfb_pid=""
app_pid=""
window=""

fail() { echo "report-sample: $*" >&2; exit 1; }

. "$here/../tests/ui_shell/xsession.sh"
trap stop_session EXIT
trap 'exit 1' INT TERM HUP

# The window's size, the readings the live plots show, the pictures' resolution.
readonly WIDTH=1100 HEIGHT=1000 READINGS=8 PAGE_DPI=60
readonly report="$work/report.pdf"

connected() { title | grep -q '\[ОРБИКС-11 '; }
scan_done() { [ "$(text_of searchProgress)" = "100%" ] && enabled searchButton; }
select_first() { click_cell deviceTable 0 0 && wait_for 2 enabled connectButton; }
try_connect() { connected || { click_widget connectButton; wait_for 5 connected; }; }
tripped() { [ "$(text_of crashFaultLabel)" = "$trip_text" ]; }
last_time="" readings=0
readings_shown() {
    local now
    now=$(text_of deviceTimeLabel) || return 1
    [ "$now" != "$last_time" ] && last_time=$now && readings=$((readings + 1))
    [ $readings -gt $READINGS ]
}
dialog_shown() { shown fileNameEdit; }
typed() { [ "$(text_of fileNameEdit)" = "$report" ]; }
now_ms() { date +%s%3N; }
# Polled more often than wait_for does: the time it takes is what is measured.
report_written() {
    local deadline=$((SECONDS + 30))
    until [ -s "$report" ]; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.01
    done
}

[ -x "$program" ] && [ -x "$xhelper" ] || fail "build orbix-service and orbix-xhelper in $build first"
command -v pdftoppm >/dev/null || fail "pdftoppm missing (poppler-utils)"
mkdir -p "$out" "$work/data"
mkfifo "$work/console"
exec 4<>"$work/console"
program_input="$work/console"
start_display 1280x1024
start_program "$work/data" --demo
xdotool windowmove "$window" 0 0 windowsize "$window" $WIDTH $HEIGHT

wait_for 10 click_widget searchButton || fail "no search button to press"
wait_for 120 scan_done || fail "the scan did not finish"
wait_for 10 select_first || fail "the first device cannot be selected"
wait_for 30 try_connect || fail "not connected"
wait_for 10 click_widget forwardButton || fail "the motor cannot be started"
wait_for 60 readings_shown || fail "the watch tab shows no readings"
echo "trip 1 32" >&4
wait_for 30 tripped || fail "the trip did not reach the oscillogram tab"

clicked=$(now_ms)
click_widget reportButton || fail "no report button to press"
wait_for 10 dialog_shown || fail "no file dialog"
shown_ms=$(($(now_ms) - clicked))
click_widget fileNameEdit || fail "no file name field"
xdotool key ctrl+a type --delay 0 "$report"
# Typed and handled before Return, so that Return accepts this name.
wait_for 5 typed || fail "the file name was not typed: $(text_of fileNameEdit)"
started=$(now_ms)
xdotool key Return
report_written || fail "no report written (file dialog open: $(dialog_shown && echo yes || echo no); warning: $(text_of reportWarning))"
written_ms=$(($(now_ms) - started))
echo "click to file dialog: $shown_ms ms (polled every 100 ms); Return to the complete file: $written_ms ms"

rm -f "$out"/page-*.png
pdftoppm -png -r $PAGE_DPI "$report" "$out/page" || fail "pages not rendered"
ls "$out"/page-*.png
