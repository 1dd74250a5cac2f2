#!/usr/bin/env bash
# Whole-process load+save of Intel HEX files: velkaro-cli hex against srec_cat and objcopy,
# run interleaved (every round runs every tool on every input, in rotating order) so that
# a change in machine load hits all of them alike. Prints the median of each and the ratios.
#
#   bench/run-hex-bench.sh [ROUNDS]      (default 21 rounds)
#
# Builds the benchmark targets in build-bench/ first; needs srecord, binutils and
# libbenchmark-dev (scripts/ensure-packages.sh srecord binutils libbenchmark-dev).
set -euo pipefail

rounds=${1:-21}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-bench

"$root/scripts/ensure-packages.sh" srecord binutils libbenchmark-dev
cmake -S "$root" -B "$build" -DVELKARO_BENCH=ON -DVELKARO_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target velkaro-cli make_bench_hex hex_bench >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bin/make_bench_hex" "$work"
cli=$build/bin/velkaro-cli

inputs=(pic18-128k pic18-128k-shuffled pic16f877a-full)
tools=(velkaro srec_cat objcopy)

deviceOf() {
    case $1 in
        pic18*) echo BENCH18-128K ;;
        *) echo BENCH16F877A ;;
    esac
}

run() {  # tool input
    local in=$work/$2.hex out=$work/out-$1-$2.hex
    case $1 in
        velkaro) "$cli" --data-dir "$root/bench" --device "$(deviceOf "$2")" hex "$in" -o "$out" ;;
        srec_cat) srec_cat "$in" -intel -o "$out" -intel 2>/dev/null ;;  # it warns about unordered records
        objcopy) objcopy -I ihex -O ihex "$in" "$out" ;;
    esac
}

# One warm-up round; it also checks that every tool accepts every input.
for input in "${inputs[@]}"; do
    for tool in "${tools[@]}"; do
        run "$tool" "$input" || { echo "$tool failed on $input" >&2; exit 1; }
    done
done

declare -A times
for ((r = 0; r < rounds; r++)); do
    for ((i = 0; i < ${#tools[@]}; i++)); do
        tool=${tools[$(((i + r) % ${#tools[@]}))]}
        for input in "${inputs[@]}"; do
            start=$EPOCHREALTIME
            run "$tool" "$input"
            end=$EPOCHREALTIME
            # microseconds, without relying on floating point in bash
            us=$(( (${end%.*} - ${start%.*}) * 1000000 + 10#${end#*.} - 10#${start#*.} ))
            times[$tool,$input]+="$us "
        done
    done
done

median() {
    tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}

declare -A med
printf '%-22s %12s %12s %12s\n' "median (ms, $rounds runs)" velkaro srec_cat objcopy
for input in "${inputs[@]}"; do
    row=$(printf '%-22s' "$input")
    for tool in "${tools[@]}"; do
        med[$tool,$input]=$(median "${times[$tool,$input]}")
        row+=$(awk -v us="${med[$tool,$input]}" 'BEGIN {printf " %12.2f", us / 1000}')
    done
    echo "$row"
done

echo
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
for input in "${inputs[@]}"; do
    echo "$input: srec_cat/velkaro $(ratio "${med[srec_cat,$input]}" "${med[velkaro,$input]}")," \
        "objcopy/velkaro $(ratio "${med[objcopy,$input]}" "${med[velkaro,$input]}")"
done
echo "velkaro shuffled/ordered (128 KiB): $(ratio "${med[velkaro,pic18-128k-shuffled]}" "${med[velkaro,pic18-128k]}")"
echo
echo "In-process reader and writer:"
"$build/bin/hex_bench" --benchmark_min_time=0.2 2>/dev/null | grep -E '^BM_'
