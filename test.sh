#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with CTest: once in a normal
# build, then once under AddressSanitizer and UndefinedBehaviorSanitizer.
# VELKARO_SKIP_SANITIZERS=1 skips the second run (quick local checks; CI never sets it).
set -euo pipefail
cd "$(dirname "$0")"
# gputils: the device database is checked against it; gcc-avr, avr-libc, binutils-avr: the
# programmer firmware must build for its board; libsimavr-dev, libelf-dev: the firmware runs
# under emulation in the tests.
scripts/ensure-packages.sh gputils gcc-avr avr-libc binutils-avr libsimavr-dev libelf-dev
firmware/build.sh
jobs="$(nproc)"
# CI builds with warnings as errors, so a warning never lands.
werror="OFF"
[ -n "${CI:-}" ] && werror="ON"

run_suite() {
    local dir="$1"; shift
    cmake -S . -B "$dir" -DVELKARO_REQUIRE_EMULATION=ON -DVELKARO_WERROR="$werror" "$@" >/dev/null
    cmake --build "$dir" --parallel "$jobs"
    ctest --test-dir "$dir" --output-on-failure --parallel "$jobs"
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ "${VELKARO_SKIP_SANITIZERS:-0}" != "1" ]; then
    # Asserts on, optimised as far as the sanitizers still see every fault: -O1 runs the
    # suite several times faster than -O0.
    run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
        -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DVELKARO_SANITIZE=ON
fi
