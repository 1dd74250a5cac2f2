#include "core/icsp.h"

#include "core/protocol.h"

enum {
    BLOCK_WORDS = 1024,
    /* 6-bit core commands */
    CMD_READ_DATA = 0x04,
    CMD_INCREMENT_ADDRESS = 0x06,
    /* 16-bit core: TBLRD*+ */
    CMD18_TABLE_READ_POST_INC = 0x9
};

/* The pin steps of the waveforms. A board build may define VKR_ICSP_PINS as a header that
 * gives the same five functions inline on its ports (firmware/avr/icsp_pins.h), so that
 * the clock loops cost no calls; otherwise they go through the hardware layer's table. */
#ifdef VKR_ICSP_PINS
#include VKR_ICSP_PINS
#else
static void pin_pgc(const vkr_hal* hal, bool high) {
    hal->set_pgc(hal->ctx, high);
}
static void pin_pgd(const vkr_hal* hal, bool high) {
    hal->set_pgd(hal->ctx, high);
}
static void pin_release_pgd(const vkr_hal* hal) {
    hal->release_pgd(hal->ctx);
}
static bool pin_read_pgd(const vkr_hal* hal) {
    return hal->read_pgd(hal->ctx);
}
/* Through the table each pin step is a call, longer than the documents' 100 ns of clock
 * high and low (TCKH, TCKL), so the half clocks need no wait of their own; between two
 * frames of the 12/14-bit cores 1 us (TDLY1/TDLY2). */
static void pin_high_time(const vkr_hal* hal) {
    (void)hal;
}
static void pin_low_time(const vkr_hal* hal) {
    (void)hal;
}
static void pin_frame_gap(const vkr_hal* hal) {
    hal->delay_us(hal->ctx, 1);
}
#endif

void vkr_icsp_write_bits(const vkr_hal* hal, uint16_t value, uint8_t count) {
    /* Shifting the value (not the bit) keeps each bit's time the same on an 8-bit core. */
    for (uint8_t i = 0; i < count; ++i, value >>= 1) {
        pin_pgd(hal, value & 1);
        pin_pgc(hal, true);
        pin_high_time(hal);
        pin_pgc(hal, false);
        pin_low_time(hal);
    }
}

uint16_t vkr_icsp_read_bits(const vkr_hal* hal, uint8_t count) {
    uint16_t value = 0;
    uint16_t bit = 1;
    pin_release_pgd(hal);
    for (uint8_t i = 0; i < count; ++i, bit = (uint16_t)(bit << 1)) {
        pin_pgc(hal, true);
        pin_high_time(hal);
        if (pin_read_pgd(hal))
            value |= bit;
        pin_pgc(hal, false);
        pin_low_time(hal);
    }
    return value;
}

void vkr_icsp_command6(const vkr_hal* hal, uint8_t code) {
    vkr_icsp_write_bits(hal, code, 6);
    pin_frame_gap(hal);
}

void vkr_icsp_write_word(const vkr_hal* hal, uint16_t word) {
    vkr_icsp_write_bits(hal, (uint16_t)((word << 1) & 0x7FFE), 16);
    pin_frame_gap(hal);
}

uint16_t vkr_icsp_read_word(const vkr_hal* hal) {
    const uint16_t word = (uint16_t)((vkr_icsp_read_bits(hal, 16) >> 1) & 0x3FFF);
    pin_frame_gap(hal);
    return word;
}

uint8_t vkr_icsp_block_test(const vkr_hal* hal, uint8_t kind) {
    uint8_t blank = 1;
    if (kind == VKR_BLOCK_16BIT) {
        for (uint16_t i = 0; i < 2 * BLOCK_WORDS; ++i) {
            vkr_icsp_write_bits(hal, CMD18_TABLE_READ_POST_INC, 4);
            vkr_icsp_write_bits(hal, 0, 8);
            if ((vkr_icsp_read_bits(hal, 8) & 0xFF) != 0xFF)
                blank = 0;
        }
        return blank;
    }
    const uint16_t mask = kind == VKR_BLOCK_14BIT ? 0x3FFF : 0x0FFF;
    for (uint16_t i = 0; i < BLOCK_WORDS; ++i) {
        vkr_icsp_command6(hal, CMD_READ_DATA);
        if ((vkr_icsp_read_word(hal) & mask) != mask)
            blank = 0;
        vkr_icsp_command6(hal, CMD_INCREMENT_ADDRESS);
    }
    return blank;
}
