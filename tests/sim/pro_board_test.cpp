// The programmer firmware's core on the host: frames over the byte queues, and the
// operations down to the pins of the chip models.
#include "sim/pro_board.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/protocol.h"
#include "link/virtual_clock.h"

namespace velkaro::sim {
namespace {

using Bytes = std::vector<uint8_t>;

// Operations as the host backend queues them: the long forms, or with `compact` the short
// ones the host sends where it can.
struct Ops {
    bool compact = false;
    Bytes b;
    Ops& op(std::initializer_list<uint8_t> bytes) {
        b.insert(b.end(), bytes);
        return *this;
    }
    static uint8_t lo(unsigned v) { return static_cast<uint8_t>(v & 0xFF); }
    static uint8_t hi(unsigned v) { return static_cast<uint8_t>(v >> 8); }
    Ops& bits(int count, unsigned value) {
        if (compact && count == 6)
            return op({static_cast<uint8_t>(VKR_OP_CMD6 | value)});
        if (compact && count == 4)
            return op({static_cast<uint8_t>(VKR_OP_CMD4 | value)});
        if (compact && count <= 8)
            return op({static_cast<uint8_t>(VKR_OP_WRITE_N | (count - 1)), lo(value)});
        return op({VKR_OP_WRITE_BITS, static_cast<uint8_t>(count), lo(value), hi(value)});
    }
    // A 4-bit command and its 16-bit operand.
    Ops& command4(unsigned command, unsigned operand) {
        if (compact)
            return op({static_cast<uint8_t>(VKR_OP_CMD4_WORD | command), lo(operand), hi(operand)});
        return bits(4, command).bits(16, operand);
    }
    // `count` bits read: one result byte up to 8 bits in the compact form, two otherwise.
    Ops& read(int count) {
        if (compact)
            return op({static_cast<uint8_t>(VKR_OP_READ_N | (count - 1))});
        return op({VKR_OP_READ_BITS, static_cast<uint8_t>(count)});
    }
    Ops& word(unsigned w) { return op({VKR_OP_WRITE_WORD, lo(w), hi(w)}); }
    Ops& delay(unsigned us) { return op({VKR_OP_DELAY_US, lo(us), hi(us)}); }
    Ops& pgc(int level) { return op({VKR_OP_SET_PGC, static_cast<uint8_t>(level)}); }
    Ops& pgd(int level) { return op({VKR_OP_SET_PGD, static_cast<uint8_t>(level)}); }
    // Lines low, VDD, then VPP, with time to settle.
    Ops& powerUp() {
        return pgc(0).pgd(0).op({VKR_OP_VDD_ON}).delay(100).op({VKR_OP_VPP_ON}).delay(100);
    }
    // 16-bit core: one core instruction.
    Ops& core(unsigned instruction) { return command4(0, instruction); }
    // A 4-bit command with each of `operands` (the short form: one run).
    Ops& commands4(unsigned command, const std::vector<unsigned>& operands) {
        if (!compact) {
            for (unsigned operand : operands)
                command4(command, operand);
            return *this;
        }
        op({VKR_OP_CORE_RUN, static_cast<uint8_t>(operands.size()), static_cast<uint8_t>(command)});
        for (unsigned operand : operands)
            op({lo(operand), hi(operand)});
        return *this;
    }
    // `n` words by Read Data and Increment Address (the short form: one run).
    Ops& readWords(uint8_t n) {
        if (compact)
            return op({VKR_OP_READ_RUN, n, 0x04, 0x06});
        for (int i = 0; i < n; ++i)
            bits(6, 0x04).op({VKR_OP_READ_WORD}).bits(6, 0x06);
        return *this;
    }
    // `n` table reads with post-increment (the short form: one run, a result byte each).
    Ops& tableReads(uint8_t n) {
        if (compact)
            return op({VKR_OP_SHIFT_RUN, n, 9});
        for (int i = 0; i < n; ++i)
            bits(4, 9).bits(8, 0).read(8);
        return *this;
    }
    Ops& tablePointer(uint32_t a) {
        return commands4(0, {0x0E00 | ((a >> 16) & 0xFF), 0x6EF8, 0x0E00 | ((a >> 8) & 0xFF),
                             0x6EF7, 0x0E00 | (a & 0xFF), 0x6EF6});
    }
};

struct Reply {
    uint8_t seq = 0;
    uint8_t status = 0xEE;
    Bytes results;
};

Bytes frame(uint8_t seq, const Bytes& payload) {
    Bytes f{VKR_FRAME_START, seq, static_cast<uint8_t>(payload.size())};
    f.insert(f.end(), payload.begin(), payload.end());
    f.push_back(vkr_crc8(0, f.data() + 1, f.size() - 1));
    return f;
}

class Bench {
public:
    explicit Bench(const char* device) {
        if (device)
            target.insertChip(makeSimChip(device));
        EXPECT_EQ(drain(), "VKR20PRO\n");
    }

    std::string drain() {
        std::string text;
        for (uint8_t c; board.transmit(c);)
            text.push_back(static_cast<char>(c));
        return text;
    }

    // The reply waiting in the queue, checked for its framing and CRC; nullopt when none.
    std::optional<Reply> reply() {
        const std::string raw = drain();
        if (raw.empty())
            return std::nullopt;
        const Bytes r(raw.begin(), raw.end());
        EXPECT_GE(r.size(), 5u);
        EXPECT_EQ(r[0], VKR_FRAME_START);
        EXPECT_EQ(r.size(), r[2] + 4u) << "length byte";
        EXPECT_EQ(r.back(), vkr_crc8(0, r.data() + 1, r.size() - 2)) << "CRC";
        return Reply{r[1], r[3], Bytes(r.begin() + 4, r.end() - 1)};
    }

    Reply run(const Bytes& payload) {
        const uint8_t s = ++seq;
        board.receive(frame(s, payload));
        board.poll();
        const std::optional<Reply> r = reply();
        EXPECT_TRUE(r.has_value());
        EXPECT_EQ(r.value_or(Reply{}).seq, s);
        return r.value_or(Reply{});
    }
    Bytes results(const Ops& ops) {
        const Reply r = run(ops.b);
        EXPECT_EQ(r.status, VKR_STATUS_OK);
        return r.results;
    }

    // Clock reads cost nothing, so the waveform times are exactly the firmware's own.
    VirtualClock clock{0};
    PinTarget target;
    ProBoard board{target, clock};
    uint8_t seq = 0;
};

std::vector<unsigned> words16(const Bytes& b) {
    std::vector<unsigned> w;
    for (size_t i = 0; i + 1 < b.size(); i += 2)
        w.push_back(b[i] | b[i + 1] << 8);
    return w;
}

std::string text(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

TEST(ProBoard, CrcIsTheDocumentedOne) {
    const std::string check = "123456789";  // CRC-8 with polynomial 0x07, initial 0
    EXPECT_EQ(vkr_crc8(0, reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0xF4);
}

TEST(ProBoard, DamagedFramesAreRefusedUnrunAndTheNextFrameIsServed) {
    const Bytes good = frame(7, {VKR_OP_VDD_ON, VKR_OP_VERSION});
    Bytes badCrc = good;
    badCrc[good.size() - 1] ^= 0x01;
    Bytes lostByte = good;
    lostByte.erase(lostByte.begin() + 4);
    Bytes tooLong{VKR_FRAME_START, 7, 251, VKR_OP_VDD_ON};
    Bytes noise{0x00, 0x13, 0x55};
    noise.insert(noise.end(), good.begin(), good.end());
    Bytes manyResults{VKR_OP_VDD_ON};
    manyResults.insert(manyResults.end(), 32, VKR_OP_FIRMWARE_DATE);  // 256 result bytes

    struct Case {
        const char* name;
        Bytes bytes;
        bool waitsForTimeout;
        uint8_t status;
        std::string results;
        bool vddAfter;
    };
    const Case cases[] = {
        {"CRC wrong", badCrc, false, VKR_STATUS_BAD_FRAME, "", false},
        {"a byte lost", lostByte, true, VKR_STATUS_BAD_FRAME, "", false},
        {"length above 250", tooLong, false, VKR_STATUS_BAD_FRAME, "", false},
        {"noise before the start", noise, false, VKR_STATUS_OK, "1.03", true},
        {"unknown opcode", frame(7, {VKR_OP_VERSION, 0xF0, VKR_OP_VDD_ON}), false,
         VKR_STATUS_UNKNOWN_OP, "1.03", false},
        {"arguments cut short", frame(7, {VKR_OP_VERSION, VKR_OP_WRITE_BITS, 4}), false,
         VKR_STATUS_UNKNOWN_OP, "1.03", false},
        {"bit count above 16", frame(7, {VKR_OP_VERSION, VKR_OP_READ_BITS, 17}), false,
         VKR_STATUS_UNKNOWN_OP, "1.03", false},
        {"results beyond a reply", frame(7, manyResults), false, VKR_STATUS_TOO_LONG, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bench bench("PIC16F84A");
        bench.board.receive(c.bytes);
        bench.board.poll();
        if (c.waitsForTimeout) {
            bench.clock.advanceMicroseconds(49'000);
            bench.board.poll();
            EXPECT_EQ(bench.board.bytesToTransmit(), 0u) << "answered before the timeout";
            bench.clock.advanceMicroseconds(1'000);
            bench.board.poll();
        }
        const std::optional<Reply> r = bench.reply();
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->seq, 7);
        EXPECT_EQ(r->status, c.status);
        EXPECT_EQ(text(r->results), c.results);
        EXPECT_EQ(bench.target.vdd(), c.vddAfter);

        const Reply ping = bench.run({});
        EXPECT_EQ(ping.status, VKR_STATUS_OK);
        EXPECT_TRUE(ping.results.empty());
    }
}

// The host sends one frame ahead of the reply it waits for.
// Back to back, in order, and on the wire's time: the first reply leaves after its frame's
// 10 ms wait, a byte per 10 us, and the second follows it.
TEST(ProBoard, FramesSentBackToBackAreAnsweredInOrder) {
    Bench bench("PIC16F84A");
    Bytes both = frame(1, {VKR_OP_DELAY_US, 0x10, 0x27, VKR_OP_VERSION});
    const Bytes second = frame(2, {VKR_OP_CHECK_POWER});
    both.insert(both.end(), second.begin(), second.end());
    const uint64_t start = bench.clock.nowMicroseconds();
    bench.board.receive(both);
    bench.board.poll();
    std::string replies;
    std::vector<uint64_t> arrivals;
    for (std::optional<uint64_t> at; (at = bench.board.nextByteArrivesUs());) {
        arrivals.push_back(*at);
        uint8_t c = 0;
        bench.board.transmit(c);
        replies.push_back(static_cast<char>(c));
    }
    ASSERT_EQ(arrivals.size(), 15u);
    EXPECT_GE(arrivals.front(), start + 10'000 + ProBoard::kByteUs);
    for (size_t i = 0; i + 1 < arrivals.size(); ++i) {
        // The first reply's nine bytes back to back; the second once its frame has run.
        if (i < 8)
            EXPECT_EQ(arrivals[i + 1] - arrivals[i], ProBoard::kByteUs) << i;
        else
            EXPECT_GE(arrivals[i + 1] - arrivals[i], ProBoard::kByteUs) << i;
    }
    const Bytes expected1 = {VKR_FRAME_START, 1, 5, 0, '1', '.', '0', '3'};
    const Bytes expected2 = {VKR_FRAME_START, 2, 2, 0, 0};
    ASSERT_EQ(replies.size(), expected1.size() + expected2.size() + 2);
    EXPECT_EQ(Bytes(replies.begin(), replies.begin() + 8), expected1);
    EXPECT_EQ(Bytes(replies.begin() + 9, replies.begin() + 14), expected2);
}

TEST(ProBoard, ResetDropsAHalfReceivedFrameAndSendsTheBannerAgain) {
    Bench bench("PIC16F84A");
    bench.results(Ops{}.op({VKR_OP_VDD_ON, VKR_OP_VPP_ON, VKR_OP_SET_LED, 2}));
    const Bytes f = frame(1, {VKR_OP_VERSION});
    bench.board.receive(std::span(f).first(3));
    bench.board.reset();
    EXPECT_FALSE(bench.target.vdd() || bench.target.vpp());
    EXPECT_EQ(bench.board.ledPosition(), 0);
    bench.board.poll();
    EXPECT_EQ(bench.drain(), "VKR20PRO\n");
    EXPECT_EQ(text(bench.results(Ops{}.op({VKR_OP_VERSION}))), "1.03");
}

TEST(ProBoard, PowerCheckAndTheBoardsOwnAnswers) {
    Bench bench("PIC16F84A");
    const Bytes r = bench.results(
        Ops{}.op({VKR_OP_CHECK_POWER, VKR_OP_VDD_ON, VKR_OP_CHECK_POWER, VKR_OP_VPP_ON,
                  VKR_OP_CHECK_POWER, VKR_OP_POWER_OFF, VKR_OP_CHECK_POWER, VKR_OP_FIRMWARE_DATE,
                  VKR_OP_VERSION, VKR_OP_SET_LED, 3, VKR_OP_VPP_LEVEL, 1}));
    EXPECT_EQ(r, (Bytes{0, 2, 7, 0, '2', '0', '2', '6', '1', '2', '1', '0', '1', '.', '0', '3'}));
    EXPECT_EQ(bench.board.ledPosition(), 3);
    EXPECT_EQ(bench.board.vppVolts(), 13.0);
    EXPECT_FALSE(bench.target.vdd() || bench.target.vpp());
}

// 0 and 1 keep the two settings the board always had; 2 is 8.5 V. The board starts at the
// lowest and returns to it whenever it switches the target off, so a session that never
// chooses cannot put a higher level on a chip than the last one chose for another.
TEST(ProBoard, VppLevelSelectsTheRegulatorSettingAndPowerOffReturnsToTheLowest) {
    Bench bench("PIC16F84A");
    EXPECT_EQ(bench.board.vppVolts(), 8.5) << "after power-on";
    EXPECT_EQ(bench.target.vppVolts(), 8.5) << "what reaches the socket";
    for (const auto& [argument, volts] : {std::pair{0, 12.0}, {1, 13.0}, {2, 8.5}, {0, 12.0}}) {
        bench.results(Ops{}.op({VKR_OP_VPP_LEVEL, static_cast<uint8_t>(argument)}));
        EXPECT_EQ(bench.board.vppVolts(), volts) << "argument " << argument;
        EXPECT_EQ(bench.target.vppVolts(), volts) << "argument " << argument;
    }

    // An argument beyond the three is refused like any operation out of range.
    const Reply refused = bench.run({VKR_OP_VPP_LEVEL, 1, VKR_OP_VPP_LEVEL, 3});
    EXPECT_EQ(refused.status, VKR_STATUS_UNKNOWN_OP);
    EXPECT_EQ(bench.board.vppVolts(), 13.0) << "the operation before it ran";

    bench.results(Ops{}.powerUp().op({VKR_OP_POWER_OFF}));
    EXPECT_EQ(bench.board.vppVolts(), 8.5) << "after POWER_OFF";
    bench.results(Ops{}.op({VKR_OP_VPP_LEVEL, 0}).powerUp());
    bench.board.reset();
    EXPECT_EQ(bench.board.vppVolts(), 8.5) << "after a reset";
    EXPECT_FALSE(bench.target.vdd() || bench.target.vpp());

    // A host gone silent: the board switches the target off, the level with it.
    bench.drain();
    bench.results(Ops{}.op({VKR_OP_VPP_LEVEL, 1}).powerUp());
    bench.clock.advanceMicroseconds(VKR_HOST_TIMEOUT_US);
    bench.board.poll();
    EXPECT_FALSE(bench.target.vdd() || bench.target.vpp());
    EXPECT_EQ(bench.board.vppVolts(), 8.5) << "after the host timeout";
}

// The chip sees the level the firmware set: an enhanced-core chip enters at the board's own
// 8.5 V and is damaged by the 13 V meant for the older parts.
TEST(ProBoard, EnhancedChipEntersAtTheLowestLevelAndIsDamagedAtThirteenVolts) {
    Bench bench("PIC16F1827");
    bench.results(Ops{}.powerUp());
    EXPECT_TRUE(bench.target.chip()->inProgrammingMode());
    bench.results(Ops{}.op({VKR_OP_POWER_OFF, VKR_OP_VPP_LEVEL, 1}).powerUp());
    EXPECT_FALSE(bench.target.chip()->inProgrammingMode());
    ASSERT_EQ(bench.target.chip()->notes().size(), 1u);
    EXPECT_NE(bench.target.chip()->notes()[0].find("damaged"), std::string::npos);
    bench.results(Ops{}.op({VKR_OP_POWER_OFF}));
}

// LOW_VOLTAGE 1: VDD alone is target power and the key, clocked in with VPP off, enters the
// chip; POWER_OFF ends it, and an argument above 1 is refused.
TEST(ProBoard, LowVoltageEntryTakesVddAloneAndTheKeyEntersTheChip) {
    Bench bench("PIC16F1827");
    const Bytes before = bench.results(Ops{}.op({VKR_OP_VDD_ON, VKR_OP_CHECK_POWER}));
    EXPECT_EQ(before, (Bytes{VKR_POWER_VDD}));
    const Bytes entered =
        bench.results(Ops{}.op({VKR_OP_LOW_VOLTAGE, 1, VKR_OP_CHECK_POWER, 0x97, 0x50, 0x97, 0x48,
                                0x97, 0x43, 0x97, 0x4D, VKR_OP_SET_PGC, 1, VKR_OP_SET_PGC, 0}));
    EXPECT_EQ(entered, (Bytes{VKR_POWER_VDD | VKR_POWER_TARGET}));
    EXPECT_TRUE(bench.target.chip()->inProgrammingMode());
    EXPECT_FALSE(bench.target.vpp());
    const Bytes off =
        bench.results(Ops{}.op({VKR_OP_POWER_OFF, VKR_OP_VDD_ON, VKR_OP_CHECK_POWER}));
    EXPECT_EQ(off, (Bytes{VKR_POWER_VDD})) << "POWER_OFF ends the low-voltage session";
    bench.results(Ops{}.op({VKR_OP_POWER_OFF}));
    EXPECT_EQ(bench.run({VKR_OP_LOW_VOLTAGE, 2}).status, VKR_STATUS_UNKNOWN_OP);
    EXPECT_EQ(bench.target.chip()->notes(), std::vector<std::string>{});
}

// A rail that does not come up (a short, an empty socket) switches everything off and ends
// the frame before the operations after it.
TEST(ProBoard, TargetSupplyFailureEndsTheFrameWithEverythingOff) {
    struct Case {
        const char* name;
        const char* device;
        bool shorted;
    };
    for (const Case& c :
         {Case{"shorted", "PIC16F84A", true}, Case{"empty socket", nullptr, false}}) {
        SCOPED_TRACE(c.name);
        Bench bench(c.device);
        bench.board.setSupplyShorted(c.shorted);
        const Reply r = bench.run({VKR_OP_VPP_ON, VKR_OP_VDD_ON, VKR_OP_VERSION});
        EXPECT_EQ(r.status, VKR_STATUS_POWER_LOST);
        EXPECT_TRUE(r.results.empty());
        EXPECT_FALSE(bench.target.vdd() || bench.target.vpp());
    }
}

void checkWordsReadBack(const std::vector<unsigned>& words, bool compactWrite);

// Each encoding writes, the other reads back: the short forms put the same waveforms on
// the pins as the long ones.
TEST(ProBoard, WordsWrittenAtThePinsReadBack) {
    const std::vector<unsigned> words{0x2805, 0x3FFE, 0x0000, 0x1234};
    for (const bool compactWrite : {false, true}) {
        SCOPED_TRACE(compactWrite ? "short forms write" : "long forms write");
        checkWordsReadBack(words, compactWrite);
    }
}

TEST(ProBoard, UnknownShortFormsAndRunsBeyondAReplyAreRefused) {
    const Bytes refused[] = {{0x98},
                             {0xA0},
                             {0xFF},
                             {0x15},
                             {VKR_OP_READ_RUN, 0, 4, 6},
                             {VKR_OP_READ_RUN, 125, 4, 6},
                             {VKR_OP_SHIFT_RUN, 0, 9},
                             {VKR_OP_SHIFT_RUN, 250, 9},
                             {VKR_OP_WRITE_RUN, 0, 6, 2},
                             {VKR_OP_WRITE_RUN, 2, 6, 2, 0x00, 0x01},  // a word short
                             {VKR_OP_CORE_RUN, 0, 13},
                             {VKR_OP_CORE_RUN, 1, 0x10, 0x00, 0x01},  // not a 4-bit command
                             {VKR_OP_CORE_RUN, 2, 13, 0x00, 0x01}};
    for (const Bytes& ops : refused) {
        SCOPED_TRACE(testing::PrintToString(ops));
        Bench bench("PIC16F84A");
        Bytes payload{VKR_OP_VERSION};
        payload.insert(payload.end(), ops.begin(), ops.end());
        const Reply r = bench.run(payload);
        EXPECT_EQ(r.status, VKR_STATUS_UNKNOWN_OP);
        EXPECT_EQ(text(r.results), "1.03");
    }
}

void checkWordsReadBack(const std::vector<unsigned>& words, bool compactWrite) {
    {
        SCOPED_TRACE("PIC16F84A");
        Bench bench("PIC16F84A");
        Ops write{compactWrite, {}};
        write.powerUp();
        for (unsigned w : words)
            write.bits(6, 0x02).word(w).bits(6, 0x08).delay(10'000).bits(6, 0x06);
        write.op({VKR_OP_POWER_OFF});
        bench.results(write);
        Ops read{!compactWrite, {}};
        read.powerUp().readWords(static_cast<uint8_t>(words.size()));
        read.op({VKR_OP_POWER_OFF});
        EXPECT_EQ(words16(bench.results(read)), words);
        EXPECT_TRUE(bench.target.chip()->notes().empty()) << bench.target.chip()->notes()[0];
    }
    {
        SCOPED_TRACE("PIC18F4520");
        Bench bench("PIC18F4520");
        Ops write{compactWrite, {}};
        write.powerUp().core(0x8EA6).core(0x9CA6).tablePointer(0);
        write.commands4(13, std::vector<unsigned>(words.begin(), words.end() - 1));
        // The last word starts the write; the 4th clock of the NOP after it is held high
        // for the programming time, then low before the NOP's operand.
        write.command4(15, words.back()).bits(3, 0).pgc(1).delay(1000).pgc(0).delay(100);
        write.bits(16, 0).op({VKR_OP_POWER_OFF});
        bench.results(write);
        Ops read{!compactWrite, {}};
        read.powerUp().tablePointer(0).tableReads(static_cast<uint8_t>(2 * words.size()));
        read.op({VKR_OP_POWER_OFF});
        const Bytes results = bench.results(read);
        const std::vector<unsigned> bytes =
            read.compact ? std::vector<unsigned>(results.begin(), results.end()) : words16(results);
        std::vector<unsigned> back;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            back.push_back(bytes[i] | bytes[i + 1] << 8);
        EXPECT_EQ(back, words);
        EXPECT_TRUE(bench.target.chip()->notes().empty()) << bench.target.chip()->notes()[0];
    }
}

TEST(ProBoard, BlockTestsFindOneProgrammedWordAndNeedPreparing) {
    struct Case {
        const char* device;
        uint8_t kind;
        bool incrementFirst;  // 12-bit parts start at the configuration word
        uint32_t address;     // 16-bit core: a byte address
    };
    const Case cases[] = {
        {"PIC16F84A", VKR_BLOCK_14BIT, false, 1023},
        {"PIC16F57", VKR_BLOCK_12BIT, true, 1000},
        {"PIC18F4520", VKR_BLOCK_16BIT, false, 2047},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        for (const bool programmed : {false, true}) {
            Bench bench(c.device);
            if (programmed)
                bench.target.chip()->poke(c.address, 0);
            // The program leaves both lines high before preparing; the board must still
            // enter programming mode with them low.
            Ops ops;
            ops.pgd(1).pgc(1).op({VKR_OP_BLOCK_PREPARE, 1, VKR_OP_VDD_ON}).delay(100);
            ops.op({VKR_OP_VPP_ON}).delay(100);
            if (c.incrementFirst)
                ops.bits(6, 0x06);
            ops.op({VKR_OP_BLOCK_TEST, c.kind, VKR_OP_BLOCK_PREPARE, 0, VKR_OP_BLOCK_TEST, c.kind,
                    VKR_OP_POWER_OFF});
            EXPECT_EQ(bench.results(ops),
                      (Bytes{programmed ? uint8_t{0} : uint8_t{1}, VKR_BLOCK_NOT_PREPARED}));
            EXPECT_TRUE(bench.target.chip()->notes().empty()) << bench.target.chip()->notes()[0];
        }
    }
}

TEST(ProBoard, OscillatorIsMeasuredOnVddAloneInUnitsOf100Hz) {
    Bench bench("PIC12F675");
    const Ops measure = Ops{}.op({VKR_OP_VDD_ON, VKR_OP_MEASURE_OSC, VKR_OP_VPP_ON,
                                  VKR_OP_MEASURE_OSC, VKR_OP_POWER_OFF, VKR_OP_MEASURE_OSC});
    EXPECT_EQ(words16(bench.results(measure)), (std::vector<unsigned>{0, 0, 0})) << "no program";

    bench.target.chip()->poke(0, 0x2805);
    const uint64_t start = bench.clock.peekMicroseconds();
    const std::vector<unsigned> hz100 = words16(bench.results(measure));
    EXPECT_EQ(hz100, (std::vector<unsigned>{10000, 0, 0}));  // 1 MHz instruction clock
    EXPECT_GE(bench.clock.peekMicroseconds() - start, 100'000u) << "the gate time";
}

}  // namespace
}  // namespace velkaro::sim
