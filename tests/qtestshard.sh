#!/usr/bin/env bash
# Runs every COUNT-th test function of a QtTest program, starting with the K-th (1..COUNT),
# so that CTest can run the parts of one long test at once. The functions are asked
# of the program itself: a new one is never left out.
set -euo pipefail
exe=$1 k=$2 count=$3
mapfile -t functions < <("$exe" -functions | sed -n 's/()$//p' | awk -v n="$count" -v k="$k" '(NR - 1) % n == k - 1')
((${#functions[@]})) || { echo "no test function in part $k of $count"; exit 1; }
exec "$exe" "${functions[@]}"
