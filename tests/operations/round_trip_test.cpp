// Every device of device.ini that the simulator models: a known image put into the chip is
// read back, verified, changed one bit at a time, and blank-checked.
#include <gtest/gtest.h>

#include <algorithm>

#include "operations/blank_check.h"
#include "operations/read_device.h"
#include "operations/verify_device.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

using test::SimBench;

// First program index where the image differs from the chip (under the blank word for the
// 6-bit family), or -1.
int32_t firstProgramDifference(SimBench& bench) {
    const DeviceDefinition& d = bench.device();
    const uint16_t mask = d.isExtendedFamily() ? 0xFFFF : d.BlankWord;
    for (int32_t i = 0; i < d.ProgSize; ++i) {
        if (bench.image().ProgMemory[i] != (bench.programWord(i) & mask))
            return i;
    }
    return -1;
}

int32_t firstDataDifference(SimBench& bench) {
    for (int32_t i = 0; i < bench.device().EpromSize; ++i) {
        if (bench.image().DataMemory[i] != bench.dataByte(i))
            return i;
    }
    return -1;
}

// Whether the reset-vector walk passes the configuration word (12-bit parts start there).
bool configOnWalk(const DeviceDefinition& d) {
    for (int32_t a = d.ResetVector; a != 0; a = (a + 1) & d.AdrMask) {
        if (a == d.ConfigBaseAdr)
            return true;
    }
    return false;
}

int idSlots(const DeviceDefinition& d) {
    return d.isExtendedFamily() ? std::min(d.IdCount, 8) : 4;
}

// A program index that is not the OSCCAL word.
int32_t someProgramIndex(const DeviceDefinition& d) {
    const int32_t i = d.ProgSize / 2 + 1;
    return i == d.OscCal ? i + 1 : i;
}

void expectImageMatchesChip(SimBench& bench) {
    const DeviceDefinition& d = bench.device();
    const MemoryImage& image = bench.image();
    EXPECT_EQ(firstProgramDifference(bench), -1);
    EXPECT_EQ(firstDataDifference(bench), -1);
    if (d.isExtendedFamily()) {
        for (int k = 0; k < idSlots(d); ++k)
            EXPECT_EQ(image.IdWords[k], bench.idWord(k) & 0xFF) << "ID " << k;
        for (int k = 0; k < d.ConfigCount; ++k)
            EXPECT_EQ(image.ConfigWords[k], bench.configWord(k)) << "config " << k;
    } else {
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(image.IdWords[k], bench.idWord(k) & 0xFF) << "ID " << k;
        for (int k = 0; k < d.ConfigCount; ++k)
            EXPECT_EQ(image.ConfigWords[k], bench.configWord(k) & d.ConfigMask[k])
                << "config " << k;
        if (d.OscCal != 0) {
            EXPECT_EQ(image.OscCalValue, bench.programWord(d.OscCal) & d.BlankWord);
        }
        if (d.BGMask != 0) {
            EXPECT_EQ(image.BGValue, bench.configWord(0) & d.BGMask);
        }
    }
}

class ChipRoundTrip : public testing::TestWithParam<std::string> {};

TEST_P(ChipRoundTrip, ReadBackVerifyAndSingleBitChanges) {
    const std::string& name = GetParam();
    SimBench bench;
    bench.load(name);
    bench.programmer().setCallLogEnabled(false);  // millions of calls, nobody reads them
    Workspace& workspace = bench.workspace();
    const DeviceDefinition& d = bench.device();
    bench.writePattern();

    const FlowOutcome read = runRead(workspace, bench.ui(), {true, true});
    EXPECT_EQ(read.close, WindowClose::Ok);
    EXPECT_EQ(read.result, kResultOk);
    expectImageMatchesChip(bench);
    EXPECT_FALSE(bench.programmer().targetPowered());

    EXPECT_EQ(verifyDevice(workspace, bench.ui(), true, true, true), kResultOk);

    const int32_t p = someProgramIndex(d);
    const uint16_t word = bench.programWord(p);
    bench.setProgramWord(p, word ^ 0x0001);
    EXPECT_EQ(verifyDevice(workspace, bench.ui(), true, true, true), kResultProgramError);
    EXPECT_EQ(verifyDevice(workspace, bench.ui(), false, true, true), kResultOk)
        << "program memory is not compared without the program flag";
    bench.setProgramWord(p, word);

    if (d.EpromSize > 0) {
        const uint8_t byte = bench.dataByte(d.EpromSize - 1);
        bench.setDataByte(d.EpromSize - 1, byte ^ 0x80);
        EXPECT_EQ(verifyDevice(workspace, bench.ui(), true, true, true), kResultDataError);
        EXPECT_EQ(verifyDevice(workspace, bench.ui(), true, false, true), kResultOk);
        bench.setDataByte(d.EpromSize - 1, byte);
    }

    const uint16_t id = bench.idWord(0);
    bench.setIdWord(0, id ^ 0x0001);
    EXPECT_EQ(verifyDevice(workspace, bench.ui(), true, true, true), kResultConfigError);
    EXPECT_EQ(verifyDevice(workspace, bench.ui(), true, true, false), kResultOk)
        << "IDs are compared only with the configuration flag";
    bench.setIdWord(0, id);
    if (!d.isExtendedFamily()) {
        // With IdCount 2 the chip's third and fourth ID words are not the device's.
        const int idCount = workspace.device.IdCount;
        workspace.device.IdCount = 2;
        bench.setIdWord(3, bench.idWord(3) ^ 0x0001);
        EXPECT_EQ(verifyDevice(workspace, bench.ui(), true, true, true), kResultOk);
        bench.setIdWord(1, bench.idWord(1) ^ 0x0001);
        EXPECT_EQ(verifyDevice(workspace, bench.ui(), true, true, true), kResultConfigError);
        bench.setIdWord(1, bench.idWord(1) ^ 0x0001);
        bench.setIdWord(3, bench.idWord(3) ^ 0x0001);
        workspace.device.IdCount = idCount;
    }

    if (d.ConfigCount > 0) {
        const uint16_t config = bench.configWord(0);
        const uint16_t lowest = d.ConfigMask[0] & static_cast<uint16_t>(-d.ConfigMask[0]);
        bench.setConfigWord(0, config ^ lowest);
        EXPECT_EQ(verifyDevice(workspace, bench.ui(), false, false, true), kResultConfigError);
        bench.setConfigWord(0, config);
    }
    EXPECT_EQ(verifyDevice(workspace, bench.ui(), true, true, true), kResultOk);
    EXPECT_FALSE(bench.programmer().targetPowered());
}

TEST_P(ChipRoundTrip, BlankCheckNamesTheFirstRegionThatIsWritten) {
    const std::string& name = GetParam();
    for (const int programmerType :
         {ProgrammerLink::kProgrammerPro, ProgrammerLink::kProgrammerJdm}) {
        SCOPED_TRACE(name + (programmerType == 0 ? " PRO" : " JDM"));
        SimBench bench;
        bench.load(name);
        bench.programmer().setCallLogEnabled(false);  // millions of calls, nobody reads them
        Workspace& workspace = bench.workspace();
        workspace.link->setHardwareType(programmerType);
        const DeviceDefinition& d = bench.device();
        if (test::vppRefused(d, programmerType)) {
            // No level of this programmer lies within the chip's VPP range.
            EXPECT_EQ(blankCheck(workspace, bench.ui(), true, true), kResultVppUnavailable);
            EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
            continue;
        }
        EXPECT_EQ(blankCheck(workspace, bench.ui(), true, true), kResultOk) << "fresh chip";

        // Keep the erased state of IDs and configuration to restore them one by one.
        std::vector<uint16_t> erasedIds, erasedConfig;
        for (int k = 0; k < idSlots(d); ++k)
            erasedIds.push_back(bench.idWord(k));
        for (int k = 0; k < d.ConfigCount; ++k)
            erasedConfig.push_back(bench.configWord(k));
        const uint16_t blank = d.isExtendedFamily() ? 0xFFFF : d.BlankWord;

        bench.writePattern();
        EXPECT_EQ(blankCheck(workspace, bench.ui(), true, true),
                  configOnWalk(d) ? kResultConfigError : kResultProgramError);

        for (int32_t i = 0; i < d.ProgSize; ++i) {
            if (!(i > 0 && i == d.OscCal))
                bench.setProgramWord(i, blank);
        }
        EXPECT_EQ(blankCheck(workspace, bench.ui(), true, true), kResultConfigError);
        EXPECT_EQ(blankCheck(workspace, bench.ui(), false, false), kResultOk);

        for (int k = 0; k < idSlots(d); ++k)
            bench.setIdWord(k, erasedIds[k]);
        for (int k = 0; k < d.ConfigCount; ++k)
            bench.setConfigWord(k, erasedConfig[k]);
        if (d.EpromSize > 0) {
            EXPECT_EQ(blankCheck(workspace, bench.ui(), true, true), kResultDataError);
            EXPECT_EQ(blankCheck(workspace, bench.ui(), true, false), kResultOk);
        } else {
            EXPECT_EQ(blankCheck(workspace, bench.ui(), true, true), kResultOk);
        }
        EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Modelled, ChipRoundTrip, testing::ValuesIn(SimBench::modelledDevices()),
                         test::deviceCaseName);

}  // namespace
}  // namespace velkaro
