#!/usr/bin/env bash
# Installs what is missing, builds, starts two simulated game servers on 127.0.0.1 (the second
# with the console password "demo") and runs Zerval against them from a demo folder.
# Without a display it runs under Xvfb, waits for the first query, saves a screenshot and says where.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh build-run -DCMAKE_BUILD_TYPE=Release -DZERVAL_BUILD_TESTS=OFF
bin="$root/build-run"
demo="$root/demo"
rm -rf "$demo"
mkdir -p "$demo"

pids=()
stop_servers() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap stop_servers EXIT

# Starts one simulator on a free port; prints the port.
start_server() {
  local out="$demo/server$1.out"
  shift
  "$bin/tools/gameserver/zerval-gameserver" --port 0 "$@" >"$out" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    if grep -q '^listening ' "$out"; then
      sed -n 's/^listening .*:\([0-9]*\)$/\1/p' "$out" | head -n1
      return
    fi
    sleep 0.1
  done
  echo "the simulator did not start: $(cat "$out")" >&2
  exit 1
}

port1=$(start_server 1 --name "Zerval Demo Server" --map de_dust2 --players 12 --bots 2 \
  --log "$demo/server1.log")
port2=$(start_server 2 --name "Zerval Demo (Rcon)" --map cs_office --players 6 --password demo \
  --mod)
"$bin/tools/demo/zerval-mkdemo" "$demo" "Demo Server" "127.0.0.1:$port1" -- \
  "Demo Rcon" "127.0.0.1:$port2" demo
echo "Simulated servers on 127.0.0.1:$port1 and 127.0.0.1:$port2 (console password: demo)"

cd "$demo"
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  "$bin/zerval"
  exit 0
fi

shot="$demo/zerval-screenshot.png"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1/zerval" & app=$!
  for _ in $(seq 200); do
    grep -q "rules" "$2/server1.log" 2>/dev/null && break
    sleep 0.1
  done
  sleep 1
  import -window root "$3"
  kill $app
  wait $app 2>/dev/null || true
' _ "$bin" "$demo" "$shot"
echo "No display: Zerval ran under Xvfb against the demo servers; screenshot saved to $shot"
