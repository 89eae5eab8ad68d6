# Shared by the end-to-end test and docs/screenshots.sh (sourced, not run): a virtual
# display, the program's window on it, and waits with deadlines.
# The caller sets $work and defines fail(); start_display sets $xvfb_pid.

# wait_for SECONDS COMMAND...: polls until the command succeeds or the deadline passes.
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
click_at() { xdotool mousemove --window "$window" "$1" "$2" click 1; }

# start_display WIDTHxHEIGHT: a virtual display of that size on a free number.
start_display() {
    export DISPLAY=":$(free_display)"
    Xvfb "$DISPLAY" -screen 0 "$1x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    wait_for 10 display_up || fail "virtual display $DISPLAY did not start"
}

# Stops the program and the display by their pids and removes $work; for trap ... EXIT.
stop_session() {
    [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
