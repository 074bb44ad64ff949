#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
# first a normal build, then the core again under the address and undefined-behaviour
# sanitizers, then a short fuzzing run of the file readers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs" --timeout 300)

if [ "${ORVANTA_SKIP_SANITIZE:-0}" != "1" ]; then
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVANTA_SANITIZE=ON \
        -DORVANTA_BUILD_UI=OFF -DORVANTA_BUILD_BENCH=OFF >/dev/null
    cmake --build build-asan -j "$jobs"
    (cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j "$jobs" --timeout 600)
fi

if [ "${ORVANTA_SKIP_FUZZ:-0}" != "1" ] && [ -f fuzz/CMakeLists.txt ]; then
    bash scripts/fuzz.sh 20
fi
