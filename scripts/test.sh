#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the plain build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, a short run of every fuzz target, the
# screenshots, and the Debian package built, installed, started and removed again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT

echo "== Build and test"
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=Debug
(cd build && ctest --output-on-failure -j2) | tee -a "$summary"

echo "== Sanitized build and test"
bash scripts/build.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug -DZERVAL_SANITIZE=ON
# Qt and the font libraries keep caches until exit; leaks are not what this run looks for.
(cd build-sanitize &&
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j2) |
  tee -a "$summary"

echo "== Fuzz targets"
bash fuzz/run.sh "${ZERVAL_FUZZ_SECONDS:-20}" | tee -a "$summary"

echo "== Both catalogues of each program translate every text"
for catalogue in translations/*.ts; do
  report=$(/usr/lib/qt6/bin/lrelease "$catalogue" -qm /dev/null)
  if [[ $report != *" and 0 unfinished)"* || $report == *untranslated* ]]; then
    echo "$catalogue is not complete: $report"
    exit 1
  fi
done
echo "translations: $(find translations -name '*.ts' | wc -l) catalogues complete" |
  tee -a "$summary"

echo "== Screenshots of each page and of the chat, for people to look at"
rm -rf build/screenshots
ZERVAL_DEMO_BUILD=build bash scripts/screenshots.sh build/screenshots
shots=$(find build/screenshots -name '*.png' -size +1k | wc -l)
[[ $shots -eq 11 ]] || { echo "screenshots: only $shots of 11 pictures were written"; exit 1; }
echo "screenshots: 11 pictures (six pages, the chat, German, English, dark, a fleet's overview)" \
  "written to" \
  "build/screenshots" | tee -a "$summary"

echo "== The Debian package, installed and started as a user would"
bash scripts/package-test.sh | tee -a "$summary"

# One closing line over every step; each step above has already stopped the script on a
# failure.
total=$(($(sed -n 's/.*tests failed out of \([0-9]*\)$/\1/p' "$summary" | paste -sd+)))
fuzzed=$(grep -c 'executions in .* no findings' "$summary" || true)
echo "$((total + fuzzed + 3)) passed, 0 failed"
