#!/usr/bin/env bash
# Assembles the oscillator calibration programs from their sources in data/osccal/ into
# data/, whose HEX files the build copies beside the executables, with gpasm (Debian
# package gputils, installed when missing). The HEX files are committed, so the build
# itself never needs gpasm; rerun this after changing a source.
set -euo pipefail

cd "$(dirname "$0")/../data/osccal"

if ! command -v gpasm >/dev/null; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing gputils" >&2
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends gputils
fi

# source  device  output
programs=(
    "osccal_12f6xx.asm 12f629 ../osccal_12f629.hex"
    "osccal_12f6xx.asm 12f675 ../osccal_12f675.hex"
    "osccal_12f6xx.asm 16f630 ../osccal_16f630.hex"
    "osccal_12f6xx.asm 16f676 ../osccal_16f676.hex"
)

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for entry in "${programs[@]}"; do
    read -r source device output <<<"$entry"
    gpasm --quiet -p "$device" -a inhx8m -o "$tmp/$device.hex" "$source"
    # gpasm leaves its listing and object names beside the output; only the HEX is kept.
    cp "$tmp/$device.hex" "$output"
    echo "$output ($device) from $source"
done
