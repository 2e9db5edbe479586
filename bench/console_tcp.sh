#!/usr/bin/env bash
# The status listing of a 32-player server through the TCP console, as a script gets it:
# zerval-query --rcon status against the simulator's TCP console on loopback, each run paired
# with the same connection, password and command of a plain blocking client (zerval-bench-rcon)
# and with zerval-query --version (the process start). Prints the medians, the ratio to the goal
# of 1.5 times the raw round trips plus the process start, the same through --console auto (the
# race of the two consoles waits 20 ms for a challenge reply before it takes the TCP console), and
# whether a cvarlist of about 25 KB comes back whole and byte-exact.
# Usage: console_tcp.sh BUILD_DIR   (ZERVAL_COMPARE_ROUNDS sets the runs, default 21)
set -euo pipefail

build=$(cd "${1:?usage: console_tcp.sh BUILD_DIR}" && pwd)
rounds=${ZERVAL_COMPARE_ROUNDS:-21}
query="$build/tools/query/zerval-query"
raw="$build/bench/zerval-bench-rcon"
simulator="$build/tools/gameserver/zerval-gameserver"

source "$(dirname "$0")/common.sh"

start_simulator "$work/simulator.out" --console tcp --password benchpw --players 32 --bots 0 \
  --max 32
export ZERVAL_RCON_PASSWORD=benchpw
target="127.0.0.1:$port"
raw_times=() query_times=() auto_times=() start_times=()
for _ in $(seq "$rounds"); do
  "$raw" "$port" benchpw status >/dev/null 2>"$work/raw.err"
  raw_times+=("$(cat "$work/raw.err")")
  query_times+=("$(time_once "$work/query.out" "$query" --console tcp --rcon status "$target")")
  auto_times+=("$(time_once "$work/auto.out" "$query" --rcon status "$target")")
  start_times+=("$(time_once "$work/version.out" "$query" --version)")
done
lines=$(grep -c '^#' "$work/query.out" || true)
raw_us=$(printf '%s\n' "${raw_times[@]}" | median)
query_us=$(printf '%s\n' "${query_times[@]}" | median)
auto_us=$(printf '%s\n' "${auto_times[@]}" | median)
start_us=$(printf '%s\n' "${start_times[@]}" | median)

"$raw" "$port" benchpw cvarlist >"$work/cvarlist.raw" 2>/dev/null
printf '\n' >>"$work/cvarlist.raw"
"$query" --rcon cvarlist "$target" >"$work/cvarlist.query" 2>&1 || true
bytes=$(wc -c <"$work/cvarlist.raw")
exact=no
cmp -s "$work/cvarlist.raw" "$work/cvarlist.query" && exact=yes

awk -v raw="$raw_us" -v q="$query_us" -v a="$auto_us" -v s="$start_us" -v n="$rounds" \
  -v lines="$lines" -v bytes="$bytes" -v exact="$exact" 'BEGIN {
  printf "raw TCP console round trips (connect, password, status): %.2f ms\n", raw / 1000
  printf "zerval-query --version (process start): %.2f ms\n", s / 1000
  printf "zerval-query --console tcp --rcon status, 32 players (%d lines starting with #): %.2f ms\n", lines, q / 1000
  printf "zerval-query --rcon status (auto), 32 players: %.2f ms, medians of %d\n", a / 1000, n
  printf "RATIO zerval-query --console tcp --rcon status / (1.5 x raw + process start): %.2f (target <= 1)\n", q / (1.5 * raw + s)
  printf "RESULT cvarlist over TCP, %d bytes: byte-exact %s\n", bytes, exact
}'
