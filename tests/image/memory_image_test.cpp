#include "image/memory_image.h"

#include <gtest/gtest.h>

namespace velkaro {
namespace {

DeviceDefinition deviceWithSizes(int progSize, int epromSize) {
    DeviceDefinition device;
    device.ProgSize = progSize;
    device.EpromSize = epromSize;
    return device;
}

TEST(MemoryImage, FirstSelectionAllocatesAndBlanksEverything) {
    MemoryImage image;
    auto device = deviceWithSizes(1024, 64);
    device.ConfigValue[0] = 0x13FF7;  // only the low 16 bits count
    image.ResizeImage(device);
    ASSERT_EQ(image.ProgMemory.size(), 1024u);
    ASSERT_EQ(image.DataMemory.size(), 64u);
    EXPECT_EQ(image.ProgMemory[1023], 0x3FFF);
    EXPECT_EQ(image.DataMemory[63], 0xFF);
    EXPECT_EQ(image.IdWords[3], 0x3FFF);
    EXPECT_EQ(image.ConfigWords[0], 0x3FF7);
}

TEST(MemoryImage, EqualSizesKeepContentsButResetConfigurationAndCalibration) {
    MemoryImage image;
    auto first = deviceWithSizes(1024, 64);
    image.ResizeImage(first);
    image.ProgMemory[5] = 0x1234;
    image.DataMemory[7] = 0x42;
    image.IdWords[0] = 0x0001;
    image.ConfigWords[0] = 0x0000;
    image.OscCalValue = 0x3480;
    image.BGValue = 0x3000;

    auto second = deviceWithSizes(1024, 64);
    second.ConfigValue[0] = 0x0FFF;
    image.ResizeImage(second);
    EXPECT_EQ(image.ProgMemory[5], 0x1234);
    EXPECT_EQ(image.DataMemory[7], 0x42);
    EXPECT_EQ(image.IdWords[0], 0x0001);
    EXPECT_EQ(image.ConfigWords[0], 0x0FFF);
    EXPECT_EQ(image.OscCalValue, 0);
    EXPECT_EQ(image.BGValue, 0);
}

TEST(MemoryImage, ChangeOfEitherSizeBlanksBothRegions) {
    MemoryImage image;
    image.ResizeImage(deviceWithSizes(1024, 64));
    image.ProgMemory[5] = 0x1234;
    image.DataMemory[7] = 0x42;
    image.ResizeImage(deviceWithSizes(1024, 128));  // only the data size changes
    EXPECT_EQ(image.ProgMemory[5], 0x3FFF);
    EXPECT_EQ(image.DataMemory[7], 0xFF);
    EXPECT_EQ(image.DataMemory.size(), 128u);
}

TEST(MemoryImage, ZeroSizesHaveNoArraysAndClearTouchesNothing) {
    MemoryImage image;
    image.ResizeImage(deviceWithSizes(0, 0));
    EXPECT_TRUE(image.ProgMemory.empty());
    EXPECT_TRUE(image.DataMemory.empty());
    image.ClearImage(deviceWithSizes(0, 0), true, true);
    EXPECT_TRUE(image.ProgMemory.empty());
}

TEST(MemoryImage, ClearSetsOnlyTheUsedIdWords) {
    MemoryImage image;
    auto device = deviceWithSizes(16, 0);
    device.IdCount = 2;
    device.BitWidth = 12;
    device.BlankWord = 0x0FFF;
    image.IdWords.fill(0x0005);
    image.ResizeImage(device);
    EXPECT_EQ(image.IdWords[0], 0x0FFF);
    EXPECT_EQ(image.IdWords[1], 0x0FFF);
    EXPECT_EQ(image.IdWords[2], 0x0005);
}

}  // namespace
}  // namespace velkaro
