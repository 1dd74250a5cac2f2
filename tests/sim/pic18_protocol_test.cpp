// Reading a simulated PIC18 through the 4-bit command interface.
#include <gtest/gtest.h>

#include <algorithm>

#include "pic18_driver.h"

namespace velkaro::test {
namespace {

TEST(Pic18Protocol, EveryModelAnswersItsDeviceIdUnderItsMask) {
    for (const std::string& name : sim::pic18ChipNames()) {
        auto chip = makePic18(name);
        ASSERT_NE(chip, nullptr) << name;
        Pic18Driver driver(*chip);
        driver.powerUp();
        driver.setTablePointer(0x3FFFFE);
        const uint16_t id = driver.readWord();
        driver.powerDown();
        EXPECT_EQ(id & chip->model().deviceIdMask, chip->model().deviceId) << name;
        EXPECT_NE(id, chip->model().deviceId) << name << ": a revision is reported too";
    }
}

TEST(Pic18Protocol, ModelsAreFoundByNameWhateverTheCase) {
    const auto names = sim::pic18ChipNames();
    for (const char* wanted : {"PIC18F4520", "PIC18F2520", "PIC18F452", "PIC18F252", "PIC18F4550",
                               "PIC18F2550", "PIC18F458", "PIC18F4620"})
        EXPECT_NE(std::find(names.begin(), names.end(), wanted), names.end()) << wanted;
    auto chip = sim::makeSimChip("pic18f4520");
    ASSERT_NE(chip, nullptr);
    EXPECT_EQ(chip->name(), "PIC18F4520");
    EXPECT_TRUE(chip->extendedFamily());
    EXPECT_EQ(chip->oscillatorHz(), 0.0);
    EXPECT_EQ(sim::makePic18Chip("PIC18F9999"), nullptr);
    EXPECT_EQ(sim::makePic18Chip("PIC18F4520X"), nullptr);
}

TEST(Pic18Protocol, TableReadsWalkAcrossPagesInEveryDirection) {
    auto chip = makePic18("PIC18F4520");
    for (uint32_t a = 0x1F0; a < 0x210; ++a)
        chip->poke(a, a * 7 + 3);
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.setTablePointer(0x1F0);
    for (uint32_t a = 0x1F0; a < 0x210; ++a)
        ASSERT_EQ(driver.tableReadByte(), static_cast<uint8_t>(a * 7 + 3)) << std::hex << a;
    // TBLPTR now 0x210: pre-increment reads 0x211, post-decrement reads it again and steps back.
    chip->poke(0x211, 0x5A);
    chip->poke(0x210, 0xA5);
    EXPECT_EQ(driver.readWithCommand(11), 0x5A);
    EXPECT_EQ(driver.readWithCommand(10), 0x5A);
    EXPECT_EQ(driver.readWithCommand(8), 0xA5);
    EXPECT_EQ(driver.readWithCommand(8), 0xA5) << "plain table read does not move";
    driver.powerDown();
}

TEST(Pic18Protocol, ErasedChipShowsBlankMemoryAndConfigurationDefaults) {
    auto chip = makePic18("PIC18F4520");
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.setTablePointer(0);
    EXPECT_EQ(driver.readWord(), 0xFFFF);
    driver.setTablePointer(0x200000);
    EXPECT_EQ(driver.readWord(), 0xFFFF);
    driver.setTablePointer(0x300000);
    // CONFIG1L is not implemented and reads 0; CONFIG1H erases to 0x07.
    EXPECT_EQ(driver.readWord(), 0x0700);
    driver.setTablePointer(0x30000C);
    EXPECT_EQ(driver.readWord(), 0x400F);
    driver.setTablePointer(0x8000);  // past the end of a 32 KB part
    EXPECT_EQ(driver.readWord(), 0x0000);
    driver.powerDown();
}

TEST(Pic18Protocol, UnknownInstructionsAreLoggedAndSkipped) {
    auto chip = makePic18("PIC18F2520");
    chip->poke(0x40, 0x99);
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.core({0x1234, 0x6E80, 0x0E01, 0xD7FF});
    driver.setTablePointer(0x40);
    EXPECT_EQ(driver.tableReadByte(), 0x99);
    driver.powerDown();
    EXPECT_EQ(chip->unknownInstructions(), (std::vector<uint16_t>{0x1234, 0x6E80, 0xD7FF}));
}

TEST(Pic18Protocol, NothingHappensWithoutPower) {
    auto chip = makePic18("PIC18F2520");
    Pic18Driver driver(*chip);
    driver.setTablePointer(0);
    driver.command(15, 0x0000);
    driver.programmingPulse();
    EXPECT_EQ(chip->peek(0), 0xFF);
    EXPECT_FALSE(chip->inProgrammingMode());
}

TEST(Pic18Protocol, TablatWrittenByTheCoreNeedsANopOnTheNewerParts) {
    auto newer = makePic18("PIC18F4520");
    newer->pokeData(5, 0x3C);
    Pic18Driver driver(*newer);
    driver.powerUp();
    EXPECT_NE(driver.readEeprom(5, false), 0x3C);
    EXPECT_EQ(driver.readEeprom(5, true), 0x3C);
    driver.powerDown();

    auto older = makePic18("PIC18F452");
    older->pokeData(5, 0x3C);
    Pic18Driver oldDriver(*older);
    oldDriver.powerUp();
    EXPECT_EQ(oldDriver.readEeprom(5, false), 0x3C);
    oldDriver.powerDown();
}

TEST(Pic18Protocol, LargerEepromIsAddressedWithTheHighByte) {
    auto chip = makePic18("PIC18F4620");
    chip->pokeData(0x3FF, 0x42);
    chip->pokeData(0x0FF, 0x24);
    Pic18Driver driver(*chip);
    driver.powerUp();
    EXPECT_EQ(driver.readEeprom(0x3FF, true), 0x42);
    EXPECT_EQ(driver.readEeprom(0x0FF, true), 0x24);
    driver.powerDown();
}

}  // namespace
}  // namespace velkaro::test
