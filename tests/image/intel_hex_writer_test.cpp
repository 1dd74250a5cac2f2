#include "image/intel_hex_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "image/intel_hex_reader.h"
#include "support/hex_devices.h"
#include "support/paths.h"

namespace velkaro {
namespace {

using test::blankImage;
using test::midrangeDevice;
using test::pic18Device;

std::string format(const DeviceDefinition& device, const MemoryImage& image) {
    std::string text;
    EXPECT_EQ(FormatIntelHex(device, image, text), HexRegion::None);
    return text;
}

std::string fileContents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

TEST(IntelHexWriter, WordAddressedWorkedExample) {
    const auto device = midrangeDevice();
    auto image = blankImage(device);
    image.ProgMemory[0] = 0x2805;
    image.ConfigWords[0] = 0x3FF1;
    EXPECT_EQ(format(device, image),
              ":100000000528FF3FFF3FFF3FFF3FFF3FFF3FFF3F11\r\n"
              ":08400000FF3FFF3FFF3FFF3FC0\r\n"
              ":02400E00F13F80\r\n"
              ":00000001FF\r\n");
    for (int k = 0; k < 8; ++k)
        image.DataMemory[k] = static_cast<uint8_t>(k + 1);
    EXPECT_EQ(format(device, image),
              ":100000000528FF3FFF3FFF3FFF3FFF3FFF3FFF3F11\r\n"
              ":08400000FF3FFF3FFF3FFF3FC0\r\n"
              ":02400E00F13F80\r\n"
              ":10420000010002000300040005000600070008008A\r\n"
              ":00000001FF\r\n");
}

TEST(IntelHexWriter, ByteAddressedLayout) {
    auto device = pic18Device(12);  // 24 bytes: one full and one short program record
    device.EpromSize = 10;
    device.IdCount = 2;
    device.ConfigCount = 2;
    auto image = blankImage(device);
    image.ProgMemory[9] = 0x1234;
    image.DataMemory[9] = 0x42;
    image.IdWords[0] = 0x0A01;  // the layout keeps only the low byte
    image.ConfigWords[0] = 0x2200;
    image.ConfigWords[1] = 0x0F1F;
    EXPECT_EQ(format(device, image),
              ":020000040000FA\r\n"
              ":08001000FFFF3412FFFFFFFFA8\r\n"
              ":0200000400F00A\r\n"
              ":02000800FF42B5\r\n"
              ":020000040020DA\r\n"
              ":0200000001FFFE\r\n"
              ":020000040030CA\r\n"
              ":020000000022DC\r\n"
              ":020002001F0FCE\r\n"
              ":00000001FF\r\n");
}

TEST(IntelHexWriter, BlankImageStillCarriesIdConfigurationAndEnd) {
    auto device = midrangeDevice();
    device.ConfigCount = 2;
    const auto image = blankImage(device);
    const std::string text = format(device, image);
    EXPECT_EQ(text,
              ":08400000FF3FFF3FFF3FFF3FC0\r\n"
              ":02400E00FF3F72\r\n"
              ":024010000000AE\r\n"  // the second word is 0: its ConfigValue
              ":00000001FF\r\n");

    auto pic18 = pic18Device(64);
    pic18.EpromSize = 0;
    const std::string byteText = format(pic18, blankImage(pic18));
    EXPECT_NE(byteText.find(":0200000400F00A\r\n:020000040020DA\r\n"), std::string::npos);
}

TEST(IntelHexWriter, ShortLastProgramRecordAndWholeRecordsAroundOneWord) {
    auto device = midrangeDevice();
    device.ProgSize = 13;
    auto image = blankImage(device);
    image.ProgMemory[12] = 0x0001;
    image.ProgMemory[3] = 0x0002;
    const std::string text = format(device, image);
    EXPECT_EQ(text.substr(0, 78),
              ":10000000FF3FFF3FFF3F0200FF3FFF3FFF3FFF3F3C\r\n"
              ":0A001000FF3FFF3FFF3FFF3F0100ED\r\n");
}

// Images with every region filled at random read back as they were written.
template <typename Fill>
void expectRoundTrip(const DeviceDefinition& device, Fill fill) {
    auto image = blankImage(device);
    std::mt19937 random(7);
    fill(image, random);
    std::string text;
    ASSERT_EQ(FormatIntelHex(device, image, text), HexRegion::None);
    auto copy = blankImage(device);
    const auto read = ReadIntelHexText(text, device, copy);
    EXPECT_TRUE(read.clean());
    EXPECT_TRUE(read.endRecordSeen);
    EXPECT_EQ(copy.ProgMemory, image.ProgMemory);
    EXPECT_EQ(copy.DataMemory, image.DataMemory);
    for (int i = 0; i < device.ConfigCount; ++i)
        EXPECT_EQ(copy.ConfigWords[i], image.ConfigWords[i]) << "configuration word " << i;
    for (int i = 0; i < device.IdCount; ++i) {
        const uint16_t mask = device.Algorithm == 0 ? 0xFFFF : 0x00FF;
        EXPECT_EQ(copy.IdWords[i], image.IdWords[i] & mask) << "ID word " << i;
    }
}

TEST(IntelHexWriter, RoundTripsInBothLayouts) {
    auto sparse = [](MemoryImage& image, std::mt19937& random) {
        for (auto& w : image.ProgMemory) {
            if (random() % 5 == 0)
                w = static_cast<uint16_t>(random());
        }
        for (auto& b : image.DataMemory) {
            if (random() % 3 == 0)
                b = static_cast<uint8_t>(random());
        }
        for (auto& w : image.IdWords)
            w = static_cast<uint16_t>(random());
        for (int i = 0; i < 10; ++i)
            image.ConfigWords[i] = i < 7 ? static_cast<uint16_t>(random()) : 0;
    };
    auto midrange = midrangeDevice();
    midrange.ProgSize = 8192;  // 16F877A: program memory reaches the ID words' byte address
    midrange.EpromSize = 256;
    expectRoundTrip(midrange, sparse);
    expectRoundTrip(pic18Device(), sparse);
    // Above 64 KiB the program records need segments, and the regions after them must not.
    expectRoundTrip(pic18Device(65536), sparse);
}

TEST(IntelHexWriter, RefusesLayoutsTheFormatCannotCarry) {
    test::TempDir dir;
    const std::string path = dir.file("out.hex");
    {
        std::ofstream old(path, std::ios::binary);
        old << "old contents";
    }
    auto bigData = midrangeDevice();
    bigData.EpromSize = 0x6000;  // EEPROM words would pass address 0xFFFF
    auto image = blankImage(bigData);
    image.DataMemory.back() = 0x00;
    auto result = WriteIntelHex(path, bigData, image);
    EXPECT_EQ(result.status, HexWriteStatus::NotEncodable);
    EXPECT_EQ(result.region, HexRegion::Data);

    auto highIds = midrangeDevice();
    highIds.IdAdr = 0x8000;  // byte address 0x10000
    result = WriteIntelHex(path, highIds, blankImage(highIds));
    EXPECT_EQ(result.status, HexWriteStatus::NotEncodable);
    EXPECT_EQ(result.region, HexRegion::Id);

    auto unalignedIds = pic18Device();
    unalignedIds.IdAdr = 0x200008;  // the linear address record can only name 0x200000
    auto pic18Image = blankImage(unalignedIds);
    pic18Image.IdWords[0] = 0x0012;
    result = WriteIntelHex(path, unalignedIds, pic18Image);
    EXPECT_EQ(result.status, HexWriteStatus::NotEncodable);
    EXPECT_EQ(result.region, HexRegion::Id);

    EXPECT_EQ(fileContents(path), "old contents");
}

TEST(IntelHexWriter, SavesThroughATemporaryFileAndKeepsTheOldOneOnFailure) {
    const auto device = midrangeDevice();
    auto image = blankImage(device);
    image.ProgMemory[0] = 0x2805;
    test::TempDir dir;
    const std::string path = dir.file("prog.HEX");
    ASSERT_TRUE(WriteIntelHex(path, device, image).ok());
    image.ProgMemory[0] = 0x0000;
    ASSERT_TRUE(WriteIntelHex(path, device, image).ok());  // replaces the file
    EXPECT_EQ(fileContents(path).substr(0, 13), ":100000000000");

    // A folder in the target's place cannot be replaced by a file.
    const std::string folder = dir.file("taken.hex");
    std::filesystem::create_directory(folder);
    const auto result = WriteIntelHex(folder, device, image);
    EXPECT_EQ(result.status, HexWriteStatus::CannotWrite);
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    EXPECT_EQ(WriteIntelHex(dir.file("no/such/folder.hex"), device, image).status,
              HexWriteStatus::CannotWrite);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 2);  // prog.HEX and the folder: no temporary left behind
}

TEST(IntelHexWriter, SavingThroughALinkReplacesTheFileItNames) {
    const auto device = midrangeDevice();
    auto image = blankImage(device);
    image.ProgMemory[0] = 0x2805;
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("real"));
    const std::string target = dir.file("real/prog.hex");
    std::ofstream(target, std::ios::binary) << "old contents";
    const std::string link = dir.file("link.hex");
    std::error_code code;
    std::filesystem::create_symlink("real/prog.hex", link, code);
    if (code)
        GTEST_SKIP() << "no symbolic links here: " << code.message();
    ASSERT_TRUE(WriteIntelHex(link, device, image).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(fileContents(target).substr(0, 13), ":100000000528");
}

TEST(IntelHexWriter, SavingIntoAFifoWritesThroughItAndLeavesItAFifo) {
    const auto device = midrangeDevice();
    auto image = blankImage(device);
    image.ProgMemory[0] = 0x2805;
    test::TempDir dir;
    const std::string fifo = dir.file("pipe.hex");
    if (::mkfifo(fifo.c_str(), 0600) != 0)
        GTEST_SKIP() << "no FIFOs here";
    std::string received;
    std::thread reader([&] { received = fileContents(fifo); });
    const auto result = WriteIntelHex(fifo, device, image);
    reader.join();
    EXPECT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(received.substr(0, 13), ":100000000528");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

}  // namespace
}  // namespace velkaro
