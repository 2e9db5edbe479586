#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the plain build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and a short run of every fuzz target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen

echo "== Build and test"
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=Debug
(cd build && ctest --output-on-failure -j2)

echo "== Sanitized build and test"
bash scripts/build.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug -DZERVAL_SANITIZE=ON
# Qt and the font libraries keep caches until exit; leaks are not what this run looks for.
(cd build-sanitize &&
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j2)

echo "== Fuzz targets"
bash fuzz/run.sh "${ZERVAL_FUZZ_SECONDS:-20}"
