#!/usr/bin/env bash
# Builds the benchmarks (Release, in build-bench), runs every benchmark program (the window's
# offscreen), the side-by-side comparisons with qstat and GameDig, the cost of finding a server's
# protocol, the console status listing through zerval-query over UDP and over TCP, the memory of
# a long list, the exporter's load run and the window's overview over 1,000 servers, and prints
# every ratio and result again at the end.
# ZERVAL_BENCH_MIN_TIME (seconds per benchmark, default 0.5) and ZERVAL_COMPARE_ROUNDS
# (default 7) trade time for steadier figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
min_time=${ZERVAL_BENCH_MIN_TIME:-0.5}

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZERVAL_BUILD_BENCH=ON \
  -DZERVAL_BUILD_TESTS=OFF -DZERVAL_BUILD_APP=ON >/dev/null
cmake --build "$build" -j2 --target bench_decoders bench_listfile bench_exchange bench_window zerval-query \
  zerval-gameserver zerval-bench-list zerval-bench-exporter zerval-bench-rcon zerval-bench-overview

log=$(mktemp)
trap 'rm -f "$log"' EXIT

echo "== Machine"
echo "$(nproc) cores, $(sed -n 's/^model name[^:]*: //p' /proc/cpuinfo | head -1), $(uname -sr), load average $(cut -d" " -f1-3 /proc/loadavg)" | tee -a "$log"

for program in bench_decoders bench_listfile bench_exchange bench_window; do
  echo
  echo "== $program"
  "$build/bench/$program" --benchmark_min_time="$min_time" --benchmark_color=false 2>&1 | tee -a "$log"
done

echo
echo "== Side by side with qstat"
bash "$root/bench/qstat_compare.sh" "$build" 2>&1 | tee -a "$log"

echo
echo "== Side by side with GameDig"
bash "$root/bench/gamedig_compare.sh" "$build" 2>&1 | tee -a "$log"

echo
echo "== First contact: finding a server's query protocol"
bash "$root/bench/first_contact.sh" "$build" 2>&1 | tee -a "$log"

echo
echo "== Console status listing through zerval-query"
bash "$root/bench/console_status.sh" "$build" 2>&1 | tee -a "$log"

echo
echo "== Console status listing over TCP through zerval-query"
bash "$root/bench/console_tcp.sh" "$build" 2>&1 | tee -a "$log"

echo
echo "== Memory of zerval-query --list over long lists"
bash "$root/bench/list_memory.sh" "$build" 2>&1 | tee -a "$log"

echo
echo "== zerval-exporter under a scraper's load"
"$build/bench/zerval-bench-exporter" 2>&1 | tee -a "$log"

echo
echo "== The window's overview watching 1,000 servers"
"$build/bench/zerval-bench-overview" 2>&1 | tee -a "$log"

echo
echo "== Ratios"
grep -E '^(RATIO|RESULT)' "$log"
