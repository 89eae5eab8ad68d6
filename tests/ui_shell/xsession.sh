# Shared by the end-to-end test and docs/screenshots.sh (sourced, not run): a virtual
# display, the program on it, its widgets found by object name, and waits with
# deadlines. The caller sets $work, $program and $xhelper and defines fail();
# start_display sets $xvfb_pid, start_program $app_pid.

# The program's texts are Cyrillic: the program and the tools that read its window
# name work in UTF-8 whatever the caller's locale.
export LC_ALL=C.UTF-8
unset LANGUAGE

# wait_for SECONDS COMMAND...: polls until the command succeeds or the deadline passes.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
}

display_number_written() { grep -qx '[0-9]\+' "$work/display" 2>/dev/null; }
display_up() { xdpyinfo >/dev/null 2>&1; }

# start_display WIDTHxHEIGHT: a virtual display of that size. Xvfb picks a free
# number itself and writes it once it listens there (no race over lock files:
# the socket it bound is its own); it must not reset when its last client
# leaves, or a client connecting during the reset is refused.
start_display() {
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    wait_for 20 display_number_written || fail "the virtual display did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=":$(cat "$work/display")"
    wait_for 10 display_up || fail "virtual display $DISPLAY does not answer"
    # The server answering is the one started here: alive, with the screen asked for.
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb ended: $(cat "$work/xvfb.log")"
    xdpyinfo | grep -q "dimensions: *$1 pixels" || fail "display $DISPLAY is not the $1 screen started here"
}

# start_program DATA_DIR ARGS...: the program with its probe socket, on the display;
# its standard input is $program_input when set (the demo line's console), else none.
# The window speaks $program_lang (default ru: the texts the callers look for), not
# the language the locale above would give.
start_program() {
    local data=$1
    shift
    rm -f "$work/probe"
    "$program" --data-dir "$data" --probe-socket "$work/probe" --lang "${program_lang:-ru}" "$@" \
        <"${program_input:-/dev/null}" >>"$work/app.log" 2>&1 &
    app_pid=$!
    wait_for 30 shown mainWindow || fail "no main window"
    window=$(widget_field mainWindow 1)
}

# probe REQUEST...: the program's answer without "OK"; fails on "ERR" or no answer.
# $probe_address, when set, is where the program listens instead ("tcp:PORT").
probe() { "$xhelper" ask "${probe_address:-$work/probe}" "$@" 2>/dev/null; }

# widget_field NAME N: field N of "WINDOW X Y W H SHOWN ENABLED".
widget_field() {
    local answer fields
    answer=$(probe widget "$1") || return 1
    read -r -a fields <<<"$answer"
    echo "${fields[$2 - 1]}"
}
# widget_rect NAME: "X Y W H" of the widget's part on screen.
widget_rect() {
    local answer fields
    answer=$(probe widget "$1") || return 1
    read -r -a fields <<<"$answer"
    echo "${fields[*]:1:4}"
}
shown() { [ "$(widget_field "$1" 6)" = 1 ]; }
enabled() { [ "$(widget_field "$1" 7)" = 1 ]; }
text_of() { probe text "$1"; }
title() { xdotool getwindowname "$window" 2>/dev/null; }

# click_widget NAME: a click in the middle of the widget, when it is on screen and enabled.
click_widget() {
    local answer
    answer=$(probe widget "$1") || return 1
    set -- $answer
    [ "$6" = 1 ] && [ "$7" = 1 ] || return 1
    xdotool mousemove --sync $(($2 + $4 / 2)) $(($3 + $5 / 2)) click 1
}

# click_cell NAME ROW COLUMN: a click in the middle of a table cell.
click_cell() {
    local answer
    answer=$(probe cell "$1" "$2" "$3") || return 1
    set -- $answer
    xdotool mousemove --sync $(($1 + $3 / 2)) $(($2 + $4 / 2)) click 1
}

# Stops the program and the display by their pids and removes $work; for trap ... EXIT.
pid_gone() { ! kill -0 "$1" 2>/dev/null; }
stop_pid() {
    kill "$1" 2>/dev/null
    wait_for 10 pid_gone "$1" || kill -KILL "$1" 2>/dev/null
    wait "$1" 2>/dev/null
}
stop_session() {
    [ -n "${app_pid:-}" ] && stop_pid "$app_pid"
    [ -n "${xvfb_pid:-}" ] && stop_pid "$xvfb_pid"
    rm -rf "$work"
}
