// Code, write and table-read protection of a simulated PIC18, and how EECON1 decides what a
// table write reaches. Each rule is shown with a sequence that breaks it next to the one that
// follows it, on a part of each programming family.
#include <gtest/gtest.h>

#include "pic18_driver.h"

namespace velkaro::test {
namespace {

// One part per family. Both have block 1 at 0x2000; their boot blocks differ in size.
struct Part {
    const char* name;
    uint32_t block0;       // first byte of block 0 (the end of the boot block)
    uint16_t eraseBlock1;  // the erase code of block 1
    uint64_t eraseUs;      // P11
    bool unlock;           // the data write needs the EECON2 unlock
    bool nop;              // shifting TABLAT out needs a NOP first
};

constexpr Part kParts[] = {
    {"PIC18F452", 0x0200, 0x0089, 10000, true, false},
    {"PIC18F4520", 0x0800, 0x0280, 5000, false, true},
};

constexpr uint32_t kBlock1 = 0x2000;

uint16_t wordAt(const sim::SimChip& chip, uint32_t byteAddress) {
    return static_cast<uint16_t>(chip.peek(byteAddress) | chip.peek(byteAddress + 1) << 8);
}

uint16_t readWordAt(Pic18Driver& driver, uint32_t byteAddress) {
    driver.setTablePointer(byteAddress);
    return driver.readWord();
}

// Program words at the start of the boot block, block 0 and block 1, and a data byte.
void fill(sim::Pic18Chip& chip, const Part& part) {
    for (uint32_t address : {0u, part.block0, kBlock1}) {
        chip.poke(address, 0x34);
        chip.poke(address + 1, 0x12);
    }
    chip.pokeData(0, 0x5A);
}

TEST(Pic18Protection, ProtectedMemoryReadsAsZeroWhileConfigurationStaysReadable) {
    struct Case {
        uint32_t configAddress;
        uint8_t value;
        int hidden;  // 0 boot block, 1 block 0, 2 block 1, 3 data EEPROM
    };
    const Case cases[] = {
        {0x300008, 0xFE, 1},  // CP0
        {0x300008, 0xFD, 2},  // CP1
        {0x300009, 0xBF, 0},  // CPB
        {0x300009, 0x7F, 3},  // CPD
        {0x30000C, 0xFD, 2},  // EBTR1: the programming interface reads from outside
        {0x30000D, 0xBF, 0},  // EBTRB
    };
    for (const Part& part : kParts) {
        for (const Case& c : cases) {
            auto chip = makePic18(part.name);
            fill(*chip, part);
            Pic18Driver driver(*chip);
            driver.powerUp();
            driver.writeConfigByte(c.configAddress, c.value);
            const uint32_t places[] = {0, part.block0, kBlock1};
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(readWordAt(driver, places[k]), k == c.hidden ? 0x0000 : 0x1234)
                    << part.name << " " << std::hex << c.configAddress << " place " << k;
            EXPECT_EQ(driver.readEeprom(0, part.nop), c.hidden == 3 ? 0x00 : 0x5A) << part.name;
            driver.setTablePointer(c.configAddress);
            EXPECT_EQ(driver.tableReadByte(), c.value & chip->peek(c.configAddress));
            driver.powerDown();
            EXPECT_TRUE(chip->notes().empty()) << part.name << ": " << chip->notes().front();
        }
    }
}

TEST(Pic18Protection, WritesIntoProtectedSpaceAreRefusedAndNoted) {
    struct Case {
        uint32_t configAddress;
        uint8_t value;
        int refused;  // 0 boot block, 1 block 1, 2 data EEPROM
    };
    const Case cases[] = {
        {0x30000A, 0xFD, 1},  // WRT1
        {0x300008, 0xFD, 1},  // CP1 stops writes too
        {0x30000B, 0xBF, 0},  // WRTB
        {0x30000B, 0x7F, 2},  // WRTD
        {0x300009, 0x7F, 2},  // CPD
    };
    for (const Part& part : kParts) {
        for (const Case& c : cases) {
            auto chip = makePic18(part.name);
            Pic18Driver driver(*chip);
            driver.powerUp();
            driver.writeConfigByte(c.configAddress, c.value);
            driver.writeBlock(0x0000, {0x1111});
            driver.writeBlock(kBlock1, {0x2222});
            ASSERT_TRUE(driver.writeEeprom(0, 0x33, part.unlock, part.nop));
            driver.powerDown();
            EXPECT_EQ(wordAt(*chip, 0), c.refused == 0 ? 0xFFFF : 0x1111) << part.name;
            EXPECT_EQ(wordAt(*chip, kBlock1), c.refused == 1 ? 0xFFFF : 0x2222) << part.name;
            EXPECT_EQ(chip->peekData(0), c.refused == 2 ? 0xFF : 0x33) << part.name;
            EXPECT_EQ(chip->takeNotes().size(), 1u) << part.name << " " << std::hex << c.value;
        }
    }
}

TEST(Pic18Protection, WrtcRefusesConfigurationWritesFromTheNextPulseOn) {
    for (const Part& part : kParts) {
        // CONFIG6H with WRTC cleared before CONFIG7L: the table-read protection is lost.
        auto early = makePic18(part.name);
        Pic18Driver driver(*early);
        driver.powerUp();
        driver.writeConfigByte(0x30000B, 0xDF);
        driver.writeConfigByte(0x30000C, 0xFE);
        driver.writeConfigByte(0x30000B, 0xFF);
        driver.powerDown();
        EXPECT_EQ(early->peek(0x30000C), early->model().configMasks[6] & 0xFF) << part.name;
        EXPECT_EQ(early->peek(0x30000B), 0xC0) << part.name;
        EXPECT_EQ(early->takeNotes().size(), 2u) << part.name;
        // WRTC last: every byte is written.
        auto last = makePic18(part.name);
        Pic18Driver documented(*last);
        documented.powerUp();
        documented.writeConfigByte(0x30000C, 0xFE);
        documented.writeConfigByte(0x30000B, 0xDF);
        documented.powerDown();
        EXPECT_EQ(last->peek(0x30000C), 0xFE & last->model().configMasks[6]) << part.name;
        EXPECT_EQ(last->peek(0x30000B), 0xC0) << part.name;
        EXPECT_TRUE(last->notes().empty()) << part.name;
    }
}

TEST(Pic18Protection, ProtectionBitsReturnOnlyWithAnEraseThatCoversThem) {
    for (const Part& part : kParts) {
        auto chip = makePic18(part.name);
        fill(*chip, part);
        Pic18Driver driver(*chip);
        driver.powerUp();
        driver.writeConfigByte(0x300008, 0xFC);  // CP0 and CP1
        driver.writeConfigByte(0x300008, 0xFF);  // cannot set them again
        driver.writeConfigByte(0x300002, 0x00);  // other bytes take 0 and 1 alike
        driver.writeConfigByte(0x300002, 0xFF);
        EXPECT_EQ(chip->takeNotes().size(), 1u) << part.name;
        EXPECT_EQ(chip->peek(0x300008) & 0x03, 0x00) << part.name;
        EXPECT_EQ(chip->peek(0x300002), chip->model().configMasks[1] & 0xFF) << part.name;
        // Erasing block 1 lifts its protection, not that of block 0.
        driver.erase(part.eraseBlock1, part.eraseUs);
        EXPECT_EQ(readWordAt(driver, kBlock1), 0xFFFF) << part.name;
        EXPECT_EQ(readWordAt(driver, part.block0), 0x0000) << part.name;
        driver.writeBlock(kBlock1, {0x4321});
        EXPECT_EQ(readWordAt(driver, kBlock1), 0x4321) << part.name;
        driver.powerDown();
        EXPECT_EQ(chip->peek(0x300008) & 0x03, 0x02) << part.name;
        EXPECT_TRUE(chip->notes().empty()) << part.name << ": " << chip->notes().front();
    }
}

TEST(Pic18Eecon1, EepgdAndCfgsDecideWhatATableWriteReaches) {
    enum Target { Code, Config };
    struct Case {
        std::vector<uint16_t> setup;  // EECON1 instructions before the write
        std::vector<uint16_t> beforePulse;
        Target target;
        bool written;
    };
    const Case cases[] = {
        {{0x8EA6, 0x9CA6}, {}, Code, true},         // EEPGD, CFGS clear
        {{0x8EA6, 0x8CA6}, {}, Code, false},        // CFGS set: not flash
        {{0x9EA6, 0x9CA6}, {}, Code, false},        // data EEPROM selected
        {{0x8EA6, 0x9CA6}, {0x8CA6}, Code, false},  // CFGS set between the write and the pulse
        {{0x8EA6, 0x8CA6}, {}, Config, true},
        {{0x9EA6, 0x8CA6}, {}, Config, true},  // CFGS wins whatever EEPGD says
        {{0x8EA6, 0x9CA6}, {}, Config, false},
    };
    for (const Part& part : kParts) {
        for (const Case& c : cases) {
            auto chip = makePic18(part.name);
            Pic18Driver driver(*chip);
            driver.powerUp();
            const uint32_t address = c.target == Code ? 0x0100 : 0x300002;
            const uint8_t blank = static_cast<uint8_t>(chip->peek(address));
            for (uint16_t instruction : c.setup)
                driver.core(instruction);
            driver.setTablePointer(address);
            driver.command(15, 0x0000);
            for (uint16_t instruction : c.beforePulse)
                driver.core(instruction);
            driver.programmingPulse();
            driver.powerDown();
            const bool changed = chip->peek(address) != blank;
            EXPECT_EQ(changed, c.written) << part.name << " case " << (&c - cases);
            EXPECT_EQ(chip->takeNotes().empty(), c.written)
                << part.name << " case " << (&c - cases);
        }
    }
}

TEST(Pic18Trigger, OnlyANopAfterCommandFifteenStartsProgramming) {
    for (const Part& part : kParts) {
        auto chip = makePic18(part.name);
        Pic18Driver driver(*chip);
        driver.powerUp();
        driver.selectCode();
        driver.setTablePointer(0x0100);
        driver.command(15, 0x1234);
        // A table read in place of the NOP, its 4th clock held as long as a pulse.
        chip->setPgd(0, driver.now());
        for (int clock = 0; clock < 4; ++clock) {
            chip->setPgd(clock == 3, driver.now());
            chip->setPgc(1, driver.now());
            driver.wait(clock == 3 ? 1000 : 0);
            chip->setPgc(0, driver.now());
        }
        driver.wait(100);
        chip->writeBits(0, 8, driver.now());
        chip->readBits(8, driver.now());
        EXPECT_EQ(wordAt(*chip, 0x0100), 0xFFFF) << part.name;
        EXPECT_EQ(chip->takeNotes().size(), 1u) << part.name;
        // The documented NOP programs what the buffer still holds.
        driver.setTablePointer(0x0102);
        driver.command(15, 0x5678);
        driver.programmingPulse();
        driver.powerDown();
        EXPECT_EQ(wordAt(*chip, 0x0100), 0x1234) << part.name;
        EXPECT_EQ(wordAt(*chip, 0x0102), 0x5678) << part.name;
        EXPECT_TRUE(chip->notes().empty()) << part.name << ": " << chip->notes().front();
    }
}

TEST(Pic18Trigger, WriteLatchesAreBlankAgainAfterEveryCycle) {
    for (const Part& part : kParts) {
        auto chip = makePic18(part.name);
        const uint32_t row = chip->model().writeBufferBytes;
        Pic18Driver driver(*chip);
        driver.powerUp();
        driver.writeBlock(0, std::vector<uint16_t>(row / 2, 0x0000));
        driver.writeBlock(row, {0x1234});  // one word of the next row
        driver.powerDown();
        EXPECT_EQ(wordAt(*chip, row), 0x1234) << part.name;
        for (uint32_t a = row + 2; a < 2 * row; ++a)
            ASSERT_EQ(chip->peek(a), 0xFF) << part.name << " byte " << a;
    }
}

TEST(Pic18Trigger, BulkEraseFollowsTheDocumentedShape) {
    for (const Part& part : kParts) {
        // The data sheet's shape: the erase starts on the 4th clock of the second NOP, and
        // the write that follows the NOP's operand lands.
        auto chip = makePic18(part.name);
        fill(*chip, part);
        Pic18Driver driver(*chip);
        driver.powerUp();
        driver.erase(part.eraseBlock1, part.eraseUs);
        driver.writeBlock(kBlock1 + 0x10, {0x4321});
        driver.powerDown();
        EXPECT_EQ(wordAt(*chip, kBlock1), 0xFFFF) << part.name;
        EXPECT_EQ(wordAt(*chip, kBlock1 + 0x10), 0x4321) << part.name;
        EXPECT_TRUE(chip->notes().empty()) << part.name << ": " << chip->notes().front();

        // PGD must stay low while the erase runs, clocked or not.
        auto driven = makePic18(part.name);
        Pic18Driver d(*driven);
        d.powerUp();
        d.requestErase(part.eraseBlock1);
        d.core(0x0000);
        driven->writeBits(0, 4, d.now());
        driven->setPgd(1, d.now());
        d.wait(part.eraseUs + 100);
        d.powerDown();
        EXPECT_EQ(driven->notes(), std::vector<std::string>{"PGD high during an erase"});

        struct Broken {
            const char* what;
            void (*run)(Pic18Driver&, const Part&);
        };
        const Broken broken[] = {
            {"both NOPs sent whole, then the wait",
             [](Pic18Driver& d, const Part& p) {
                 d.requestErase(p.eraseBlock1);
                 d.core({0x0000, 0x0000});
                 d.wait(p.eraseUs + 100);
             }},
            {"no P10 after P11",
             [](Pic18Driver& d, const Part& p) { d.erase(p.eraseBlock1, p.eraseUs, 0); }},
            {"an instruction in place of the first NOP",
             [](Pic18Driver& d, const Part& p) {
                 d.requestErase(p.eraseBlock1);
                 d.core(0x0E00);
                 d.core({0x0000, 0x0000});
                 d.wait(p.eraseUs + 100);
             }},
        };
        for (const Broken& b : broken) {
            auto other = makePic18(part.name);
            fill(*other, part);
            Pic18Driver d(*other);
            d.powerUp();
            b.run(d, part);
            d.writeBlock(kBlock1 + 0x10, {0x4321});
            d.powerDown();
            // Either the erase or the write after it is lost, and the chip says so.
            const bool erased = wordAt(*other, kBlock1) == 0xFFFF;
            const bool written = wordAt(*other, kBlock1 + 0x10) == 0x4321;
            EXPECT_FALSE(erased && written) << part.name << ": " << b.what;
            EXPECT_FALSE(other->notes().empty() && other->unknownInstructions().empty())
                << part.name << ": " << b.what;
        }
    }
}

TEST(Pic18Eeprom, DataWriteNeedsP10BeforeTheNextCommand) {
    for (const Part& part : kParts) {
        auto chip = makePic18(part.name);
        const uint64_t p10 = chip->timing().dischargeUs;
        Pic18Driver driver(*chip);
        driver.powerUp();
        ASSERT_TRUE(driver.writeEeprom(1, 0x11, part.unlock, part.nop, p10 - 1));
        EXPECT_EQ(chip->takeNotes().size(), 1u) << part.name;
        ASSERT_TRUE(driver.writeEeprom(2, 0x22, part.unlock, part.nop, p10));
        driver.powerDown();
        EXPECT_TRUE(chip->notes().empty()) << part.name << ": " << chip->notes().front();
    }
}

}  // namespace
}  // namespace velkaro::test
