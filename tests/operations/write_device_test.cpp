// Writing 12/14-bit core chips end to end on the simulated chips: every modelled device
// written and read back, and the rules of the write loop seen in the call log.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "operations/read_device.h"
#include "operations/verify_device.h"
#include "operations/write_device.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

using test::SimBench;

std::vector<std::string> modelledMidrangeDevices() {
    std::vector<std::string> names;
    for (const std::string& name : SimBench::modelledDevices()) {
        SimBench bench;
        bench.load(name);
        if (!bench.device().isExtendedFamily())
            names.push_back(name);
    }
    return names;
}

// An image unlike the simulator's own pattern: every program word, the four IDs and the
// data bytes hold address-dependent values; the first configuration word loses its lowest
// implemented bit (an oscillator bit, never a protection bit). OSCCAL and BG are the chip's
// factory values, as the write window puts them when it keeps them.
void fillImage(SimBench& bench) {
    const DeviceDefinition& d = bench.device();
    MemoryImage& image = bench.image();
    for (int32_t i = 0; i < d.ProgSize; ++i)
        image.ProgMemory[i] = static_cast<uint16_t>((i * 0x0345 + 0x0789) & d.BlankWord);
    for (int k = 0; k < 4; ++k)
        image.IdWords[k] = static_cast<uint16_t>(0x0A + k * 0x21) & 0xFF;
    for (int32_t i = 0; i < d.EpromSize; ++i)
        image.DataMemory[i] = static_cast<uint8_t>(0xA5 ^ (i * 13));
    const uint16_t lowest = d.ConfigMask[0] & static_cast<uint16_t>(-d.ConfigMask[0]);
    image.ConfigWords[0] = static_cast<uint16_t>(image.ConfigWords[0] & ~lowest);
    if (d.OscCal != 0) {
        image.OscCalValue = bench.programWord(d.OscCal) & d.BlankWord;
        image.ProgMemory[d.OscCal] = image.OscCalValue;
    }
    image.BGValue = bench.configWord(0) & d.BGMask;
}

// The chip's contents against `expected`, directly (not through the program's own read).
void expectChipHolds(SimBench& bench, const MemoryImage& expected) {
    const DeviceDefinition& d = bench.device();
    int32_t firstBad = -1;
    for (int32_t i = 0; i < d.ProgSize && firstBad < 0; ++i) {
        if ((bench.programWord(i) & d.BlankWord) != expected.ProgMemory[i])
            firstBad = i;
    }
    EXPECT_EQ(firstBad, -1) << "first program word that differs";
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(bench.idWord(k) & 0xFF, expected.IdWords[k]) << "ID " << k;
    for (int k = 0; k < d.ConfigCount; ++k) {
        EXPECT_EQ(bench.configWord(k) & d.ConfigMask[k], expected.ConfigWords[k] & d.ConfigMask[k])
            << "configuration word " << k;
    }
    if (d.BGMask != 0) {
        EXPECT_EQ(bench.configWord(0) & d.BGMask, expected.BGValue) << "BG bits";
    }
    int32_t firstBadByte = -1;
    for (int32_t i = 0; i < d.EpromSize && firstBadByte < 0; ++i) {
        if (bench.dataByte(i) != expected.DataMemory[i])
            firstBadByte = i;
    }
    EXPECT_EQ(firstBadByte, -1) << "first data byte that differs";
}

// Reads the chip back through the program and checks that it finds `expected` there.
void expectReadBackMatches(SimBench& bench, const MemoryImage& expected) {
    const DeviceDefinition& d = bench.device();
    ASSERT_EQ(readDevice(bench.workspace(), bench.ui(), true, true).code, kResultOk);
    const MemoryImage& read = bench.image();
    EXPECT_TRUE(read.ProgMemory == expected.ProgMemory);
    EXPECT_TRUE(read.DataMemory == expected.DataMemory);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(read.IdWords[k], expected.IdWords[k]) << "ID " << k;
    for (int k = 0; k < d.ConfigCount; ++k)
        EXPECT_EQ(read.ConfigWords[k], expected.ConfigWords[k] & d.ConfigMask[k]);
    EXPECT_EQ(read.OscCalValue, expected.OscCalValue);
    EXPECT_EQ(read.BGValue, expected.BGValue);
    EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), true, true, true), kResultOk);
}

TEST(WriteDevice, EveryModelledMidrangeDeviceWritesAFreshChipCompletely) {
    const std::vector<std::string> devices = modelledMidrangeDevices();
    ASSERT_GE(devices.size(), 60u);
    for (const std::string& name : devices) {
        SCOPED_TRACE(name);
        SimBench bench;
        bench.load(name);
        bench.programmer().setCallLogEnabled(false);
        fillImage(bench);
        const MemoryImage expected = bench.image();
        EXPECT_EQ(WriteDevice(bench.workspace(), bench.ui(), true, true, true), kResultOk);
        EXPECT_FALSE(bench.programmer().targetPowered());
        expectChipHolds(bench, expected);
        expectReadBackMatches(bench, expected);
    }
}

TEST(WriteDevice, SixteenBitCoreDevicesAreRefusedWithoutTouchingTheChip) {
    SimBench bench;
    bench.load("PIC18F452");
    EXPECT_EQ(WriteDevice(bench.workspace(), bench.ui(), true, true, true), kResultHardwareError);
    EXPECT_EQ(bench.ui().messages().size(), 1u);
    EXPECT_TRUE(bench.programmer().callLog().empty());
}

}  // namespace
}  // namespace velkaro
