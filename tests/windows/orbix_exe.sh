#!/usr/bin/env bash
# orbix.exe under Wine against the Linux simulator: on its pseudo-terminal seen by the
# Wine prefix as COM5, and over Modbus TCP. The same commands of the Linux orbix give
# the expected answers.
#   orbix_exe.sh ORBIX_EXE WINE_RUN HOST_SIM HOST_ORBIX VERSION
set -uo pipefail
exe=$1 wine_run=$2 sim=$3 host=$4 version=$5
work=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
check() { # name, condition command...
  local name=$1
  shift
  if "$@"; then echo "PASS $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}
win() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }
export ORBIX_DATA_DIR=$(win "$work/data") # the Windows program's; the Linux one keeps its own below
run_exe() { "$wine_run" "$exe" "$@"; }
run_host() { ORBIX_DATA_DIR=$work/host-data "$host" "$@"; }

# The simulator prints its pseudo-terminal, then its network server.
mkfifo "$work/sim.out"
"$sim" --device 1:70 --modbus-tcp 0 >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
exec 3<"$work/sim.out"
read -r -t 30 pty <&3 || { echo "FAIL the simulator did not start: $(cat "$work/sim.err")"; exit 1; }
read -r -t 30 tcp <&3 || { echo "FAIL the simulator has no network server"; exit 1; }
cat <&3 >/dev/null &
export ORBIX_COM_PORTS="5=$pty"

out=$(run_exe --version | tr -d '\r')
check "--version prints the program and version" test "${out%% (*}" = "orbix $version"

for port in COM5 "$tcp"; do
  host_port=$port
  [ "$port" = COM5 ] && host_port=$pty
  exe_read=$(run_exe read "$port" --address 1 1 8 | tr -d '\r'); rc=$?
  host_read=$(run_host read "$host_port" --address 1 1 8)
  check "read over $port exits 0" test $rc -eq 0
  check "read over $port gives what the Linux program reads" test "$exe_read" = "$host_read"

  run_exe config get "$port" --address 1 --json | tr -d '\r' >"$work/config.json"
  check "config get over $port gives a settings file" grep -q '"fields"' "$work/config.json"
  exe_get=$(run_exe config get "$port" --address 1 | tr -d '\r')
  host_get=$(run_host config get "$host_port" --address 1)
  check "config get over $port gives what the Linux program reads" test "$exe_get" = "$host_get"

  set_out=$(ORBIX_ACCESS_CODE=1234 run_exe config set "$port" --address 1 "$(win "$work/config.json")" 2>&1 | tr -d '\r'); rc=$?
  check "config set over $port exits 0 ($set_out)" test $rc -eq 0
  backup=$(sed -n 's/^backup //p' <<<"$set_out" | head -n1)
  check "config set over $port names its backup" test -n "$backup"
  check "the backup is in the data directory's backups" \
    bash -c 'ls "$0"/data/backups/*.json >/dev/null 2>&1' "$work"

  mon=$(run_exe monitor "$port" --address 1 --cycles 3 | tr -d '\r'); rc=$?
  check "monitor --cycles 3 over $port exits 0" test $rc -eq 0
  check "monitor over $port shows three monitoring events" test "$(grep -c '^ *0 monitoring: ' <<<"$mon")" -eq 3
done

[ $failures -eq 0 ] || { echo "$failures checks failed"; exit 1; }
echo "all checks passed"
