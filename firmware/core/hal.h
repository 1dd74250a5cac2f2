/* The hardware layer under the programmer's core: everything the core needs from a board.
 *
 * The core never touches a register; it reaches the pins, the clock and the serial port
 * only through these functions. The ATmega328P build (firmware/avr) and the host model
 * (src/sim/pro_board.cpp) each fill one table. Every function gets the table's `ctx`.
 *
 * Levels are logical: "high" is the level the PIC sees as 1 on PGC/PGD; "on" switches the
 * supply to the target. Only delay_us and count_osc_edges take time on purpose (as they
 * state); uart_write may wait for the transmitter.
 */
#ifndef VKR_HAL_H
#define VKR_HAL_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vkr_hal {
    void* ctx;

    /* Target supplies. VPP is the programming voltage on MCLR (0 V while off). */
    void (*set_vdd)(void* ctx, bool on);
    void (*set_vpp)(void* ctx, bool on);
    /* Level of the VPP supply: VKR_VPP_12V, VKR_VPP_13V or VKR_VPP_8V5 (core/protocol.h);
     * the core passes no other value. */
    void (*set_vpp_level)(void* ctx, uint8_t level);
    /* True while the target's VDD rail is up (a short or an overload pulls it down). */
    bool (*target_powered)(void* ctx);

    /* Programming lines. set_pgd drives PGD (making it an output); release_pgd makes it an
     * input, so that the chip can drive it; read_pgd samples the line. */
    void (*set_pgc)(void* ctx, bool high);
    void (*set_pgd)(void* ctx, bool high);
    void (*release_pgd)(void* ctx);
    bool (*read_pgd)(void* ctx);

    /* The socket LED: 0 off, otherwise the socket position to show. */
    void (*set_led)(void* ctx, uint8_t position);

    /* Time: a busy wait of at least `us` microseconds, and a free-running microsecond
     * counter that wraps at 2^32. */
    void (*delay_us)(void* ctx, uint16_t us);
    uint32_t (*micros)(void* ctx);

    /* Serial port: the next received byte (0..255) or -1 when none is waiting; and one byte
     * to send (may wait while the transmitter is busy). */
    int (*uart_read)(void* ctx);
    void (*uart_write)(void* ctx, uint8_t byte);

    /* Rising edges on the target's clock-out pin during a gate of `gate_us` microseconds;
     * returns after the gate. */
    uint32_t (*count_osc_edges)(void* ctx, uint32_t gate_us);
} vkr_hal;

#ifdef __cplusplus
}
#endif

#endif
