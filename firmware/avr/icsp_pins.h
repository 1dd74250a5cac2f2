/* The pin steps of the ICSP waveforms, inline on the ATmega328P's ports (included by
 * firmware/core/icsp.c through VKR_ICSP_PINS). They do what the hardware layer's set_pgc,
 * set_pgd, release_pgd, read_pgd and delay_us(1) do, without a call per edge. */
#ifndef VKR_AVR_ICSP_PINS_H
#define VKR_AVR_ICSP_PINS_H

#include <stdbool.h>
#include <util/delay.h>

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

/* 16 cycles at 16 MHz; the instructions around it only add. */
static inline void pin_half_clock(const vkr_hal* hal) {
    (void)hal;
    _delay_us(1);
}

#endif
