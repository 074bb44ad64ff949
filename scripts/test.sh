#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite, in this order:
#   1. the formatting check of every source file (clang-format --dry-run -Werror);
#   2. a normal build and every test;
#   3. everything again, the window tests (offscreen) included, under the address and
#      undefined-behaviour sanitizers (build-asan/);
#   4. the core, command, history, lock, service and alarm player tests under the thread
#      sanitizer (build-tsan/);
#   5. a short fuzzing run of the file readers and the discovery datagram reader.
# Each part says how long it took. Ends with one summary line that counts every ctest run;
# exits non-zero when any part failed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0

# A repeated run recompiles only what changed; without ccache everything is compiled afresh.
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# Runs one named part and says how long it took.
part() {
    local name=$1
    shift
    local start=$SECONDS
    echo "== $name"
    if ! "$@"; then
        echo "== $name FAILED" >&2
        status=1
    fi
    echo "== $name: $((SECONDS - start)) s"
}

# ctest in `folder`; its output goes to the log the summary is counted from.
run_ctest() {
    local folder=$1
    shift
    (cd "$folder" && ctest --output-on-failure -j "$jobs" "$@") | tee -a "$log"
    return "${PIPESTATUS[0]}"
}

format_check() {
    git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
}

normal() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANTA_BUILD_UI=ON \
        -DORVANTA_BUILD_TESTS=ON -DORVANTA_BUILD_BENCH=ON -DORVANTA_WERROR=ON \
        "${launcher[@]}" >/dev/null &&
        cmake --build build -j "$jobs" &&
        run_ctest build --timeout 300
}

# Qt, fontconfig and the other libraries are not instrumented; see tests/sanitizers/.
sanitizer_env() {
    # Full unwinding on every allocation: the libraries are built without frame pointers, and
    # the leak suppressions name their functions, which a fast unwind would not see.
    export ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0"
    export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    export TSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/tsan.supp:halt_on_error=1:second_deadlock_stack=1"
    export QT_QPA_PLATFORM=offscreen
}

# The window test that searches inside a private network namespace runs in the normal build
# only: there the leak checker cannot stop two of Qt's own threads in the inner test program
# ("Running thread N was not suspended. False leaks are possible.") and reports the event loop
# contexts they still hold as leaked.
unsuspendable=(DiscoveryPageNamespace.FindsRegistersAndKeepsRows)
address() {
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVANTA_SANITIZE=address \
        -DORVANTA_BUILD_UI=ON -DORVANTA_BUILD_BENCH=OFF -DORVANTA_WERROR=ON \
        "${launcher[@]}" >/dev/null &&
        cmake --build build-asan -j "$jobs" &&
        (sanitizer_env && run_ctest build-asan --timeout 900 -E "^($(IFS='|' && echo "${unsuspendable[*]}"))\$")
}

# The tests of work that runs on several threads: the many-projector engine and the watches
# (commands), the history writer, the file and send locks (platform, settings), the transfer
# workers (protocol), the schedule's firing loop, the service (a program of its own, whose
# reports its tests read from its output), and the alarm player's closer (sound).
threaded=(commands history platform settings protocol schedule service sound)
thread() {
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANTA_SANITIZE=thread \
        -DORVANTA_BUILD_UI=OFF -DORVANTA_BUILD_BENCH=OFF -DORVANTA_WERROR=ON \
        "${launcher[@]}" >/dev/null &&
        cmake --build build-tsan -j "$jobs" --target "${threaded[@]/#/test_}" &&
        (sanitizer_env && run_ctest build-tsan --timeout 900 -L "^test_($(IFS='|' && echo "${threaded[*]}"))\$")
}

part "formatting" format_check
part "build and tests" normal
if [ "${ORVANTA_SKIP_SANITIZE:-0}" != "1" ]; then
    part "address and undefined-behaviour sanitizers" address
    part "thread sanitizer" thread
fi
if [ "${ORVANTA_SKIP_FUZZ:-0}" != "1" ] && [ -f fuzz/CMakeLists.txt ]; then
    part "fuzzing" bash scripts/fuzz.sh 20
fi

# Every ctest run together (the sanitizer runs repeat tests of the normal one).
total=$(awk '/tests failed out of/ {n += $NF} END {print n + 0}' "$log")
failed=$(awk '/tests failed out of/ {for (i = 1; i <= NF; i++) if ($i == "failed") f += $(i - 2)} END {print f + 0}' "$log")
skipped=$(grep -c '(Skipped)$' "$log" || true)
echo "tests: $((total - failed - skipped)) passed, $failed failed, $skipped skipped"
exit $status
