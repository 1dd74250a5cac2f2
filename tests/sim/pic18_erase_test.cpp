// Erasing a simulated PIC18 through the erase control registers.
#include <gtest/gtest.h>

#include "pic18_driver.h"

namespace velkaro::test {
namespace {

// Fills program memory, IDs, configuration and EEPROM with zeros (written, not erased).
void fillWithZeros(sim::Pic18Chip& chip) {
    const uint32_t bytes = chip.model().programWords * 2;
    for (uint32_t a = 0; a < bytes; ++a)
        chip.poke(a, 0);
    for (uint32_t i = 0; i < 8; ++i)
        chip.poke(0x200000 + i, 0);
    for (uint32_t i = 0; i < 14; ++i)
        chip.poke(0x300000 + i, 0);
    for (uint32_t i = 0; i < chip.model().eepromBytes; ++i)
        chip.pokeData(i, 0);
}

bool rangeIs(const sim::SimChip& chip, uint32_t begin, uint32_t end, uint8_t value) {
    for (uint32_t a = begin; a < end; ++a)
        if (chip.peek(a) != value)
            return false;
    return true;
}

bool configIsBlank(const sim::Pic18Chip& chip) {
    for (uint32_t i = 0; i < 14; ++i) {
        const uint16_t mask = chip.model().configMasks[i / 2];
        const uint16_t blank = chip.model().configBlank[i / 2] & mask;
        if (chip.peek(0x300000 + i) != (i % 2 ? blank >> 8 : blank & 0xFF))
            return false;
    }
    return true;
}

// A data EEPROM protected by CPD survives the chip erase and needs its own code, 0x0084.
TEST(Pic18Erase, ChipErase3F8FClearsEverythingButADataProtectedEeprom) {
    for (const bool dataProtected : {false, true}) {
        SCOPED_TRACE(dataProtected ? "CPD on" : "CPD off");
        auto chip = makePic18("PIC18F4520");
        fillWithZeros(*chip);
        if (!dataProtected)
            chip->poke(0x300009, 0x80);
        Pic18Driver driver(*chip);
        driver.powerUp();
        driver.erase(0x3F8F, 5000);
        EXPECT_TRUE(rangeIs(*chip, 0, 0x8000, 0xFF));
        EXPECT_TRUE(rangeIs(*chip, 0x200000, 0x200008, 0xFF));
        EXPECT_TRUE(configIsBlank(*chip));
        EXPECT_EQ(chip->peekData(0), dataProtected ? 0x00 : 0xFF);
        EXPECT_EQ(chip->peekData(255), dataProtected ? 0x00 : 0xFF);
        driver.erase(0x0084, 5000);
        driver.powerDown();
        EXPECT_EQ(chip->peekData(0), 0xFF);
        EXPECT_EQ(chip->peekData(255), 0xFF);
        EXPECT_TRUE(chip->notes().empty());
    }
}

TEST(Pic18Erase, OldChipErase0F87LeavesTheUserIds) {
    auto chip = makePic18("PIC18F4620");
    fillWithZeros(*chip);
    chip->poke(0x300009, 0x80);  // CPD off: the EEPROM goes with the chip erase
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.erase(0x0F87, 5000);
    driver.powerDown();
    EXPECT_TRUE(rangeIs(*chip, 0, 0x10000, 0xFF));
    EXPECT_TRUE(rangeIs(*chip, 0x200000, 0x200008, 0x00));
    EXPECT_TRUE(configIsBlank(*chip));
    EXPECT_EQ(chip->peekData(1023), 0xFF);
}

TEST(Pic18Erase, OneHotBlockCodesEraseTheirBlockOnly) {
    auto chip = makePic18("PIC18F4520");  // boot block 0..7FF, blocks of 8 KB
    fillWithZeros(*chip);
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.erase(0x0280, 5000);
    EXPECT_TRUE(rangeIs(*chip, 0x0000, 0x2000, 0x00));
    EXPECT_TRUE(rangeIs(*chip, 0x2000, 0x4000, 0xFF));
    EXPECT_TRUE(rangeIs(*chip, 0x4000, 0x8000, 0x00));
    // 0x0380 is what 0x180 + 2 x 256 gives: blocks 0 and 1, not block 2.
    driver.erase(0x0380, 5000);
    EXPECT_TRUE(rangeIs(*chip, 0x0000, 0x0800, 0x00)) << "the boot block is separate";
    EXPECT_TRUE(rangeIs(*chip, 0x0800, 0x4000, 0xFF));
    EXPECT_TRUE(rangeIs(*chip, 0x4000, 0x6000, 0x00));
    driver.erase(0x0081, 5000);
    driver.erase(0x0084, 5000);
    driver.powerDown();
    EXPECT_TRUE(rangeIs(*chip, 0x0000, 0x0800, 0xFF));
    EXPECT_EQ(chip->peekData(17), 0xFF);
    EXPECT_TRUE(rangeIs(*chip, 0x200000, 0x200008, 0x00));
    EXPECT_EQ(chip->peek(0x300001), 0x00) << "configuration untouched";
}

TEST(Pic18Erase, OlderPartsUseTheirOwnCodes) {
    auto chip = makePic18("PIC18F452");
    fillWithZeros(*chip);
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.erase(0x89, 10000);  // panel 1
    EXPECT_TRUE(rangeIs(*chip, 0x0000, 0x2000, 0x00));
    EXPECT_TRUE(rangeIs(*chip, 0x2000, 0x4000, 0xFF));
    EXPECT_TRUE(rangeIs(*chip, 0x4000, 0x8000, 0x00));
    driver.erase(0x81, 10000);
    EXPECT_EQ(chip->peekData(3), 0xFF);
    EXPECT_EQ(chip->peek(0x200000), 0x00);
    driver.erase(0x80, 10000);
    driver.powerDown();
    EXPECT_TRUE(rangeIs(*chip, 0, 0x8000, 0xFF));
    EXPECT_TRUE(rangeIs(*chip, 0x200000, 0x200008, 0xFF));
    EXPECT_TRUE(configIsBlank(*chip));
    // 0x3F8F means nothing to these parts: the low byte 0x8F is no FXX2 code.
    auto other = makePic18("PIC18F452");
    fillWithZeros(*other);
    Pic18Driver otherDriver(*other);
    otherDriver.powerUp();
    otherDriver.erase(0x3F8F, 10000);
    otherDriver.powerDown();
    EXPECT_EQ(other->peek(0), 0x00);
    EXPECT_FALSE(other->notes().empty());
}

TEST(Pic18Erase, PowerRemovedEarlyLeavesMemoryPartlyErased) {
    auto chip = makePic18("PIC18F4520");
    fillWithZeros(*chip);
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.erase(0x3F8F, 2500);
    driver.powerDown();
    EXPECT_EQ(chip->peek(0), 0xFF);
    EXPECT_EQ(chip->peek(0x7FFF), 0x00);
    EXPECT_EQ(chip->peekData(0), 0x00);
}

TEST(Pic18Erase, CommandsDuringTheEraseAreLost) {
    auto chip = makePic18("PIC18F4520");
    fillWithZeros(*chip);
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.erase(0x0180, 1000);
    driver.writeBlock(0x1000, {0x1234});  // sent while the erase still runs
    driver.wait(5000);
    driver.powerDown();
    EXPECT_EQ(chip->peek(0x1000), 0xFF);
    EXPECT_EQ(chip->peek(0x1001), 0xFF);
    EXPECT_EQ(chip->notes(), std::vector<std::string>{"PGD high during an erase"});
}

}  // namespace
}  // namespace velkaro::test
