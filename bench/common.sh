# Helpers of the benchmark scripts: simulators on loopback that are stopped on exit, a scratch
# folder, wall times of single runs and their median. Expects `simulator` to name the
# simulator's program.

work=$(mktemp -d)
simulator_pids=()
cleanup() {
  for pid in "${simulator_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# Starts a simulator with the further arguments, its output in $1, and sets `port` to its first
# port. It runs in this shell, so that its process id reaches `simulator_pids`.
start_simulator() {
  local out=$1
  shift
  "$simulator" --address 127.0.0.1 --port 0 "$@" >"$out" 2>&1 &
  simulator_pids+=($!)
  for _ in $(seq 100); do
    grep -q '^listening ' "$out" && break
    kill -0 "${simulator_pids[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  port=$(sed -n 's/^listening 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$out")
  if [[ -z $port ]]; then
    echo "the simulator did not start:" >&2
    cat "$out" >&2
    exit 1
  fi
}

# Runs a command once and prints its wall time in microseconds; its output goes to $1. The
# shell's own clock, as starting "date" twice would cost more than some of the runs measured.
time_once() {
  local output=$1
  shift
  local start end
  start=${EPOCHREALTIME/./}
  "$@" >"$output" 2>&1 || true
  end=${EPOCHREALTIME/./}
  echo $((end - start))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

