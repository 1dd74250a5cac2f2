#include "image/listing.h"

#include <gtest/gtest.h>

#include "support/hex_devices.h"

namespace velkaro {
namespace {

TEST(Listing, ProgramLinesHoldEightWordsAndAShortLastLine) {
    std::vector<uint16_t> words(10, 0x3FFF);
    words[0] = 0x2805;
    words[9] = 0x00AB;
    const auto lines = programListing(words);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "0000: 2805 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF");
    EXPECT_EQ(lines[0].size(), 45u);
    EXPECT_EQ(lines[1], "0008: 3FFF 00AB");
    EXPECT_TRUE(programListing({}).empty());
}

TEST(Listing, AddressesPastFourDigitsWidenAsPrintfWould) {
    // A program memory of more than 0x10000 words: the line addresses must not wrap.
    std::vector<uint16_t> words(0x10008, 0x0123);
    const auto lines = programListing(words);
    EXPECT_EQ(lines[0x1FFF].substr(0, 5), "FFF8:");
    EXPECT_EQ(lines[0x2000], "10000: 0123 0123 0123 0123 0123 0123 0123 0123");

    auto device = test::pic18Device();
    device.ConfigBaseAdr = 0xFFFFFE;
    EXPECT_EQ(configLabel(device, 1), "Config(1000000h)");
}

TEST(Listing, DataLinesHoldSixteenBytes) {
    std::vector<uint8_t> bytes(64, 0xFF);
    bytes[0x12] = 0x0A;
    const auto lines = dataListing(bytes);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "0010: FF FF 0A FF FF FF FF FF FF FF FF FF FF FF FF FF");
    EXPECT_EQ(lines[1].size(), kDataLineLength);
    EXPECT_EQ(dataListing(std::vector<uint8_t>(17, 0)).back(), "0010: 00");
}

TEST(Listing, IdTextShowsTheLowDigitOfEachUsedWord) {
    const auto device = test::midrangeDevice();
    auto image = test::blankImage(device);
    EXPECT_EQ(idText(device, image), "FFFF");
    idWordsFromText("FFFF", device, image);
    EXPECT_EQ(image.IdWords[0], 0x000F);  // only the low digit survives an edit
    idWordsFromText("1a_", device, image);
    EXPECT_EQ(image.IdWords[0], 0x0001);
    EXPECT_EQ(image.IdWords[1], 0x000A);
    EXPECT_EQ(image.IdWords[2], 0x0000);
    EXPECT_EQ(image.IdWords[3], 0x0000);
    EXPECT_EQ(idText(device, image), "1A00");
}

TEST(Listing, ConfigurationLabelsFollowTheLayout) {
    const auto midrange = test::midrangeDevice();
    EXPECT_EQ(configLabel(midrange, 0), "Config(002007h)");
    EXPECT_EQ(configLabel(midrange, 1), "Config(002008h)");
    const auto pic18 = test::pic18Device();
    EXPECT_EQ(configLabel(pic18, 0), "Config(300000h)");
    EXPECT_EQ(configLabel(pic18, 1), "Config(300002h)");
    EXPECT_EQ(wordText(0x3ff), "03FF");
}

TEST(Listing, ParseHexReadsLikeAScan) {
    EXPECT_EQ(ParseHex("3FF_"), 0x3FFu);
    EXPECT_EQ(ParseHex("3ff"), 0x3FFu);
    EXPECT_EQ(ParseHex("  1A"), 0x1Au);
    EXPECT_EQ(ParseHex("0x1f"), 0x1Fu);
    EXPECT_EQ(ParseHex("0xg"), 0u);  // the 0 is read, the x stops the scan
    EXPECT_EQ(ParseHex("_"), 0u);
    EXPECT_EQ(ParseHex(""), 0u);
    EXPECT_EQ(ParseHex("G1"), 0u);
    EXPECT_EQ(ParseHex("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseHex("123456789"), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace velkaro
