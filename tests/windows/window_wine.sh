#!/usr/bin/env bash
# The window under Wine on a virtual display, as an engineer would use it: start
# orbix-service.exe, search COM5 (the Linux simulator's pseudo-terminal in the prefix),
# connect to the device found, see live currents in amperes, write the PDF report.
# Widgets are found through the program's probe, on a loopback port (Wine's local
# sockets are Windows pipes that a Linux client cannot open).
#   window_wine.sh ORBIX_SERVICE_EXE WINE_RUN HOST_SIM ORBIX_XHELPER
set -u
unset QT_QPA_PLATFORM # the Windows platform plugin, on the virtual display through Wine
exe=$1 wine_run=$2 sim=$3 xhelper=$4
work=$(mktemp -d)
xvfb_pid="" app_pid="" sim_pid="" window=""
fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/app.log" ] && sed 's/^/  app: /' "$work/app.log" >&2
    exit 1
}
. "$(dirname "$0")/../ui_shell/xsession.sh"
stop_all() {
    [ -n "$app_pid" ] && stop_pid "$app_pid"
    app_pid=""
    "$wine_run" reg delete 'HKLM\Software\Wine\Ports' /v COM5 /f >/dev/null 2>&1
    [ -n "$sim_pid" ] && stop_pid "$sim_pid"
    stop_session
}
trap stop_all EXIT
trap 'exit 1' INT TERM HUP
win() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }

# The display first: the Wine server's first program starts the prefix's desktop on it.
start_display 1366x768
mkfifo "$work/sim.out"
"$sim" --device 1:70 >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
exec 3<"$work/sim.out"
read -r -t 30 pty <&3 || fail "the simulator did not start: $(cat "$work/sim.err")"
cat <&3 >/dev/null &
# Wine lists a COM port among the system's only when its own port list names it and its
# server starts after that (CTest runs this test alone: the restart ends no other test).
"$wine_run" reg add 'HKLM\Software\Wine\Ports' /v COM5 /d "$pty" /f >/dev/null || fail "cannot map COM5"
ORBIX_WINE_STOP=1 "$wine_run" -
listed() { "$wine_run" "$(dirname "$exe")/../cli/orbix.exe" ports | grep -q '^COM5'; }
wait_for 30 listed || fail "Wine does not list COM5: $("$wine_run" "$(dirname "$exe")/../cli/orbix.exe" ports)"

probe_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
probe_address=tcp:$probe_port
"$wine_run" "$exe" --data-dir "$(win "$work/data")" --probe-socket "$probe_address" --lang ru \
    </dev/null >>"$work/app.log" 2>&1 &
app_pid=$!
wait_for 90 shown mainWindow || fail "no main window under Wine"
echo "PASS the window starts"

# COM5 chosen in the port list as a user would: open it, one down, Enter (COM1 is first).
pick_com5() {
    text_of portSelector | grep -q '^COM5' && return 0
    click_widget portSelector && probe settle >/dev/null && xdotool key Down Return && probe settle >/dev/null
    return 1
}
wait_for 30 pick_com5 || fail "COM5 cannot be chosen: $(probe text portSelector)"
wait_for 20 click_widget searchButton || fail "cannot press Поиск"
wait_for 60 probe cell deviceTable 0 0 >/dev/null || fail "no device found on COM5"
echo "PASS the search finds the device on COM5"

try_select() { click_cell deviceTable 0 0 && wait_for 2 enabled connectButton; }
wait_for 20 try_select || fail "the device cannot be selected"
wait_for 10 click_widget connectButton || fail "cannot press Подключиться"
currents() { probe text watchPlot | grep -Eq 'Ток A: *[0-9]+\.[0-9]'; } # the plot's legend, in amperes
wait_for 60 currents || fail "no live currents in amperes: $(probe text watchPlot)"
echo "PASS connected: live currents in amperes ($(probe text watchPlot | head -c 60))"

report=$work/report.pdf
wait_for 10 click_widget reportButton || fail "cannot press the report button"
dialog_up() { xdotool search --name 'Сохранить отчёт' >/dev/null 2>&1; }
wait_for 30 dialog_up || fail "no save dialog"
sleep_until_focus() { xdotool getactivewindow getwindowname 2>/dev/null | grep -q 'Сохранить отчёт'; }
wait_for 10 sleep_until_focus || true
xdotool key --clearmodifiers End shift+Home # the proposed name selected, then typed over
xdotool type --delay 20 "$(win "$report")"
xdotool key Return
wait_for 60 test -s "$report" || fail "no report written"
pdftotext "$report" - 2>/dev/null | grep -q 'ОРБИКС-11' || fail "the report does not name the device"
echo "PASS the report is written"
echo "all checks passed"
