#!/usr/bin/env bash
# Side by side with qstat: one simulator process on loopback serves 1,000 consecutive ports;
# qstat and zerval-query do the same work against 1, 100 and 1,000 of them in turn, and the
# median wall times of both are printed with their ratio. Both resend an unanswered request
# twice, 500 ms apart; qstat sends its list as fast as it can.
#   one server: quakestat -hls HOST:PORT -P -R   and   zerval-query --protocol classic HOST:PORT,
#               once on loopback and once against a server whose replies take 30 ms
#   N servers:  quakestat -f LIST -maxsim N -sendinterval 0 (lines "HLS 127.0.0.1:PORT")
#               and   zerval-query --protocol classic --list LIST.zsl
# Usage: qstat_compare.sh BUILD_DIR   (ZERVAL_COMPARE_ROUNDS sets the rounds, default 7)
set -euo pipefail

build=$(cd "${1:?usage: qstat_compare.sh BUILD_DIR}" && pwd)
rounds=${ZERVAL_COMPARE_ROUNDS:-7}
query="$build/tools/query/zerval-query"
simulator="$build/tools/gameserver/zerval-gameserver"
make_list="$build/bench/zerval-bench-list"
servers=1000

source "$(dirname "$0")/common.sh"

start_simulator "$work/simulator.out" --count "$servers"
first_port=$port
# One server whose replies take 30 ms, as over the internet: there one round trip more shows.
start_simulator "$work/distant.out" --delay 30
distant_port=$port

# The number of servers that an output shows as answered.
answered_qstat() { grep -E '^127\.0\.0\.1:[0-9]+ ' "$1" | grep -cvE 'no response|DOWN|TIMEOUT|ERROR' || true; }
answered_zerval_list() { grep -cE ' ms$' "$1" || true; }

# compare LABEL N "QSTAT COMMAND..." "ZERVAL COMMAND..." (commands as arrays by name)
compare() {
  local label=$1 count=$2 qstat_name=$3 zerval_name=$4
  local -n qstat_command=$qstat_name zerval_command=$zerval_name
  local qstat_times=() zerval_times=()
  # One unmeasured run of each fills the caches and checks that both see every server.
  time_once "$work/qstat.out" "${qstat_command[@]}" >/dev/null
  time_once "$work/zerval.out" "${zerval_command[@]}" >/dev/null
  local qstat_seen zerval_seen
  if ((count == 1)); then
    qstat_seen=$(grep -c 'Zerval Test Server' "$work/qstat.out" || true)
    zerval_seen=$(grep -c 'Server Name: .*Zerval Test Server' "$work/zerval.out" || true)
  else
    qstat_seen=$(answered_qstat "$work/qstat.out")
    zerval_seen=$(answered_zerval_list "$work/zerval.out")
  fi
  for _ in $(seq "$rounds"); do
    qstat_times+=("$(time_once "$work/qstat.out" "${qstat_command[@]}")")
    zerval_times+=("$(time_once "$work/zerval.out" "${zerval_command[@]}")")
  done
  local qstat_us zerval_us
  qstat_us=$(printf '%s\n' "${qstat_times[@]}" | median)
  zerval_us=$(printf '%s\n' "${zerval_times[@]}" | median)
  awk -v label="$label" -v q="$qstat_us" -v z="$zerval_us" -v qs="$qstat_seen" \
    -v zs="$zerval_seen" -v n="$count" 'BEGIN {
      printf "%-26s qstat %8.1f ms (%d/%d answered)   zerval-query %8.1f ms (%d/%d answered)\n",
             label, q / 1000, qs, n, z / 1000, zs, n
      printf "RATIO qstat / zerval-query, %s: %.2f (target >= 1)\n", label, q / z
    }'
  if ((count == servers)); then
    awk -v z="$zerval_us" 'BEGIN { printf "RATIO zerval-query 1,000 servers / 2 s: %.2f (target < 1)\n", z / 2000000 }'
  fi
}

echo "qstat $(quakestat -v 2>&1 | head -1), $rounds rounds each, median wall time, simulator on 127.0.0.1:$first_port..$((first_port + servers - 1))"

qstat_retries=(-retry 2 -interval 0.5)
zerval_retries=(--retries 2 --interval 500)
# qstat is told the protocol (-hls); so is zerval-query, which would otherwise find it first.
zerval_known=(--protocol classic)
qstat_one=(quakestat "${qstat_retries[@]}" -hls "127.0.0.1:$first_port" -P -R)
zerval_one=("$query" "${zerval_known[@]}" "${zerval_retries[@]}" "127.0.0.1:$first_port")
compare "1 server, full query" 1 qstat_one zerval_one
qstat_distant=(quakestat "${qstat_retries[@]}" -hls "127.0.0.1:$distant_port" -P -R)
zerval_distant=("$query" "${zerval_known[@]}" "${zerval_retries[@]}" "127.0.0.1:$distant_port")
compare "1 server 30 ms away" 1 qstat_distant zerval_distant

for count in 100 "$servers"; do
  qstat_file="$work/qstat-$count.txt"
  zsl_file="$work/list-$count.zsl"
  for ((i = 0; i < count; i++)); do echo "HLS 127.0.0.1:$((first_port + i))"; done >"$qstat_file"
  "$make_list" "$zsl_file" "$first_port" "$count"
  qstat_many=(quakestat "${qstat_retries[@]}" -maxsim "$count" -sendinterval 0 -f "$qstat_file")
  zerval_many=("$query" "${zerval_known[@]}" "${zerval_retries[@]}" --list "$zsl_file")
  compare "$count servers, details" "$count" qstat_many zerval_many
done
