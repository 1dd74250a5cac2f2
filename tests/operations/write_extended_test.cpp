// Writing and erasing 16-bit core chips end to end on the strict simulated PIC18s: every
// modelled device written over old data and read back, the configuration write order under
// protection, the panel erase codes, and the data write without polling.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "link/link_messages.h"
#include "operations/blank_check.h"
#include "operations/erase_device.h"
#include "operations/erase_window.h"
#include "operations/operation_messages.h"
#include "operations/pic18/panel_erase.h"
#include "operations/pic18/write_extended.h"
#include "operations/read_device.h"
#include "operations/verify_device.h"
#include "operations/write_device.h"
#include "support/paths.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

using test::SimBench;

std::vector<std::string> modelledExtendedDevices() {
    return SimBench::modelledDevices(
        [](const DeviceDefinition& d) { return d.isExtendedFamily(); });
}

// Configuration words that read back as written: a few oscillator/option bits cleared in
// CONFIG1-CONFIG4, the protection words left unprogrammed.
void setPlainConfig(MemoryImage& image, const DeviceDefinition& d) {
    for (int k = 0; k < d.ConfigCount; ++k) {
        image.ConfigWords[k] = static_cast<uint16_t>(d.ConfigValue[k]);
        if (k < 4)
            image.ConfigWords[k] &= 0xFEFE;
    }
}

// An image unlike the bench's pattern, with blank stretches so that blocks are skipped:
// program words 0x100-0x17F and the second half of every panel but the last stay blank.
void fillImage(SimBench& bench) {
    const DeviceDefinition& d = bench.device();
    MemoryImage& image = bench.image();
    for (int32_t i = 0; i < d.ProgSize; ++i) {
        const bool gap = (i >= 0x100 && i < 0x180) ||
                         (i % d.PanelSize >= d.PanelSize / 2 && i < d.ProgSize - d.PanelSize);
        image.ProgMemory[i] = gap ? 0xFFFF : static_cast<uint16_t>(i * 0x2345 + 0x6789);
    }
    for (int k = 0; k < 8; ++k)
        image.IdWords[k] = static_cast<uint16_t>(0x11 * (k + 1));
    for (int32_t i = 0; i < d.EpromSize; ++i)
        image.DataMemory[i] = static_cast<uint8_t>(0x5A ^ (i * 7) ^ (i >> 8));
    setPlainConfig(image, d);
}

// A fresh chip of `name` in the socket and the image of fillImage in the buffer.
void loadFilled(SimBench& bench, const char* name) {
    bench.load(name);
    bench.programmer().setCallLogEnabled(false);
    fillImage(bench);
}

// The program's own read finds `expected`, and its verify agrees.
void expectReadBackMatches(SimBench& bench, const MemoryImage& expected) {
    const DeviceDefinition& d = bench.device();
    ASSERT_EQ(readDevice(bench.workspace(), bench.ui(), true, true).code, kResultOk);
    const MemoryImage& read = bench.image();
    int32_t firstBad = -1;
    for (int32_t i = 0; i < d.ProgSize && firstBad < 0; ++i)
        firstBad = read.ProgMemory[i] != expected.ProgMemory[i] ? i : -1;
    EXPECT_EQ(firstBad, -1) << "first program word that differs";
    EXPECT_TRUE(read.DataMemory == expected.DataMemory);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(read.IdWords[k], expected.IdWords[k]) << "ID " << k;
    for (int k = 0; k < d.ConfigCount; ++k)
        EXPECT_EQ(read.ConfigWords[k] & d.ConfigMask[k], expected.ConfigWords[k] & d.ConfigMask[k])
            << "configuration word " << k;
    EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), true, true, true), kResultOk);
}

// The write window on every modelled PIC18 over a chip full of other data: erase, write,
// read back, verify. The FXX2 parts also in multi-panel mode (all panels in one pulse).
class WriteExtendedDevice : public testing::TestWithParam<std::string> {};

TEST_P(WriteExtendedDevice, IsErasedWrittenAndReadBack) {
    const std::string& name = GetParam();
    for (const bool multiPanel : {false, true}) {
        SimBench bench;
        bench.load(name);
        if (multiPanel && bench.device().Algorithm != 1)
            continue;
        SCOPED_TRACE(name + (multiPanel ? " multi-panel" : ""));
        bench.workspace().device.MultiPanel = multiPanel;
        bench.programmer().setCallLogEnabled(false);
        bench.writePattern();
        fillImage(bench);
        const MemoryImage expected = bench.image();
        const FlowOutcome outcome =
            runWrite(bench.workspace(), bench.ui(), {true, true, true, false});
        EXPECT_EQ(outcome.close, WindowClose::Ok);
        EXPECT_EQ(outcome.result, kResultOk);
        EXPECT_TRUE(bench.ui().messages().empty());
        EXPECT_FALSE(bench.programmer().targetPowered());
        expectReadBackMatches(bench, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Modelled, WriteExtendedDevice,
                         testing::ValuesIn(modelledExtendedDevices()), test::deviceCaseName);

TEST(WriteExtended, FortyOrMorePic18PartsAreModelled) {
    EXPECT_GE(modelledExtendedDevices().size(), 40u);
}

// Program memory without data memory: the panel erase leaves the user IDs, so IDs written
// before can only lose bits. The write must not call that a success, nor protect the chip
// over them.
TEST(WriteExtended, IdsTheEraseDidNotReachAreReportedNotClaimedWritten) {
    constexpr int kCpWord = 4;  // CONFIG5L/H: CP0..CP3
    for (const char* name : {"PIC18F452", "PIC18F4520"}) {
        for (const bool protecting : {false, true}) {
            SCOPED_TRACE(std::string(name) + (protecting ? " protecting" : ""));
            SimBench bench;
            bench.load(name);
            fillImage(bench);
            if (protecting)
                bench.image().ConfigWords[kCpWord] &= static_cast<uint16_t>(~0x000F);
            for (int k = 0; k < 8; ++k)
                bench.setIdWord(k, 0x00);
            const FlowOutcome outcome =
                runWrite(bench.workspace(), bench.ui(), {true, false, true, false});
            EXPECT_EQ(outcome.result, kResultConfigError);
            EXPECT_FALSE(bench.programmer().targetPowered());
            if (protecting) {
                EXPECT_EQ(bench.configWord(kCpWord) & 0x000F, 0x000F) << "left unprotected";
            }

            for (int k = 0; k < 8; ++k)
                bench.setIdWord(k, 0xFF);
            EXPECT_EQ(runWrite(bench.workspace(), bench.ui(), {true, false, true, false}).result,
                      kResultOk);
            EXPECT_EQ(bench.idWord(7), 0x88);
        }
    }
}

// A chip whose configuration was write-protected (WRTC) before refuses every configuration
// byte, and a write of program memory alone does not erase the configuration: the write
// reads it back and says why it failed. With data memory the erase takes the configuration.
TEST(WriteExtended, ConfigurationTheChipRefusesIsAnErrorThatSaysWhy) {
    for (const char* name : {"PIC18F452", "PIC18F4520"}) {
        SCOPED_TRACE(name);
        SimBench bench;
        loadFilled(bench, name);
        const DeviceDefinition& d = bench.device();
        bench.setConfigWord(5, static_cast<uint16_t>(bench.configWord(5) & ~0x2000));
        const uint16_t before = bench.configWord(0);
        ASSERT_NE(before & d.ConfigMask[0], bench.image().ConfigWords[0] & d.ConfigMask[0]);

        const FlowOutcome outcome =
            runWrite(bench.workspace(), bench.ui(), {true, false, true, false});
        EXPECT_EQ(outcome.result, kResultConfigError);
        ASSERT_FALSE(bench.ui().messages().empty());
        EXPECT_EQ(bench.ui().messages().back(), std::string(kMsgConfigMemoryError) + "\r" +
                                                    std::string(msg::kConfigWriteProtectedReason));
        EXPECT_EQ(bench.configWord(0), before);
        EXPECT_FALSE(bench.programmer().targetPowered());
        // The automatic sequence's write says the same through its result.
        EXPECT_EQ(WriteDevice(bench.workspace(), bench.ui(), true, false, true),
                  kResultConfigError);
        EXPECT_FALSE(bench.takeNotes().empty());  // the chip noted the refused writes

        // A verify finds the same difference and reports where, without a stale reason.
        bench.ui().clear();
        EXPECT_EQ(runVerify(bench.workspace(), bench.ui(), {true, false}).result,
                  kResultConfigError);
        ASSERT_EQ(bench.ui().messages().size(), 1u);
        EXPECT_EQ(
            bench.ui().messages()[0].rfind(
                std::string(kMsgConfigMemoryError) + "\n最初に異なるアドレス: Config(300000h)", 0),
            0u)
            << bench.ui().messages()[0];

        EXPECT_EQ(runWrite(bench.workspace(), bench.ui(), {true, true, true, false}).result,
                  kResultOk);
        EXPECT_EQ(bench.configWord(0) & d.ConfigMask[0],
                  bench.image().ConfigWords[0] & d.ConfigMask[0]);
    }
}

// CONFIG3 of the 18FXX8 parts has no implemented bit and reads as 0; a file holding the
// toolchains' FF there must still verify against a correctly written chip.
TEST(WriteExtended, ConfigurationWordWithoutImplementedBitsIsNotCompared) {
    for (const char* name : {"PIC18F248", "PIC18F258", "PIC18F448", "PIC18F458"}) {
        SCOPED_TRACE(name);
        SimBench bench;
        bench.load(name);
        bench.programmer().setCallLogEnabled(false);
        EXPECT_EQ(bench.device().ConfigMask[2], 0);
        fillImage(bench);
        bench.image().ConfigWords[2] = 0x00FF;
        ASSERT_EQ(runWrite(bench.workspace(), bench.ui(), {true, true, true, false}).result,
                  kResultOk);
        EXPECT_EQ(bench.configWord(2), 0);
        EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), false, false, true), kResultOk);
        EXPECT_FALSE(bench.programmer().targetPowered());
    }
}

TEST(WriteExtended, ConfigurationWriteProtectionIsWrittenLast) {
    struct Case {
        int configCount;
        std::vector<int> order;
    };
    const std::vector<Case> cases = {
        {0, {}},
        {1, {6}},
        {3, {0, 1, 6}},
        {7, {0, 1, 2, 3, 4, 6, 5}},
        {8, {0, 1, 2, 3, 4, 7, 6, 5}},
        {10, {0, 1, 2, 3, 4, 7, 8, 9, 6, 5}},
    };
    DeviceDefinition d;
    for (const Case& c : cases) {
        d.ConfigCount = c.configCount;
        EXPECT_EQ(extendedConfigOrder(d), c.order) << "ConfigCount " << c.configCount;
    }
}

// An image that code-protects block 0, write-protects the configuration (WRTC) and clears a
// table-read protection bit in CONFIG7: every configuration byte reaches the chip. A verify
// then finds program memory unreadable, while the configuration still verifies; a second
// write over the protected chip erases the protection away.
TEST(WriteExtended, ProtectedImageKeepsEveryConfigurationByteAndCanBeRewritten) {
    for (const char* name : {"PIC18F452", "PIC18F4520"}) {
        SCOPED_TRACE(name);
        SimBench bench;
        loadFilled(bench, name);
        const DeviceDefinition& d = bench.device();
        MemoryImage& image = bench.image();
        image.ConfigWords[4] &= static_cast<uint16_t>(~0x0001);  // CP0
        image.ConfigWords[5] &= static_cast<uint16_t>(~0x2000);  // WRTC
        image.ConfigWords[6] &= static_cast<uint16_t>(~0x0002);  // EBTR1
        const MemoryImage protectedImage = image;
        ASSERT_EQ(WriteDevice(bench.workspace(), bench.ui(), true, true, true), kResultOk);
        for (int k = 0; k < d.ConfigCount; ++k)
            EXPECT_EQ(bench.configWord(k) & d.ConfigMask[k],
                      protectedImage.ConfigWords[k] & d.ConfigMask[k])
                << "configuration word " << k;
        EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), true, true, true),
                  kResultProgramError);
        EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), false, true, true), kResultOk);

        fillImage(bench);
        const MemoryImage plain = bench.image();
        EXPECT_EQ(runWrite(bench.workspace(), bench.ui(), {true, true, true, false}).result,
                  kResultOk);
        expectReadBackMatches(bench, plain);
    }
}

// The erase codes of each family and scope, and what the strict chips do with them (a code
// that erases nothing, or a wrong erase shape, would leave a note).
TEST(PanelErase, CodesPerFamilyAndScopeEraseWhatTheyName) {
    struct Case {
        const char* device;
        EraseScope scope;
        std::vector<uint16_t> codes;
        bool programErased, dataErased, idsErased;
    };
    const std::vector<Case> cases = {
        {"PIC18F452", EraseScope::All, {0x80}, true, true, true},
        {"PIC18F452", EraseScope::ProgramOnly, {0x83, 0x88, 0x89, 0x8A, 0x8B}, true, false, false},
        {"PIC18F452", EraseScope::DataOnly, {0x81}, false, true, false},
        {"PIC18F4520", EraseScope::All, {0x3F8F}, true, true, true},
        {"PIC18F4520",
         EraseScope::ProgramOnly,
         {0x81, 0x0180, 0x0280, 0x0480, 0x0880},
         true,
         false,
         false},
        {"PIC18F4520", EraseScope::DataOnly, {0x84}, false, true, false},
        {"PIC18F2221", EraseScope::ProgramOnly, {0x81, 0x0180, 0x0280}, true, false, false},
        {"PIC18F2682",
         EraseScope::ProgramOnly,
         {0x81, 0x0180, 0x0280, 0x0480, 0x0880, 0x1080},
         true,
         false,
         false},
        {"PIC18F4685",
         EraseScope::ProgramOnly,
         {0x81, 0x0180, 0x0280, 0x0480, 0x0880, 0x1080, 0x2080},
         true,
         false,
         false},
        {"PIC18F4685", EraseScope::All, {0x3F8F}, true, true, true},
        {"PIC18F2410", EraseScope::ProgramOnly, {0x3F8F}, true, false, true},  // no EEPROM
        // The K-series' own chip erase, and block codes for the blocks each part has.
        {"PIC18F25K22", EraseScope::All, {0x0F8F}, true, true, true},
        {"PIC18F26K22",
         EraseScope::ProgramOnly,
         {0x81, 0x0180, 0x0280, 0x0480, 0x0880},
         true,
         false,
         false},
        {"PIC18F23K22", EraseScope::ProgramOnly, {0x81, 0x0180, 0x0280}, true, false, false},
        {"PIC18F25K20", EraseScope::DataOnly, {0x84}, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.device) + " scope " + std::to_string(static_cast<int>(c.scope)));
        SimBench bench;
        bench.load(c.device);
        const DeviceDefinition& d = bench.device();
        EXPECT_EQ(panelEraseCodes(d, c.scope), c.codes);
        bench.writePattern();
        ASSERT_TRUE(eraseDevice(bench.workspace(), bench.ui(), c.scope));
        for (const int32_t i : {int32_t{0}, d.ProgSize / 2 + 1, d.ProgSize - 1}) {
            EXPECT_EQ(bench.programWord(i) == 0xFFFF, c.programErased) << "program word " << i;
        }
        if (d.EpromSize != 0) {
            EXPECT_EQ(bench.dataByte(d.EpromSize - 1) == 0xFF, c.dataErased);
        }
        EXPECT_EQ(bench.idWord(0) == 0xFF, c.idsErased);
    }
}

// The fifth and sixth code blocks of the 80 and 96 KB parts: their protection bits hide
// them from a verify, and the chip erase lifts those bits with the rest.
TEST(PanelErase, UpperBlocksOfTheLargerPartsAreProtectedAndReleasedLikeTheOthers) {
    for (const char* name : {"PIC18F2682", "PIC18F4685"}) {
        SCOPED_TRACE(name);
        SimBench bench;
        loadFilled(bench, name);
        const DeviceDefinition& d = bench.device();
        const int top = d.ProgSize / d.PanelSize - 1;
        bench.image().ConfigWords[4] &= static_cast<uint16_t>(~(1u << top));  // CP4 or CP5
        ASSERT_EQ(WriteDevice(bench.workspace(), bench.ui(), true, true, true), kResultOk);
        EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), true, false, false),
                  kResultProgramError);
        ASSERT_TRUE(eraseDevice(bench.workspace(), bench.ui(), EraseScope::All));
        EXPECT_EQ(bench.configWord(4) & d.ConfigMask[4], d.ConfigMask[4]);
        EXPECT_EQ(blankCheck(bench.workspace(), bench.ui(), true, true), kResultOk);
    }
}

// The 2XXX/4XXX chip erase leaves a data EEPROM protected by CPD; the erase gives it its own
// code then, so the whole chip still ends blank.
TEST(PanelErase, DataProtectedEepromIsErasedToo) {
    for (const char* name : {"PIC18F4520", "PIC18F4620"}) {
        SCOPED_TRACE(name);
        SimBench bench;
        bench.load(name);
        const DeviceDefinition& d = bench.device();
        bench.writePattern();
        bench.setConfigWord(4, static_cast<uint16_t>(bench.configWord(4) & ~0x8000));  // CPD
        ASSERT_TRUE(eraseDevice(bench.workspace(), bench.ui(), EraseScope::All));
        int32_t firstKept = -1;
        for (int32_t i = 0; i < d.EpromSize && firstKept < 0; ++i)
            firstKept = bench.dataByte(i) != 0xFF ? i : -1;
        EXPECT_EQ(firstKept, -1) << "first data byte the erase left";
        EXPECT_EQ(bench.configWord(4) & 0x8000, 0x8000);
        EXPECT_EQ(bench.programWord(0), 0xFFFF);
        EXPECT_FALSE(bench.programmer().targetPowered());
    }
}

// On the wire: a code above 0xFF goes to 0x3C0005 first, each byte in both halves of the
// table write's operand (the register takes the half its address selects).
TEST(PanelErase, TwoByteCodesAreWrittenHighRegisterFirst) {
    SimBench bench;
    bench.load("PIC18F4520");
    ASSERT_TRUE(panelErase(bench.workspace(), bench.ui(), EraseScope::ProgramOnly));
    std::vector<int32_t> tableWrites;
    const auto& log = bench.programmer().callLog();
    for (size_t i = 0; i + 1 < log.size(); ++i) {
        if (log[i].name == "SWriteBit" && log[i].args == std::vector<int32_t>{12, 4})
            tableWrites.push_back(log[i + 1].args.at(0));
    }
    EXPECT_EQ(tableWrites, (std::vector<int32_t>{0x8181, 0x0101, 0x8080, 0x0202, 0x8080, 0x0404,
                                                 0x8080, 0x0808, 0x8080}));
}

TEST(PanelErase, EraseWindowReportsALinkThatWillNotOpenAndStillClearsTheBuffer) {
    SimBench bench;
    bench.load("PIC18F4520");
    bench.image().ProgMemory[0] = 0x1234;
    bench.programmer().setAvailablePorts({});
    const FlowOutcome outcome =
        runErase(bench.workspace(), bench.ui(), {true, true, true, false, false});
    EXPECT_EQ(outcome.close, WindowClose::Ok);
    ASSERT_EQ(bench.ui().messages().size(), 2u);  // the link's, then the erase's
    EXPECT_EQ(bench.ui().messages()[1], msg::kEraseFailed);
    EXPECT_EQ(bench.image().ProgMemory[0], 0xFFFF);

    bench.ui().clear();
    EXPECT_EQ(runWrite(bench.workspace(), bench.ui(), {true, true, true, false}).result,
              kResultHardwareError);
    ASSERT_EQ(bench.ui().messages().size(), 2u);
    EXPECT_EQ(bench.ui().messages()[1], msg::kWriteEraseFailed);
}

// "DataShiftOut" = 0 in device.ini: each byte gets a fixed wait instead of polls, on both
// families (FXX2 with the unlock sequence).
TEST(WriteExtended, DataWriteWithoutPollingWaitsAndStaysInStep) {
    for (const char* name : {"PIC18F452", "PIC18F4520"}) {
        SCOPED_TRACE(name);
        test::TempDir dir;
        std::ofstream(dir.file("device.ini")) << "[" << name << "]\nDataShiftOut=0\n";
        SimBench bench;
        bench.load(name);
        bench.workspace().catalogue = DeviceCatalogue(dir.path());
        bench.programmer().setCallLogEnabled(false);
        fillImage(bench);
        const MemoryImage expected = bench.image();
        ASSERT_EQ(WriteDevice(bench.workspace(), bench.ui(), false, true, true), kResultOk);
        for (int32_t i = 0; i < bench.device().EpromSize; ++i)
            ASSERT_EQ(bench.dataByte(i), expected.DataMemory[i]) << "byte " << i;
        for (int k = 0; k < 4; ++k)  // the configuration after it arrived in step
            EXPECT_EQ(bench.configWord(k) & bench.device().ConfigMask[k],
                      expected.ConfigWords[k] & bench.device().ConfigMask[k]);
    }
}

// A program size that is not a multiple of the write block: the last block is filled with
// blank words from beyond the buffer, never read from past its end.
TEST(WriteExtended, LastBlockNeverReachesPastTheBuffer) {
    SimBench bench;
    bench.load("PIC18F4520");
    DeviceDefinition& d = bench.workspace().device;
    d.ProgSize -= 8;
    bench.image().ResizeImage(d);
    for (int32_t i = 0; i < d.ProgSize; ++i)
        bench.image().ProgMemory[i] = static_cast<uint16_t>(i);
    ASSERT_EQ(WriteDevice(bench.workspace(), bench.ui(), true, false, false), kResultOk);
    EXPECT_EQ(bench.programWord(d.ProgSize - 1), static_cast<uint16_t>(d.ProgSize - 1));
    EXPECT_EQ(bench.programWord(d.ProgSize), 0xFFFF);
}

// Nothing is read back while writing, so only the supply check can tell that the
// programmer went away: during program memory, or during data polls that then read ones.
TEST(WriteExtended, LostConnectionIsAHardwareErrorNotASuccessOrADataError) {
    for (const bool inDataPolls : {false, true}) {
        SCOPED_TRACE(inDataPolls ? "data" : "program");
        SimBench bench;
        bench.load("PIC18F4520");
        fillImage(bench);
        sim::FaultPlan faults;
        faults.connectionLostAfterCalls = inDataPolls ? 600 : 3000;
        faults.lostReadsAllOnes = true;
        bench.programmer().setFaults(faults);
        EXPECT_EQ(WriteDevice(bench.workspace(), bench.ui(), !inDataPolls, true, true),
                  kResultHardwareError);
        EXPECT_FALSE(bench.programmer().targetPowered());
        EXPECT_EQ(bench.dataByte(bench.device().EpromSize - 1), 0xFF);
        bench.takeNotes();  // the chip saw its power go mid-command
    }
}

TEST(WriteExtended, CancelledProgramWriteWritesNothingElseAndShowsNothing) {
    SimBench bench;
    bench.load("PIC18F4520");
    fillImage(bench);
    bench.ui().cancelAfterPumps(3);
    const FlowOutcome outcome = runWrite(bench.workspace(), bench.ui(), {true, true, true, false});
    EXPECT_EQ(outcome.result, kResultCancelled);
    EXPECT_TRUE(bench.ui().messages().empty());
    EXPECT_EQ(bench.dataByte(0), 0xFF);
    EXPECT_EQ(bench.idWord(0), 0xFF);
    EXPECT_EQ(bench.programWord(0), bench.image().ProgMemory[0]) << "the first 256 words went";
}

}  // namespace
}  // namespace velkaro
