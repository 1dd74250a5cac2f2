/* The hardware layer on an ATmega328P board at 16 MHz (Arduino Uno or Nano). The pins and
 * the circuit around them are in docs/pro-circuit.md:
 *
 *   D2 PD2  PGC            D6 PD6  VPP 12 V (high; both level pins low: 13 V)
 *   D3 PD3  PGD            D7 PD7  VDD switch (high: on)
 *   D4 PD4  VPP switch     D8-D11 PB0-PB3  socket LEDs 1-4, D13 PB5 any socket
 *   D5 PD5  T1: the target's clock-out     D12 PB4 VPP 8.5 V (high)
 *   A0 PC0  target VDD sense
 *
 * Timer0 counts microseconds (0.5 us ticks, overflow every 128 us); Timer1 counts the
 * target's clock on T1 during a measurement; the UART runs at 1000000 8N1 with a receive
 * ring filled and a transmit ring emptied by its interrupts.
 */
#include "avr/hal_avr.h"

#include "avr/pins.h"
#include "core/protocol.h"

#include <avr/interrupt.h>
#include <avr/io.h>
#include <util/delay_basic.h>

#if F_CPU != 16000000UL
#error "the timer and UART settings assume a 16 MHz clock"
#endif

/* 1 Mbaud with the double-speed UART: 16 MHz / (8 * (1 + 1)), exact. */
#define UBRR_1M 1

/* Receive ring: when the board answers a frame, the host sends the next while the board
 * may still hold the one after it untaken, so two whole frames (2 x 254 bytes) must fit. */
#define RX_RING_SIZE 512u
static volatile uint8_t rx_buffer[RX_RING_SIZE];
static volatile uint16_t rx_head; /* written by the interrupt */
static volatile uint16_t rx_tail;

/* Transmit ring, emptied by the data-register-empty interrupt: a reply goes out while the
 * board already runs the next frame. */
#define TX_RING_SIZE 256u /* the 8-bit indices wrap at its end */
static volatile uint8_t tx_buffer[TX_RING_SIZE];
static volatile uint8_t tx_head;
static volatile uint8_t tx_tail; /* written by the interrupt */

static volatile uint32_t timer0_overflows;
static volatile uint16_t timer1_overflows;

ISR(USART_RX_vect) {
    const uint8_t status = UCSR0A;
    const uint8_t byte = UDR0;
    /* A byte with a framing error, or one that finds the ring full, is dropped: the frame
     * it belonged to then fails its length or CRC check, which the host hears of. */
    if (status & (1 << FE0))
        return;
    const uint16_t next = (uint16_t)((rx_head + 1) & (RX_RING_SIZE - 1));
    if (next != rx_tail) {
        rx_buffer[rx_head] = byte;
        rx_head = next;
    }
}

ISR(USART_UDRE_vect) {
    if (tx_tail == tx_head) {
        UCSR0B &= (uint8_t) ~(1 << UDRIE0);
        return;
    }
    UDR0 = tx_buffer[tx_tail];
    tx_tail = (uint8_t)(tx_tail + 1);
}

ISR(TIMER0_OVF_vect) {
    ++timer0_overflows;
}

ISR(TIMER1_OVF_vect) {
    ++timer1_overflows;
}

static void set_bit(volatile uint8_t* port, uint8_t bit, bool on) {
    if (on)
        *port |= (uint8_t)(1 << bit);
    else
        *port &= (uint8_t) ~(1 << bit);
}

static void avr_set_vdd(void* ctx, bool on) {
    (void)ctx;
    set_bit(&PORTD, VDD_BIT, on);
}

static void avr_set_vpp(void* ctx, bool on) {
    (void)ctx;
    set_bit(&PORTD, VPP_BIT, on);
}

static void avr_set_vpp_level(void* ctx, uint8_t level) {
    (void)ctx;
    /* Each level pin switches a resistor in parallel with the regulator's lower divider
     * resistor: D6 for 12 V, D12 for 8.5 V; with neither it makes 13 V. The new path is
     * switched in before the old one goes, so the output passes only through a lower
     * level on the way (both together make about 8.1 V). */
    if (level == VKR_VPP_8V5) {
        set_bit(&PORTB, VPP_8V5_BIT, true);
        set_bit(&PORTD, VPP_LEVEL_BIT, false);
    } else {
        set_bit(&PORTD, VPP_LEVEL_BIT, level == VKR_VPP_12V);
        set_bit(&PORTB, VPP_8V5_BIT, false);
    }
}

static bool avr_target_powered(void* ctx) {
    (void)ctx;
    return (PINC & (1 << SENSE_BIT)) != 0;
}

static void avr_set_pgc(void* ctx, bool high) {
    (void)ctx;
    set_bit(&PORTD, PGC_BIT, high);
}

static void avr_set_pgd(void* ctx, bool high) {
    (void)ctx;
    set_bit(&PORTD, PGD_BIT, high);
    DDRD |= (uint8_t)(1 << PGD_BIT);
}

static void avr_release_pgd(void* ctx) {
    (void)ctx;
    /* Input without the pull-up: the circuit's pull-down holds the line low unless the
     * chip drives it. */
    DDRD &= (uint8_t) ~(1 << PGD_BIT);
    PORTD &= (uint8_t) ~(1 << PGD_BIT);
}

static bool avr_read_pgd(void* ctx) {
    (void)ctx;
    return (PIND & (1 << PGD_BIT)) != 0;
}

static void avr_set_led(void* ctx, uint8_t position) {
    (void)ctx;
    uint8_t leds = PORTB & (uint8_t) ~(LED_MASK | (1 << LED_ANY_BIT));
    if (position >= 1 && position <= 4)
        leds |= (uint8_t)(1 << (position - 1));
    if (position != 0)
        leds |= (uint8_t)(1 << LED_ANY_BIT);
    PORTB = leds;
}

static uint32_t avr_micros(void* ctx);

/* Waits from 32 us on watch the microsecond counter, so the interrupts do not add up over
 * a programming wait. The counter reads whole microseconds: waiting for it to move on by
 * more than `us` waits at least `us`. */
static void __attribute__((noinline)) wait_on_counter(uint16_t us) {
    const uint32_t start = avr_micros(0);
    while (avr_micros(0) - start <= us) {
    }
}

/* Short waits count cycles: _delay_loop_2 spends 4 cycles per count, 4 counts a
 * microsecond at 16 MHz, and the call and the interrupts only make the wait longer. */
static void avr_delay_us(void* ctx, uint16_t us) {
    (void)ctx;
    if (us >= 32)
        wait_on_counter(us);
    else if (us > 0)
        _delay_loop_2((uint16_t)(us * 4));
}

static uint32_t avr_micros(void* ctx) {
    (void)ctx;
    const uint8_t sreg = SREG;
    cli();
    uint32_t overflows = timer0_overflows;
    uint8_t ticks = TCNT0;
    /* An overflow not yet served: the count has wrapped past it. */
    if ((TIFR0 & (1 << TOV0)) && ticks < 255)
        ++overflows;
    SREG = sreg;
    return (overflows << 7) + (ticks >> 1);
}

static int avr_uart_read(void* ctx) {
    (void)ctx;
    const uint8_t sreg = SREG;
    cli();
    /* Both indices are two bytes: the interrupt must never see one half-written (a torn
     * tail can look like a full ring, and the byte arriving then would be dropped). */
    int byte = -1;
    if (rx_tail != rx_head) {
        byte = rx_buffer[rx_tail];
        rx_tail = (uint16_t)((rx_tail + 1) & (RX_RING_SIZE - 1));
    }
    SREG = sreg;
    return byte;
}

static void avr_uart_write(void* ctx, uint8_t byte) {
    (void)ctx;
    const uint8_t next = (uint8_t)(tx_head + 1);
    while (next == tx_tail) {
        /* full: the interrupt makes room */
    }
    tx_buffer[tx_head] = byte;
    tx_head = next;
    UCSR0B |= (uint8_t)(1 << UDRIE0);
}

static uint32_t avr_count_osc_edges(void* ctx, uint32_t gate_us) {
    TCCR1B = 0;
    TCCR1A = 0;
    TCNT1 = 0;
    timer1_overflows = 0;
    TIFR1 = (uint8_t)(1 << TOV1);
    TIMSK1 = (uint8_t)(1 << TOIE1);
    const uint32_t start = avr_micros(ctx);
    TCCR1B = (uint8_t)((1 << CS12) | (1 << CS11) | (1 << CS10)); /* T1 pin, rising edges */
    while (avr_micros(ctx) - start < gate_us) {
    }
    TCCR1B = 0;
    cli();
    uint32_t count = ((uint32_t)timer1_overflows << 16) | TCNT1;
    if (TIFR1 & (1 << TOV1))
        count += 0x10000UL;
    TIMSK1 = 0;
    TIFR1 = (uint8_t)(1 << TOV1);
    sei();
    return count;
}

const vkr_hal vkr_avr_hal = {
    0,
    avr_set_vdd,
    avr_set_vpp,
    avr_set_vpp_level,
    avr_target_powered,
    avr_set_pgc,
    avr_set_pgd,
    avr_release_pgd,
    avr_read_pgd,
    avr_set_led,
    avr_delay_us,
    avr_micros,
    avr_uart_read,
    avr_uart_write,
    avr_count_osc_edges,
};

void vkr_avr_init(void) {
    /* Everything off before the outputs are enabled. */
    PORTD = 0;
    PORTB = 0;
    DDRD = (uint8_t)((1 << PGC_BIT) | (1 << PGD_BIT) | (1 << VPP_BIT) | (1 << VPP_LEVEL_BIT) |
                     (1 << VDD_BIT));
    DDRB = (uint8_t)(LED_MASK | (1 << LED_ANY_BIT) | (1 << VPP_8V5_BIT));
    DDRC = 0;
    PORTC = 0;

    /* Timer0: normal mode, clock / 8. */
    TCCR0A = 0;
    TCCR0B = (uint8_t)(1 << CS01);
    TIMSK0 = (uint8_t)(1 << TOIE0);

    /* Double speed first: the baud rate divisor counts in its units. (The emulator works the
     * rate out when UBRR is written, so this order also gets it right there.) */
    UCSR0A = (uint8_t)(1 << U2X0);
    UBRR0H = (uint8_t)(UBRR_1M >> 8);
    UBRR0L = (uint8_t)(UBRR_1M & 0xFF);
    UCSR0C = (uint8_t)((1 << UCSZ01) | (1 << UCSZ00)); /* 8N1 */
    UCSR0B = (uint8_t)((1 << RXEN0) | (1 << TXEN0) | (1 << RXCIE0));
}
