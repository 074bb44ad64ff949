#!/usr/bin/env bash
# Builds the fuzz targets (file readers, discovery datagrams, template filling, API requests) with clang (libFuzzer, address and undefined-behaviour sanitizers)
# and runs each one for a time budget: bash scripts/fuzz.sh [seconds per target, default 20].
# The seed corpus in fuzz/corpus/<target>/ is only read; what the fuzzer finds goes to
# build-fuzz/corpus-<target>/. Exits non-zero when a target crashes; the input that crashed
# is left in build-fuzz/ as crash-<target>-*.
set -euo pipefail
cd "$(dirname "$0")/.."
budget="${1:-20}"
build=build-fuzz
jobs=$(nproc)

# A build folder configured with another compiler cannot be switched over: start afresh.
if [ -f "$build/CMakeCache.txt" ] && ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++' "$build/CMakeCache.txt"; then
    rm -rf "$build"
fi
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVANTA_BUILD_FUZZ=ON -DORVANTA_BUILD_UI=OFF -DORVANTA_BUILD_TESTS=OFF \
    -DORVANTA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_rtf fuzz_ovx fuzz_discovery fuzz_registry fuzz_replies fuzz_templates fuzz_api_request -j "$jobs"

status=0
for target in rtf ovx discovery registry replies templates api_request; do
    work="$build/corpus-$target"
    mkdir -p "$work" "fuzz/corpus/$target"
    # A datagram is read in at most 1024 bytes; the file readers take up to 64 KiB.
    case $target in
        discovery) limits=(-max_len=1500 -dict=fuzz/discovery.dict) ;;
        rtf | ovx) limits=(-max_len=65536 -dict=fuzz/rtf.dict) ;;
        *) limits=(-max_len=65536) ;;
    esac
    echo "fuzz_$target: ${budget}s"
    if ! "$build/bin/fuzz_$target" -max_total_time="$budget" -timeout=10 -rss_limit_mb=2048 \
        "${limits[@]}" -print_final_stats=1 -artifact_prefix="$build/crash-$target-" \
        "$work" "fuzz/corpus/$target" 2>"$build/fuzz_$target.log"; then
        tail -n 60 "$build/fuzz_$target.log"
        echo "fuzz_$target found a crash (see $build/fuzz_$target.log)" >&2
        status=1
    else
        grep -E '^stat::number_of_executed_units|^Done' "$build/fuzz_$target.log" || true
    fi
done
exit $status
