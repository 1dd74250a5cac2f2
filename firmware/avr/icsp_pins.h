/* The pin steps of the ICSP waveforms, inline on the ATmega328P's ports (included by
 * firmware/core/icsp.c through VKR_ICSP_PINS). They do what the hardware layer's set_pgc,
 * set_pgd, release_pgd, read_pgd and delay_us(1) do, without a call per edge. */
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

/* 1 us is 16 cycles at 16 MHz. High: the wait and the instruction that ends it. Low: the
 * loop's own instructions (shifting, counting, setting PGD; 12 or more cycles) come after
 * the wait before PGD changes or PGC rises, so a short wait makes the microsecond. */
static inline void pin_high_time(const vkr_hal* hal) {
    (void)hal;
    __builtin_avr_delay_cycles(16);
}
static inline void pin_low_time(const vkr_hal* hal) {
    (void)hal;
    __builtin_avr_delay_cycles(9);
}

#endif
