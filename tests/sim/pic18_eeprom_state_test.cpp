// Data EEPROM writes and saved state of a simulated PIC18.
#include <gtest/gtest.h>

#include <sstream>

#include "pic18_driver.h"

namespace velkaro::test {
namespace {

TEST(Pic18Eeprom, WriteIsPolledUntilWrClearsAndReadsBack) {
    auto chip = makePic18("PIC18F4520");
    Pic18Driver driver(*chip);
    driver.powerUp();
    const uint64_t start = driver.now();
    ASSERT_TRUE(driver.writeEeprom(0x12, 0x5A, false, true));
    EXPECT_GE(driver.now() - start, chip->timing().eepromWriteUs);
    EXPECT_EQ(driver.readEeprom(0x12, true), 0x5A);
    // A byte is replaced whole, zeros turning back into ones.
    ASSERT_TRUE(driver.writeEeprom(0x12, 0xA5, false, true));
    EXPECT_EQ(driver.readEeprom(0x12, true), 0xA5);
    driver.powerDown();
    EXPECT_EQ(chip->peekData(0x12), 0xA5);
}

TEST(Pic18Eeprom, OlderPartsWriteOnlyAfterTheUnlock) {
    auto chip = makePic18("PIC18F452");
    Pic18Driver driver(*chip);
    driver.powerUp();
    EXPECT_TRUE(driver.writeEeprom(3, 0x00, false, false)) << "WR never sets, so polling ends";
    EXPECT_EQ(chip->peekData(3), 0xFF);
    EXPECT_TRUE(driver.writeEeprom(3, 0x00, true, false));
    driver.powerDown();
    EXPECT_EQ(chip->peekData(3), 0x00);
}

TEST(Pic18Eeprom, WriteNeedsWriteEnableAndDataMemorySelected) {
    auto chip = makePic18("PIC18F2520");
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.core({0x9EA6, 0x9CA6, 0x0E01, 0x6EA9, 0x0E00, 0x6EA8, 0x82A6});  // no WREN
    driver.core({0x8EA6, 0x84A6, 0x82A6});                                  // EEPGD set
    driver.wait(10000);
    driver.powerDown();
    EXPECT_EQ(chip->peekData(1), 0xFF);
    EXPECT_GE(chip->notes().size(), 2u);
}

TEST(Pic18Eeprom, PowerRemovedDuringTheWriteKeepsTheOldByte) {
    auto chip = makePic18("PIC18F2520");
    chip->pokeData(7, 0x77);
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.core({0x9EA6, 0x9CA6, 0x0E07, 0x6EA9, 0x0E11, 0x6EA8, 0x84A6, 0x82A6});
    driver.wait(1000);
    driver.powerDown();
    EXPECT_EQ(chip->peekData(7), 0x77);
}

TEST(Pic18State, SavedStateLoadsIntoAFreshChip) {
    auto chip = makePic18("PIC18F4620");
    chip->poke(0x0000, 0x12);
    chip->poke(0xFFFF, 0x34);
    chip->poke(0x200003, 0x56);
    chip->poke(0x300001, 0xFF);
    chip->poke(0x3FFFFE, 0xC5);
    chip->pokeData(1023, 0x78);
    chip->setStuckBits(0x100, 0x0F, 0x05);
    std::stringstream text;
    chip->saveState(text);

    auto copy = makePic18("pic18f4620");
    ASSERT_TRUE(copy->loadState(text)) << text.str();
    for (uint32_t a : {0x0000u, 0xFFFFu, 0x0100u, 0x0101u, 0x200003u, 0x300001u, 0x300000u,
                       0x3FFFFEu, 0x3FFFFFu})
        EXPECT_EQ(copy->peek(a), chip->peek(a)) << std::hex << a;
    EXPECT_EQ(copy->peekData(1023), 0x78);
    std::stringstream again;
    copy->saveState(again);
    EXPECT_EQ(again.str(), text.str());
    copy->poke(0x100, 0x00);
    EXPECT_EQ(copy->peek(0x100), 0x05) << "stuck bits come back too";
}

TEST(Pic18State, BadTextIsRefusedAndChangesNothing) {
    auto chip = makePic18("PIC18F2520");
    chip->poke(0x10, 0x42);
    const char* bad[] = {
        "",
        "chip PIC18F4520\nend\n",                       // another device
        "chip PIC18F2520\nprogram 000000 12\n",         // no end
        "chip PIC18F2520\nprogram 007FFF 1234\nend\n",  // past program memory
        "chip PIC18F2520\nprogram 000000 123\nend\n",   // odd digits
        "chip PIC18F2520\nprogram 000000 12G4\nend\n",  // not hex
        "chip PIC18F2520\nid 200007 0000\nend\n",       // past the IDs
        "chip PIC18F2520\neeprom 000100 00\nend\n",     // past the EEPROM
        "chip PIC18F2520\nflash 000000 00\nend\n",      // unknown region
        "chip PIC18F2520\nstuck 500000 01 01\nend\n",   // no such cell
        "chip PIC18F2520\nend\nprogram 000000 00\n",    // after end
        "chip PIC18F2520\ndevid 12345\nend\n",          // too wide
    };
    for (const char* text : bad) {
        std::istringstream in(text);
        EXPECT_FALSE(chip->loadState(in)) << text;
        EXPECT_EQ(chip->peek(0x10), 0x42) << text;
    }
    // The line a refusal stopped at; 0 for a text that is wrong as a whole.
    for (const auto& [text, line] : {std::pair{"chip PIC18F2520\n\nflash 000000 00\nend\n", 3},
                                     std::pair{"chip PIC18F4520\nend\n", 1},
                                     std::pair{"chip PIC18F2520\nprogram 000000 12\n", 0}}) {
        std::istringstream in(text);
        EXPECT_FALSE(chip->loadState(in));
        EXPECT_EQ(chip->loadErrorLine(), line) << text;
    }
    std::istringstream good(
        "# comment\r\n \t \nchip pic18f2520\r\n  \r\nprogram 000010 AA\r\nend\r\n\t\n");
    EXPECT_TRUE(chip->loadState(good));
    EXPECT_EQ(chip->peek(0x10), 0xAA);
    EXPECT_EQ(chip->peek(0x300001), 0x07) << "what the text leaves out is erased";
}

}  // namespace
}  // namespace velkaro::test
