#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, AddressSanitizer and UndefinedBehaviorSanitizer,
# in build-fuzz/) and runs them.
#
#   fuzz/run.sh HARNESS SECONDS   one harness, e.g. fuzz/run.sh hex_reader 600
#   fuzz/run.sh all SECONDS       every harness in turn, SECONDS each
#   fuzz/run.sh list              the harness names
#
# Each run starts from the committed seeds (fuzz/corpus/NAME) and keeps what it finds in
# build-fuzz/corpus/NAME, so later runs go on from there. A crash, hang or sanitizer report
# is written to build-fuzz/findings/NAME/ and the script exits non-zero: reproduce it with
# build-fuzz/bin/fuzz_NAME FILE, and keep the input as a regression test.
# FUZZ_JOBS=N runs N processes per harness (default 1).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="$root/build-fuzz"

harnesses() {
    for f in fuzz/fuzz_*.cpp; do
        basename "$f" .cpp | sed 's/^fuzz_//'
    done
}

if [ "${1:-}" = "list" ]; then
    harnesses
    exit 0
fi
if [ $# -ne 2 ] || ! [[ "$2" =~ ^[0-9]+$ ]]; then
    echo "usage: $0 HARNESS|all SECONDS  (harnesses: $(harnesses | tr '\n' ' '))" >&2
    exit 64
fi
which="$1"
seconds="$2"

scripts/ensure-packages.sh clang
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELKARO_FUZZ=ON -DVELKARO_TESTS=OFF -DVELKARO_BENCH=OFF >/dev/null
jobs="${FUZZ_BUILD_JOBS:-2}"
if [ "$which" = all ]; then
    targets=$(harnesses | sed 's/^/fuzz_/')
else
    # Not grep -q: it stops reading early, and under pipefail the broken pipe fails the test.
    harnesses | grep -x "$which" >/dev/null || { echo "no harness \"$which\"" >&2; exit 64; }
    targets="fuzz_$which"
fi
# shellcheck disable=SC2086
cmake --build "$build" --parallel "$jobs" --target $targets

run_one() {
    local name="$1"
    local corpus="$build/corpus/$name" findings="$build/findings/$name"
    local extra=()
    mkdir -p "$corpus" "$findings"
    [ -f "fuzz/dict/$name.dict" ] && extra+=(-dict="fuzz/dict/$name.dict")
    [ "${FUZZ_JOBS:-1}" -gt 1 ] && extra+=(-jobs="$FUZZ_JOBS" -workers="$FUZZ_JOBS")
    echo "== $name: $seconds s" >&2
    # The time given is wall-clock time; the CPU time says how much fuzzing it was on a
    # machine doing other work too.
    local TIMEFORMAT="== $name: %U s user + %S s system CPU in %R s" status=0
    time "$build/bin/fuzz_$name" "${extra[@]}" -max_total_time="$seconds" -timeout=30 \
        -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$corpus" "fuzz/corpus/$name" \
        2>"$build/$name.log" || status=$?
    if [ "$status" -ne 0 ]; then
        tail -n 40 "$build/$name.log" >&2
        echo "== $name: FINDING, see $findings/ and $build/$name.log" >&2
        return 1
    fi
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|cov: ' "$build/$name.log" \
        | tail -n 3 >&2
}

status=0
if [ "$which" = all ]; then
    for name in $(harnesses); do
        run_one "$name" || status=1
    done
else
    run_one "$which" || status=1
fi
exit $status
