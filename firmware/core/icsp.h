/* ICSP waveforms at the pins, for both PIC families.
 *
 * Bits go LSB first. Writing: PGD is set before the rising edge of PGC and the chip
 * latches it on the falling edge. Reading: PGD is released, the chip puts each bit out at
 * a rising edge and it is sampled late while PGC is high. The half clocks are as short as
 * the documents' set-up, hold, clock and output times allow with a margin for the cable
 * (icsp_pins.h on the board: at least 375 ns high, about 1 us low); a 12/14-bit frame
 * (command or data word) is followed by the 1 us the next one must wait (TDLY1/TDLY2).
 * PGC is low between calls.
 */
#ifndef VKR_ICSP_H
#define VKR_ICSP_H

#include <stdint.h>

#include "core/hal.h"

#ifdef __cplusplus
extern "C" {
#endif

/* `count` (1..16) bits of `value`. */
void vkr_icsp_write_bits(const vkr_hal* hal, uint16_t value, uint8_t count);
/* `count` (1..16) bits clocked in; PGD stays released afterwards. */
uint16_t vkr_icsp_read_bits(const vkr_hal* hal, uint8_t count);
/* A 12/14-bit command frame (6 bits). */
void vkr_icsp_command6(const vkr_hal* hal, uint8_t code);
/* 12/14-bit data frame: start bit, 14 data bits, stop bit. */
void vkr_icsp_write_word(const vkr_hal* hal, uint16_t word);
uint16_t vkr_icsp_read_word(const vkr_hal* hal);

/* The on-board blank test of 1024 program words from the chip's current address: 14- or
 * 12-bit cores by Read Data and Increment Address, 16-bit cores by 2048 table reads with
 * post-increment. Returns 1 when every word is blank, 0 otherwise; the address moves past
 * the block either way. */
uint8_t vkr_icsp_block_test(const vkr_hal* hal, uint8_t kind);

#ifdef __cplusplus
}
#endif

#endif
