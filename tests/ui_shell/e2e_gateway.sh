#!/usr/bin/env bash
# The window through the plant gateway, as an engineer at the cabinet would use it while
# the gateway polls the line: the simulator's three devices on a pseudo-terminal, the
# gateway on it with MQTT to a broker of our own and Modbus TCP for this machine; the
# window on a virtual display with COM90 bound to the gateway. Поиск finds the three
# devices, the window connects to one and sees it live, the rated current is written
# with the access code and read back (by the window, through the gateway by the CLI,
# and in the simulator itself); all along, the gateway keeps publishing every device,
# logs the write and tells it as an MQTT event.
# Usage: e2e_gateway.sh ORBIX_SERVICE ORBIX_XHELPER ORBIX ORBIX_SIM ORBIX_GATEWAY MOSQUITTO MOSQUITTO_SUB
set -u
unset QT_QPA_PLATFORM # a real window on the virtual display, whatever the caller's shell set
export QT_XCB_GL_INTEGRATION=none # as in e2e_demo.sh
program=$1 xhelper=$2 orbix=$3 sim=$4 gateway=$5 mosquitto=$6 mosquitto_sub=$7
work=$(mktemp -d)
xvfb_pid="" app_pid="" window=""
sim_pid="" broker_pid="" sub_pid="" gateway_pid=""

readonly COM=90
readonly ADDRESS=2          # the device the window works with (modification 80)
readonly CODE=1234          # the simulator's access code
readonly RATED_BEFORE=20    # the simulator's rated current, A
readonly RATED_AFTER=17     # what the window writes, A
readonly COUNTS_PER_AMPERE=2 # the simulator's current scale
readonly TIME_PATTERN='^[0-9]{2}\.[0-9]{2}\.[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}$'

fail() {
    echo "FAIL ($SECONDS s): $*" >&2
    [ -n "$window" ] && echo "  status bar: $(probe text statusBar)" >&2
    for f in app gateway sim.err broker; do
        [ -s "$work/$f.log" ] && tail -n 40 "$work/$f.log" | sed "s/^/  $f: /" >&2
    done
    [ -s "$work/mqtt.log" ] && echo "  mqtt: $(grep -c . "$work/mqtt.log") messages, the last:" >&2 \
        && tail -n 3 "$work/mqtt.log" | cut -c1-200 | sed 's/^/  mqtt: /' >&2
    exit 1
}

. "$(dirname "$0")/xsession.sh"
stop_all() {
    [ -n "$app_pid" ] && stop_pid "$app_pid"
    app_pid=""
    for pid in "$gateway_pid" "$sub_pid" "$broker_pid" "$sim_pid"; do
        [ -n "$pid" ] && stop_pid "$pid"
    done
    stop_session
}
trap stop_all EXIT
trap 'exit 1' INT TERM HUP

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
logged() { grep -Eqs "$1" "$work/$2"; } # -s: the file may not be there yet
# states ADDRESS: the MQTT state messages of that device received so far.
states() { grep -c "^orbix/plant/L/$1/state " "$work/mqtt.log"; }
all_up() {
    local a
    for a in 1 2 3; do grep -q "^orbix/plant/L/$a/state .*\"link\":\"up\"" "$work/mqtt.log" || return 1; done
}

# The simulator with its console on a pipe this script holds open: "get" shows registers.
mkfifo "$work/sim.in"
"$sim" --device 1 --device $ADDRESS:80 --device 3 <"$work/sim.in" >"$work/sim.out" 2>"$work/sim.err.log" &
sim_pid=$!
exec 4>"$work/sim.in"
wait_for 20 test -s "$work/sim.out" || fail "the simulator did not start"
pty=$(head -n 1 "$work/sim.out")

broker_port=$(free_port)
printf 'listener %s 127.0.0.1\nallow_anonymous true\n' "$broker_port" >"$work/mosquitto.conf"
"$mosquitto" -c "$work/mosquitto.conf" >"$work/broker.log" 2>&1 &
broker_pid=$!
wait_for 20 listening "$broker_port" || fail "the broker does not listen on $broker_port"
"$mosquitto_sub" -h 127.0.0.1 -p "$broker_port" -v -q 1 -t 'orbix/#' >"$work/mqtt.log" 2>&1 &
sub_pid=$!

modbus_port=$(free_port)
cat >"$work/gateway.json" <<EOF
{"format": "orbix-gateway", "version": 1, "name": "plant",
 "mqtt": {"url": "mqtt://127.0.0.1:$broker_port", "outbox": "$work/outbox"},
 "timing": {"pollPeriodMs": 500},
 "lines": [{"name": "L", "port": "$pty", "addresses": "1-3",
            "modbusServer": {"listen": "127.0.0.1:$modbus_port",
                             "clients": [{"address": "127.0.0.1", "write": true}]}}]}
EOF
"$gateway" --config "$work/gateway.json" 2>"$work/gateway.log" &
gateway_pid=$!
wait_for 20 logged "Modbus TCP on 127.0.0.1:$modbus_port" gateway.log || fail "the gateway does not serve Modbus TCP"
wait_for 30 all_up || fail "the gateway does not publish the three devices"
echo "peers up ($SECONDS s): line $pty, broker :$broker_port, gateway's Modbus TCP :$modbus_port"

start_display 1366x768
mkdir -p "$work/data"
ORBIX_PORTS="COM$COM=modbus-tcp://127.0.0.1:$modbus_port" start_program "$work/data"
declare -A before
for a in 1 2 3; do before[$a]=$(states $a); done
work_started=$SECONDS

# COM90 chosen in the port list as a user would: open it, one down, Enter.
pick_port() {
    text_of portSelector | grep -q "^COM$COM" && return 0
    click_widget portSelector && probe settle >/dev/null && xdotool key Down Return && probe settle >/dev/null
    return 1
}
wait_for 20 pick_port || fail "COM$COM cannot be chosen: $(text_of portSelector)"
text_of portInfo | grep -q "modbus-tcp://127.0.0.1:$modbus_port" || fail "COM$COM is not the gateway: $(text_of portInfo)"

# The search probes every address once through the gateway; an address without a device
# costs the gateway's probe time-out, so the whole range takes minutes (about 130 s): the
# three devices are the first addresses, and the user stops the search once they are listed.
row_of() { # row_of ADDRESS: the table's row of the device at that address
    local row
    for row in 0 1 2 3 4; do
        probe cell deviceTable $row 0 | grep -q "/$1/[0-9]*/8E1/COM$COM\$" && { echo $row; return 0; }
    done
    return 1
}
three_found() { row_of 1 >/dev/null && row_of 2 >/dev/null && row_of 3 >/dev/null; }
wait_for 10 click_widget searchButton || fail "cannot press Поиск"
search_started=$SECONDS
wait_for 30 three_found || fail "the search did not list the three devices: $(probe cell deviceTable 0 0; probe cell deviceTable 1 0)"
wait_for 10 click_widget searchStopButton || fail "cannot stop the search"
stopped() { [ "$(text_of searchStopButton)" = "Продолжить" ] && enabled searchButton; }
wait_for 20 stopped || fail "the search did not stop: $(text_of searchStopButton)"
probe cell deviceTable 3 0 >/dev/null && fail "a fourth device listed: $(probe cell deviceTable 3 0)"
echo "search ($((SECONDS - search_started)) s): the three devices found, then stopped"

row=$(row_of $ADDRESS)
try_select() { click_cell deviceTable "$row" 0 && wait_for 2 enabled connectButton; }
connected() { title | grep -q "\[ОРБИКС-11 .* / $ADDRESS / COM$COM\]"; }
try_connect() { connected || { click_widget connectButton; wait_for 5 connected; }; }
wait_for 20 try_select || fail "the device at $ADDRESS cannot be selected"
wait_for 30 try_connect || fail "not connected; title: $(title)"
echo "connected ($SECONDS s): $(title)"

device_time() { text_of deviceTimeLabel | grep -E "$TIME_PATTERN"; }
wait_for 20 device_time >/dev/null || fail "no device time on the watch tab: $(text_of deviceTimeLabel)"
first=$(device_time)
clock_runs() { local now; now=$(device_time) && [ "$now" != "$first" ]; }
wait_for 20 clock_runs || fail "the device time stays at $first"
currents() { probe text watchPlot | grep -Eq 'Ток A: *[0-9]+[.,][0-9]'; } # the legend, in amperes
wait_for 20 currents || fail "no live currents: $(probe text watchPlot)"
[ "$(text_of linkIndicator)" = "Подключение" ] || fail "link indicator: $(text_of linkIndicator)"
echo "live ($SECONDS s): clock from $first to $(device_time), $(probe text watchPlot | grep -Eo 'Ток A: *[0-9.,]+' | head -n 1)"

# The setup tab shows what the device holds.
setup_tab() {
    local i
    for i in 0 1 2 3 4; do
        probe cell tabBar 0 $i | tr -d '&' | grep -q ' Настройка$' && { echo $i; return 0; } # without its mnemonic
    done
    return 1
}
tab=$(setup_tab) || fail "no setup tab: $(probe cell tabBar 0 2)"
rated_is() { text_of ratedCurrentEdit | grep -Eq "^$1([.,]0)?А\$"; } # the unit in Cyrillic
on_setup_tab() { click_cell tabBar 0 "$tab" && wait_for 2 shown ratedCurrentEdit; }
wait_for 10 on_setup_tab || fail "the setup tab does not open"
wait_for 20 rated_is $RATED_BEFORE || fail "rated current shown: $(text_of ratedCurrentEdit), not $RATED_BEFORE A"

# The access code in the main window's field, then the new rated current, written.
code_entered() { [ "$(text_of accessCodeField | wc -m)" -eq 5 ]; } # four echo characters and the line's end
enter_code() {
    click_widget accessCodeField && xdotool key ctrl+a BackSpace && xdotool type --delay 20 "$CODE" \
        && xdotool key Tab && probe settle >/dev/null && code_entered
}
wait_for 10 enter_code || fail "the access code cannot be entered: '$(text_of accessCodeField)'"
# set_rated AMPERES: typed over the editor's number, as a user selects and types.
set_rated() {
    click_widget ratedCurrentEdit && xdotool key ctrl+a && xdotool type --delay 20 "$1" && xdotool key Tab \
        && probe settle >/dev/null && rated_is "$1"
}
wait_for 10 set_rated $RATED_AFTER || fail "the rated current cannot be set: $(text_of ratedCurrentEdit)"
wait_for 10 click_widget writeConfigButton || fail "cannot press Записать настройки"
written() {
    local status
    status=$(probe text statusBar)
    case $status in
    *Ошибка*|*Не\ удалось*|*пароль*) fail "the write failed, the window says: $status" ;;
    Настройки\ записаны) return 0 ;;
    esac
    shown accessCodeWarning && fail "the window asks for the access code"
    return 1
}
wait_for 20 written || fail "no 'Настройки записаны'; the window shows $(probe text statusBar)"
echo "written ($SECONDS s): $(probe text statusBar)"
# After the write the window reads the settings again and warns of any field not held.
wait_for 10 enabled readConfigButton || fail "the setup tab's commands stay disabled"
shown readBackWarning && fail "the window warns that the device holds something else"

# Read back by the window: an unwritten edit replaced by what the device holds.
wait_for 10 set_rated $((RATED_AFTER + 1)) || fail "the rated current cannot be edited again"
wait_for 10 click_widget readConfigButton || fail "cannot press Считать настройки"
wait_for 20 rated_is $RATED_AFTER || fail "read back: $(text_of ratedCurrentEdit), not $RATED_AFTER A"
echo "read back by the window ($SECONDS s): $(text_of ratedCurrentEdit)"

# Through the gateway by the CLI, and in the simulator itself.
cli=$("$orbix" config get "modbus-tcp://127.0.0.1:$modbus_port" --address $ADDRESS 2>&1) \
    || fail "orbix config get through the gateway: $cli"
grep -q "^ratedCurrent $RATED_AFTER.0A\$" <<<"$cli" || fail "orbix config get: $(grep ratedCurrent <<<"$cli")"
echo "get $ADDRESS 5" >&4
held() { grep -q "^5 = $((RATED_AFTER * COUNTS_PER_AMPERE)) " "$work/sim.out"; }
wait_for 10 held || fail "the simulator holds: $(grep '^5 = ' "$work/sim.out")"
echo "held ($SECONDS s): $(grep ratedCurrent <<<"$cli") by the CLI; register $(grep '^5 = ' "$work/sim.out") in the simulator"

# The gateway told the write and kept publishing every device meanwhile.
logged "line L address $ADDRESS: 127\.0\.0\.1 wrote [0-9]+ registers from 5\$" gateway.log \
    || fail "the gateway's log has no write from 127.0.0.1 to register 5"
write_event() { grep "^orbix/plant/L/$ADDRESS/event " "$work/mqtt.log" | grep '"event":"masterWrite"' | grep -q '"register":5[,}]'; }
wait_for 10 write_event || fail "no masterWrite event of register 5 for address $ADDRESS"
# The poll keeps going at about its period (0.5 s): the window's requests take a share of
# the line only. At least one state of each device every SECONDS_PER_STATE, and one at all.
readonly SECONDS_PER_STATE=3
span=$((SECONDS - work_started))
least=$((span / SECONDS_PER_STATE > 0 ? span / SECONDS_PER_STATE : 1))
for a in 1 2 3; do
    after=$(states $a)
    echo "address $a: ${before[$a]} state messages before the window's work, $after after its ${span} s"
    [ $((after - before[$a])) -ge $least ] || fail "address $a: $((after - before[$a])) state messages in ${span} s"
done
grep '127.0.0.1 wrote' "$work/gateway.log" | sed 's/^/gateway: /'

"$xhelper" close "$window" || fail "could not ask the window to close"
wait_for 20 pid_gone "$app_pid" || fail "the program did not end after its window closed"
wait "$app_pid"
status=$?
app_pid=""
[ $status -eq 0 ] || fail "the window's exit status $status"
echo "PASS ($SECONDS s)"
