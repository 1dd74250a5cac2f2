#!/usr/bin/env bash
# Link time of a whole `program --verify` on a full image (every program word and data
# byte used): for each family's representative and each backend, the seconds the virtual
# clock counted (what the operation would take on hardware as the backend models it) and
# the host CPU time the run cost.
#
#   bench/run-link-bench.sh [DEVICE...]    (default: one device per family)
#
# Builds velkaro-cli and full_image_hex in build-bench/ (or $VELKARO_BENCH_BUILD) first, and
# the programmer firmware the emulated board runs; needs libbenchmark-dev for the bench folder.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELKARO_BENCH_BUILD:-$root/build-bench}

"$root/scripts/ensure-packages.sh" libbenchmark-dev time gcc-avr avr-libc binutils-avr libsimavr-dev \
    libelf-dev
"$root/firmware/build.sh" >/dev/null
# An existing build named by VELKARO_BENCH_BUILD must have been configured with
# -DVELKARO_BENCH=ON; it is built, not reconfigured.
if [ -z "${VELKARO_BENCH_BUILD:-}" ]; then
    cmake -S "$root" -B "$build" -DVELKARO_BENCH=ON -DVELKARO_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target velkaro-cli full_image_hex >/dev/null

devices=("$@")
[ ${#devices[@]} -eq 0 ] && devices=(PIC12F508 PIC16F84A PIC16F628A PIC16F877A PIC16F1827 PIC18F452 PIC18F4520)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cli=$build/bin/velkaro-cli
data=$build/bin

printf '%-12s %-16s %8s %8s %s\n' device backend link_s cpu_s result
for device in "${devices[@]}"; do
    "$build/bin/full_image_hex" "$data" "$device" "$work/$device.hex"
    for backend in simulated jdm board; do
        case $backend in
            simulated) options=() ;;
            jdm) options=(--programmer 1) ;;
            board) options=(--emulate-board) ;;
        esac
        rm -f "$work/chip.state"
        json=$( { /usr/bin/time -f '%U %S' -o "$work/cpu" "$cli" --device "$device" \
            --sim-state "$work/chip.state" "${options[@]}" program "$work/$device.hex" --verify \
            --json 2>/dev/null || true; } )
        seconds=$(sed -n 's/.*"seconds":\([0-9.]*\).*/\1/p' <<<"$json")
        result=$(sed -n 's/.*"result":"\([^"]*\)".*/\1/p' <<<"$json")
        cpu=$(awk '{printf "%.2f", $1 + $2}' "$work/cpu")
        printf '%-12s %-16s %8s %8s %s\n' "$device" "$backend" "${seconds:--}" "$cpu" "${result:-failed}"
    done
done
