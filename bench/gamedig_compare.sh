#!/usr/bin/env bash
# Side by side with GameDig (npm gamedig 5.3.3, installed once into BUILD_DIR/gamedig): one
# simulator process on loopback serves 100 consecutive ports with the Steam-era protocol;
# GameDig's library, in one Node process that asks all servers at once, and zerval-query do the
# same full query (details, players and rules of each) of 1 and of 100 servers in turn, and the
# median wall times of both, process start included, are printed with their ratio. Both resend
# an unanswered request once.
#   node gamedig_query.mjs HOST:PORT...   and   zerval-query --a2s --retries 1 HOST:PORT...
# Usage: gamedig_compare.sh BUILD_DIR   (ZERVAL_COMPARE_ROUNDS sets the rounds, default 7)
set -euo pipefail

build=$(cd "${1:?usage: gamedig_compare.sh BUILD_DIR}" && pwd)
rounds=${ZERVAL_COMPARE_ROUNDS:-7}
query="$build/tools/query/zerval-query"
simulator="$build/tools/gameserver/zerval-gameserver"
gamedig="$build/gamedig"
servers=100

source "$(dirname "$0")/common.sh"

if [[ ! -f $gamedig/node_modules/gamedig/package.json ]]; then
  mkdir -p "$gamedig"
  npm install --prefix "$gamedig" --no-audit --no-fund --loglevel=error gamedig@5.3.3 >/dev/null
fi
# Beside its node_modules, so that the script finds the package.
cp "$(dirname "$0")/gamedig_query.mjs" "$gamedig/"

start_simulator "$work/simulator.out" --protocol steam --count "$servers"
first_port=$port

# compare LABEL N: both tools on the first N servers.
compare() {
  local label=$1 count=$2 targets=() gamedig_times=() zerval_times=()
  for ((i = 0; i < count; i++)); do targets+=("127.0.0.1:$((first_port + i))"); done
  local gamedig_command=(node "$gamedig/gamedig_query.mjs" "${targets[@]}")
  local zerval_command=("$query" --a2s --retries 1 "${targets[@]}")
  # One unmeasured run of each fills the caches and checks that both see every server.
  time_once "$work/gamedig.out" "${gamedig_command[@]}" >/dev/null
  time_once "$work/zerval.out" "${zerval_command[@]}" >/dev/null
  local gamedig_seen zerval_seen
  gamedig_seen=$(grep -c ' answered: Zerval Test Server' "$work/gamedig.out" || true)
  zerval_seen=$(grep -c 'Server Name: .*Zerval Test Server' "$work/zerval.out" || true)
  for _ in $(seq "$rounds"); do
    gamedig_times+=("$(time_once "$work/gamedig.out" "${gamedig_command[@]}")")
    zerval_times+=("$(time_once "$work/zerval.out" "${zerval_command[@]}")")
  done
  local gamedig_us zerval_us
  gamedig_us=$(printf '%s\n' "${gamedig_times[@]}" | median)
  zerval_us=$(printf '%s\n' "${zerval_times[@]}" | median)
  awk -v label="$label" -v g="$gamedig_us" -v z="$zerval_us" -v gs="$gamedig_seen" \
    -v zs="$zerval_seen" -v n="$count" -v target="$3" 'BEGIN {
      printf "%-26s gamedig %8.1f ms (%d/%d answered)   zerval-query %8.1f ms (%d/%d answered)\n",
             label, g / 1000, gs, n, z / 1000, zs, n
      printf "RATIO gamedig / zerval-query, %s: %.2f (target %s)\n", label, g / z, target
    }'
}

echo "GameDig $(node -p "require('$gamedig/node_modules/gamedig/package.json').version") on Node $(node --version), $rounds rounds each, median wall time, simulator on 127.0.0.1:$first_port..$((first_port + servers - 1))"
compare "1 server, full query" 1 ">= 1"
compare "$servers servers, full query" "$servers" ">= 5"
