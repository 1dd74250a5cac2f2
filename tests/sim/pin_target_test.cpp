// The chips driven through their pins alone: VDD, VPP, PGC and PGD on a virtual clock.
#include "sim/pin_target.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "sim/enhanced/enhanced_chip.h"
#include "sim/midrange/midrange_chip.h"
#include "sim/pic18/pic18_chip.h"

namespace velkaro::sim {
namespace {

// A programmer bit-banging the lines: data set, a step, PGC up, a step, PGC down, a step.
// A step is 1 us, or as short as `Pace::Shortest` allows: the documents' shortest clock
// half (100 ns on the 12/14-bit cores, 40 ns on the 16-bit core) and on the 12/14-bit
// cores 1 us between frames (TDLY2).
enum class Pace { Microsecond, Shortest };

class PinDriver {
public:
    explicit PinDriver(const std::string& device, Pace pace = Pace::Microsecond)
        : target(makeSimChip(device)) {
        if (pace == Pace::Shortest) {
            const bool sixteenBit = target.chip()->extendedFamily();
            mStepNs = sixteenBit ? 40 : 100;
            mFrameGapNs = sixteenBit ? 0 : 1000;
        }
    }

    uint64_t now() const { return mNowNs; }
    void wait(uint64_t us) { mNowNs += us * 1000; }
    void waitNs(uint64_t ns) { mNowNs += ns; }
    void step() { mNowNs += mStepNs; }

    void powerUp() {
        target.setPgcNs(false, now());
        target.setPgdNs(false, now());
        target.setVddNs(true, now());
        wait(5);
        target.setVppNs(true, now());
        wait(5);
    }
    void powerDown() {
        target.setVppNs(false, now());
        target.setVddNs(false, now());
        wait(5);
    }

    void clockOut(bool bit) {
        target.setPgdNs(bit, now());
        step();
        target.setPgcNs(true, now());
        step();
        target.setPgcNs(false, now());
        step();
    }
    void send(uint32_t value, int count) {
        for (int i = 0; i < count; ++i)
            clockOut((value >> i) & 1);
    }
    uint32_t receive(int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            target.setPgcNs(true, now());
            step();
            value |= static_cast<uint32_t>(target.pgdNs(now())) << i;
            target.setPgcNs(false, now());
            step();
        }
        return value;
    }

    // 12/14-bit cores.
    void command(unsigned code) {
        send(code, 6);
        mNowNs += mFrameGapNs;
    }
    void load(unsigned code, uint16_t word) {
        command(code);
        send(static_cast<uint32_t>(word & 0x3FFF) << 1, 16);
        mNowNs += mFrameGapNs;
    }
    uint16_t read(unsigned code = 4) {
        command(code);
        const auto word = static_cast<uint16_t>((receive(16) >> 1) & 0x3FFF);
        mNowNs += mFrameGapNs;
        return word;
    }

    // 16-bit core.
    void instruction(unsigned code, uint16_t operand) {
        send(code, 4);
        send(operand, 16);
    }
    void core(std::initializer_list<uint16_t> ops) {
        for (uint16_t op : ops)
            instruction(0, op);
    }
    void tablePointer(uint32_t a) {
        core({static_cast<uint16_t>(0x0E00 | ((a >> 16) & 0xFF)), 0x6EF8,
              static_cast<uint16_t>(0x0E00 | ((a >> 8) & 0xFF)), 0x6EF7,
              static_cast<uint16_t>(0x0E00 | (a & 0xFF)), 0x6EF6});
    }
    uint8_t tableRead() {  // post-increment
        send(9, 4);
        send(0, 8);
        return static_cast<uint8_t>(receive(8));
    }
    // The NOP after command 15: its 4th clock held high for P9, then low for P10.
    void programmingPulse(const Pic18Timing& t) {
        send(0, 3);
        target.setPgdNs(false, now());
        wait(1);
        target.setPgcNs(true, now());
        wait(t.programHoldUs);
        target.setPgcNs(false, now());
        wait(t.dischargeUs);
        send(0, 16);
    }
    void erase(uint16_t code, const Pic18Timing& t) {
        if (code > 0xFF) {
            tablePointer(0x3C0005);
            instruction(12, static_cast<uint16_t>((code >> 8) * 0x0101));
        }
        tablePointer(0x3C0004);
        instruction(12, static_cast<uint16_t>((code & 0xFF) * 0x0101));
        core({0x0000});
        send(0, 4);  // the erase starts on the 4th clock of the second NOP
        wait(t.eraseUs + t.dischargeUs);
        send(0, 16);
    }

    PinTarget target;

private:
    uint64_t mNowNs = 0;
    uint64_t mStepNs = 1000;
    uint64_t mFrameGapNs = 0;
};

void roundTripMidrange(PinDriver& pins, const MidrangeChip& chip) {
    const MidrangeDevice& d = chip.device();
    const MidrangeProtocol& p = *d.protocol;
    const bool baseline = d.wordBits == 12;
    const std::vector<uint16_t> words = baseline
                                            ? std::vector<uint16_t>{0x0A5A, 0x0C01, 0x0025, 0x0FFE}
                                            : std::vector<uint16_t>{0x2A5A, 0x3401, 0x0025, 0x1FFE};
    const uint16_t config = baseline ? 0x001A : 0x3FF5;
    const uint32_t configAddress = baseline ? d.adrMask : 0x2007;
    const auto programCycle = [&] {
        pins.command(8);
        pins.wait(p.beginTimeUs);
        if (p.endCode) {
            pins.command(p.endCode);
            pins.wait(p.dischargeUs);
        }
    };
    const auto toConfigWord = [&] {  // 14-bit: Load Configuration, then up to 0x2007
        pins.load(0, config);
        for (int i = 0; i < 7; ++i)
            pins.command(6);
    };

    for (uint32_t i = 0; i <= words.size(); ++i)
        pins.target.chip()->poke(i, 0);  // left from an earlier program: the erase takes it

    pins.powerUp();
    if (!baseline)
        pins.load(2, 0x3FFF);
    pins.command(9);
    if (p.bulkEraseStart == EraseStart::OnBeginCommand)
        pins.command(8);
    pins.wait(p.bulkEraseTimeUs);
    if (baseline) {  // the counter starts at the configuration word
        pins.load(2, config);
        programCycle();
        pins.command(6);
    }
    for (uint16_t word : words) {
        pins.load(2, word);
        programCycle();
        pins.command(6);
    }
    if (!baseline) {
        toConfigWord();
        pins.load(2, config);
        programCycle();
    }
    pins.powerDown();

    pins.powerUp();
    if (baseline) {
        EXPECT_EQ(pins.read(), config);
        pins.command(6);
    }
    for (uint32_t i = 0; i < words.size(); ++i) {
        EXPECT_EQ(pins.read(), words[i]) << i;
        EXPECT_EQ(chip.peek(i), words[i]) << i;
        pins.command(6);
    }
    EXPECT_EQ(pins.read(), baseline ? 0x0FFF : 0x3FFF);
    if (!baseline) {
        toConfigWord();
        EXPECT_EQ(pins.read(), config);
    }
    EXPECT_EQ(chip.peek(configAddress), config);
    pins.powerDown();
}

void roundTripPic18(PinDriver& pins, const Pic18Chip& chip) {
    const Pic18Timing& t = chip.timing();
    const std::vector<uint16_t> words{0x0E5A, 0x6E81, 0xEF00, 0xF000};
    constexpr uint32_t kConfig1H = Pic18Chip::kConfigAddress + 1;
    constexpr uint8_t kConfigValue = 0x02;

    for (uint32_t i = 0; i < 2 * words.size() + 2; ++i)
        pins.target.chip()->poke(i, 0);

    pins.powerUp();
    pins.erase(chip.model().family == Pic18Family::Fxx2 ? 0x80 : 0x3F8F, t);
    pins.core({0x8EA6, 0x9CA6});  // EECON1: program memory
    pins.tablePointer(0);
    for (size_t i = 0; i + 1 < words.size(); ++i)
        pins.instruction(13, words[i]);
    pins.instruction(15, words.back());
    pins.programmingPulse(t);
    pins.core({0x8EA6, 0x8CA6});  // EECON1: configuration
    pins.tablePointer(kConfig1H);
    pins.instruction(15, kConfigValue * 0x0101);
    pins.programmingPulse(t);
    pins.powerDown();

    pins.powerUp();
    pins.tablePointer(0);
    for (uint32_t i = 0; i < words.size(); ++i) {
        const uint8_t low = pins.tableRead();
        const uint16_t word = static_cast<uint16_t>(low | pins.tableRead() << 8);
        EXPECT_EQ(word, words[i]) << i;
        EXPECT_EQ(chip.peek(2 * i) | chip.peek(2 * i + 1) << 8, words[i]) << i;
    }
    EXPECT_EQ(pins.tableRead(), 0xFF);
    pins.tablePointer(kConfig1H);
    EXPECT_EQ(pins.tableRead(), kConfigValue);
    EXPECT_EQ(chip.peek(kConfig1H), kConfigValue);
    pins.powerDown();
}

// Enhanced core: bulk erase from the configuration space, one row through the latches,
// then configuration word 1 by itself; the device ID read back from 0x8006.
void roundTripEnhanced(PinDriver& pins, const EnhancedChip& chip) {
    pins.target.setVppVolts(8.5);  // these parts take 9 V at most
    const EnhancedTimes& t = *chip.device().times;
    const uint16_t config = static_cast<uint16_t>(chip.device().configMask[0] & ~0x0018);
    std::vector<uint16_t> words;
    for (uint32_t i = 0; i < chip.device().latchWords; ++i)
        words.push_back(static_cast<uint16_t>(0x3000 | (i * 0x111)));
    pins.powerUp();
    pins.load(0, 0x3FFF);
    pins.command(9);
    pins.wait(t.bulkEraseUs);
    pins.command(0x16);
    for (uint32_t i = 0; i < words.size(); ++i) {
        pins.load(2, words[i]);
        if (i + 1 < words.size())
            pins.command(6);
    }
    pins.command(8);
    pins.wait(t.rowProgramUs);
    pins.load(0, 0x3FFF);
    for (int i = 0; i < 7; ++i)
        pins.command(6);
    pins.load(2, config);
    pins.command(8);
    pins.wait(t.configProgramUs);
    pins.powerDown();

    pins.powerUp();
    for (uint32_t i = 0; i < words.size(); ++i) {
        EXPECT_EQ(pins.read(), words[i]) << i;
        pins.command(6);
    }
    EXPECT_EQ(pins.read(), 0x3FFF);
    pins.load(0, 0x3FFF);
    for (int i = 0; i < 6; ++i)
        pins.command(6);
    EXPECT_EQ(pins.read(), chip.device().deviceId);
    pins.command(6);
    EXPECT_EQ(pins.read(), config);
    pins.powerDown();
}

class PinRoundTrip : public ::testing::TestWithParam<std::tuple<const char*, Pace>> {};

TEST_P(PinRoundTrip, ErasesProgramsAndReadsBackThroughThePinsAlone) {
    PinDriver pins(std::get<0>(GetParam()), std::get<1>(GetParam()));
    const SimChip* chip = pins.target.chip();
    ASSERT_NE(chip, nullptr);
    if (const auto* pic18 = dynamic_cast<const Pic18Chip*>(chip))
        roundTripPic18(pins, *pic18);
    else if (const auto* enhanced = dynamic_cast<const EnhancedChip*>(chip))
        roundTripEnhanced(pins, *enhanced);
    else
        roundTripMidrange(pins, dynamic_cast<const MidrangeChip&>(*chip));
    EXPECT_THAT(chip->notes(), ::testing::IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(OnePerFamily, PinRoundTrip,
                         ::testing::Combine(::testing::Values("PIC12F508", "PIC16F84A", "PIC18F452",
                                                              "PIC18F4520", "PIC16F1827"),
                                            ::testing::Values(Pace::Microsecond, Pace::Shortest)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) == Pace::Shortest ? "Shortest"
                                                                               : "Microsecond");
                         });

// VPP is a level: the socket hands the chip what the programmer's circuit makes. A chip of
// the enhanced core takes 9 V at most; the 12/14-bit and 16-bit cores take 13 V.
TEST(PinTarget, ChipsSeeTheVppLevelAndAnEnhancedChipIsDamagedAboveNineVolts) {
    struct Case {
        const char* device;
        double volts;
        bool enters;
    };
    for (const Case c : {Case{"PIC16F1827", 13.0, false}, Case{"PIC16F1827", 12.0, false},
                         Case{"PIC16F1827", 8.5, true}, Case{"PIC16F1827", 9.0, true},
                         Case{"PIC16F84A", 13.0, true}, Case{"PIC12F508", 13.0, true},
                         Case{"PIC18F452", 13.0, true}, Case{"PIC16F84A", 13.6, false},
                         Case{"PIC18F4520", 13.5, false}}) {
        SCOPED_TRACE(std::string(c.device) + " at " + std::to_string(c.volts) + " V");
        PinDriver pins(c.device);
        pins.target.setVppVolts(c.volts);
        pins.powerUp();
        EXPECT_EQ(pins.target.chip()->inProgrammingMode(), c.enters);
        const std::vector<std::string> notes = pins.target.chip()->notes();
        if (c.enters) {
            EXPECT_THAT(notes, ::testing::IsEmpty());
        } else {
            ASSERT_EQ(notes.size(), 1u);
            EXPECT_THAT(notes[0], ::testing::HasSubstr("damaged"));
        }
        pins.powerDown();
    }
}

// Each waveform time broken once, after frames clocked in correctly: cut to nothing, or
// just short of the documents' minimum. The waveform reads left to right: u/d PGC up/down,
// H/L the programmer's PGD high/low, 1 a microsecond, 9 and 3 90 and 30 ns, R/r PGD read
// back high/low.
struct Violation {
    const char* device;
    const char* what;
    std::vector<std::pair<uint32_t, int>> before;  // bits sent correctly first, LSB first
    const char* wave;
    const char* note;
};

TEST(PinTarget, NotesEachBrokenWaveformTime) {
    const std::vector<Violation> table{
        {"PIC16F84A", "data set-up", {}, "u1Hd", "set-up time TSET1"},
        {"PIC16F84A", "data hold", {}, "u1dH", "hold time THLD1"},
        {"PIC16F84A", "clock high", {}, "ud", "clock high time"},
        {"PIC16F84A", "clock low", {}, "u1du", "clock low time"},
        {"PIC16F84A", "clock high, 90 ns", {}, "u9d", "clock high time"},
        {"PIC16F84A", "data set-up, 90 ns", {}, "u1H9d", "set-up time TSET1"},
        {"PIC16F84A", "data hold, 90 ns", {}, "u1d9H", "hold time THLD1"},
        {"PIC16F84A", "command to data, 900 ns", {{2, 5}}, "u1d9999999999u", "TDLY2"},
        {"PIC16F84A", "read data valid, 30 ns", {{4, 6}}, "H1u3R1r", "TDLY3/P14"},
        {"PIC18F4520", "clock low, 30 ns", {{0, 2}}, "u1d3u", "clock low time"},
        // Load Data's 6th clock, then the data frame's start bit at once.
        {"PIC16F84A", "command to data", {{2, 5}}, "u1du", "TDLY2 (command to its data)"},
        // Read Data: the line shows the programmer's high level until the start bit is valid.
        {"PIC16F84A", "read data valid", {{4, 6}}, "H1uR1r", "TDLY3/P14"},
        {"PIC18F4520", "command to operand", {{0, 3}}, "u1du", "P5 (command to operand)"},
        // Table read: 4 command clocks and 8 dummy clocks, then the first data clock at once.
        {"PIC18F4520", "command byte to data", {{9, 11}}, "u1du", "P6 (command byte"},
        // MOVLW A5, MOVWF TABLAT, then shift TABLAT out: its bit 0 (1) is not valid at once.
        {"PIC18F452",
         "read data valid",
         {{0x0EA50, 20}, {0x6EF50, 20}, {2, 12}},
         "Lur1R",
         "TDLY3/P14"},
    };
    for (const Violation& v : table) {
        SCOPED_TRACE(std::string(v.device) + ": " + v.what);
        PinDriver pins(v.device);
        PinTarget& t = pins.target;
        pins.powerUp();
        for (const auto& [bits, count] : v.before)
            pins.send(bits, count);
        for (const char* c = v.wave; *c; ++c) {
            switch (*c) {
                case 'u':
                case 'd':
                    t.setPgcNs(*c == 'u', pins.now());
                    break;
                case 'H':
                case 'L':
                    t.setPgdNs(*c == 'H', pins.now());
                    break;
                case 'R':
                case 'r':
                    EXPECT_EQ(t.pgdNs(pins.now()), *c == 'R') << c - v.wave;
                    break;
                case '9':
                case '3':
                    pins.waitNs(*c == '9' ? 90 : 30);
                    break;
                default:
                    pins.wait(1);
            }
        }
        EXPECT_THAT(t.chip()->notes(), ::testing::ElementsAre(::testing::HasSubstr(v.note)));
    }
}

// A programming cycle's time runs to the first clock of the next command, not its last.
TEST(PinTarget, MeasuresTheWaitAfterACycleToTheNextCommandsFirstClock) {
    PinDriver pins("PIC16F84A");
    pins.powerUp();
    pins.load(2, 0x1234);
    pins.command(8);
    pins.wait(8000 - 10);  // TPROG is 8 ms; the next command's six clocks take 18 us
    pins.command(6);
    EXPECT_THAT(pins.target.chip()->notes(),
                ::testing::ElementsAre(::testing::HasSubstr("cut short")));
}

}  // namespace
}  // namespace velkaro::sim
