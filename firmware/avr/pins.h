/* The ATmega328P pins of the programmer (Arduino Uno/Nano); docs/pro-circuit.md. */
#ifndef VKR_AVR_PINS_H
#define VKR_AVR_PINS_H

#include <avr/io.h>

#define PGC_BIT PD2
#define PGD_BIT PD3
#define VPP_BIT PD4
#define OSC_BIT PD5 /* T1 */
#define VPP_LEVEL_BIT PD6
#define VDD_BIT PD7
#define LED_MASK 0x0F /* PB0..PB3 */
#define VPP_8V5_BIT PB4
#define LED_ANY_BIT PB5
#define SENSE_BIT PC0

#endif
