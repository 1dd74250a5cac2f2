#include "core/board.h"

#include "core/icsp.h"
#include "core/version.h"

enum { RX_HUNT, RX_SEQ, RX_LEN, RX_DATA, RX_CRC };

enum {
    MAX_RESULTS = VKR_MAX_PAYLOAD - 1, /* the reply's status byte comes first */
    LAST_OPCODE = VKR_OP_VERSION,
    /* How long VDD_ON waits for the target's rail, in steps of SUPPLY_STEP_US. */
    SUPPLY_STEPS = 100,
    SUPPLY_STEP_US = 100
};

/* Gate of the oscillator measurement: edges / 10 is the frequency in units of 100 Hz. */
#define OSC_GATE_US 100000UL

static const char kBanner[] = "VKR20PRO\n";

/* Argument and result bytes of each opcode, indexed by opcode - 1. */
static const uint8_t kArgBytes[LAST_OPCODE] = {0, 0, 0, 1, 1, 3, 2, 0, 1,
                                               2, 1, 0, 1, 1, 1, 0, 0, 0};
static const uint8_t kResultBytes[LAST_OPCODE] = {0, 0, 0, 0, 0, 0, 0, 2, 2,
                                                  0, 0, 1, 0, 1, 0, 2, 8, 4};

static void send_reply(vkr_board* b, uint8_t seq) {
    const vkr_hal* hal = b->hal;
    uint8_t crc = vkr_crc8_byte(0, seq);
    crc = vkr_crc8_byte(crc, b->reply_len);
    crc = vkr_crc8(crc, b->reply, b->reply_len);
    hal->uart_write(hal->ctx, VKR_FRAME_START);
    hal->uart_write(hal->ctx, seq);
    hal->uart_write(hal->ctx, b->reply_len);
    for (uint8_t i = 0; i < b->reply_len; ++i)
        hal->uart_write(hal->ctx, b->reply[i]);
    hal->uart_write(hal->ctx, crc);
}

static void reply_status(vkr_board* b, uint8_t seq, uint8_t status) {
    b->reply[0] = status;
    b->reply_len = 1;
    send_reply(b, seq);
}

static void put16(vkr_board* b, uint16_t value) {
    b->reply[b->reply_len++] = (uint8_t)(value & 0xFF);
    b->reply[b->reply_len++] = (uint8_t)(value >> 8);
}

static void put_text(vkr_board* b, const char* text) {
    while (*text)
        b->reply[b->reply_len++] = (uint8_t)*text++;
}

static void power_off(vkr_board* b) {
    const vkr_hal* hal = b->hal;
    /* VPP first, then the programming lines, then VDD. The regulator goes back to its
     * lowest level, so that a session that never chooses one cannot put a high VPP on a
     * chip that takes 9 V at most. */
    hal->set_vpp(hal->ctx, false);
    hal->set_vpp_level(hal->ctx, VKR_VPP_SAFE);
    hal->set_pgc(hal->ctx, false);
    hal->set_pgd(hal->ctx, false);
    hal->set_vdd(hal->ctx, false);
    b->vdd = false;
    b->vpp = false;
    b->prepared = false;
    b->low_voltage = false;
}

/* Prepared for the block tests, the board enters programming mode with both lines low
 * whatever the host left them at. */
static void lines_low_if_prepared(vkr_board* b) {
    if (b->prepared) {
        b->hal->set_pgc(b->hal->ctx, false);
        b->hal->set_pgd(b->hal->ctx, false);
    }
}

/* Switches VDD on and waits for the rail; false when it does not come up (the frame then
 * ends with everything switched off). */
static bool vdd_on(vkr_board* b) {
    const vkr_hal* hal = b->hal;
    lines_low_if_prepared(b);
    hal->set_vdd(hal->ctx, true);
    b->vdd = true;
    for (uint8_t i = 0; i < SUPPLY_STEPS && !hal->target_powered(hal->ctx); ++i)
        hal->delay_us(hal->ctx, SUPPLY_STEP_US);
    return hal->target_powered(hal->ctx);
}

static uint16_t measure_osc(vkr_board* b) {
    const vkr_hal* hal = b->hal;
    /* The chip runs its program on VDD alone; with VPP on it is held in programming mode. */
    if (!b->vdd || b->vpp)
        return 0;
    hal->release_pgd(hal->ctx); /* the running program may drive it */
    const uint32_t units = (hal->count_osc_edges(hal->ctx, OSC_GATE_US) + 5) / 10;
    return units > 0xFFFF ? 0xFFFF : (uint16_t)units;
}

static uint8_t check_power(vkr_board* b) {
    uint8_t bits = (uint8_t)((b->vdd ? VKR_POWER_VDD : 0) | (b->vpp ? VKR_POWER_VPP : 0));
    /* Entered by the key, MCLR stays low (VPP off, R14 to ground): VDD is all it needs. */
    if (b->vdd && (b->vpp || b->low_voltage) && b->hal->target_powered(b->hal->ctx))
        bits |= VKR_POWER_TARGET;
    return bits;
}

static uint16_t arg16(const uint8_t* a) {
    return (uint16_t)(((uint16_t)a[1] << 8) | a[0]);
}

/* Argument and result bytes of `op`; false for an opcode the board does not know. */
static bool op_shape(uint8_t op, uint8_t* args, uint8_t* results) {
    if (op == VKR_OP_WRITE_RUN || op == VKR_OP_CORE_RUN) {
        *args = op == VKR_OP_WRITE_RUN ? 3 : 2; /* and two bytes a word: see arg_length() */
        *results = 0;
        return true;
    }
    if (op >= 1 && op <= LAST_OPCODE) {
        *args = kArgBytes[op - 1];
        *results = kResultBytes[op - 1];
        return true;
    }
    *results = 0; /* a run's results depend on its count */
    if (op == VKR_OP_READ_RUN || op == VKR_OP_SHIFT_RUN) {
        *args = op == VKR_OP_READ_RUN ? 3 : 2;
        return true;
    }
    if (op == VKR_OP_LOW_VOLTAGE) {
        *args = 1;
        return true;
    }
    if (op >= VKR_OP_CMD4 && op < VKR_OP_CMD6) {
        *args = op >= VKR_OP_CMD4_WORD ? 2 : 0;
        return true;
    }
    if (op >= VKR_OP_CMD6 && op < VKR_OP_READ_N) {
        *args = 0;
        return true;
    }
    if (op >= VKR_OP_READ_N && op < VKR_OP_WRITE_N) {
        *args = 0;
        *results = (op & 0x0F) < 8 ? 1 : 2;
        return true;
    }
    if (op >= VKR_OP_WRITE_N && op < VKR_OP_WRITE_N + 8) {
        *args = 1;
        return true;
    }
    return false;
}

/* Argument bytes of the operation at `at`, the words of a write or core run included. */
static uint16_t arg_length(const uint8_t* at, uint8_t args) {
    return at[0] == VKR_OP_WRITE_RUN || at[0] == VKR_OP_CORE_RUN ? (uint16_t)(args + 2u * at[1])
                                                                 : args;
}

/* The runs and the compact operations (the argument in the opcode). */
static void run_compact(vkr_board* b, uint8_t op, const uint8_t* a) {
    const vkr_hal* hal = b->hal;
    if (op == VKR_OP_CORE_RUN) {
        for (uint8_t i = 0; i < a[0]; ++i) {
            vkr_icsp_write_bits(hal, a[1], 4);
            vkr_icsp_write_bits(hal, arg16(&a[2 + 2 * i]), 16);
        }
    } else if (op == VKR_OP_WRITE_RUN) {
        for (uint8_t i = 0; i < a[0]; ++i) {
            vkr_icsp_command6(hal, a[1]);
            vkr_icsp_command6(hal, a[2]);
            vkr_icsp_write_word(hal, arg16(&a[3 + 2 * i]));
        }
    } else if (op == VKR_OP_READ_RUN) {
        for (uint8_t i = 0; i < a[0]; ++i) {
            vkr_icsp_command6(hal, a[1]);
            put16(b, vkr_icsp_read_word(hal));
            vkr_icsp_command6(hal, a[2]);
        }
    } else if (op == VKR_OP_SHIFT_RUN) {
        for (uint8_t i = 0; i < a[0]; ++i) {
            vkr_icsp_write_bits(hal, a[1], 4);
            vkr_icsp_write_bits(hal, 0, 8);
            b->reply[b->reply_len++] = (uint8_t)vkr_icsp_read_bits(hal, 8);
        }
    } else if (op < VKR_OP_CMD4_WORD) {
        vkr_icsp_write_bits(hal, op & 0x0F, 4);
    } else if (op < VKR_OP_CMD6) {
        vkr_icsp_write_bits(hal, op & 0x0F, 4);
        vkr_icsp_write_bits(hal, arg16(a), 16);
    } else if (op < VKR_OP_READ_N) {
        vkr_icsp_command6(hal, op & 0x3F);
    } else if (op < VKR_OP_WRITE_N) {
        const uint8_t count = (uint8_t)((op & 0x0F) + 1);
        const uint16_t value = vkr_icsp_read_bits(hal, count);
        if (count <= 8)
            b->reply[b->reply_len++] = (uint8_t)value;
        else
            put16(b, value);
    } else {
        vkr_icsp_write_bits(hal, a[0], (uint8_t)((op & 0x07) + 1));
    }
}

/* Runs one operation whose arguments are at `a`. False when the target's supply failed. */
static bool run_operation(vkr_board* b, uint8_t op, const uint8_t* a) {
    const vkr_hal* hal = b->hal;
    if (op == VKR_OP_LOW_VOLTAGE) {
        b->low_voltage = a[0] != 0;
        return !b->vdd || hal->target_powered(hal->ctx);
    }
    if (op > LAST_OPCODE) {
        run_compact(b, op, a);
        return !b->vdd || hal->target_powered(hal->ctx);
    }
    switch (op) {
        case VKR_OP_VDD_ON:
            if (!vdd_on(b))
                return false;
            break;
        case VKR_OP_VPP_ON:
            lines_low_if_prepared(b);
            hal->set_vpp(hal->ctx, true);
            b->vpp = true;
            break;
        case VKR_OP_POWER_OFF:
            power_off(b);
            break;
        case VKR_OP_SET_PGC:
            hal->set_pgc(hal->ctx, a[0] != 0);
            hal->delay_us(hal->ctx, 1);
            break;
        case VKR_OP_SET_PGD:
            hal->set_pgd(hal->ctx, a[0] != 0);
            hal->delay_us(hal->ctx, 1);
            break;
        case VKR_OP_WRITE_BITS:
            vkr_icsp_write_bits(hal, arg16(a + 1), a[0]);
            break;
        case VKR_OP_WRITE_WORD:
            vkr_icsp_write_word(hal, arg16(a));
            break;
        case VKR_OP_READ_WORD:
            put16(b, vkr_icsp_read_word(hal));
            break;
        case VKR_OP_READ_BITS:
            put16(b, vkr_icsp_read_bits(hal, a[0]));
            break;
        case VKR_OP_DELAY_US:
            hal->delay_us(hal->ctx, arg16(a));
            break;
        case VKR_OP_SET_LED:
            hal->set_led(hal->ctx, a[0]);
            break;
        case VKR_OP_CHECK_POWER:
            b->reply[b->reply_len++] = check_power(b);
            break;
        case VKR_OP_VPP_LEVEL:
            hal->set_vpp_level(hal->ctx, a[0]);
            break;
        case VKR_OP_BLOCK_TEST:
            b->reply[b->reply_len++] =
                b->prepared ? vkr_icsp_block_test(hal, a[0]) : VKR_BLOCK_NOT_PREPARED;
            break;
        case VKR_OP_BLOCK_PREPARE:
            b->prepared = a[0] != 0;
            lines_low_if_prepared(b);
            break;
        case VKR_OP_MEASURE_OSC:
            put16(b, measure_osc(b));
            break;
        case VKR_OP_FIRMWARE_DATE:
            put_text(b, VKR_FIRMWARE_DATE);
            break;
        case VKR_OP_VERSION:
            put_text(b, VKR_FIRMWARE_VERSION);
            break;
        default:
            break;
    }
    /* A rail that drops while VDD is on (a short, the target's supply overloaded) ends the
     * frame with everything switched off. */
    return !b->vdd || hal->target_powered(hal->ctx);
}

/* The length of the frame's leading run of well-formed operations: known opcodes, their
 * arguments complete and in range. `results` gets the result bytes they produce. */
static uint8_t valid_prefix(const vkr_board* b, uint16_t* results) {
    uint8_t pos = 0;
    *results = 0;
    while (pos < b->rx_len) {
        const uint8_t op = b->frame[pos];
        uint8_t args, produced;
        if (!op_shape(op, &args, &produced))
            break;
        if (pos + 1 + args > b->rx_len)
            break;
        const uint8_t first = args > 0 ? b->frame[pos + 1] : 0;
        const uint16_t length = arg_length(&b->frame[pos], args);
        if ((op == VKR_OP_WRITE_RUN || op == VKR_OP_CORE_RUN) &&
            (first < 1 || pos + 1 + length > b->rx_len))
            break;
        if (op == VKR_OP_CORE_RUN && b->frame[pos + 2] > 0x0F)
            break;
        if ((op == VKR_OP_WRITE_BITS || op == VKR_OP_READ_BITS) && (first < 1 || first > 16))
            break;
        if (op == VKR_OP_BLOCK_TEST && first > VKR_BLOCK_16BIT)
            break;
        if (op == VKR_OP_VPP_LEVEL && first > VKR_VPP_8V5)
            break;
        if (op == VKR_OP_LOW_VOLTAGE && first > 1)
            break;
        if (op == VKR_OP_READ_RUN || op == VKR_OP_SHIFT_RUN) {
            const uint8_t most = op == VKR_OP_READ_RUN ? MAX_RESULTS / 2 : MAX_RESULTS;
            if (first < 1 || first > most)
                break;
            produced = op == VKR_OP_READ_RUN ? (uint8_t)(2 * first) : first;
        }
        *results += produced;
        pos = (uint8_t)(pos + 1 + length);
    }
    return pos;
}

static void run_frame(vkr_board* b) {
    uint16_t results;
    const uint8_t end = valid_prefix(b, &results);
    if (results > MAX_RESULTS) {
        reply_status(b, b->rx_seq, VKR_STATUS_TOO_LONG);
        return;
    }
    uint8_t status = end < b->rx_len ? VKR_STATUS_UNKNOWN_OP : VKR_STATUS_OK;
    b->reply_len = 1;
    for (uint8_t pos = 0; pos < end;) {
        const uint8_t op = b->frame[pos];
        uint8_t args, produced;
        op_shape(op, &args, &produced);
        if (!run_operation(b, op, &b->frame[pos + 1])) {
            power_off(b);
            status = VKR_STATUS_POWER_LOST;
            break;
        }
        pos = (uint8_t)(pos + 1 + arg_length(&b->frame[pos], args));
    }
    b->reply[0] = status;
    send_reply(b, b->rx_seq);
}

static void receive_byte(vkr_board* b, uint8_t c) {
    switch (b->rx_state) {
        case RX_HUNT:
            if (c == VKR_FRAME_START)
                b->rx_state = RX_SEQ;
            return;
        case RX_SEQ:
            b->rx_seq = c;
            b->rx_crc = vkr_crc8_byte(0, c);
            b->rx_state = RX_LEN;
            return;
        case RX_LEN:
            if (c > VKR_MAX_PAYLOAD) {
                reply_status(b, b->rx_seq, VKR_STATUS_BAD_FRAME);
                b->rx_state = RX_HUNT;
                return;
            }
            b->rx_len = c;
            b->rx_pos = 0;
            b->rx_crc = vkr_crc8_byte(b->rx_crc, c);
            b->rx_state = c == 0 ? RX_CRC : RX_DATA;
            return;
        case RX_DATA:
            b->frame[b->rx_pos++] = c;
            b->rx_crc = vkr_crc8_byte(b->rx_crc, c);
            if (b->rx_pos == b->rx_len)
                b->rx_state = RX_CRC;
            return;
        case RX_CRC:
        default:
            b->rx_state = RX_HUNT;
            if (c == b->rx_crc)
                run_frame(b);
            else
                reply_status(b, b->rx_seq, VKR_STATUS_BAD_FRAME);
            return;
    }
}

void vkr_board_init(vkr_board* b, const vkr_hal* hal) {
    b->hal = hal;
    b->rx_state = RX_HUNT;
    b->rx_seq = 0;
    b->rx_len = 0;
    b->rx_pos = 0;
    b->rx_crc = 0;
    b->rx_last_us = 0;
    b->host_last_us = 0;
    b->reply_len = 0;
    power_off(b);
    hal->set_led(hal->ctx, 0);
    for (const char* p = kBanner; *p; ++p)
        hal->uart_write(hal->ctx, (uint8_t)*p);
}

void vkr_board_poll(vkr_board* b) {
    const vkr_hal* hal = b->hal;
    int c;
    bool heard = false;
    /* The time is read once a batch: bytes come faster than it is worth reading it. */
    while ((c = hal->uart_read(hal->ctx)) >= 0) {
        receive_byte(b, (uint8_t)c);
        heard = true;
    }
    if (heard) {
        b->rx_last_us = hal->micros(hal->ctx);
        b->host_last_us = b->rx_last_us;
    }
    if ((b->vdd || b->vpp) &&
        (uint32_t)(hal->micros(hal->ctx) - b->host_last_us) >= VKR_HOST_TIMEOUT_US)
        power_off(b);
    if (b->rx_state != RX_HUNT &&
        (uint32_t)(hal->micros(hal->ctx) - b->rx_last_us) >= VKR_BYTE_TIMEOUT_US) {
        /* Before its sequence byte a frame has none; 0 stands in. */
        reply_status(b, b->rx_state == RX_SEQ ? 0 : b->rx_seq, VKR_STATUS_BAD_FRAME);
        b->rx_state = RX_HUNT;
    }
}
