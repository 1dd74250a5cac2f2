#!/usr/bin/env bash
# Builds the programmer firmware for the ATmega328P (Arduino Uno/Nano) with Debian's
# gcc-avr and avr-libc: firmware/build/vkr20pro.elf and .hex (or into the folder given as
# the first argument). Prints the sizes and fails
# when the program does not fit the flash left by the boot loader or leaves too little RAM
# for the stack.
set -euo pipefail
cd "$(dirname "$0")"

mcu=atmega328p
out="${1:-build}"
flash_limit=30720  # 32 KB less the 2 KB boot loader of older Nano boards
ram_limit=1536     # of 2 KB, the rest for the stack

mkdir -p "$out"
avr-gcc -mmcu="$mcu" -DF_CPU=16000000UL -std=c99 -O2 -Wall -Wextra -Wpedantic -Werror \
    -ffunction-sections -fdata-sections -Wl,--gc-sections -I. \
    -DVKR_ICSP_PINS='"avr/icsp_pins.h"' \
    core/board.c core/crc8.c core/icsp.c avr/hal_avr.c avr/main.c \
    -o "$out/vkr20pro.elf"
avr-objcopy -O ihex -R .eeprom "$out/vkr20pro.elf" "$out/vkr20pro.hex"

read -r text data bss _ < <(avr-size -B "$out/vkr20pro.elf" | tail -n 1)
flash=$((text + data))
ram=$((data + bss))
echo "vkr20pro: flash $flash of $flash_limit bytes, RAM $ram of $ram_limit bytes (static)"
if [ "$flash" -gt "$flash_limit" ] || [ "$ram" -gt "$ram_limit" ]; then
    echo "vkr20pro: too large for the $mcu" >&2
    exit 1
fi
