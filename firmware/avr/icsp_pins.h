/* The pin steps of the ICSP waveforms, inline on the ATmega328P's ports (included by
 * firmware/core/icsp.c through VKR_ICSP_PINS). They do what the hardware layer's set_pgc,
 * set_pgd, release_pgd and read_pgd do, without a call per edge, and keep the half clocks
 * at the cycle. */
#ifndef VKR_AVR_ICSP_PINS_H
#define VKR_AVR_ICSP_PINS_H

#include <stdbool.h>

#include "avr/pins.h"
#include "core/hal.h"

static inline void pin_pgc(const vkr_hal* hal, bool high) {
    (void)hal;
    if (high)
        PORTD |= (uint8_t)(1 << PGC_BIT);
    else
        PORTD &= (uint8_t) ~(1 << PGC_BIT);
}

static inline void pin_pgd(const vkr_hal* hal, bool high) {
    (void)hal;
    if (high)
        PORTD |= (uint8_t)(1 << PGD_BIT);
    else
        PORTD &= (uint8_t) ~(1 << PGD_BIT);
    DDRD |= (uint8_t)(1 << PGD_BIT);
}

static inline void pin_release_pgd(const vkr_hal* hal) {
    (void)hal;
    DDRD &= (uint8_t) ~(1 << PGD_BIT);
    PORTD &= (uint8_t) ~(1 << PGD_BIT);
}

static inline bool pin_read_pgd(const vkr_hal* hal) {
    (void)hal;
    return (PIND & (1 << PGD_BIT)) != 0;
}

/* A cycle is 62.5 ns. High: 6 cycles (375 ns) from the rising edge before PGD is read or
 * PGC falls. The chip puts its bit out within 80 ns (TDLY3; 10 ns on the PIC18), and R2
 * (470 ohm) into about 100 pF of cable and pins settles in five time constants, 235 ns.
 * The documents ask at least 100 ns of clock high. Low: the loop's own instructions come
 * between the falling edge and the next change of PGD or PGC (8 cycles or more); the
 * 2 cycles here keep the documents' 100 ns (TCKL, THLD1) whatever the compiler makes of
 * the loop. Between two frames of the 12/14-bit cores 1 us (TDLY1/TDLY2, 16 cycles). */
static inline void pin_high_time(const vkr_hal* hal) {
    (void)hal;
    __builtin_avr_delay_cycles(6);
}
static inline void pin_low_time(const vkr_hal* hal) {
    (void)hal;
    __builtin_avr_delay_cycles(2);
}
static inline void pin_frame_gap(const vkr_hal* hal) {
    (void)hal;
    __builtin_avr_delay_cycles(16);
}

#endif
