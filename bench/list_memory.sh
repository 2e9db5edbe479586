#!/usr/bin/env bash
# Memory of zerval-query --list over long lists: its maximum resident size for text lists of
# 100,000 and 1,000,000 lines that name 1,000 simulated servers on loopback, each asked for its
# details, and from the two the bytes each further entry costs beyond the text of its line
# (target: at most 200). The text output is the larger case: its lines are kept until all
# servers have answered, to align the columns.
# Usage: list_memory.sh BUILD_DIR
set -euo pipefail

build=$(cd "${1:?usage: list_memory.sh BUILD_DIR}" && pwd)
query="$build/tools/query/zerval-query"
simulator="$build/tools/gameserver/zerval-gameserver"

source "$(dirname "$0")/common.sh"

start_simulator "$work/simulator.out" --count 1000 --players 4 --bots 0

# Prints the maximum resident size in KiB, the wall time in s and the list's bytes, and checks
# that every entry got its line.
measure() {
  local lines=$1 list=$work/list.txt
  awk -v port="$port" -v n="$lines" \
    'BEGIN { for (i = 0; i < n; i++) printf "127.0.0.1:%d\n", port + i % 1000 }' >"$list"
  /usr/bin/time -o "$work/time" -f "%M %e" "$query" --timeout 3000 --list "$list" \
    >"$work/out" 2>/dev/null || true
  local answered
  answered=$(grep -c ' ms$' "$work/out" || true)
  ((answered == lines)) || echo "only $answered of $lines servers answered" >&2
  echo "$(cat "$work/time") $(stat -c %s "$list")"
}

read -r small_kib small_s small_bytes < <(measure 100000)
read -r large_kib large_s large_bytes < <(measure 1000000)
awk -v sk="$small_kib" -v lk="$large_kib" -v ss="$small_s" -v ls="$large_s" \
  -v sb="$small_bytes" -v lb="$large_bytes" 'BEGIN {
  entries = 900000
  per_entry = (lk - sk) * 1024 / entries
  text = (lb - sb) / entries
  printf "zerval-query --list, 100,000 entries: %.1f MiB max resident, %.1f s\n", sk / 1024, ss
  printf "zerval-query --list, 1,000,000 entries: %.1f MiB max resident, %.1f s\n", lk / 1024, ls
  printf "per further entry: %.0f bytes, of which %.1f the text of its line\n", per_entry, text
  printf "RATIO zerval-query --list memory per entry beyond its text / 200 bytes: %.2f (target <= 1)\n", (per_entry - text) / 200
}'
