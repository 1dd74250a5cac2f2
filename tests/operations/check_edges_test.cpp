// Address walks, fast block tests, capping, cancel and injected faults, against the
// simulated programmer.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "link/link_messages.h"
#include "operations/blank_check.h"
#include "operations/operation_messages.h"
#include "operations/read_device.h"
#include "operations/verify_device.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

using test::SimBench;

// 6-bit commands sent with `code` ("ReadData" is 4).
size_t commandsSent(SimBench& bench, int code) {
    const auto calls = bench.programmer().callsNamed("SWriteBit");
    return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), [&](const auto& c) {
        return c.args.size() == 2 && c.args[0] == code && c.args[1] == 6;
    }));
}

size_t programmerCommands(SimBench& bench, int code) {
    const auto calls = bench.programmer().callsNamed("SSendCmd");
    return static_cast<size_t>(std::count_if(calls.begin(), calls.end(),
                                             [&](const auto& c) { return c.args.at(0) == code; }));
}

// Selects `device`, or skips the test when device.ini or the simulator lacks it.
#define LOAD_OR_SKIP(bench, device)                                    \
    do {                                                               \
        const auto list = SimBench::modelledDevices();                 \
        if (std::find(list.begin(), list.end(), device) == list.end()) \
            GTEST_SKIP() << device << " is not a modelled device";     \
        (bench).load(device);                                          \
    } while (0)

TEST(ResetVectorWalk, ConfigurationOnTheResetVectorIsReadFirstAndOnlyOnce) {
    SimBench bench;
    LOAD_OR_SKIP(bench, "PIC12F508");
    const DeviceDefinition& d = bench.device();
    ASSERT_EQ(d.ResetVector, d.ConfigBaseAdr);
    ASSERT_FALSE(d.hasLoadConfig());
    bench.writePattern();
    bench.programmer().clearCallLog();

    ASSERT_EQ(runRead(bench.workspace(), bench.ui(), {true, false}).result, kResultOk);
    EXPECT_EQ(bench.image().ConfigWords[0], bench.configWord(0) & d.ConfigMask[0]);
    EXPECT_EQ(bench.image().ProgMemory[5], bench.programWord(5));
    EXPECT_EQ(bench.image().IdWords[3], bench.idWord(3) & 0xFF);
    // The walk's one word, program memory, then ProgSize .. IdAdr + 3 without the
    // configuration range a second time.
    EXPECT_EQ(commandsSent(bench, 4), 1u + d.ProgSize + (d.IdAdr + 4 - d.ProgSize));
    EXPECT_EQ(commandsSent(bench, 0), 0u);

    EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), true, false, true), kResultOk);
    bench.setConfigWord(0, bench.configWord(0) ^ (d.ConfigMask[0] & 0x0001));
    EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), false, false, true), kResultConfigError);
}

TEST(FastBlankCheck, BlockOf1024WordsThenSingleWordsOn1500Words) {
    SimBench bench;
    LOAD_OR_SKIP(bench, "PIC16F628A");
    bench.workspace().device.ProgSize = 1500;
    bench.workspace().device.OscCal = 0;
    const int configCount = bench.device().ConfigCount;
    bench.programmer().clearCallLog();

    EXPECT_EQ(blankCheck(bench.workspace(), bench.ui(), true, false), kResultOk);
    EXPECT_EQ(programmerCommands(bench, 119), 1u);  // fast mode prepared by the link
    EXPECT_EQ(programmerCommands(bench, 104), 1u);
    EXPECT_EQ(programmerCommands(bench, 113), 1u);  // left once, before the first word
    // The words after the block, the IDs, the device ID and the configuration.
    EXPECT_EQ(commandsSent(bench, 4), 476u + 4u + 1u + static_cast<size_t>(configCount));
    EXPECT_EQ(bench.ui().progress().back(), 100);

    // A word in the block makes the block test fail; the programmer's answer decides.
    bench.setProgramWord(700, 0x0000);
    EXPECT_EQ(blankCheck(bench.workspace(), bench.ui(), true, false), kResultProgramError);
    // A word after the block is read one by one.
    bench.setProgramWord(700, bench.device().BlankWord);
    bench.setProgramWord(1499, 0x0000);
    EXPECT_EQ(blankCheck(bench.workspace(), bench.ui(), true, false), kResultProgramError);
    EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
}

TEST(FastBlankCheck, JdmProgrammerReadsEveryWord) {
    SimBench bench;
    LOAD_OR_SKIP(bench, "PIC16F628A");
    bench.workspace().link->setHardwareType(ProgrammerLink::kProgrammerJdm);
    bench.programmer().clearCallLog();
    EXPECT_EQ(blankCheck(bench.workspace(), bench.ui(), true, false), kResultOk);
    EXPECT_TRUE(bench.programmer().callsNamed("SSendCmd").empty());
    EXPECT_EQ(commandsSent(bench, 4),
              static_cast<size_t>(bench.device().ProgSize + 4 + 1 + bench.device().ConfigCount));
}

TEST(FastBlankCheck, BlockHoldingTheOscCalWordIsCheckedWordByWordSkippingIt) {
    SimBench bench;
    LOAD_OR_SKIP(bench, "PIC12F675");
    const DeviceDefinition& d = bench.device();
    ASSERT_EQ(d.ProgSize, 1024);
    ASSERT_EQ(d.OscCal, 1023);
    ASSERT_NE(bench.programWord(1023), d.BlankWord) << "factory OSCCAL instruction";
    bench.programmer().clearCallLog();
    EXPECT_EQ(blankCheck(bench.workspace(), bench.ui(), true, false), kResultOk);
    EXPECT_EQ(programmerCommands(bench, 104), 0u);
    EXPECT_EQ(commandsSent(bench, 4), 1023u + 4u + 1u + static_cast<size_t>(d.ConfigCount));
    // Verify skips it as well; read keeps it.
    bench.image().ProgMemory.assign(d.ProgSize, d.BlankWord);
    bench.image().IdWords.fill(d.BlankWord);
    bench.image().ConfigWords[0] = bench.configWord(0);
    EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), true, false, true), kResultOk);
    ASSERT_EQ(runRead(bench.workspace(), bench.ui(), {true, false}).result, kResultOk);
    EXPECT_EQ(bench.image().OscCalValue, bench.programWord(1023));
    EXPECT_EQ(bench.image().ProgMemory[1023], bench.programWord(1023));
}

TEST(ExtendedRead, IdAndConfigurationCountsAreCappedToTheImage) {
    const auto devices = SimBench::modelledDevices();
    const auto pic18 = std::find_if(devices.begin(), devices.end(),
                                    [](const std::string& n) { return n.rfind("PIC18", 0) == 0; });
    if (pic18 == devices.end())
        GTEST_SKIP() << "no PIC18 device is modelled";
    SimBench bench;
    bench.load(*pic18);
    DeviceDefinition& d = bench.workspace().device;
    d.ProgSize = 64;  // keeps the run short
    d.IdCount = 10;
    d.ConfigCount = 14;
    bench.programmer().clearCallLog();
    ASSERT_EQ(runRead(bench.workspace(), bench.ui(), {true, false}).result, kResultOk);
    const auto reads = bench.programmer().callsNamed("SReadBit");
    EXPECT_EQ(reads.size(), 2u + 2u * 64 + 8 + 2 * 10);  // the device ID first
    EXPECT_EQ(bench.image().IdWords[7], bench.idWord(7) & 0xFF);
    EXPECT_EQ(bench.image().ConfigWords[9], bench.configWord(9));
}

// A user who presses Cancel during the n-th pump: remembers how many library calls had
// been made by then. With `window` the Cancel button's handler runs as well, as in the
// desktop program, and closes the link before the loop sees the flag.
class CancellingUi : public test::RecordingUi {
public:
    CancellingUi(sim::SimulatedProgrammer& programmer, int atPump, Workspace* window = nullptr)
        : mProgrammer(programmer), mAtPump(atPump), mWindow(window) {}
    void pumpEvents() override {
        RecordingUi::pumpEvents();
        if (++mPumpCount == mAtPump) {
            requestCancel();
            if (mWindow)
                cancelOperationWindow(*mWindow, *this);
            mCallsAtCancel = mProgrammer.callLog().size();
        }
    }
    size_t callsAtCancel() const { return mCallsAtCancel; }

private:
    sim::SimulatedProgrammer& mProgrammer;
    int mAtPump;
    Workspace* mWindow;
    int mPumpCount = 0;
    size_t mCallsAtCancel = 0;
};

void expectOnlySwitchedOffAfterCancel(SimBench& bench, const CancellingUi& ui) {
    const auto& log = bench.programmer().callLog();
    ASSERT_GT(ui.callsAtCancel(), 0u);
    for (size_t i = ui.callsAtCancel(); i < log.size(); ++i)
        EXPECT_TRUE(log[i].name == "SPowerOff" || log[i].name == "SClose") << log[i].name;
    EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
}

TEST(CancelMidLoop, EveryOperationStopsAtTheNextWordAndSwitchesOff) {
    for (const char* name : {"PIC16F84A", "PIC18F452"}) {
        SimBench bench;
        const auto list = SimBench::modelledDevices();
        if (std::find(list.begin(), list.end(), name) == list.end())
            continue;
        SCOPED_TRACE(name);
        bench.load(name);
        bench.workspace().link->setHardwareType(ProgrammerLink::kProgrammerJdm);
        bench.writePattern();
        Workspace& workspace = bench.workspace();
        const uint16_t before = 0x1234 & bench.device().BlankWord;
        workspace.image.ProgMemory.assign(bench.device().ProgSize, before);

        {
            bench.programmer().clearCallLog();
            workspace.readOptions = {false, false};
            CancellingUi ui(bench.programmer(), 100);
            const FlowOutcome read = runRead(workspace, ui, {true, true});
            EXPECT_EQ(read.result, kResultCancelled);
            EXPECT_EQ(read.close,
                      bench.device().isExtendedFamily() ? WindowClose::Ok : WindowClose::Cancel);
            EXPECT_EQ(workspace.image.ProgMemory[98], bench.programWord(98));
            EXPECT_EQ(workspace.image.ProgMemory[99], before) << "not read after the cancel";
            EXPECT_TRUE(ui.messages().empty());
            EXPECT_FALSE(workspace.readOptions.ProgEn) << "choices are kept only after a read";
            expectOnlySwitchedOffAfterCancel(bench, ui);
        }
        {
            bench.programmer().clearCallLog();
            CancellingUi ui(bench.programmer(), 50);
            EXPECT_EQ(verifyDevice(workspace, ui, true, true, true), kResultCancelled);
            expectOnlySwitchedOffAfterCancel(bench, ui);
        }
        {
            bench.programmer().clearCallLog();
            for (int32_t i = 0; i < bench.device().EpromSize; ++i)
                bench.setDataByte(i, 0xFF);
            CancellingUi ui(bench.programmer(), 50);
            EXPECT_EQ(blankCheck(workspace, ui, false, true), kResultCancelled);
            expectOnlySwitchedOffAfterCancel(bench, ui);
        }
    }
}

TEST(CancelMidLoop, AfterTheWindowsCancelHandlerOnlyTheCheckClosesTheLinkAgain) {
    SimBench bench;
    LOAD_OR_SKIP(bench, "PIC16F84A");
    bench.workspace().link->setHardwareType(ProgrammerLink::kProgrammerJdm);
    Workspace& workspace = bench.workspace();
    for (int operation = 0; operation < 3; ++operation) {
        SCOPED_TRACE(operation);
        bench.programmer().clearCallLog();
        CancellingUi ui(bench.programmer(), 20, &workspace);
        ResultCode code = kResultOk;
        if (operation == 0)
            code = runRead(workspace, ui, {true, true}).result;
        else if (operation == 1)
            code = verifyDevice(workspace, ui, true, true, true);
        else
            code = blankCheck(workspace, ui, false, true);
        EXPECT_EQ(code, kResultCancelled);
        // The read stops without a word more; verify and blank check close the link once
        // more as they always do on a cancel (switching off an unpowered target is harmless).
        const auto& log = bench.programmer().callLog();
        std::vector<std::string> after;
        for (size_t i = ui.callsAtCancel(); i < log.size(); ++i)
            after.push_back(log[i].name);
        if (operation == 0)
            EXPECT_TRUE(after.empty());
        else
            EXPECT_EQ(after, (std::vector<std::string>{"SPowerOff", "SClose"}));
        EXPECT_EQ(ui.statusTexts().back(), "");
        EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
    }
}

TEST(ConfigurationOnlyVerify, StartsAtTheIdLocationsAfterLoadConfig) {
    SimBench bench;
    LOAD_OR_SKIP(bench, "PIC16F84A");
    const DeviceDefinition& d = bench.device();
    ASSERT_TRUE(d.hasLoadConfig());
    bench.image().IdWords[2] = 0x3FF5;  // only the low four bits are compared
    bench.setIdWord(2, 0x0005);
    bench.image().ConfigWords[0] = bench.configWord(0);
    bench.programmer().clearCallLog();
    EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), false, false, true), kResultOk);
    const auto writes = bench.programmer().callsNamed("SWriteBit");
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.front().args, (std::vector<int32_t>{0, 6})) << "LoadConfig comes first";
    EXPECT_EQ(commandsSent(bench, 4), 4u + 1u + static_cast<size_t>(d.ConfigCount));
    EXPECT_EQ(commandsSent(bench, 6),
              static_cast<size_t>(d.ConfigBaseAdr + d.ConfigCount - d.IdAdr));
}

TEST(BlankRules, ConfigurationBitsOutsideTheMaskDoNotCount) {
    SimBench bench;
    LOAD_OR_SKIP(bench, "PIC16C84");
    const DeviceDefinition& d = bench.device();
    ASSERT_NE(d.ConfigMask[0], d.BlankWord) << "a device with unimplemented bits";
    bench.setConfigWord(0, d.ConfigMask[0]);
    EXPECT_EQ(blankCheck(bench.workspace(), bench.ui(), true, false), kResultOk);
    bench.setConfigWord(0, d.ConfigMask[0] & ~1u);
    EXPECT_EQ(blankCheck(bench.workspace(), bench.ui(), true, false), kResultConfigError);
}

// Bits a device does not implement read back as whatever the silicon gives; neither a
// buffer nor device.ini that sets them may make a correct chip fail.
TEST(UnimplementedConfigurationBits, VerifyOnTheResetVectorWalkMasksTheBuffer) {
    SimBench bench;
    LOAD_OR_SKIP(bench, "PIC12F508");
    const DeviceDefinition& d = bench.device();
    ASSERT_EQ(d.ResetVector, d.ConfigBaseAdr);
    ASSERT_NE(d.ConfigMask[0], d.BlankWord);
    bench.image().ConfigWords[0] = static_cast<uint16_t>(bench.configWord(0) | ~d.ConfigMask[0]);
    EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), false, false, true), kResultOk);
    bench.image().ConfigWords[0] ^= d.ConfigMask[0] & 0x0001;
    EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), false, false, true), kResultConfigError);
}

TEST(UnimplementedConfigurationBits, ExtendedBlankCheckMasksTheErasedValue) {
    SimBench bench;
    LOAD_OR_SKIP(bench, "PIC18F452");
    DeviceDefinition& d = bench.workspace().device;
    d.ProgSize = 64;  // keeps the run short
    const auto masks = d.ConfigMask;
    const auto partial = std::find_if(masks.begin(), masks.begin() + d.ConfigCount,
                                      [](uint16_t mask) { return mask != 0xFFFF; });
    ASSERT_NE(partial, masks.begin() + d.ConfigCount);
    const size_t k = static_cast<size_t>(partial - masks.begin());
    ASSERT_EQ(blankCheck(bench.workspace(), bench.ui(), true, false), kResultOk);
    d.ConfigValue[k] |= static_cast<uint16_t>(~masks[k]);
    EXPECT_EQ(blankCheck(bench.workspace(), bench.ui(), true, false), kResultOk);
    d.ConfigValue[k] ^= masks[k] & -masks[k];  // lowest implemented bit
    EXPECT_EQ(blankCheck(bench.workspace(), bench.ui(), true, false), kResultConfigError);
}

TEST(InjectedFaults, PortThatWillNotOpen) {
    SimBench bench;
    LOAD_OR_SKIP(bench, "PIC16F84A");
    sim::FaultPlan faults;
    faults.portWillNotOpen = true;
    bench.programmer().setFaults(faults);
    Workspace& workspace = bench.workspace();

    FlowOutcome read = runRead(workspace, bench.ui(), {true, true});
    EXPECT_EQ(read.close, WindowClose::Cancel);
    EXPECT_EQ(read.result, kResultHardwareError);
    read = runRead(workspace, bench.ui(), {false, true});
    EXPECT_EQ(read.close, WindowClose::StaysOpen) << "failure in the data section";
    const std::string shown = std::string(kMsgHardwareError) + "\rCOM1 could not be opened";
    EXPECT_EQ(bench.ui().messages(), (std::vector<std::string>{shown, shown}));

    EXPECT_EQ(blankCheck(workspace, bench.ui(), true, true), kResultHardwareError);
    EXPECT_EQ(verifyDevice(workspace, bench.ui(), true, true, true), kResultHardwareError);
    EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
}

TEST(InjectedFaults, ExtendedReadShowsTheLinkMessageAndClosesWithOk) {
    SimBench bench;
    LOAD_OR_SKIP(bench, "PIC18F452");
    sim::FaultPlan faults;
    faults.noPower = true;
    bench.programmer().setFaults(faults);
    const FlowOutcome read = runRead(bench.workspace(), bench.ui(), {true, true});
    EXPECT_EQ(read.close, WindowClose::Ok);
    EXPECT_EQ(read.result, kResultHardwareError);
    EXPECT_EQ(bench.ui().messages(), std::vector<std::string>{std::string(kMsgNoTargetPower)});
    EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
}

TEST(InjectedFaults, LostConnectionOrMissingAnswersNeverPassAsSuccess) {
    SimBench bench;
    LOAD_OR_SKIP(bench, "PIC16F84A");
    bench.writePattern();
    ASSERT_EQ(runRead(bench.workspace(), bench.ui(), {true, true}).result, kResultOk);

    sim::FaultPlan lost;  // counted from the programmer's first call
    lost.connectionLostAfterCalls = static_cast<int64_t>(bench.programmer().callLog().size()) + 300;
    bench.programmer().setFaults(lost);
    // The reads of 0 after the loss differ from the chip, but the fault is the link's.
    EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), true, true, true), kResultHardwareError);
    EXPECT_EQ(bench.programmer().checkLeftSafe(), "");

    // The PRO programmer that never answers a block test: not blank.
    SimBench silent;
    silent.load("PIC16F84A");
    sim::FaultPlan quiet;
    quiet.noAcknowledge = true;
    silent.programmer().setFaults(quiet);
    EXPECT_EQ(blankCheck(silent.workspace(), silent.ui(), true, false), kResultProgramError);
    EXPECT_EQ(silent.programmer().checkLeftSafe(), "");
}

TEST(InjectedFaults, StuckBitIsFoundByVerify) {
    SimBench bench;
    LOAD_OR_SKIP(bench, "PIC16F84A");
    bench.writePattern();
    ASSERT_EQ(runRead(bench.workspace(), bench.ui(), {true, true}).result, kResultOk);
    const uint16_t written = bench.programWord(17);
    bench.chip().setStuckBits(17, 0x0100, static_cast<uint16_t>(~written & 0x0100));
    FirstDifference where;
    EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), true, false, false, &where),
              kResultProgramError);
    EXPECT_EQ(where.region, FirstDifference::Region::Program);
    EXPECT_EQ(where.address, 17u);
    EXPECT_EQ(where.expected, written);
    EXPECT_EQ(where.found, written ^ 0x0100u);
}

// A failed verify or blank check says below the fixed message where, and what the chip
// holds there, on both cores and in each region (the PRO programmer's block test knows
// only the block).
TEST(FirstDifference, VerifyAndBlankCheckNameThePlace) {
    struct Case {
        const char* device;
        int type;
        std::function<void(SimBench&)> change;  // makes the chip differ from the buffer
        std::string verifyText;                 // below the fixed message
        std::string blankText;
    };
    const Case cases[] = {
        {"PIC16F84A", ProgrammerLink::kProgrammerJdm,
         [](SimBench& b) { b.setProgramWord(0x123, 0x2805); },
         "最初に異なるアドレス: プログラムメモリ 0123h（バッファ 3FFFh、デバイス 2805h）",
         "ブランクでない最初のアドレス: プログラムメモリ 0123h（読み出し値 2805h）"},
        {"PIC16F84A", ProgrammerLink::kProgrammerPro,
         [](SimBench& b) { b.setProgramWord(0x123, 0x2805); },
         "最初に異なるアドレス: プログラムメモリ 0123h（バッファ 3FFFh、デバイス 2805h）",
         "ブランクでない最初のブロック: プログラムメモリ 0000h〜03FFh のブロック"},
        {"PIC16F84A", ProgrammerLink::kProgrammerJdm,
         [](SimBench& b) { b.setDataByte(0x21, 0x5A); },
         "最初に異なるアドレス: データメモリ 0021h（バッファ FFh、デバイス 5Ah）",
         "ブランクでない最初のアドレス: データメモリ 0021h（読み出し値 5Ah）"},
        {"PIC16F84A", ProgrammerLink::kProgrammerJdm, [](SimBench& b) { b.setIdWord(2, 0x3FF5); },
         "最初に異なるアドレス: ID 2002h（バッファ 000Fh、デバイス 0005h）",
         "ブランクでない最初のアドレス: ID 2002h（読み出し値 0005h）"},
        {"PIC18F452", ProgrammerLink::kProgrammerJdm,
         [](SimBench& b) { b.setProgramWord(0x456, 0xEF12); },
         "最初に異なるアドレス: プログラムメモリ 0456h（バッファ FFFFh、デバイス EF12h）",
         "ブランクでない最初のアドレス: プログラムメモリ 0456h（読み出し値 EF12h）"},
        {"PIC18F452", ProgrammerLink::kProgrammerJdm, [](SimBench& b) { b.setDataByte(3, 0x00); },
         "最初に異なるアドレス: データメモリ 0003h（バッファ FFh、デバイス 00h）",
         "ブランクでない最初のアドレス: データメモリ 0003h（読み出し値 00h）"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.verifyText);
        SimBench bench;
        LOAD_OR_SKIP(bench, c.device);
        bench.workspace().link->setHardwareType(c.type);
        c.change(bench);
        // Data alone where the data is changed: the PIC18 buffer's configuration defaults
        // need not be the chip's erased values.
        const bool dataOnly = c.verifyText.find("データメモリ") != std::string::npos;
        runVerify(bench.workspace(), bench.ui(), {!dataOnly, true});
        const std::string verified = bench.ui().messages().back();
        EXPECT_NE(verified.find(std::string("\n") + c.verifyText), std::string::npos) << verified;
        runBlankCheck(bench.workspace(), bench.ui(), {!dataOnly, true});
        const std::string blank = bench.ui().messages().back();
        EXPECT_NE(blank.find(std::string("\n") + c.blankText), std::string::npos) << blank;
        EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
    }
}

// A protected chip reads as zeros where it is protected: the read and the verify windows say
// so, while a chip that merely differs gets the region's message with the first difference.
TEST(ProtectedChip, ReadAndVerifySayTheChipIsProtected) {
    struct Case {
        const char* device;
        int word;  // configuration word index holding the code protection bits
        uint16_t cpBits;
    };
    const Case cases[] = {
        {"PIC12F508", 0, 0x0008}, {"PIC12F675", 0, 0x0080},  {"PIC16F877A", 0, 0x2000},
        {"PIC18F452", 4, 0x000F}, {"PIC18F4520", 4, 0x000F},
    };
    for (const Case& c : cases) {
        for (const bool isProtected : {false, true}) {
            SCOPED_TRACE(std::string(c.device) + (isProtected ? " protected" : " differing"));
            SimBench bench;
            bench.load(c.device);
            bench.programmer().setCallLogEnabled(false);
            bench.writePattern();
            ASSERT_EQ(runRead(bench.workspace(), bench.ui(), {true, true}).result, kResultOk);
            ASSERT_TRUE(bench.ui().messages().empty());
            MemoryImage& image = bench.image();
            if (isProtected) {
                bench.setConfigWord(c.word, bench.configWord(c.word) & ~c.cpBits);
                image.ConfigWords[c.word] &= static_cast<uint16_t>(~c.cpBits);
            } else {
                image.ProgMemory[100] ^= 0x0001;
            }
            runVerify(bench.workspace(), bench.ui(), {true, true});
            const std::string region(kMsgProgramMemoryError);
            const std::string shown = bench.ui().messages().back();
            if (isProtected)
                EXPECT_EQ(shown, region + "\r" + std::string(msg::kChipProtected));
            else
                EXPECT_EQ(shown.rfind(region + "\n最初に異なるアドレス: プログラムメモリ 0064h", 0),
                          0u)
                    << shown;

            runRead(bench.workspace(), bench.ui(), {true, true});
            EXPECT_EQ(bench.ui().messages().back() == msg::kChipProtected, isProtected);
        }
    }
}

}  // namespace
}  // namespace velkaro
