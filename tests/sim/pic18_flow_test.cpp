// A whole erase, write and read of a simulated PIC18 in the order the program sends it.
#include <gtest/gtest.h>

#include "pic18_driver.h"

namespace velkaro::test {
namespace {

struct Image {
    std::vector<uint16_t> program;
    std::vector<uint8_t> ids;
    std::vector<uint16_t> config;
    std::vector<uint8_t> data;
};

Image makeImage(const sim::Pic18Chip& chip) {
    Image image;
    image.program.assign(chip.model().programWords, 0xFFFF);
    // Code at the start, a table near the end of panel 0, data at the very end.
    for (uint32_t w = 0; w < 300; ++w)
        image.program[w] = static_cast<uint16_t>(w * 0x3141 + 7);
    for (uint32_t w = 4000; w < 4100; ++w)
        image.program[w] = static_cast<uint16_t>(w ^ 0x5AA5);
    for (uint32_t w = chip.model().programWords - 8; w < chip.model().programWords; ++w)
        image.program[w] = static_cast<uint16_t>(w);
    image.ids = {1, 2, 3, 4, 5, 6, 7, 8};
    // Configuration words with some bits programmed; the protection words (CONFIG5 and up)
    // stay unprogrammed so that the whole image reads back.
    for (uint32_t k = 0; k < 7; ++k)
        image.config.push_back(chip.model().configMasks[k] & (k < 4 ? 0xFEFE : 0xFFFF));
    for (uint32_t i = 0; i < chip.model().eepromBytes; ++i)
        image.data.push_back(static_cast<uint8_t>(i * 13));
    return image;
}

bool blank(const std::vector<uint16_t>& words, uint32_t from, uint32_t n) {
    for (uint32_t i = from; i < from + n; ++i)
        if (words[i] != 0xFFFF)
            return false;
    return true;
}

void singlePanelSetup(Pic18Driver& d) {
    d.core({0x8EA6, 0x8CA6});
    d.setTablePointer(0x3C0006);
    d.command(12, 0x0000);
    d.core({0x8EA6, 0x9CA6});
}

void writeBlockAt(Pic18Driver& d, const std::vector<uint16_t>& words, uint32_t w, uint32_t n,
                  int lastCommand) {
    d.setTablePointer(2 * w);
    for (uint32_t i = 0; i + 1 < n; ++i)
        d.command(13, words[w + i]);
    d.command(lastCommand, words[w + n - 1]);
}

// Program memory as the program writes it; panels = 0 for a single panel.
void writeProgram(Pic18Driver& d, const Image& image, uint32_t n, uint32_t panels,
                  uint32_t panelSize, uint64_t dischargeUs) {
    const auto& p = image.program;
    singlePanelSetup(d);
    uint32_t w = 0;
    for (; w < 256; w += n) {
        if (blank(p, w, n))
            continue;
        writeBlockAt(d, p, w, n, 15);
        d.programmingPulse(1000, dischargeUs);
    }
    uint32_t limit = static_cast<uint32_t>(p.size());
    if (panels) {
        w = 0;
        limit = panelSize;
        d.core({0x8EA6, 0x8CA6, 0x86A6});
        d.setTablePointer(0x3C0006);
        d.command(12, 0x0040);
        d.core({0x8EA6, 0x9CA6});
    }
    for (; w < limit; w += n) {
        if (!panels) {
            if (blank(p, w, n))
                continue;
            writeBlockAt(d, p, w, n, 15);
        } else {
            bool any = false;
            for (uint32_t q = (w < 256 ? 1 : 0); q < panels; ++q)
                any = any || !blank(p, q * panelSize + w, n);
            if (!any)
                continue;
            for (uint32_t q = (w < 256 ? 1 : 0); q < panels; ++q)
                writeBlockAt(d, p, q * panelSize + w, n, q == panels - 1 ? 15 : 12);
        }
        d.programmingPulse(1000, dischargeUs);
    }
}

void writeIdsAndConfig(Pic18Driver& d, const Image& image, uint64_t dischargeUs) {
    singlePanelSetup(d);
    d.setTablePointer(0x200000);
    for (int i = 0; i < 8; i += 2)
        d.command(i == 6 ? 15 : 13, static_cast<uint16_t>(image.ids[i] | image.ids[i + 1] << 8));
    d.programmingPulse(1000, dischargeUs);
    d.core({0x8EA6, 0x8CA6, 0xEF00, 0xF800});
    for (uint32_t k : {0u, 1u, 2u, 3u, 4u, 5u, 6u}) {
        d.setTablePointer(0x300000 + 2 * k);
        d.command(15, image.config[k]);
        d.programmingPulse(1000, dischargeUs);
        d.core(0x2AF6);
        d.command(15, image.config[k]);
        d.programmingPulse(1000, dischargeUs);
    }
}

void expectReadBack(Pic18Driver& d, const Image& image, bool nop) {
    d.setTablePointer(0);
    for (size_t w = 0; w < image.program.size(); ++w)
        ASSERT_EQ(d.readWord(), image.program[w]) << "word " << w;
    d.setTablePointer(0x200000);
    for (uint8_t id : image.ids)
        EXPECT_EQ(d.tableReadByte(), id);
    d.setTablePointer(0x300000);
    for (uint16_t config : image.config)
        EXPECT_EQ(d.readWord(), config);
    for (size_t i = 0; i < image.data.size(); ++i)
        ASSERT_EQ(d.readEeprom(static_cast<uint32_t>(i), nop), image.data[i]) << "byte " << i;
}

TEST(Pic18Flow, NewerPartIsErasedWrittenAndReadBack) {
    auto chip = makePic18("PIC18F4520");
    for (uint32_t a = 0; a < 0x8000; a += 3)
        chip->poke(a, 0x00);  // old contents
    const Image image = makeImage(*chip);
    Pic18Driver d(*chip);
    d.powerUp();
    d.erase(0x3F8F, 6000);
    d.powerDown();
    d.powerUp();
    writeProgram(d, image, 16, 0, 0, 100);
    d.powerDown();
    d.powerUp();
    for (size_t i = 0; i < image.data.size(); ++i)
        ASSERT_TRUE(d.writeEeprom(static_cast<uint32_t>(i), image.data[i], false, true));
    d.powerDown();
    d.powerUp();
    writeIdsAndConfig(d, image, 100);
    d.powerDown();
    d.powerUp();
    expectReadBack(d, image, true);
    d.powerDown();
    EXPECT_TRUE(chip->unknownInstructions().empty());
    EXPECT_TRUE(chip->notes().empty()) << chip->notes().front();
}

TEST(Pic18Flow, OlderPartIsWrittenOnAllPanelsAtOnce) {
    auto chip = makePic18("PIC18F452");
    const Image image = makeImage(*chip);
    Pic18Driver d(*chip);
    d.powerUp();
    writeProgram(d, image, 4, 4, 4096, 10);
    d.powerDown();
    d.powerUp();
    for (size_t i = 0; i < image.data.size(); ++i)
        ASSERT_TRUE(d.writeEeprom(static_cast<uint32_t>(i), image.data[i], true, false));
    writeIdsAndConfig(d, image, 10);
    d.powerDown();
    d.powerUp();
    expectReadBack(d, image, false);
    d.powerDown();
    EXPECT_TRUE(chip->unknownInstructions().empty());
    EXPECT_TRUE(chip->notes().empty()) << chip->notes().front();
}

}  // namespace
}  // namespace velkaro::test
