#!/usr/bin/env bash
# What finding a server's query protocol costs: zerval-query without a protocol (its first
# contact sends "details" and the info request together, then asks in the protocol that answered)
# beside the same query with the protocol named, alternating in the same run. Against servers
# whose replies take 30 ms, as over the internet, and an A2S-only one on loopback, where the
# 20 ms floor of the wait for a classic reply shows. Process start is in both times alike.
# Usage: first_contact.sh BUILD_DIR   (ZERVAL_COMPARE_ROUNDS sets the rounds, default 11)
set -euo pipefail

build=$(cd "${1:?usage: first_contact.sh BUILD_DIR}" && pwd)
rounds=${ZERVAL_COMPARE_ROUNDS:-11}
query="$build/tools/query/zerval-query"
simulator="$build/tools/gameserver/zerval-gameserver"
delay_ms=30

source "$(dirname "$0")/common.sh"

# Today's servers want the challenge with every request, so a known query takes two round trips.
start_simulator "$work/a2s.out" --protocol steam --info-challenge --delay "$delay_ms"
a2s_port=$port
start_simulator "$work/classic.out" --delay "$delay_ms"
classic_port=$port
start_simulator "$work/near.out" --protocol steam --info-challenge
near_port=$port

# measure LABEL PORT PROTOCOL ROUND_TRIPS LINE: medians of both; the server's round trip is the
# known query's own figure (its last reply, ROUND_TRIPS round trips after its first request), so
# that the load's delays count in it too. LINE "RATIO" compares the difference in round trips
# with the target of 1.5, "RESULT" only reports it.
measure() {
  local label=$1 port=$2 protocol=$3 round_trips=$4 line=$5
  local found=("$query" "127.0.0.1:$port")
  local known=("$query" --json --protocol "$protocol" "127.0.0.1:$port")
  # One unmeasured run of each checks that both answer in full, in that protocol.
  if ! "${found[@]}" >"$work/found.out" 2>&1 || ! grep -q "with the $protocol protocol" "$work/found.out" ||
    ! "${known[@]}" >"$work/known.out" 2>&1; then
    echo "$label: no full answer" >&2
    cat "$work/found.out" "$work/known.out" >&2
    exit 1
  fi
  local found_times=() known_times=() replies=()
  for _ in $(seq "$rounds"); do
    found_times+=("$(time_once "$work/found.out" "${found[@]}")")
    known_times+=("$(time_once "$work/known.out" "${known[@]}")")
    replies+=("$(sed -n 's/.*"roundTripMs":\([0-9.]*\).*/\1/p' "$work/known.out")")
  done
  local found_us known_us reply_ms
  found_us=$(printf '%s\n' "${found_times[@]}" | median)
  known_us=$(printf '%s\n' "${known_times[@]}" | median)
  reply_ms=$(printf '%s\n' "${replies[@]}" | median)
  awk -v label="$label" -v f="$found_us" -v k="$known_us" -v p="$protocol" -v r="$reply_ms" \
    -v trips="$round_trips" -v line="$line" -v n="$rounds" 'BEGIN {
      rt = r / trips
      printf "%-28s first contact %6.1f ms, --protocol %-7s %6.1f ms, round trip %5.1f ms (medians of %d)\n", label, f / 1000, p, k / 1000, rt, n
      if (line == "RATIO")
        printf "RATIO first contact - known protocol, %s, in round trips: %.2f (target <= 1.5)\n", label, (f - k) / (rt * 1000)
      else
        printf "RESULT first contact - known protocol, %s: %+.1f ms\n", label, (f - k) / 1000
    }'
}

echo "zerval-query, full query (details, players, rules), $rounds rounds each, load average $(cut -d" " -f1-3 /proc/loadavg)"
measure "A2S-only server 30 ms away" "$a2s_port" a2s 2 RATIO
measure "classic server 30 ms away" "$classic_port" classic 1 RESULT
measure "A2S-only server on loopback" "$near_port" a2s 2 RESULT
