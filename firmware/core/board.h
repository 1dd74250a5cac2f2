/* The programmer's core: frames in, operations on the pins, replies out.
 *
 * vkr_board_init() puts the lines in their safe state and sends the start-up banner;
 * vkr_board_poll() takes every byte the serial port has received so far, runs each frame
 * completed by them and sends its reply, and gives up a frame whose bytes stopped coming.
 * Call it again and again from the main loop. All state lives in the vkr_board, so the
 * host can run several boards side by side.
 */
#ifndef VKR_BOARD_H
#define VKR_BOARD_H

#include <stdbool.h>
#include <stdint.h>

#include "core/hal.h"
#include "core/protocol.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vkr_board {
    const vkr_hal* hal;

    /* Receiver. */
    uint8_t rx_state;
    uint8_t rx_seq;
    uint8_t rx_len;
    uint8_t rx_pos;
    uint8_t rx_crc;
    uint32_t rx_last_us;   /* when the frame's latest byte was taken */
    uint32_t host_last_us; /* when the host was last heard or its last frame ended */
    uint8_t frame[VKR_MAX_PAYLOAD];

    /* Reply payload: the status byte, then the results. */
    uint8_t reply[VKR_MAX_PAYLOAD];
    uint8_t reply_len;

    /* What the board has switched on. */
    bool vdd;
    bool vpp;
    /* Between BLOCK_PREPARE 1 and BLOCK_PREPARE 0 (or POWER_OFF): the board holds PGC and
     * PGD low as the supplies come up, and the block tests may run. */
    bool prepared;
    /* After LOW_VOLTAGE 1 until LOW_VOLTAGE 0 or POWER_OFF: the chip is entered by the key
     * with MCLR low, so VDD alone is target power. */
    bool low_voltage;
} vkr_board;

void vkr_board_init(vkr_board* board, const vkr_hal* hal);
void vkr_board_poll(vkr_board* board);

#ifdef __cplusplus
}
#endif

#endif
