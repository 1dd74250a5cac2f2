// The PIC18 K-series models: what sets them apart from the 2XXX/4XXX parts whose protocol
// they share.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pic18_driver.h"

namespace velkaro::test {
namespace {

bool anyNoteHas(const std::vector<std::string>& notes, const std::string& part) {
    for (const std::string& note : notes)
        if (note.find(part) != std::string::npos)
            return true;
    return false;
}

// The 2XXX chip erase names blocks 4 and 5, which these parts lack: they erase nothing for
// it. Their own code takes program memory, IDs, configuration and EEPROM, and needs P11 of
// 15 ms and P10 of 200 us.
TEST(Pic18KSeries, TakesOnlyItsOwnChipEraseCodeAndItsTimes) {
    auto chip = makePic18("PIC18F25K22");
    chip->poke(0x0000, 0x00);
    chip->poke(0x7FFF, 0x00);
    chip->poke(0x200000, 0x00);
    chip->pokeData(0xFF, 0x00);
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.erase(0x3F8F, 15000, 200);
    EXPECT_EQ(chip->peek(0x0000), 0x00);
    EXPECT_TRUE(anyNoteHas(chip->takeNotes(), "erase code 3F8F erases nothing"));

    driver.erase(0x0F8F, 15000, 200);
    EXPECT_EQ(chip->peek(0x0000), 0xFF);
    EXPECT_EQ(chip->peek(0x7FFF), 0xFF);
    EXPECT_EQ(chip->peek(0x200000), 0xFF);
    EXPECT_EQ(chip->peekData(0xFF), 0xFF);
    EXPECT_TRUE(chip->takeNotes().empty());

    // The 2XXX parts' 5 ms is too short here: what the erase takes last (the IDs) is left.
    chip->poke(0x200007, 0x00);
    driver.erase(0x0F8F, 5000, 200);
    driver.powerDown();
    EXPECT_FALSE(chip->takeNotes().empty());
    EXPECT_EQ(chip->peek(0x200007), 0x00);
}

// Block codes exist for the blocks a part has: two on the 23K22, four on the 25K22.
TEST(Pic18KSeries, BlockErasesStopAtTheBlocksThePartHas) {
    for (const auto& [name, lastBlock] : {std::pair{"PIC18F23K22", 1}, {"PIC18F25K22", 3}}) {
        SCOPED_TRACE(name);
        auto chip = makePic18(name);
        Pic18Driver driver(*chip);
        driver.powerUp();
        driver.erase(static_cast<uint16_t>(0x0080 | 0x0100 << lastBlock), 15000, 200);
        EXPECT_TRUE(chip->takeNotes().empty());
        driver.erase(static_cast<uint16_t>(0x0080 | 0x0100 << (lastBlock + 1)), 15000, 200);
        EXPECT_FALSE(chip->takeNotes().empty());
        driver.powerDown();
    }
}

// Configuration bytes need P9A (5 ms); the code's 1 ms pulse leaves them unwritten. After
// any pulse PGC stays low for 200 us.
TEST(Pic18KSeries, ConfigurationNeedsTheLongerPulseAndEveryPulseTheLongerDischarge) {
    auto chip = makePic18("PIC18F45K22");
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.writeConfigByte(0x300001, 0x08, 200, 1000);
    EXPECT_EQ(chip->peek(0x300001), 0x25);
    EXPECT_TRUE(anyNoteHas(chip->takeNotes(), "programming pulse held 1000 us"));
    driver.writeConfigByte(0x300001, 0x08, 200, 5000);
    EXPECT_EQ(chip->peek(0x300001), 0x08);
    EXPECT_TRUE(chip->takeNotes().empty());

    driver.writeBlock(0, std::vector<uint16_t>(32, 0x1234), 1000, 100);
    driver.core(0x0000);
    EXPECT_TRUE(anyNoteHas(chip->takeNotes(), "PGC low only 100 us"));
    driver.powerDown();
}

// The K20's write buffer holds 32 bytes: a host writing 64 per pulse wraps round in it.
TEST(Pic18KSeries, AWriteLongerThanTheBufferIsNoted) {
    auto chip = makePic18("PIC18F25K20");
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.writeBlock(0, std::vector<uint16_t>(16, 0x0000), 1000, 200);
    EXPECT_TRUE(chip->takeNotes().empty());
    std::vector<uint16_t> words(32, 0x5555);
    words[0] = 0x1111;
    driver.writeBlock(0x40, words, 1000, 200);
    driver.powerDown();
    EXPECT_TRUE(anyNoteHas(chip->takeNotes(), "past the 32-byte write buffer"));
    EXPECT_NE(chip->peek(0x40), 0x11);  // overwritten by the word 16 places on
}

// 13 V on MCLR is above VIHH (9 V): the chip stays out of programming mode and notes it.
TEST(Pic18KSeries, RefusesTheClassicProgrammingVoltage) {
    auto chip = makePic18("PIC18F25K50");
    chip->powerUp(false, 13.0, 0);
    EXPECT_FALSE(chip->inProgrammingMode());
    EXPECT_FALSE(chip->takeNotes().empty());
    chip->powerUp(false, 8.5, 0);
    EXPECT_TRUE(chip->inProgrammingMode());
    chip->powerDown(10);
    EXPECT_TRUE(chip->takeNotes().empty());
}

// 1 KiB of data EEPROM: EEADRH selects the upper 768 bytes.
TEST(Pic18KSeries, DataEepromAboveTheFirst256BytesThroughEeadrh) {
    auto chip = makePic18("PIC18F26K22");
    Pic18Driver driver(*chip);
    driver.powerUp();
    ASSERT_TRUE(driver.writeEeprom(0x3FF, 0xA5, false, true, 200));
    ASSERT_TRUE(driver.writeEeprom(0x0FF, 0x5A, false, true, 200));
    EXPECT_EQ(driver.readEeprom(0x3FF, true), 0xA5);
    EXPECT_EQ(driver.readEeprom(0x0FF, true), 0x5A);
    driver.powerDown();
    EXPECT_EQ(chip->peekData(0x3FF), 0xA5);
    EXPECT_EQ(chip->peekData(0x0FF), 0x5A);
    EXPECT_TRUE(chip->takeNotes().empty());
}

}  // namespace
}  // namespace velkaro::test
