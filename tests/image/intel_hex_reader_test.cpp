#include "image/intel_hex_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/hex_devices.h"
#include "support/paths.h"

namespace velkaro {
namespace {

using test::blankImage;
using test::midrangeDevice;
using test::pic18Device;

// One record with a correct checksum, no line end.
std::string record(uint16_t address, uint8_t type, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes{static_cast<uint8_t>(data.size()),
                               static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                               type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    std::string text = ":";
    char digits[3];
    for (uint8_t b : bytes) {
        sum += b;
        std::snprintf(digits, sizeof digits, "%02X", b);
        text += digits;
    }
    std::snprintf(digits, sizeof digits, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return text + digits;
}

std::string lines(const std::vector<std::string>& records) {
    std::string text;
    for (const auto& r : records)
        text += r + "\n";
    return text;
}

const std::string kEnd = ":00000001FF";

TEST(IntelHexReader, WordMappingPlacesEveryRegionAndDropsOnlyTrueStrays) {
    const auto device = midrangeDevice();
    auto image = blankImage(device);
    const auto result = ReadIntelHexText(
        lines({record(0x0000, 0, {0x05, 0x28}), record(0x07FE, 0, {0x34, 0x12}),
               record(0x4000, 0, {1, 0, 2, 0, 3, 0, 4, 0x30}), record(0x400E, 0, {0xF1, 0x3F}),
               record(0x4200, 0, {0xAA, 0x00}), record(0x427E, 0, {0xBB, 0x00}),
               record(0x4201, 0, {0xCC}),  // high byte of an EEPROM word: ignored
               record(0x4280, 0, {0xDD}),  // upper half of the EEPROM word range: ignored
               record(0x4300, 0, {0xEE}),  // nowhere
               kEnd}),
        device, image);
    EXPECT_EQ(image.ProgMemory[0], 0x2805);
    EXPECT_EQ(image.ProgMemory[1023], 0x1234);
    EXPECT_EQ(image.ProgMemory[1], 0x3FFF);  // unnamed words keep their blank value
    EXPECT_EQ(image.IdWords[0], 0x0001);
    EXPECT_EQ(image.IdWords[3], 0x3004);  // all bits of an ID word are kept
    EXPECT_EQ(image.ConfigWords[0], 0x3FF1);
    EXPECT_EQ(image.DataMemory[0], 0xAA);
    EXPECT_EQ(image.DataMemory[63], 0xBB);
    EXPECT_EQ(image.DataMemory[1], 0xFF);
    EXPECT_EQ(result.programBytes, 4);
    EXPECT_EQ(result.idBytes, 8);
    EXPECT_EQ(result.configBytes, 2);
    EXPECT_EQ(result.dataBytes, 2);
    EXPECT_EQ(result.ignoredBytes, 4);  // the two high bytes, 0x4201 and 0x4280
    EXPECT_EQ(result.outOfRangeBytes, 1);
    EXPECT_EQ(result.firstProblem, HexProblem::OutOfRange);
    EXPECT_EQ(result.firstProblemLine, 9);
    EXPECT_EQ(result.lowestProgramByte, 0);
    EXPECT_EQ(result.highestProgramByte, 0x7FF);
    EXPECT_TRUE(result.endRecordSeen);
    EXPECT_FALSE(result.clean());
}

TEST(IntelHexReader, WordMappingHonoursSegmentsButNotLinearAddresses) {
    const auto device = midrangeDevice();
    auto image = blankImage(device);
    const auto result = ReadIntelHexText(
        lines({record(0, 4, {0x00, 0x01}),  // no effect in this mapping
               record(0x0010, 0, {0x11, 0x00}), record(0, 2, {0x04, 0x00}),  // segment 0x0400
               record(0x0000, 0, {0x07, 0x00}),  // byte 0x4000: first ID word
               kEnd}),
        device, image);
    EXPECT_TRUE(result.clean());
    EXPECT_EQ(image.ProgMemory[8], 0x0011);
    EXPECT_EQ(image.IdWords[0], 0x0007);
}

TEST(IntelHexReader, ByteMappingPlacesRegionsByLinearAddress) {
    const auto device = pic18Device(65536);  // 128 KiB of program memory
    auto image = blankImage(device);
    const auto result = ReadIntelHexText(
        lines({record(0x0000, 0, {0x12, 0xEF, 0x34, 0xF0}),
               record(0, 4, {0x00, 0x01}),  // program memory above 64 KiB
               record(0x0002, 0, {0x56, 0x78}), record(0, 4, {0x00, 0x20}),
               record(0x0000, 0, {0xA1, 0xA2, 0xA3}), record(0, 4, {0x00, 0x30}),
               record(0x0001, 0, {0x22, 0x1F}),  // configuration bytes from an odd address
               record(0, 4, {0x00, 0xF0}), record(0x00FF, 0, {0x5A}),
               record(0x0100, 0, {0x5B}),  // one past the data memory
               kEnd}),
        device, image);
    EXPECT_EQ(image.ProgMemory[0], 0xEF12);
    EXPECT_EQ(image.ProgMemory[1], 0xF034);
    EXPECT_EQ(image.ProgMemory[0x8001], 0x7856);
    EXPECT_EQ(image.IdWords[0], 0x00A1);  // one ID byte per ID word
    EXPECT_EQ(image.IdWords[2], 0x00A3);
    EXPECT_EQ(image.IdWords[3], 0xFFFF);
    EXPECT_EQ(image.ConfigWords[0], 0x2200);
    EXPECT_EQ(image.ConfigWords[1], 0x0F1F);
    EXPECT_EQ(image.DataMemory[255], 0x5A);
    EXPECT_EQ(result.outOfRangeBytes, 1);
    EXPECT_EQ(result.firstProblemLine, 10);
}

// A file made for the other core family loads as its addresses say, and is flagged, so that
// the user is warned instead of finding its bytes silently in program memory.
TEST(IntelHexReader, FilesOfTheOtherCoreFamilyAreFlagged) {
    const std::string code = record(0x0000, 0, {0x12, 0xEF, 0x34, 0xF0});
    const std::string word14Eeprom = record(0x4200, 0, {0x5A, 0x00, 0xA5, 0x00});
    struct Case {
        const char* name;
        bool pic18;  // read for the PIC18 device (byte mapping), else for the 14-bit one
        std::vector<std::string> records;
        int pic18AddressRecords;
        long wordEepromBytes;
    } cases[] = {
        {"Pic18FileFor14Bit",
         false,
         {record(0, 4, {0x00, 0x00}), code, record(0, 4, {0x00, 0x30}),
          record(0x0008, 0, {0x22, 0x1F}), record(0, 4, {0x00, 0xF0}), record(0x000A, 0, {0x01})},
         2,
         0},
        {"Own14BitFile", false, {record(0, 4, {0x00, 0x00}), code, word14Eeprom}, 0, 0},
        {"14BitFileForPic18", true, {code, word14Eeprom}, 0, 4},
        // PIC18 code at 0x4200 has instruction high bytes.
        {"Pic18CodeAt4200", true, {code, record(0x4200, 0, {0x12, 0xEF, 0x34, 0xF0})}, 0, 0},
        {"Pic18FileWithItsOwnUpperRegions",
         true,
         {code, word14Eeprom, record(0, 4, {0x00, 0x30}), record(0x0000, 0, {0x22, 0x1F})},
         0,
         0},
    };
    for (const Case& c : cases) {
        const auto device = c.pic18 ? pic18Device() : midrangeDevice();
        auto image = blankImage(device);
        std::vector<std::string> all = c.records;
        all.push_back(kEnd);
        const auto result = ReadIntelHexText(lines(all), device, image);
        EXPECT_EQ(result.pic18AddressRecords, c.pic18AddressRecords) << c.name;
        EXPECT_EQ(result.wordEepromBytes, c.wordEepromBytes) << c.name;
        EXPECT_EQ(result.hasWarnings(), c.pic18AddressRecords + c.wordEepromBytes > 0) << c.name;
        EXPECT_EQ(image.ProgMemory[0], 0xEF12) << c.name;
    }
}

TEST(IntelHexReader, LinearAddressDoesNotResetSegment) {
    const auto device = pic18Device();
    auto image = blankImage(device);
    const auto result =
        ReadIntelHexText(lines({record(0, 2, {0x10, 0x00}), record(0, 4, {0x00, 0x30}),
                                record(0x0000, 0, {0x00, 0x00}), kEnd}),
                         device, image);
    EXPECT_EQ(result.outOfRangeBytes, 2);  // 0x300000 + 0x10000 is no configuration byte
    EXPECT_EQ(image.ConfigWords[0], 0x2700);
}

struct MalformedCase {
    const char* name;
    std::string text;
    int checksumErrors;
    int badRecords;
    bool endRecordSeen;
    int recordsAfterEnd;
    int firstProblemLine;
    uint16_t word0;  // program word 0 afterwards
    int extraText = 0;
};

class IntelHexReaderMalformed : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(IntelHexReaderMalformed, ReadsWhatItCanAndReportsTheRest) {
    const auto& c = GetParam();
    const auto device = midrangeDevice();
    auto image = blankImage(device);
    // A copy without trailing room, so that a read past the text shows under ASan.
    const std::string exact(c.text);
    const auto result = ReadIntelHexText(exact, device, image);
    EXPECT_EQ(result.checksumErrors, c.checksumErrors);
    EXPECT_EQ(result.badRecords, c.badRecords);
    EXPECT_EQ(result.endRecordSeen, c.endRecordSeen);
    EXPECT_EQ(result.recordsAfterEnd, c.recordsAfterEnd);
    EXPECT_EQ(result.firstProblemLine, c.firstProblemLine);
    EXPECT_EQ(image.ProgMemory[0], c.word0);
    EXPECT_EQ(result.extraTextRecords, c.extraText);
    EXPECT_EQ(
        result.hasWarnings(),
        c.checksumErrors + c.badRecords + c.extraText + c.recordsAfterEnd > 0 || !c.endRecordSeen);
}

const std::string kWord0 = ":020000000528D1";  // program word 0 = 0x2805

INSTANTIATE_TEST_SUITE_P(
    Inputs, IntelHexReaderMalformed,
    ::testing::Values(
        MalformedCase{"Clean", kWord0 + "\n" + kEnd + "\n", 0, 0, true, 0, 0, 0x2805},
        MalformedCase{"BadChecksumStillPlaced", "\n:020000000528D2\n" + kEnd + "\n", 1, 0, true, 0,
                      2, 0x2805},
        MalformedCase{"OddDigitCount", ":020000000528D\n" + kEnd, 0, 1, true, 0, 1, 0x3FFF},
        MalformedCase{"CountLargerThanLine", ":040000000528D1\n" + kEnd, 0, 1, true, 0, 1, 0x3FFF},
        // The record is read by its count (byte 05, checksum 28, which does not add up)
        // and placed like any record with a bad checksum.
        MalformedCase{"CountSmallerThanLine", ":010000000528D1\n" + kEnd, 1, 0, true, 0, 1, 0x3F05,
                      1},
        MalformedCase{"TextAfterAValidRecord", kWord0 + "XY\n" + kEnd + "\n\x1A", 0, 0, true, 0, 1,
                      0x2805, 1},
        MalformedCase{"NonHexCharacter", ":0200000005G8D1\n" + kEnd, 0, 1, true, 0, 1, 0x3FFF},
        MalformedCase{"TrailingBlanksAccepted", kWord0 + " \t\n" + kEnd, 0, 0, true, 0, 0, 0x2805},
        MalformedCase{"MissingEndRecord", kWord0 + "\n", 0, 0, false, 0, 0, 0x2805},
        MalformedCase{"DataAfterEndIgnored", kEnd + "\n" + kWord0 + "\n", 0, 0, true, 1, 0, 0x3FFF},
        MalformedCase{"EmptyFile", "", 0, 0, false, 0, 0, 0x3FFF},
        MalformedCase{"LineOf300Characters",
                      ":F0" + std::string(297, '0') + "\n" + kWord0 + "\n" + kEnd, 0, 1, true, 0, 1,
                      0x2805},
        MalformedCase{"CommentsAndBlankLinesSkipped", "; comment\n\n" + kWord0 + "\n" + kEnd, 0, 0,
                      true, 0, 0, 0x2805},
        MalformedCase{"CarriageReturnOnly", ";x\r:020000000528D2\r" + kEnd, 1, 0, true, 0, 2,
                      0x2805},
        MalformedCase{"CrLfCountsAsOneLine", ";x\r\n\r\n:020000000528D2\r\n" + kEnd, 1, 0, true, 0,
                      3, 0x2805},
        MalformedCase{"LowerCaseDigits", ":020000000528d1\n:00000001ff", 0, 0, true, 0, 0, 0x2805},
        MalformedCase{"LoneColon", ":\n" + kEnd, 0, 1, true, 0, 1, 0x3FFF},
        MalformedCase{"LinearRecordWithoutValue", ":00000004FC\n" + kEnd, 0, 1, true, 0, 1, 0x3FFF},
        MalformedCase{"TextEndsInsideRecord", ":0200000005", 0, 1, false, 0, 1, 0x3FFF}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IntelHexReader, ParseHexFieldNeverReadsPastTheLine) {
    EXPECT_EQ(ParseHexField(":10ab", 1, 2), 0x10);
    EXPECT_EQ(ParseHexField(":10ab", 3, 2), 0xAB);
    EXPECT_EQ(ParseHexField(":10ab", 4, 2), -1);
    EXPECT_EQ(ParseHexField(":10ab", 9, 2), -1);
    EXPECT_EQ(ParseHexField(":1x", 1, 2), -1);
}

TEST(IntelHexReader, UnreadableFileLeavesTheImageAlone) {
    const auto device = midrangeDevice();
    auto image = blankImage(device);
    image.ProgMemory[0] = 0x1234;
    test::TempDir dir;
    const auto result = ReadIntelHex(dir.file("missing.hex"), device, image);
    EXPECT_FALSE(result.opened);
    EXPECT_EQ(image.ProgMemory[0], 0x1234);
    EXPECT_FALSE(ReadIntelHex(dir.path(), device, image).opened);  // a folder is no file
}

}  // namespace
}  // namespace velkaro
