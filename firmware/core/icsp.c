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

static void half_clock(const vkr_hal* hal) {
    hal->delay_us(hal->ctx, 1);
}

void vkr_icsp_write_bits(const vkr_hal* hal, uint16_t value, uint8_t count) {
    for (uint8_t i = 0; i < count; ++i) {
        hal->set_pgd(hal->ctx, (value >> i) & 1);
        hal->set_pgc(hal->ctx, true);
        half_clock(hal);
        hal->set_pgc(hal->ctx, false);
        half_clock(hal);
    }
}

uint16_t vkr_icsp_read_bits(const vkr_hal* hal, uint8_t count) {
    uint16_t value = 0;
    hal->release_pgd(hal->ctx);
    for (uint8_t i = 0; i < count; ++i) {
        hal->set_pgc(hal->ctx, true);
        half_clock(hal);
        if (hal->read_pgd(hal->ctx))
            value |= (uint16_t)(1u << i);
        hal->set_pgc(hal->ctx, false);
        half_clock(hal);
    }
    return value;
}

void vkr_icsp_write_word(const vkr_hal* hal, uint16_t word) {
    vkr_icsp_write_bits(hal, (uint16_t)((word << 1) & 0x7FFE), 16);
}

uint16_t vkr_icsp_read_word(const vkr_hal* hal) {
    return (uint16_t)((vkr_icsp_read_bits(hal, 16) >> 1) & 0x3FFF);
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
        vkr_icsp_write_bits(hal, CMD_READ_DATA, 6);
        if ((vkr_icsp_read_word(hal) & mask) != mask)
            blank = 0;
        vkr_icsp_write_bits(hal, CMD_INCREMENT_ADDRESS, 6);
    }
    return blank;
}
