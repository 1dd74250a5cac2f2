/* The wire protocol's numbers (docs/pro-protocol.md). */
#ifndef VKR_PROTOCOL_H
#define VKR_PROTOCOL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { VKR_FRAME_START = 0x7E, VKR_MAX_PAYLOAD = 250 };

/* A frame that stops arriving for this long after a byte is given up (microseconds; a
 * macro because an enumerator is an int, 16 bits on the AVR). */
#define VKR_BYTE_TIMEOUT_US 50000UL
/* With a supply on, a host silent this long is gone (cable pulled, program killed): the
 * board switches the target off rather than leave it powered. */
#define VKR_HOST_TIMEOUT_US 2000000UL

enum vkr_opcode {
    VKR_OP_VDD_ON = 0x01,
    VKR_OP_VPP_ON = 0x02,
    VKR_OP_POWER_OFF = 0x03,
    VKR_OP_SET_PGC = 0x04,
    VKR_OP_SET_PGD = 0x05,
    VKR_OP_WRITE_BITS = 0x06,
    VKR_OP_WRITE_WORD = 0x07,
    VKR_OP_READ_WORD = 0x08,
    VKR_OP_READ_BITS = 0x09,
    VKR_OP_DELAY_US = 0x0A,
    VKR_OP_SET_LED = 0x0B,
    VKR_OP_CHECK_POWER = 0x0C,
    VKR_OP_VPP_LEVEL = 0x0D,
    VKR_OP_BLOCK_TEST = 0x0E,
    VKR_OP_BLOCK_PREPARE = 0x0F,
    VKR_OP_MEASURE_OSC = 0x10,
    VKR_OP_FIRMWARE_DATE = 0x11,
    VKR_OP_VERSION = 0x12,
    /* Runs of the reads the program makes in bulk: */
    VKR_OP_READ_RUN = 0x13,    /* n (1..124), read command, step command: n times the
                                  6-bit read command, READ_WORD, the 6-bit step command */
    VKR_OP_SHIFT_RUN = 0x14,   /* n (1..249), command: n times the 4-bit command, 8 bits of
                                  0 and 8 bits read (1 result byte each) */
    VKR_OP_WRITE_RUN = 0x15,   /* n (1..123), two 6-bit commands, n words (2 each): n times
                                  the two commands and WRITE_WORD */
    VKR_OP_LOW_VOLTAGE = 0x16, /* 1: the session enters by the low-voltage key, CHECK_POWER
                                  reports target power with VDD alone; 0: VPP wanted again */
    VKR_OP_CORE_RUN = 0x17,    /* n (1..123), command, n operands (2 each): n times the
                                  4-bit command and its 16-bit operand (firmware 1.03) */
    /* Compact forms of the commands the host sends most, the argument in the opcode: */
    VKR_OP_CMD4 = 0x20,      /* 0x20..0x2F: a 4-bit command */
    VKR_OP_CMD4_WORD = 0x30, /* 0x30..0x3F: a 4-bit command and its 16-bit operand (2) */
    VKR_OP_CMD6 = 0x40,      /* 0x40..0x7F: a 6-bit command */
    VKR_OP_READ_N = 0x80,    /* 0x80..0x8F: read (op & 0x0F) + 1 bits; 1 result byte up to
                                8 bits, 2 above */
    VKR_OP_WRITE_N = 0x90    /* 0x90..0x97: write (op & 0x07) + 1 bits of 1 argument byte */
};

enum vkr_status {
    VKR_STATUS_OK = 0x00,
    VKR_STATUS_BAD_FRAME = 0x01,
    VKR_STATUS_UNKNOWN_OP = 0x02,
    VKR_STATUS_POWER_LOST = 0x03,
    VKR_STATUS_TOO_LONG = 0x04
};

/* Block test kinds and answers. */
enum {
    VKR_BLOCK_14BIT = 0,
    VKR_BLOCK_12BIT = 1,
    VKR_BLOCK_16BIT = 2,
    VKR_BLOCK_NOT_PREPARED = 0xFF
};

/* VPP_LEVEL arguments: the regulator's settings. 0 and 1 are the two the board always had;
 * the lowest is the safe one, set after a reset and by POWER_OFF. */
enum { VKR_VPP_12V = 0, VKR_VPP_13V = 1, VKR_VPP_8V5 = 2, VKR_VPP_SAFE = VKR_VPP_8V5 };

/* CHECK_POWER bits. */
enum { VKR_POWER_TARGET = 1, VKR_POWER_VDD = 2, VKR_POWER_VPP = 4 };

/* CRC-8, polynomial 0x07, no reflection, continued from `crc` (start with 0). */
uint8_t vkr_crc8(uint8_t crc, const uint8_t* data, size_t size);
uint8_t vkr_crc8_byte(uint8_t crc, uint8_t byte);

#ifdef __cplusplus
}
#endif

#endif
