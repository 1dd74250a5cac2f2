// The shipped device.ini against the simulator's own chip table: both are written from the
// devices' programming documents, so every disagreement is a wrong value on one side, and a
// wait shorter than the chip's minimum time leaves cells half programmed.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "catalogue/device_catalogue.h"
#include "sim/chip_families.h"
#include "sim/midrange/midrange_chip.h"
#include "sim/pic18/pic18_chip.h"
#include "support/paths.h"

namespace velkaro {
namespace {

bool hasCode(const sim::MidrangeProtocol& protocol, unsigned code) {
    return (protocol.commands >> code) & 1u;
}

uint32_t us(int32_t milliseconds) {
    return static_cast<uint32_t>(milliseconds) * 1000u;
}

DeviceDefinition loadShipped(const std::string& name) {
    DeviceCatalogue catalogue(test::sourceDir() + "/data");
    SilentMessageSink sink;
    ConfigFieldTable fields;
    DeviceDefinition device;
    catalogue.LoadSection(name, device, fields, sink);
    return device;
}

void expectMidrangeAgrees(const DeviceDefinition& d, const sim::MidrangeDevice& chip) {
    const sim::MidrangeProtocol& p = *chip.protocol;
    EXPECT_EQ(d.BitWidth, chip.wordBits);
    EXPECT_EQ(d.ProgSize, chip.progWords);
    EXPECT_EQ(d.EpromSize, chip.dataBytes);
    EXPECT_EQ(d.ConfigMask[0], chip.configMask[0]);
    EXPECT_EQ(d.ConfigCount, chip.configMask[1] != 0 ? 2 : 1);
    if (chip.configMask[1] != 0) {
        EXPECT_EQ(d.ConfigMask[1], chip.configMask[1]);
    }
    EXPECT_EQ(d.DeviceID, chip.deviceId & d.DeviceIDMask);
    EXPECT_EQ(d.OscCal, chip.osccalAddr);
    EXPECT_EQ(d.BGMask, chip.bgMask);
    EXPECT_EQ(d.LoadCnt, chip.latchWords);
    EXPECT_EQ(d.EndProgCmd, p.endCode);
    // A chip that may be running its program at power-up is entered with VPP first.
    if (p.intOscFieldMask != 0) {
        EXPECT_EQ(d.PowerOnSequence, 1);
    }

    // Every command the definition lets the algorithms send exists on the chip.
    EXPECT_EQ(d.hasLoadConfig(), hasCode(p, 0x00));
    if (d.hasBeginProgram()) {
        EXPECT_TRUE(hasCode(p, 0x08));
    }
    if (d.hasBulkEraseProgram()) {
        EXPECT_TRUE(hasCode(p, 0x09));
    }
    if (d.CmdSet & 0x0040) {
        EXPECT_TRUE(hasCode(p, 0x0B));
    }
    if (d.hasChipErase()) {
        EXPECT_TRUE(hasCode(p, 0x1F));
    }
    if (d.ExtFlag1 & 3) {
        EXPECT_TRUE(hasCode(p, 0x01) && hasCode(p, 0x07));
    }
    if (d.ProgOnlyCmd != 0) {
        EXPECT_TRUE(d.ProgOnlyCmd == 0x08 || d.ProgOnlyCmd == p.progOnlyCode);
    }

    // Waits: program memory.
    const bool programOnlyIs08 = d.ProgOnlyCmd == 0x08;
    if (d.ProgOnlyCmd != 0) {
        EXPECT_GE(us(d.ProgOnlyCycle), programOnlyIs08 ? p.beginTimeUs : p.progOnlyTimeUs);
    }
    if (p.beginCycle != sim::CycleKind::None && (d.ProgOnlyCmd == 0 || d.hasBeginProgram())) {
        EXPECT_GE(us(d.EraseProgCycle), p.beginTimeUs);
    }
    // Data memory: every programming cycle there takes the EEPROM write time, whichever
    // command started it.
    if (d.EpromSize > 0) {
        EXPECT_GE(us(d.DataEraseProgCycle), p.dataWriteTimeUs);
        if (d.ProgOnlyCmd != 0) {
            EXPECT_GE(us(d.DataProgOnlyCycle), p.dataWriteTimeUs);
        }
    }
    // Erases.
    if ((d.hasBulkEraseProgram() || (d.CmdSet & 0x0040)) && p.bulkEraseTimeUs > 0) {
        EXPECT_GE(us(d.BulkEraseCycle), p.bulkEraseTimeUs);
    }
    if (d.ExtFlag1 & 3) {
        EXPECT_GE(us(d.BulkEraseCycle), p.setupEraseTimeUs);
    }
    if (d.FlashType && d.hasLoadConfig() && hasCode(p, 0x01) && hasCode(p, 0x07)) {
        // The code-protection clear waits EraseProgCycle after its 01-07-08 sequence.
        EXPECT_GE(us(d.EraseProgCycle), p.setupEraseTimeUs);
    }
    if (d.hasChipErase()) {
        EXPECT_GE(us(d.ChipEraseCycle), p.chipEraseTimeUs);
    }
}

void expectPic18Agrees(const DeviceDefinition& d, const sim::Pic18Chip& chip) {
    const sim::Pic18Model& m = chip.model();
    EXPECT_EQ(d.Algorithm, m.family == sim::Pic18Family::Fxx2 ? 1 : 2);
    EXPECT_EQ(d.BitWidth, 16);
    EXPECT_EQ(static_cast<uint32_t>(d.ProgSize), m.programWords);
    EXPECT_EQ(static_cast<uint32_t>(d.EpromSize), m.eepromBytes);
    EXPECT_EQ(static_cast<uint32_t>(d.LoadCnt) * 2, m.writeBufferBytes);
    EXPECT_EQ(static_cast<uint32_t>(d.PanelSize), m.blockWords);
    EXPECT_EQ(d.DeviceID, m.deviceId & d.DeviceIDMask);
    EXPECT_EQ(d.ConfigCount, 7);
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(d.ConfigMask[k], m.configMasks[k]) << "ConfigMask" << k + 1;
        EXPECT_EQ(d.ConfigValue[k], m.configBlank[k]) << "ConfigValue" << k + 1;
    }
    const sim::Pic18Timing& t = chip.timing();
    EXPECT_GE(us(d.ProgOnlyCycle), t.programHoldUs);
    EXPECT_GE(us(d.ChipEraseCycle), t.eraseUs);
}

TEST(ShippedDevicesVsModels, EveryModelledMidrangeDeviceAgreesWithItsChip) {
    int checked = 0;
    for (const sim::MidrangeDevice& chip : sim::midrangeDevices()) {
        SCOPED_TRACE(chip.name);
        expectMidrangeAgrees(loadShipped(chip.name), chip);
        ++checked;
    }
    EXPECT_GE(checked, 60);
}

TEST(ShippedDevicesVsModels, EveryModelledPic18AgreesWithItsChip) {
    int checked = 0;
    for (const std::string& name : sim::pic18ChipNames()) {
        SCOPED_TRACE(name);
        const auto chip = sim::makePic18Chip(name);
        ASSERT_NE(chip, nullptr);
        expectPic18Agrees(loadShipped(name), static_cast<const sim::Pic18Chip&>(*chip));
        ++checked;
    }
    EXPECT_GE(checked, 20);
}

}  // namespace
}  // namespace velkaro
