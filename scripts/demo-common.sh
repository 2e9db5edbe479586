# shellcheck shell=bash
# The demo set-up shared by run.sh and screenshots.sh; they source it after `set -euo pipefail`.
# Installs what is missing, builds, starts two simulated game servers on 127.0.0.1 (the second
# with the console password "demo", whose bots chat once the Chat button has pointed its log at
# this machine) and prepares the demo folder, whose "config.dat" loads "demo.zsl" and queries the
# first server at start. Sets root, bin, demo, port1 and port2; the servers stop when the
# sourcing script exits.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
# ZERVAL_DEMO_BUILD names a folder already built (the test command passes its own build).
if [[ -n "${ZERVAL_DEMO_BUILD:-}" ]]; then
  bin=$(cd "$ZERVAL_DEMO_BUILD" && pwd)
else
  bash scripts/build.sh build-run -DCMAKE_BUILD_TYPE=Release -DZERVAL_BUILD_TESTS=OFF
  bin="$root/build-run"
fi
demo="$root/demo"
rm -rf "$demo"
mkdir -p "$demo"

pids=()
stop_servers() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap stop_servers EXIT

# Starts simulator number $1 with the further arguments on a free port and sets `port`. It runs
# in this shell, not in a command substitution, so that the process id reaches `pids`.
start_server() {
  local out="$demo/server$1.out"
  shift
  "$bin/tools/gameserver/zerval-gameserver" --port 0 "$@" >"$out" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    if grep -q '^listening ' "$out"; then
      port=$(sed -n 's/^listening .*:\([0-9]*\)$/\1/p' "$out" | head -n1)
      return
    fi
    sleep 0.1
  done
  echo "the simulator did not start: $(cat "$out")" >&2
  exit 1
}

start_server 1 --name "Zerval Demo Server" --map dm_ridge --players 12 --bots 2 \
  --log "$demo/server1.log"
port1=$port
start_server 2 --name "Zerval Demo (Rcon)" --map dm_office --players 6 --password demo \
  --mod --chat 3 --log "$demo/server2.log"
port2=$port
"$bin/tools/demo/zerval-mkdemo" "$demo" "Demo Server" "127.0.0.1:$port1" -- \
  "Demo Rcon" "127.0.0.1:$port2" demo
echo "Simulated servers on 127.0.0.1:$port1 and 127.0.0.1:$port2 (console password: demo)"
