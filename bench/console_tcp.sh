#!/usr/bin/env bash
# The status listing of a 32-player server through the TCP console, as a script gets it:
# zerval-query --rcon status against the simulator's TCP console on loopback, each run paired
# with the same connection, password and command of a plain blocking client (zerval-bench-rcon)
# and with zerval-query --version (the process start). Prints the medians and the median of each
# round's ratio to the goal of 1.5 times the raw round trips plus the process start, the same through --console auto (the
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
# One line per round: raw, --console tcp, auto, process start, and the round's own ratio.
for _ in $(seq "$rounds"); do
  "$raw" "$port" benchpw status >/dev/null 2>"$work/raw.err"
  raw_us=$(cat "$work/raw.err")
  query_us=$(time_once "$work/query.out" "$query" --console tcp --rcon status "$target")
  auto_us=$(time_once "$work/auto.out" "$query" --rcon status "$target")
  start_us=$(time_once "$work/version.out" "$query" --version)
  echo "$raw_us $query_us $auto_us $start_us" \
    "$(awk -v r="$raw_us" -v q="$query_us" -v s="$start_us" 'BEGIN { print q / (1.5 * r + s) }')"
done >"$work/rounds"
column_median() { awk -v c="$1" '{ print $c }' "$work/rounds" | median; }
lines=$(grep -c '^#' "$work/query.out" || true)
raw_us=$(column_median 1)
query_us=$(column_median 2)
auto_us=$(column_median 3)
start_us=$(column_median 4)
ratio=$(column_median 5)

"$raw" "$port" benchpw cvarlist >"$work/cvarlist.raw" 2>/dev/null
printf '\n' >>"$work/cvarlist.raw"
"$query" --rcon cvarlist "$target" >"$work/cvarlist.query" 2>&1 || true
bytes=$(wc -c <"$work/cvarlist.raw")
exact=no
cmp -s "$work/cvarlist.raw" "$work/cvarlist.query" && exact=yes

awk -v raw="$raw_us" -v q="$query_us" -v a="$auto_us" -v s="$start_us" -v n="$rounds" \
  -v ratio="$ratio" -v lines="$lines" -v bytes="$bytes" -v exact="$exact" 'BEGIN {
  printf "raw TCP console round trips (connect, password, status): %.2f ms\n", raw / 1000
  printf "zerval-query --version (process start): %.2f ms\n", s / 1000
  printf "zerval-query --console tcp --rcon status, 32 players (%d lines starting with #): %.2f ms\n", lines, q / 1000
  printf "zerval-query --rcon status (auto), 32 players: %.2f ms, medians of %d\n", a / 1000, n
  printf "RATIO zerval-query --console tcp --rcon status / (1.5 x raw + process start), median of the rounds: %.2f (target <= 1)\n", ratio
  printf "RESULT cvarlist over TCP, %d bytes: byte-exact %s\n", bytes, exact
}'
