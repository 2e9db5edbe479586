#!/usr/bin/env bash
# Builds the fuzz targets into build-fuzz/ and runs each one for SECONDS seconds, starting from
# a fresh copy of its seeds. Fails on any crash, sanitizer report or broken invariant.
set -euo pipefail

if [[ $# -ne 1 || ! $1 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 SECONDS" >&2
  exit 2
fi
seconds=$1
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"

cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j2

failed=0
for target in "$build"/fuzz_*; do
  [[ -f $target && -x $target ]] || continue
  name=$(basename "$target")
  corpus="$build/corpus-run/$name"
  artifacts="$build/artifacts/$name"
  log="$build/$name.log"
  rm -rf "$corpus"
  mkdir -p "$corpus" "$artifacts"
  if [[ -d $root/fuzz/corpus/$name ]]; then
    cp "$root/fuzz/corpus/$name"/* "$corpus"/ 2>/dev/null || true
  fi

  status=0
  "$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1 || status=$?
  executions=$(awk '/stat::number_of_executed_units:/ { print $2 }' "$log" | tail -n 1)
  if [[ $status -ne 0 ]] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:' "$log"; then
    echo "$name: FAILED after ${executions:-?} executions (exit $status), see $log"
    failed=1
  else
    echo "$name: ${executions:-?} executions in ${seconds} s, no findings"
  fi
done
exit $failed
