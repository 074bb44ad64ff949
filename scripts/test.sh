#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
# first a normal build, then the core again under the address and undefined-behaviour
# sanitizers, then a short fuzzing run of the file readers and the discovery datagram reader.
# Ends with one summary line.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
log=$(mktemp)
trap 'rm -f "$log"' EXIT

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANTA_BUILD_UI=ON \
    -DORVANTA_BUILD_TESTS=ON -DORVANTA_BUILD_BENCH=ON >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs" --timeout 300) | tee -a "$log"

if [ "${ORVANTA_SKIP_SANITIZE:-0}" != "1" ]; then
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVANTA_SANITIZE=ON \
        -DORVANTA_BUILD_UI=OFF -DORVANTA_BUILD_BENCH=OFF >/dev/null
    cmake --build build-asan -j "$jobs"
    (cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j "$jobs" --timeout 600) |
        tee -a "$log"
fi

if [ "${ORVANTA_SKIP_FUZZ:-0}" != "1" ] && [ -f fuzz/CMakeLists.txt ]; then
    bash scripts/fuzz.sh 20
fi

# Both ctest runs together (the sanitizer run repeats the core tests).
total=$(awk '/tests failed out of/ {n += $NF} END {print n + 0}' "$log")
failed=$(awk '/tests failed out of/ {for (i = 1; i <= NF; i++) if ($i == "failed") f += $(i - 2)} END {print f + 0}' "$log")
skipped=$(grep -c '(Skipped)$' "$log" || true)
echo "tests: $((total - failed - skipped)) passed, $failed failed, $skipped skipped"
