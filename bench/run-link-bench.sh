#!/usr/bin/env bash
# Link time of a whole `program --verify` on a full image (every program word and data
# byte used): for each family's representative and each backend (the simulated programmer,
# the JDM at 10 us and at 1 ms per port call, the emulated board), the seconds the virtual
# clock counted (what the operation would take on hardware as the backend models it), the
# floor (the chip's cycles at their specified minimums and the waits the rules fix), their
# ratio, the JDM's line changes per program word, and the host CPU time the run cost.
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

# A data folder whose settings give the JDM's port calls 1 ms each (a USB serial adapter).
slow=$work/usb-adapter
mkdir -p "$slow"
cp "$data/device.ini" "$data/Config.ini" "$slow/"
sed '/^\[VKR-20 JDM\]/a PortCallUs=1000' "$data/velkaro.ini" >"$slow/velkaro.ini"
grep -q '^PortCallUs=1000' "$slow/velkaro.ini"

printf '%-12s %-10s %9s %8s %7s %8s %6s %s\n' device backend link_s floor_s ratio changes cpu_s result
for device in "${devices[@]}"; do
    "$build/bin/full_image_hex" "$data" "$device" "$work/$device.hex"
    words=$("$cli" --data-dir "$data" --device "$device" info | sed -n 's/^ProgSize = //p')
    for backend in simulated jdm-10us jdm-1ms board; do
        folder=$data
        case $backend in
            simulated) options=() ;;
            jdm-10us) options=(--programmer 1) ;;
            jdm-1ms) options=(--programmer 1) folder=$slow ;;
            board) options=(--emulate-board) ;;
        esac
        rm -f "$work/chip.state"
        json=$( { /usr/bin/time -f '%U %S' -o "$work/cpu" "$cli" --data-dir "$folder" \
            --device "$device" --sim-state "$work/chip.state" "${options[@]}" program \
            "$work/$device.hex" --verify --json 2>/dev/null || true; } )
        seconds=$(sed -n 's/.*"seconds":\([0-9.]*\).*/\1/p' <<<"$json")
        floor=$(sed -n 's/.*"floorSeconds":\([0-9.]*\).*/\1/p' <<<"$json")
        result=$(sed -n 's/.*"result":"\([^"]*\)".*/\1/p' <<<"$json")
        cpu=$(awk '{printf "%.2f", $1 + $2}' "$work/cpu")
        changes=$(sed -n 's/.*"lineChanges":\([0-9]*\).*/\1/p' <<<"$json")
        ratio=-
        [ -n "$seconds" ] && [ -n "$floor" ] && ratio=$(awk -v s="$seconds" -v f="$floor" 'BEGIN { printf "%.2f", s / f }')
        # Line changes per program word, for the whole program --verify (erase, write with its
        # read-back, verify).
        per_word=-
        [ -n "$changes" ] && per_word=$(awk -v c="$changes" -v w="$words" 'BEGIN { printf "%.1f", c / w }')
        printf '%-12s %-10s %9.2f %8.2f %7s %8s %6s %s\n' "$device" "$backend" "${seconds:-0}" "${floor:-0}" \
            "$ratio" "$per_word" "$cpu" "${result:-failed}"
    done
done
