/* The ATmega328P hardware layer. */
#ifndef VKR_HAL_AVR_H
#define VKR_HAL_AVR_H

#include "core/hal.h"

/* Sets up the pins (everything off), the timers and the UART; interrupts stay off. */
void vkr_avr_init(void);

extern const vkr_hal vkr_avr_hal;

#endif
