#!/usr/bin/env bash
# The status listing of a 32-player server through the remote console, as a script gets it:
# zerval-query --rcon status against the simulator on loopback, whose listing of about 2,000
# bytes comes as two datagrams back to back. Prints the median wall time of the runs, process
# start included, and the ratio to the goal of 10 ms.
# Usage: console_status.sh BUILD_DIR   (ZERVAL_COMPARE_ROUNDS sets the runs, default 21)
set -euo pipefail

build=$(cd "${1:?usage: console_status.sh BUILD_DIR}" && pwd)
rounds=${ZERVAL_COMPARE_ROUNDS:-21}
query="$build/tools/query/zerval-query"
simulator="$build/tools/gameserver/zerval-gameserver"

source "$(dirname "$0")/common.sh"

start_simulator "$work/simulator.out" --password benchpw --players 32 --bots 0 --max 32
export ZERVAL_RCON_PASSWORD=benchpw
command=("$query" --rcon status "127.0.0.1:$port")
"${command[@]}" >"$work/status.out" 2>&1 || true
lines=$(grep -c '^#' "$work/status.out" || true)
times=()
for _ in $(seq "$rounds"); do times+=("$(time_once "$work/status.out" "${command[@]}")"); done
status_us=$(printf '%s\n' "${times[@]}" | median)
awk -v t="$status_us" -v n="$rounds" -v lines="$lines" 'BEGIN {
  printf "zerval-query --rcon status, 32 players (%d lines starting with #): %.1f ms, median of %d\n", lines, t / 1000, n
  printf "RATIO zerval-query --rcon status, 32 players / 10 ms: %.2f (target < 1)\n", t / 10000
}'
