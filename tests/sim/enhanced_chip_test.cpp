// The enhanced 14-bit core model driven through the SimChip calls with the programming
// documents' command sequences.
#include "sim/enhanced/enhanced_chip.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "link/virtual_clock.h"
#include "sim/chip_families.h"
#include "sim/simulated_programmer.h"

namespace velkaro::sim {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr uint64_t kFrameUs = 20;  // one 6-bit command or 16-clock data frame
constexpr uint64_t kRowUs = 2500, kConfigUs = 5000, kEraseUs = 5000;

// A host clocking commands and data frames into one chip, with its own microsecond clock.
struct Host {
    explicit Host(const std::string& name)
        : owned(makeSimChip(name)), chip(dynamic_cast<EnhancedChip*>(owned.get())) {}

    double vppVolts = 8.5;  // the PRO's level for these parts
    void enter(bool vppFirst = true, int lines = 0) {
        chip->linesAtEntry(lines, lines);
        chip->powerUp(vppFirst, vppVolts, now);
    }
    void leave() { chip->powerDown(now += 10); }
    void reenter() {
        leave();
        enter();
    }
    void command(unsigned code) {
        chip->commandFrameStarts(now);
        chip->writeBits(code, 6, now += kFrameUs);
    }
    void load(unsigned code, uint16_t word) {
        command(code);
        chip->writeWord(word, now += kFrameUs);
    }
    uint16_t read(unsigned code = 4) {
        command(code);
        return chip->readWord(now += kFrameUs);
    }
    void increment(uint32_t times = 1) {
        for (uint32_t i = 0; i < times; ++i)
            command(6);
    }
    void run(unsigned code, uint64_t waitUs) {
        command(code);
        now += waitUs;
    }
    // Load Configuration and increments to `address` in the configuration space.
    void toConfig(uint32_t address, uint16_t loaded = 0x3FFF) {
        load(0, loaded);
        increment(address - 0x8000);
    }
    void writeConfig(uint32_t address, uint16_t value) {
        toConfig(address);
        load(2, value);
        run(8, kConfigUs);
    }
    // Loads `words` into the latches from the counter on (incrementing after all but the
    // last) and programs them with 08.
    void writeRow(const std::vector<uint16_t>& words) {
        for (size_t i = 0; i < words.size(); ++i) {
            load(2, words[i]);
            if (i + 1 < words.size())
                increment();
        }
        run(8, kRowUs);
    }
    // A word as the chip holds it once the cycle before has ended (the next command ends it).
    uint16_t peek(uint32_t address) {
        read();
        return chip->peek(address);
    }
    std::vector<std::string> notes() { return chip->takeNotes(); }

    std::unique_ptr<SimChip> owned;
    EnhancedChip* chip;
    uint64_t now = 1000;
};

class Device : public ::testing::TestWithParam<std::string> {
protected:
    Host h{GetParam()};
    const EnhancedDevice& d() const { return h.chip->device(); }
    void TearDown() override { EXPECT_THAT(h.notes(), IsEmpty()); }
};

TEST_P(Device, RowsWriteAndReadBackThroughTheLatches) {
    h.enter();
    const uint32_t row = d().latchWords;
    h.increment(row);  // the second row
    std::vector<uint16_t> words;
    for (uint32_t i = 0; i < row; ++i)
        words.push_back(static_cast<uint16_t>(0x2000 + 3 * i));
    words.back() = 0x3FFF;  // an unloaded latch and a blank word are the same
    h.writeRow(words);
    h.command(0x16);  // Reset Address
    EXPECT_EQ(h.chip->counter(), 0u);
    for (uint32_t a = 0; a < 2 * row; ++a) {
        EXPECT_EQ(h.read(), a < row ? 0x3FFF : words[a - row]) << a;
        h.increment();
    }
    // The latches are blank again after the cycle: a bare 08 changes nothing.
    h.run(8, kRowUs);
    EXPECT_EQ(h.peek(row), words[0]);
}

TEST_P(Device, ProgrammingOnlyClearsBitsAndErasesSetThem) {
    h.enter();
    h.writeRow({0x1234});
    h.writeRow({0x3FFF});
    EXPECT_EQ(h.read(), 0x1234);
    h.writeRow({0x0F0F});
    EXPECT_EQ(h.read(), 0x1234 & 0x0F0F);
    // Row erase takes the erase row at the counter, nothing beyond it.
    h.chip->poke(d().eraseRowWords, 0x0055);
    h.increment(d().eraseRowWords - 1);
    h.run(0x11, kRowUs);
    EXPECT_EQ(h.peek(0), 0x3FFF);
    EXPECT_EQ(h.peek(d().eraseRowWords), 0x0055);
}

TEST_P(Device, BulkEraseScopeFollowsTheCounter) {
    const uint16_t config1 = static_cast<uint16_t>(d().configMask[0] & ~0x0008);  // WDTE bit
    h.enter();
    h.writeRow({0x0ABC});
    h.writeConfig(0x8000, 0x1111);
    h.writeConfig(0x8007, config1);
    EXPECT_EQ(h.read(), config1);
    if (d().dataBytes)
        h.chip->pokeData(0, 0x42);
    const uint32_t cal = 0x8007 + d().configWordCount();  // the first calibration word
    const std::vector<uint16_t> factory = {h.peek(0x8005), h.peek(0x8006), h.peek(cal),
                                           h.peek(cal + d().calWordCount - 1)};
    h.reenter();  // 09 from program space: program memory only
    h.run(9, kEraseUs);
    EXPECT_EQ(h.peek(0), 0x3FFF);
    EXPECT_EQ(h.peek(0x8000), 0x1111);
    EXPECT_EQ(h.peek(0x8007), config1);
    h.chip->poke(0, 0x0ABC);
    h.toConfig(0x8000);  // from the configuration space: IDs and configuration too
    h.run(9, kEraseUs);
    EXPECT_EQ(h.peek(0), 0x3FFF);
    EXPECT_EQ(h.peek(0x8000), 0x3FFF);
    EXPECT_EQ(h.peek(0x8007), d().configMask[0]);
    EXPECT_EQ(h.peek(0x8008), d().configMask[1]);
    if (d().dataBytes) {
        EXPECT_EQ(h.chip->peekData(0), 0x42) << "an unprotected chip keeps its EEPROM";
    }
    const std::vector<uint16_t> after = {h.peek(0x8005), h.peek(0x8006), h.peek(cal),
                                         h.peek(cal + d().calWordCount - 1)};
    EXPECT_EQ(after, factory);
}

TEST_P(Device, FactoryWordsAreReadOnly) {
    h.enter();
    h.toConfig(0x8005);
    EXPECT_EQ(h.read(), d().revisionId);
    h.increment();
    EXPECT_EQ(h.read(), d().deviceId);
    const uint32_t cal = 0x8007 + d().configWordCount();
    const std::vector<uint16_t> before = {h.peek(0x8005), h.peek(0x8006), h.peek(cal)};
    EXPECT_NE(before[2], 0) << "a calibration word";
    for (uint32_t a : {0x8005u, 0x8006u, cal}) {
        h.writeConfig(a, 0x0000);
    }
    EXPECT_EQ(h.peek(0x8005), before[0]);
    EXPECT_EQ(h.peek(0x8006), before[1]);
    EXPECT_EQ(h.peek(cal), before[2]);
    EXPECT_EQ(h.peek(cal + d().calWordCount), 0) << "reserved beyond the calibration";
}

TEST_P(Device, ConfigurationWordsTakeOnly08) {
    h.enter();
    h.writeConfig(0x8008, 0x0000);
    EXPECT_EQ(h.peek(0x8008), 0) << "implemented bits cleared, the others read 0";
    h.toConfig(0x8007);
    h.load(2, 0x0000);
    h.run(0x18, 2100);
    h.run(0x0A, 300);
    EXPECT_EQ(h.peek(0x8007), d().configMask[0]);
    EXPECT_THAT(h.notes(), Contains(HasSubstr("18 (externally timed) refused")));
    // Externally timed rows in program memory are fine.
    h.command(0x16);
    h.load(2, 0x0123);
    h.run(0x18, 2100);
    h.run(0x0A, d().times->dischargeUs);
    EXPECT_EQ(h.read(), 0x0123);
}

TEST_P(Device, CodeProtectionHidesMemoryUntilTheBulkEraseFromConfiguration) {
    h.enter();
    h.writeRow({0x0777});
    const uint16_t protect = static_cast<uint16_t>(d().configMask[0] & ~(0x0080 | d().cpdMask));
    h.writeConfig(0x8007, protect);
    if (d().dataBytes)
        h.chip->pokeData(1, 0x5A);
    h.reenter();
    EXPECT_TRUE(h.chip->programProtected());
    EXPECT_EQ(h.read(), 0) << "protected program memory reads as zeros";
    h.writeRow({0x0000});
    EXPECT_EQ(h.peek(0), 0x0777);
    EXPECT_THAT(h.notes(), Contains(HasSubstr("code-protected")));
    if (d().dataBytes) {
        h.increment();
        EXPECT_EQ(h.read(5), 0);
        h.load(3, 0x00);
        h.run(8, 5000);
        EXPECT_EQ(h.read(5), 0);
        EXPECT_THAT(h.notes(), Contains(HasSubstr("protected data memory")));
        EXPECT_EQ(h.chip->peekData(1), 0x5A);
    }
    h.toConfig(0x8007);
    EXPECT_EQ(h.read(), protect) << "the configuration stays readable";
    h.run(9, kEraseUs);
    EXPECT_EQ(h.peek(0), 0x3FFF);
    EXPECT_FALSE(h.chip->programProtected());
    EXPECT_EQ(h.peek(0x8007), d().configMask[0]);
    if (d().dataBytes) {
        EXPECT_EQ(h.chip->peekData(1), 0xFF) << "a protected chip loses its EEPROM too";
    }
}

TEST_P(Device, EepromWritesReadsAndErases) {
    h.enter();
    if (!d().dataBytes) {
        h.load(3, 0x12);
        EXPECT_THAT(h.notes(), Contains(HasSubstr("03 does not exist")));
        return;
    }
    h.increment(0x21);
    h.load(3, 0x1A5);  // only the low byte is data
    h.run(8, d().times->dataProgramUs);
    EXPECT_EQ(h.read(5), 0xA5);
    EXPECT_EQ(h.chip->peekData(0x21), 0xA5);
    EXPECT_EQ(h.peek(0x21), 0x3FFF) << "program memory untouched";
    h.run(0x0B, kEraseUs);
    EXPECT_EQ(h.read(5), 0xFF);
}

TEST_P(Device, TheCounterLeavesTheConfigurationSpaceOnlyByReset) {
    h.enter();
    h.chip->poke(0, 0x0042);
    h.toConfig(0x8000);
    h.increment(0x8000);  // the whole space round: back at 0x8000, not at 0
    EXPECT_EQ(h.chip->counter(), 0x8000u);
    EXPECT_EQ(h.read(), 0x3FFF);
    h.command(0x16);
    EXPECT_EQ(h.read(), 0x0042);
    h.toConfig(0x8003);
    h.reenter();  // leaving programming mode resets it as well
    EXPECT_EQ(h.chip->counter(), 0u);
}

TEST_P(Device, ShortWaitsAreFaultsAndTheWriteIsLost) {
    struct Case {
        const char* what;
        unsigned code;
        uint64_t waitUs;
    };
    h.enter();
    h.writeRow({0x1000});
    for (const Case& c : {Case{"row", 8, kRowUs - 100}, Case{"row erase", 0x11, kRowUs - 100},
                          Case{"bulk erase", 9, kEraseUs - 100}}) {
        if (c.code == 8)
            h.load(2, 0x0000);
        h.run(c.code, c.waitUs);
        h.command(0x16);
        EXPECT_THAT(h.notes(), Contains(HasSubstr("not done"))) << c.what;
        EXPECT_EQ(h.peek(0), 0x1000) << c.what;
    }
    h.toConfig(0x8007);  // a configuration word needs 5 ms, not a row's 2.5
    h.load(2, 0x0000);
    h.run(8, kRowUs);
    h.command(6);
    EXPECT_THAT(h.notes(), Contains(HasSubstr("not done")));
    EXPECT_EQ(h.peek(0x8007), d().configMask[0]);
    h.command(0x16);  // TPEXT too short, then a command sooner than TDIS
    h.load(2, 0x0000);
    h.run(0x18, 1000);
    h.run(0x0A, 10);
    h.command(0x16);
    EXPECT_EQ(h.notes().size(), 2u);
    EXPECT_EQ(h.peek(0), 0x1000);
}

TEST_P(Device, EntryNeedsTheLinesLowAndVppFirstForAnInternalOscillatorWithoutMclr) {
    h.enter(true, 1);
    EXPECT_FALSE(h.chip->inProgrammingMode());
    EXPECT_THAT(h.notes(), Contains(HasSubstr("PGC or PGD high")));
    const uint16_t config1 =
        static_cast<uint16_t>((d().configMask[0] & ~(d().foscMask | 0x0040)) | d().intOscValue);
    h.chip->poke(0x8007, config1);
    h.chip->poke(0x8008, d().configMask[1] & ~0x2000);
    h.enter(false);
    EXPECT_FALSE(h.chip->inProgrammingMode());
    EXPECT_THAT(h.notes(), Contains(HasSubstr("VDD rose before VPP")));
    h.enter(true);
    EXPECT_TRUE(h.chip->inProgrammingMode());
}

TEST_P(Device, StateSavesAndLoadsBack) {
    h.chip->poke(5, 0x1234);
    h.chip->poke(0x8001, 0x0077);
    h.chip->poke(0x8007, d().configMask[0] & ~0x0080);
    if (d().dataBytes)
        h.chip->pokeData(0x10, 0x33);
    std::ostringstream saved;
    h.chip->saveState(saved);
    Host copy(GetParam());
    std::istringstream in(saved.str());
    ASSERT_TRUE(copy.chip->loadState(in));
    for (uint32_t a : {5u, 0x8001u, 0x8006u, 0x8007u, 0x8009u})
        EXPECT_EQ(copy.chip->peek(a), h.peek(a)) << a;
    EXPECT_EQ(copy.chip->peekData(0x10), h.chip->peekData(0x10));
    std::istringstream wrong("chip " + GetParam() + "\nconfig 8020 0000\n");
    EXPECT_FALSE(copy.chip->loadState(wrong));
    EXPECT_EQ(copy.chip->loadErrorLine(), 2);
    EXPECT_EQ(copy.chip->peek(5), 0x1234);
}

INSTANTIATE_TEST_SUITE_P(Modelled, Device,
                         ::testing::Values("PIC16F1827", "PIC12F1840", "PIC16F1939", "PIC16F1454",
                                           "PIC12F1501", "PIC16F1709", "PIC16F1619"),
                         [](const auto& info) { return info.param; });

TEST(EnhancedChip, ModelsTheListedDevices) {
    for (const char* name :
         {"PIC16F1827", "PIC16F1826", "PIC16F1847", "PIC12F1822", "PIC12F1840", "PIC16F1823",
          "PIC16F1824", "PIC16F1825", "PIC16F1828", "PIC16F1829", "PIC16F1933", "PIC16F1934",
          "PIC16F1936", "PIC16F1937", "PIC16F1938", "PIC16F1939", "PIC16F1454", "PIC16F1455",
          "PIC16F1459", "PIC12F1501", "PIC16F1503", "PIC16F1507", "PIC16F1508", "PIC16F1509",
          "PIC16F1516", "PIC16F1518", "PIC16F1519", "PIC16F1705", "PIC16F1709", "PIC16F1619"}) {
        auto chip = makeSimChip(name);
        ASSERT_NE(chip, nullptr) << name;
        EXPECT_FALSE(chip->extendedFamily());
    }
    EXPECT_NE(makeSimChip("pic16f1827"), nullptr);
    EXPECT_EQ(makeEnhancedChip("PIC16F84A"), nullptr);
    for (const EnhancedDevice& d : enhancedDevices()) {
        const bool splitRevision = d.revisionId != 0;
        EXPECT_EQ(splitRevision, (d.deviceId & 0x3000) == 0x3000) << d.name;
        EXPECT_EQ(d.progWords % d.eraseRowWords, 0) << d.name;
        EXPECT_EQ(d.eraseRowWords % d.latchWords, 0) << d.name;
        EXPECT_EQ(d.cpdMask != 0, d.dataBytes != 0) << d.name;
    }
}

// The low-voltage key through the simulated JDM: VDD only, the 32 bits in four bytes, the
// extra clock on its own. Anything else leaves the chip out of programming mode, noted.
TEST(EnhancedKeyEntry, EntersOnlyWithTheExactKeyItsExtraClockAndLvpSet) {
    struct Case {
        const char* what;
        uint32_t key;
        bool extraClock;
        bool lvp;
        bool enters;
        const char* note;  // part of the note expected; nullptr: none
    };
    const Case cases[] = {
        {"the key", 0x4D434850, true, true, true, nullptr},
        {"a wrong key", 0x4D434851, true, true, false, "not the key"},
        {"no extra clock", 0x4D434850, false, true, false, "without its extra clock"},
        {"LVP 0", 0x4D434850, true, false, false, "LVP bit is 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VirtualClock clock;
        SimulatedProgrammer programmer(clock);
        programmer.insertChip(makeSimChip("PIC16F1827"));
        SimChip& chip = *programmer.chip();
        if (!c.lvp)
            chip.poke(0x8008, chip.peek(0x8008) & ~0x2000);
        programmer.SSetMode(1);
        programmer.SOpen(1);
        programmer.SVccOn(0);
        for (int shift = 0; shift < 32; shift += 8)
            programmer.SWriteBit(static_cast<int32_t>((c.key >> shift) & 0xFF), 8);
        if (c.extraClock) {
            programmer.SSetPGC(1);
            programmer.SSetPGC(0);
        }
        programmer.SWriteBit(0x16, 6);  // Reset Address: a frame to follow the entry
        EXPECT_EQ(chip.inProgrammingMode(), c.enters);
        EXPECT_EQ(programmer.SCheckPower() & 1, 1) << "VDD alone powers the target";
        if (c.note) {
            EXPECT_THAT(chip.takeNotes(), Contains(HasSubstr(c.note)));
        } else {
            EXPECT_THAT(chip.takeNotes(), IsEmpty());
        }
        programmer.SClose();
        EXPECT_FALSE(chip.inProgrammingMode());
    }
}

}  // namespace
}  // namespace velkaro::sim
