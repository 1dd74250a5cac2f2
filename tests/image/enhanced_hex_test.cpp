// HEX files of the enhanced 14-bit core: word-addressed, with IDs, configuration and EEPROM
// behind an extended linear address record, as the toolchains write them.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "image/intel_hex_reader.h"
#include "image/intel_hex_writer.h"
#include "support/hex_devices.h"
#include "support/paths.h"

namespace velkaro {
namespace {

using test::blankImage;
using test::enhancedMidrangeDevice;

// Every data byte of a HEX text by its full linear address (type 04 records included).
std::map<uint32_t, uint8_t> bytesByAddress(const std::string& text) {
    std::map<uint32_t, uint8_t> bytes;
    std::istringstream lines(text);
    uint32_t upper = 0;
    for (std::string line; std::getline(lines, line);) {
        const long count = ParseHexField(line, 1, 2);
        const long address = ParseHexField(line, 3, 4);
        const long type = ParseHexField(line, 7, 2);
        if (type == 0x04)
            upper = static_cast<uint32_t>(ParseHexField(line, 9, 4)) << 16;
        for (long j = 0; type == 0x00 && j < count; ++j)
            bytes[upper + static_cast<uint32_t>(address + j)] =
                static_cast<uint8_t>(ParseHexField(line, 9 + 2 * static_cast<size_t>(j), 2));
    }
    return bytes;
}

TEST(EnhancedHex, AssembledFileLandsInItsRegionsAndIsWrittenBackAtTheSameAddresses) {
    std::string original;
    ASSERT_TRUE(
        readWholeFile(test::sourceDir() + "/tests/image/data/enhanced_midrange.hex", original));
    const auto device = enhancedMidrangeDevice();
    auto image = blankImage(device);
    const HexReadResult read = ReadIntelHexText(original, device, image);
    EXPECT_TRUE(read.clean());
    EXPECT_FALSE(read.hasWarnings());
    EXPECT_EQ(read.idBytes, 8);
    EXPECT_EQ(read.configBytes, 4);
    EXPECT_EQ(read.dataBytes, 10);
    EXPECT_EQ(image.ProgMemory[0], 0x2805);      // goto start
    EXPECT_EQ(image.ProgMemory[4], 0x0009);      // retfie
    EXPECT_EQ(image.ProgMemory[7], 0x2807);      // goto $
    EXPECT_EQ(image.ProgMemory[0xFF8], 0x3476);  // retlw 'v'
    EXPECT_EQ(image.ProgMemory[0xFFE], 0x346F);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(image.IdWords[i], i + 1) << i;
    EXPECT_EQ(image.ConfigWords[0], 0x3FE4);
    EXPECT_EQ(image.ConfigWords[1], 0x1603);
    EXPECT_EQ(image.DataMemory[0], 0x11);
    EXPECT_EQ(image.DataMemory[9], 0xA5);
    EXPECT_EQ(image.DataMemory[10], 0xFF);

    std::string written;
    ASSERT_TRUE(EncodeIntelHex(device, image, written).ok());
    const auto ours = bytesByAddress(written);
    for (const auto& [address, byte] : bytesByAddress(original)) {
        const auto found = ours.find(address);
        ASSERT_NE(found, ours.end()) << std::hex << address;
        EXPECT_EQ(found->second, byte) << std::hex << address;
    }
    auto again = blankImage(device);
    EXPECT_TRUE(ReadIntelHexText(written, device, again).clean());
    EXPECT_EQ(again, image);
}

TEST(EnhancedHex, WriterSelectsEachRegionsPageAndGoesBackWhereNeeded) {
    auto device = enhancedMidrangeDevice();
    device.ProgSize = 8;
    device.EpromSize = 8;
    auto image = blankImage(device);
    image.ProgMemory[0] = 0x3180;
    image.IdWords = {1, 2, 3, 4};
    image.ConfigWords[0] = 0x3FE4;
    image.ConfigWords[1] = 0x1603;
    image.DataMemory[1] = 0x42;
    std::string text;
    ASSERT_TRUE(EncodeIntelHex(device, image, text).ok());
    EXPECT_EQ(text,
              ":100000008031FF3FFF3FFF3FFF3FFF3FFF3FFF3F8D\r\n"
              ":020000040001F9\r\n"
              ":080000000100020003000400EE\r\n"
              ":02000E00E43FCD\r\n"
              ":020010000316D5\r\n"
              ":10E00000FF004200FF00FF00FF00FF00FF00FF00D5\r\n"
              ":00000001FF\r\n");

    // Regions below 0x8000 in this layout are reached through page 0 again.
    device.ConfigBaseAdr = 0x2007;
    ASSERT_TRUE(EncodeIntelHex(device, image, text).ok());
    EXPECT_NE(text.find(":080000000100020003000400EE\r\n:020000040000FA\r\n"
                        ":02400E00E43F8D\r\n:02401000031695\r\n:020000040001F9\r\n:10E00000"),
              std::string::npos)
        << text;
}

// A file of the classic layout puts IDs, configuration and EEPROM at 0x4000-0x43FF; for
// this core they are nothing it has, so they are reported instead of overwriting program
// words 0 and 7.
TEST(EnhancedHex, ClassicLayoutFileLeavesProgramMemoryAlone) {
    const auto device = enhancedMidrangeDevice();
    auto image = blankImage(device);
    const HexReadResult read = ReadIntelHexText(
        ":08400000010002000300040066\r\n"
        ":02400E00E43F8D\r\n"
        ":0442000011002200A5\r\n"
        ":00000001FF\r\n",
        device, image);
    EXPECT_EQ(image, blankImage(device));
    EXPECT_EQ(read.outOfRangeBytes, 14);
    EXPECT_EQ(read.pic18AddressRecords, 0);
    EXPECT_TRUE(read.hasWarnings());
}

}  // namespace
}  // namespace velkaro
