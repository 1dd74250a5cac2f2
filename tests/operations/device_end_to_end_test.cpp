// Every device of device.ini programmed end to end on its strict simulated chip, through the
// same flows the windows run: erase, blank check, write a random image, read it back,
// verify, then the automatic sequence with blank check and verify over a second image. A
// device whose definition disagrees with its chip fails here with the chip's protocol notes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/workspace.h"
#include "catalogue/config_fields.h"
#include "catalogue/ini_number.h"
#include "operations/auto_program.h"
#include "operations/blank_check.h"
#include "operations/erase_window.h"
#include "operations/operation_messages.h"
#include "operations/read_device.h"
#include "operations/verify_device.h"
#include "operations/write_device.h"
#include "support/paths.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

using test::SimBench;

std::vector<std::string> listedDevices() {
    Workspace workspace(test::binDir());
    return workspace.catalogue.FillDeviceList();
}

// Code-protection and write-protection fields stay unprogrammed: a protected chip reads
// back zeros and no verify could pass.
bool isProtectionField(const std::string& label) {
    return label.rfind("CP", 0) == 0 || label.rfind("WRT", 0) == 0 || label.rfind("EBTR", 0) == 0;
}

// The ID bits a round trip keeps: a byte each on the 16-bit core, the digit a classic
// 14-bit ID location carries, the whole word on the enhanced core.
uint16_t idBits(const DeviceDefinition& d) {
    return d.isExtendedFamily() ? 0xFF : d.traits().idVerifyMask;
}

// A random image within the device's implemented bits: every program word and data byte,
// the ID words, and one named option chosen at random for every configuration field.
MemoryImage randomImage(const Workspace& ws, std::mt19937& random) {
    const DeviceDefinition& d = ws.device;
    MemoryImage image = ws.image;
    image.ClearImage(d, true, true);
    const uint16_t wordMask = d.isExtendedFamily() ? 0xFFFF : d.BlankWord;
    for (auto& word : image.ProgMemory)
        word = static_cast<uint16_t>(random() & wordMask);
    for (auto& byte : image.DataMemory)
        byte = static_cast<uint8_t>(random());
    const int ids = d.isExtendedFamily() ? d.IdCount : 4;
    for (int k = 0; k < ids; ++k)
        image.IdWords[k] = static_cast<uint16_t>(random() & idBits(d));
    for (int row = 0; row < ws.configFields.count(); ++row) {
        const ConfigField& field = ws.configFields.row(row);
        if (field.word < 1 || field.word > d.ConfigCount || field.optionValues.empty() ||
            isProtectionField(field.label))
            continue;
        const auto& value = field.optionValues[random() % field.optionValues.size()];
        uint16_t& config = image.ConfigWords[field.word - 1];
        config = applyConfigOption(config, field.mask, ParseIniNumber(value, 0));
    }
    return image;
}

// The chip holds `image`: program memory (the factory OSCCAL word as it was), IDs,
// configuration under the masks (the band-gap bits as the factory set them), data.
void expectChipHolds(SimBench& bench, const MemoryImage& image, uint16_t oscCal, uint16_t bg) {
    const DeviceDefinition& d = bench.device();
    const uint16_t wordMask = d.isExtendedFamily() ? 0xFFFF : d.BlankWord;
    int32_t firstDifference = -1;
    for (int32_t i = 0; i < d.ProgSize && firstDifference < 0; ++i) {
        const uint16_t expected = (d.OscCal > 0 && i == d.OscCal) ? oscCal : image.ProgMemory[i];
        if ((bench.programWord(i) & wordMask) != expected)
            firstDifference = i;
    }
    EXPECT_EQ(firstDifference, -1) << "first program word that differs";
    const int ids = d.isExtendedFamily() ? d.IdCount : 4;
    for (int k = 0; k < ids; ++k)
        EXPECT_EQ(bench.idWord(k) & idBits(d), image.IdWords[k]) << "ID " << k;
    for (int k = 0; k < d.ConfigCount; ++k)
        EXPECT_EQ(bench.configWord(k) & d.ConfigMask[k], image.ConfigWords[k] & d.ConfigMask[k])
            << "configuration word " << k + 1;
    if (d.BGMask != 0) {
        EXPECT_EQ(bench.configWord(0) & d.BGMask, bg) << "band-gap bits";
    }
    int32_t firstDataDifference = -1;
    for (int32_t i = 0; i < d.EpromSize && firstDataDifference < 0; ++i) {
        if (bench.dataByte(i) != image.DataMemory[i])
            firstDataDifference = i;
    }
    EXPECT_EQ(firstDataDifference, -1) << "first data byte that differs";
}

class DeviceEndToEnd : public testing::TestWithParam<std::string> {};

TEST_P(DeviceEndToEnd, EraseBlankCheckWriteReadVerifyAndAutomaticSequence) {
    const std::string& name = GetParam();
    SimBench bench;
    bench.load(name);
    ASSERT_NE(bench.programmer().chip(), nullptr) << "no chip model for a listed device";
    bench.programmer().setCallLogEnabled(false);
    Workspace& ws = bench.workspace();
    const DeviceDefinition& d = ws.device;
    const bool data = d.EpromSize > 0;
    std::mt19937 random(static_cast<uint32_t>(std::hash<std::string>{}(name)));
    const uint16_t factoryOscCal =
        d.OscCal > 0 ? static_cast<uint16_t>(bench.programWord(d.OscCal) & d.BlankWord) : 0;
    const uint16_t factoryBg = d.BGMask != 0 ? (bench.configWord(0) & d.BGMask) : 0;

    // Something on the chip first, so that the erase has work to do.
    bench.writePattern();
    FlowOutcome erased = runErase(ws, bench.ui(), {true, data, false, true, true});
    ASSERT_EQ(erased.result, kResultOk);
    ASSERT_EQ(blankCheck(ws, bench.ui(), true, data), kResultOk);

    const MemoryImage first = randomImage(ws, random);
    ws.image = first;
    ASSERT_EQ(runWrite(ws, bench.ui(), {true, data, true, true}).result, kResultOk);
    expectChipHolds(bench, first, factoryOscCal, factoryBg);

    ws.image.ClearImage(d, true, true);
    ASSERT_EQ(runRead(ws, bench.ui(), {true, data}).result, kResultOk);
    for (int32_t i = 0; i < d.ProgSize; ++i) {
        if (!(d.OscCal > 0 && i == d.OscCal)) {
            ASSERT_EQ(ws.image.ProgMemory[i], first.ProgMemory[i]) << "read back, word " << i;
        }
    }
    EXPECT_EQ(ws.image.DataMemory, first.DataMemory) << "read back, data";
    EXPECT_EQ(verifyDevice(ws, bench.ui(), true, data, true), kResultOk);

    const MemoryImage second = randomImage(ws, random);
    ws.image = second;
    const FlowOutcome automatic =
        runAutoProgram(ws, bench.ui(), {true, data, true, true, true, true}, "Program");
    EXPECT_EQ(automatic.close, WindowClose::Ok);
    EXPECT_EQ(automatic.result, kResultOk);
    expectChipHolds(bench, second, factoryOscCal, factoryBg);
    // A random configuration may select the internal oscillator with MCLR off, which is
    // asked about on a VDD-first device; the device-ID check never asks.
    for (const std::string& question : bench.ui().okCancelQuestions())
        EXPECT_EQ(question, msg::kLockOutQuestion) << "the device-ID check asked";
}

INSTANTIATE_TEST_SUITE_P(ShippedDevices, DeviceEndToEnd, testing::ValuesIn(listedDevices()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

}  // namespace
}  // namespace velkaro
