// The enhanced 14-bit core's own erase and write on its simulated chips: what each erase
// scope takes (protection included), rows written only where the image has content, and
// the configuration words written after the content they protect.
#include <gtest/gtest.h>

#include <string>

#include "operations/enhanced/enhanced_steps.h"
#include "operations/erase_device.h"
#include "operations/verify_device.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

using test::SimBench;

// CP and CPD in configuration word 1 (cleared to protect).
constexpr uint16_t kCp = 0x0080;
constexpr uint16_t kCpd = 0x0100;

bool programBlank(SimBench& bench) {
    const DeviceDefinition& d = bench.device();
    for (int32_t i = 0; i < d.ProgSize; ++i) {
        if (bench.programWord(i) != d.BlankWord)
            return false;
    }
    for (int k = 0; k < 4; ++k) {
        if (bench.idWord(k) != d.BlankWord)
            return false;
    }
    for (int k = 0; k < d.ConfigCount; ++k) {
        if ((bench.configWord(k) & d.ConfigMask[k]) != d.ConfigMask[k])
            return false;
    }
    return true;
}

bool dataBlank(SimBench& bench) {
    for (int32_t i = 0; i < bench.device().EpromSize; ++i) {
        if (bench.dataByte(i) != 0xFF)
            return false;
    }
    return true;
}

class EnhancedSteps : public testing::TestWithParam<std::string> {};

TEST_P(EnhancedSteps, EachEraseScopeTakesItsRegionsAndLeavesTheOthers) {
    for (const EraseScope scope :
         {EraseScope::All, EraseScope::ProgramOnly, EraseScope::DataOnly}) {
        SCOPED_TRACE(static_cast<int>(scope));
        SimBench bench;
        bench.load(GetParam());
        bench.writePattern();
        const bool hasData = bench.device().EpromSize > 0;
        ASSERT_TRUE(eraseDevice(bench.workspace(), bench.ui(), scope));
        EXPECT_EQ(programBlank(bench), scope != EraseScope::DataOnly);
        if (hasData) {
            EXPECT_EQ(dataBlank(bench), scope != EraseScope::ProgramOnly);
        }
        EXPECT_FALSE(bench.programmer().targetPowered());
    }
}

TEST_P(EnhancedSteps, ProgramEraseFromTheConfigurationSpaceLiftsProtection) {
    SimBench bench;
    bench.load(GetParam());
    bench.writePattern();
    const DeviceDefinition& d = bench.device();
    bench.setConfigWord(0, bench.configWord(0) & ~(kCp | (d.EpromSize > 0 ? kCpd : 0)));
    ASSERT_TRUE(eraseDevice(bench.workspace(), bench.ui(), EraseScope::ProgramOnly));
    EXPECT_TRUE(programBlank(bench));
    // Under protection the erase takes data memory too.
    EXPECT_TRUE(dataBlank(bench));
    // Readable again: an image of ones verifies.
    bench.image().ClearImage(d, true, true);
    EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), true, true, false), kResultOk);
}

TEST_P(EnhancedSteps, WriteProgramsTheRowsWithContentAndLeavesTheOthersErased) {
    SimBench bench;
    bench.load(GetParam());
    Workspace& ws = bench.workspace();
    const DeviceDefinition& d = bench.device();
    ws.image.ClearImage(d, true, true);
    // The first word of memory, the last word of the second row (the one that starts its
    // cycle), a word inside a later row and the last word of memory.
    const int32_t words[] = {0, 2 * d.LoadCnt - 1, 5 * d.LoadCnt + 1, d.ProgSize - 1};
    for (const int32_t i : words)
        ws.image.ProgMemory[i] = static_cast<uint16_t>(0x1234 + i) & d.BlankWord;
    ws.image.IdWords[2] = 0x125A;  // a whole 14-bit ID word
    if (d.EpromSize > 0)
        ws.image.DataMemory[3] = 0x42;
    ASSERT_TRUE(eraseDevice(ws, bench.ui(), EraseScope::All));
    ASSERT_EQ(writeEnhanced(ws, bench.ui(), true, true, true, true), kResultOk);

    for (int32_t i = 0; i < d.ProgSize; ++i)
        ASSERT_EQ(bench.programWord(i), ws.image.ProgMemory[i]) << "program word " << i;
    EXPECT_EQ(bench.idWord(2), 0x125A);
    EXPECT_EQ(bench.idWord(1), d.BlankWord);
    if (d.EpromSize > 0) {
        EXPECT_EQ(bench.dataByte(3), 0x42);
        EXPECT_EQ(bench.dataByte(4), 0xFF);
    }
}

TEST_P(EnhancedSteps, ProtectingConfigurationIsWrittenAfterTheContentItProtects) {
    SimBench bench;
    bench.load(GetParam());
    Workspace& ws = bench.workspace();
    const DeviceDefinition& d = bench.device();
    ws.image.ClearImage(d, true, true);
    for (int32_t i = 0; i < d.ProgSize; i += 7)
        ws.image.ProgMemory[i] = static_cast<uint16_t>(i * 3) & d.BlankWord;
    ws.image.ConfigWords[0] = static_cast<uint16_t>(d.ConfigMask[0] & ~kCp);
    ASSERT_TRUE(eraseDevice(ws, bench.ui(), EraseScope::All));
    ASSERT_EQ(writeEnhanced(ws, bench.ui(), true, false, true, true), kResultOk);
    for (int32_t i = 0; i < d.ProgSize; ++i)
        ASSERT_EQ(bench.programWord(i), ws.image.ProgMemory[i]) << "program word " << i;
    EXPECT_EQ(bench.configWord(0) & kCp, 0);
}

// One per latch size and per document's timing, with and without data memory.
INSTANTIATE_TEST_SUITE_P(Enhanced, EnhancedSteps,
                         testing::Values("PIC16F1827", "PIC12F1822", "PIC16F1847", "PIC16F1454"),
                         test::deviceCaseName);

}  // namespace
}  // namespace velkaro
