// The erase steps on every 12/14-bit device of device.ini that the simulator models:
// whatever the chip held, protected or not, it ends blank as the chip itself sees it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "operations/erase_device.h"
#include "operations/midrange/bulk_erase.h"
#include "operations/midrange/osccal_word.h"
#include "operations/midrange/write_word.h"
#include "sim/midrange/midrange_chip.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

using test::SimBench;

std::vector<std::string> sixBitDevices() {
    std::vector<std::string> names;
    for (const std::string& name : SimBench::modelledDevices()) {
        if (sim::findMidrangeDevice(name))
            names.push_back(name);
    }
    return names;
}

// Sets the chip's code- and data-protection bits, as a protected part leaves the factory
// line of its user.
void protect(SimBench& bench) {
    const sim::MidrangeDevice& m = *sim::findMidrangeDevice(bench.device().DeviceName);
    bench.setConfigWord(0, bench.configWord(0) & ~(m.cpMask | m.cpdMask));
}

// The first location that is not erased, as text, or "" when the chip is blank.
std::string firstNotBlank(SimBench& bench, bool program, bool data) {
    const DeviceDefinition& d = bench.device();
    if (program) {
        for (int32_t i = 0; i < d.ProgSize; ++i)
            if (bench.programWord(i) != d.BlankWord)
                return "program word " + std::to_string(i);
        for (int k = 0; k < 4; ++k)
            if (bench.idWord(k) != d.BlankWord)
                return "ID " + std::to_string(k);
        for (int k = 0; k < d.ConfigCount; ++k)
            if ((bench.configWord(k) & d.ConfigMask[k]) != d.ConfigMask[k])
                return "configuration word " + std::to_string(k);
    }
    if (data) {
        for (int32_t i = 0; i < d.EpromSize; ++i)
            if (bench.dataByte(i) != 0xFF)
                return "data byte " + std::to_string(i);
    }
    return "";
}

TEST(EraseDevice, EveryScopeLeavesItsRegionsBlankOnEveryDeviceProtectedOrNot) {
    const std::vector<std::string> devices = sixBitDevices();
    ASSERT_FALSE(devices.empty());
    for (const std::string& name : devices) {
        for (const bool isProtected : {false, true}) {
            SCOPED_TRACE(name + (isProtected ? " protected" : ""));
            SimBench bench;
            bench.load(name);
            const DeviceDefinition& d = bench.device();
            auto fill = [&] {
                bench.writePattern();
                if (isProtected)
                    protect(bench);
            };
            fill();
            EXPECT_TRUE(eraseDevice(bench.workspace(), bench.ui(), EraseScope::All));
            EXPECT_EQ(firstNotBlank(bench, true, true), "");

            fill();
            EXPECT_TRUE(eraseDevice(bench.workspace(), bench.ui(), EraseScope::ProgramOnly));
            EXPECT_EQ(firstNotBlank(bench, true, false), "");
            if (d.EpromSize == 0)
                continue;
            // Data memory alone, with the protection that only a program erase clears gone.
            bench.writePattern();
            EXPECT_TRUE(eraseDevice(bench.workspace(), bench.ui(), EraseScope::DataOnly));
            EXPECT_EQ(firstNotBlank(bench, false, true), "");
            EXPECT_NE(firstNotBlank(bench, true, false), "") << "program memory stays";
        }
    }
}

TEST(EraseDevice, NothingIsSentForDevicesThatNeedOrHaveNoErase) {
    SimBench bench;
    bench.load("PIC16F84A");
    DeviceDefinition& d = bench.workspace().device;
    d.FlashType = false;
    EXPECT_TRUE(eraseDevice(bench.workspace(), bench.ui(), EraseScope::All));
    EXPECT_TRUE(bulkEraseProgram(bench.workspace(), bench.ui(), true));
    d.FlashType = true;
    d.CmdSet &= ~0x00A0;  // neither bulk nor chip erase
    d.ExtFlag1 = 0;
    EXPECT_FALSE(eraseDevice(bench.workspace(), bench.ui(), EraseScope::ProgramOnly));
    d.OscCal = 0;
    EXPECT_FALSE(writeOscCalWord(bench.workspace(), bench.ui(), 0x3400));
    d.EpromSize = 0;
    EXPECT_TRUE(bulkEraseData(bench.workspace(), bench.ui()));
    EXPECT_TRUE(bench.programmer().callLog().empty());
}

TEST(EraseDevice, CodeProtectionClearNeedsTheConfigurationWordOnItsWalk) {
    SimBench bench;
    bench.load("PIC16F84A");
    bench.workspace().device.ConfigBaseAdr = 0x1000;  // below the ID locations
    EXPECT_FALSE(clearCodeProtection(bench.workspace(), bench.ui()));
    EXPECT_FALSE(bulkEraseProgram(bench.workspace(), bench.ui(), true));
    EXPECT_FALSE(bench.programmer().targetPowered());
}

TEST(EraseDevice, StepsReportALinkThatWillNotOpen) {
    SimBench bench;
    bench.load("PIC16F877A");
    bench.programmer().setAvailablePorts({});
    EXPECT_FALSE(eraseDevice(bench.workspace(), bench.ui(), EraseScope::All));
    EXPECT_FALSE(bulkEraseData(bench.workspace(), bench.ui()));
    EXPECT_TRUE(bench.ui().messages().empty()) << "the steps open the link silently";
}

// WriteWordVerified: a word that never reads back is tried RetryCnt + 1 times; one that
// does gets ProgCnt - 1 more cycles.
TEST(WriteWordVerified, RetriesAndExtraPassesAsTheCallLogShows) {
    SimBench bench;
    bench.load("PIC16F84A");
    DeviceDefinition& d = bench.workspace().device;
    ProgrammerLink& link = *bench.workspace().link;
    auto cycles = [&] {
        int n = 0;
        for (const auto& c : bench.programmer().callLog())
            n += c.name == "SWriteBit" && c.args == std::vector<int32_t>{8, 6};
        return n;
    };

    d.RetryCnt = 2;
    d.ProgCnt = 3;
    bench.chip().setStuckBits(0, 0x0001, 0x0000);
    ASSERT_TRUE(link.OpenLink(false, false));
    bench.programmer().clearCallLog();
    EXPECT_FALSE(WriteWordVerified(bench.workspace(), 0x3FFF, false, false));
    EXPECT_EQ(cycles(), 3) << "RetryCnt + 1 attempts, no extra passes after a failure";
    bench.programmer().clearCallLog();
    link.SendCommand(6);
    EXPECT_TRUE(WriteWordVerified(bench.workspace(), 0x1234, false, false));
    EXPECT_EQ(cycles(), 3) << "one attempt and ProgCnt - 1 passes";
    link.CloseLink();
    EXPECT_EQ(bench.programWord(1), 0x1234);

    d.ProgramRead = false;
    ASSERT_TRUE(link.OpenLink(false, false));
    bench.programmer().clearCallLog();
    EXPECT_TRUE(WriteWordVerified(bench.workspace(), 0x3FFF, false, false))
        << "without read-back every word counts as written";
    EXPECT_EQ(cycles(), 3);
    link.CloseLink();
}

}  // namespace
}  // namespace velkaro
