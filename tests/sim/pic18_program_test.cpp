// Programming a simulated PIC18: write buffer, programming pulse, panels, IDs, configuration.
#include <gtest/gtest.h>

#include "pic18_driver.h"

namespace velkaro::test {
namespace {

std::vector<uint16_t> pattern(size_t count, uint16_t seed) {
    std::vector<uint16_t> words;
    for (size_t i = 0; i < count; ++i)
        words.push_back(static_cast<uint16_t>(seed + i * 0x0101));
    return words;
}

uint16_t wordAt(const sim::SimChip& chip, uint32_t byteAddress) {
    return static_cast<uint16_t>(chip.peek(byteAddress) | chip.peek(byteAddress + 1) << 8);
}

TEST(Pic18Program, FullBufferIsWrittenAndReadBack) {
    for (const char* name : {"PIC18F4520", "PIC18F452", "PIC18F4620", "PIC18F2321"}) {
        auto chip = makePic18(name);
        const size_t words = chip->model().writeBufferBytes / 2;
        const auto data = pattern(words, 0x1200);
        Pic18Driver driver(*chip);
        driver.powerUp();
        driver.writeBlock(0x0400, data);
        driver.setTablePointer(0x0400);
        for (size_t i = 0; i < words; ++i)
            EXPECT_EQ(driver.readWord(), data[i]) << name << " word " << i;
        EXPECT_EQ(driver.readWord(), 0xFFFF) << name << ": nothing past the block";
        driver.powerDown();
        EXPECT_EQ(wordAt(*chip, 0x03FE), 0xFFFF) << name << ": nothing before the block";
        EXPECT_TRUE(chip->notes().empty()) << name << ": " << chip->notes().front();
    }
}

TEST(Pic18Program, ProgrammingCanOnlyClearBits) {
    auto chip = makePic18("PIC18F2520");
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.writeBlock(0, {0x0F0F});
    driver.writeBlock(0, {0xFF00});
    driver.powerDown();
    EXPECT_EQ(wordAt(*chip, 0), 0x0F00);
}

TEST(Pic18Program, CommandFifteenWithoutAHeldPulseProgramsNothing) {
    auto chip = makePic18("PIC18F2520");
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.setTablePointer(0);
    driver.command(15, 0x1234);
    driver.core(0x0000);  // the 4th clock is not held
    driver.powerDown();
    EXPECT_EQ(wordAt(*chip, 0), 0xFFFF);
}

TEST(Pic18Program, ShortHoldOrShortDischargeLeavesTheRowWrong) {
    const auto data = pattern(16, 0x0000);
    struct Case {
        uint64_t holdUs, lowUs;
    };
    for (Case c : {Case{999, 100}, Case{500, 100}, Case{0, 100}, Case{1000, 99}, Case{1000, 10}}) {
        auto chip = makePic18("PIC18F4520");
        Pic18Driver driver(*chip);
        driver.powerUp();
        driver.writeBlock(0x0040, data, c.holdUs, c.lowUs);
        driver.powerDown();
        int wrong = 0;
        for (size_t i = 0; i < data.size(); ++i)
            wrong += wordAt(*chip, 0x40 + 2 * i) != data[i];
        EXPECT_GT(wrong, 0) << "hold " << c.holdUs << " low " << c.lowUs;
        EXPECT_FALSE(chip->notes().empty());
    }
    // The older parts need only 5 us of discharge.
    auto older = makePic18("PIC18F452");
    Pic18Driver driver(*older);
    driver.powerUp();
    driver.writeBlock(0, {1, 2, 3, 4}, 1000, 10);
    driver.powerDown();
    EXPECT_EQ(wordAt(*older, 6), 4);
}

TEST(Pic18Program, MultiPanelWriteProgramsEveryPanelOnTheOlderParts) {
    auto chip = makePic18("PIC18F452");  // four panels of 8 KB
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.panelMode(0x40);
    for (uint32_t panel = 0; panel < 4; ++panel) {
        driver.setTablePointer(panel * 0x2000 + 0x100);
        const auto data = pattern(4, static_cast<uint16_t>(0x1000 * (panel + 1)));
        for (size_t i = 0; i < 3; ++i)
            driver.command(13, data[i]);
        driver.command(panel == 3 ? 15 : 12, data[3]);
    }
    driver.programmingPulse(1000, 10);
    driver.powerDown();
    for (uint32_t panel = 0; panel < 4; ++panel)
        for (uint32_t i = 0; i < 4; ++i)
            EXPECT_EQ(wordAt(*chip, panel * 0x2000 + 0x100 + 2 * i),
                      0x1000 * (panel + 1) + i * 0x0101)
                << "panel " << panel << " word " << i;
}

TEST(Pic18Program, NewerPartsKeepOneBufferWhateverThePanelMode) {
    auto chip = makePic18("PIC18F4520");
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.panelMode(0x40);
    driver.setTablePointer(0x0100);
    driver.command(12, 0x1111);
    driver.setTablePointer(0x2100);
    driver.command(15, 0x2222);
    driver.programmingPulse();
    driver.powerDown();
    EXPECT_EQ(wordAt(*chip, 0x0100), 0xFFFF);
    EXPECT_EQ(wordAt(*chip, 0x2100), 0x2222);
    EXPECT_FALSE(chip->notes().empty()) << "the multi-panel request is noted";
}

TEST(Pic18Program, IdsAndConfigurationAreWrittenAsTheProgramSendsThem) {
    auto chip = makePic18("PIC18F4520");
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.panelMode(0x00);
    driver.writeBlock(0x200000, {0x2211, 0x4433, 0x6655, 0x8877});
    driver.core({0x8EA6, 0x8CA6, 0xEF00, 0xF800});
    // CONFIG1 and CONFIG2 words; the same word goes to the even and the odd byte.
    const uint16_t configs[] = {0xFFFF, 0x1E1E};
    for (uint32_t k = 0; k < 2; ++k) {
        driver.setTablePointer(0x300000 + 2 * k);
        driver.command(15, configs[k]);
        driver.programmingPulse();
        driver.core(0x2AF6);
        driver.command(15, configs[k]);
        driver.programmingPulse();
    }
    driver.powerDown();
    for (uint32_t i = 0; i < 8; ++i)
        EXPECT_EQ(chip->peek(0x200000 + i), 0x11 * (i + 1));
    EXPECT_EQ(chip->peek(0x300000), 0x00) << "unimplemented bits stay 0";
    EXPECT_EQ(chip->peek(0x300001), 0xCF);
    EXPECT_EQ(chip->peek(0x300002), 0x1E & 0x1F);
    EXPECT_EQ(chip->peek(0x300003), 0x1E);
    EXPECT_TRUE(chip->unknownInstructions().empty());
}

TEST(Pic18Program, ConfigurationBytesCanBeRewrittenWithoutErase) {
    auto chip = makePic18("PIC18F452");
    Pic18Driver driver(*chip);
    driver.powerUp();
    for (uint16_t value : {0x0000, 0x0F0F}) {
        driver.setTablePointer(0x300002);
        driver.command(15, value);
        driver.programmingPulse(1000, 10);
    }
    driver.powerDown();
    EXPECT_EQ(chip->peek(0x300002), 0x0F);
}

TEST(Pic18Program, StuckBitsShowWhateverIsWritten) {
    auto chip = makePic18("PIC18F2520");
    chip->setStuckBits(0x11, 0x81, 0x01);
    EXPECT_EQ(chip->peek(0x11), 0x7F);
    Pic18Driver driver(*chip);
    driver.powerUp();
    driver.writeBlock(0x10, {0x0000});
    driver.powerDown();
    EXPECT_EQ(wordAt(*chip, 0x10), 0x0100);
}

}  // namespace
}  // namespace velkaro::test
