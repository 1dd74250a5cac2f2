// Writing 12/14-bit core chips end to end on the simulated chips: every modelled device
// written and read back, and the rules of the write loop seen in the call log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "operations/auto_program.h"
#include "operations/blank_check.h"
#include "operations/operation_messages.h"
#include "operations/read_device.h"
#include "operations/verify_device.h"
#include "operations/write_device.h"
#include "sim/midrange/midrange_chip.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

using test::SimBench;

std::vector<std::string> modelledMidrangeDevices() {
    return SimBench::modelledDevices(
        [](const DeviceDefinition& d) { return !d.isExtendedFamily(); });
}

// An image unlike the simulator's own pattern: every program word, the four IDs and the
// data bytes hold address-dependent values; the first configuration word loses its lowest
// implemented bit (an oscillator bit, never a protection bit) and, as HEX files have it,
// holds ones where the device implements nothing. OSCCAL and BG are the chip's factory
// values, as the write window puts them when it keeps them.
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
    image.ConfigWords[0] |= d.BlankWord & ~(d.ConfigMask[0] | d.BGMask);
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

class MidrangeWrite : public testing::TestWithParam<std::string> {};

TEST(WriteDevice, SixtyOrMoreMidrangePartsAreModelled) {
    EXPECT_GE(modelledMidrangeDevices().size(), 60u);
}

TEST_P(MidrangeWrite, FreshChipIsWrittenCompletely) {
    const std::string& name = GetParam();
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

// The write window's OK on every modelled device, from a chip full of other data (keeping
// the factory OSCCAL and BG values) and from a code-protected chip (taking the image's).
TEST_P(MidrangeWrite, WindowWritesOverOldDataAndOverProtection) {
    const std::string& name = GetParam();
    for (const bool protectedChip : {false, true}) {
        SCOPED_TRACE(name + (protectedChip ? " protected" : " full of data"));
        SimBench bench;
        bench.load(name);
        bench.programmer().setCallLogEnabled(false);
        const DeviceDefinition& d = bench.device();
        fillImage(bench);
        MemoryImage expected = bench.image();
        bench.writePattern();
        if (protectedChip)
            bench.setConfigWord(0, 0);  // every protection bit on

        // The image's own OSCCAL and BG differ from the chip's factory values.
        MemoryImage& image = bench.image();
        if (d.OscCal != 0) {
            image.OscCalValue = static_cast<uint16_t>(expected.OscCalValue ^ 0x0004);
            image.ProgMemory[d.OscCal] = d.BlankWord;
        }
        image.BGValue = expected.BGValue ^ d.BGMask;
        if (protectedChip) {
            expected.OscCalValue = image.OscCalValue;
            if (d.OscCal != 0)
                expected.ProgMemory[d.OscCal] = image.OscCalValue;
            expected.BGValue = image.BGValue;
        }
        const FlowOutcome outcome =
            runWrite(bench.workspace(), bench.ui(), {true, true, !protectedChip, true});
        EXPECT_EQ(outcome.close, WindowClose::Ok);
        EXPECT_EQ(outcome.result, kResultOk);
        EXPECT_TRUE(bench.ui().messages().empty());
        EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
        expectChipHolds(bench, expected);
        expectReadBackMatches(bench, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Modelled, MidrangeWrite, testing::ValuesIn(modelledMidrangeDevices()),
                         test::deviceCaseName);

// A write of data memory alone leaves the program and the configuration already in the chip
// as they are, even when the buffer's configuration would protect it: without a program
// erase the configuration cycle could only clear bits.
TEST(WriteWindow, DataOnlyWriteLeavesProgramAndConfigurationAlone) {
    for (const char* name : {"PIC12F675", "PIC16F628A", "PIC16F84A", "PIC16F877A"}) {
        SCOPED_TRACE(name);
        SimBench bench;
        bench.load(name);
        bench.programmer().setCallLogEnabled(false);
        const DeviceDefinition& d = bench.device();
        fillImage(bench);
        ASSERT_EQ(WriteDevice(bench.workspace(), bench.ui(), true, true, true), kResultOk);
        const MemoryImage inChip = bench.image();
        const uint16_t config = bench.configWord(0);

        MemoryImage& image = bench.image();
        image.ConfigWords[0] = 0;  // every protection bit on
        for (int32_t i = 0; i < d.EpromSize; ++i)
            image.DataMemory[i] = static_cast<uint8_t>(i);
        const FlowOutcome outcome =
            runWrite(bench.workspace(), bench.ui(), {false, true, true, false});
        EXPECT_EQ(outcome.result, kResultOk);
        EXPECT_EQ(bench.configWord(0), config);
        EXPECT_EQ(bench.dataByte(d.EpromSize - 1), static_cast<uint8_t>(d.EpromSize - 1));
        image = inChip;
        EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), true, false, true), kResultOk);
    }
}

// Everything the write puts into the chip is read back: each word of a latch group, the ID
// locations, the data bytes and the configuration word. A location that does not take its
// value fails the write with its region's code, and nothing after it is written.
TEST(WriteSequence, EveryRegionIsReadBackAfterItsCycle) {
    enum class Fault { GroupWords, IdWord, DataByte, ConfigWord };
    struct Case {
        const char* device;
        Fault fault;
        ResultCode code;
    };
    const Case cases[] = {
        {"PIC16F877A", Fault::GroupWords, kResultProgramError},
        {"PIC12F683", Fault::GroupWords, kResultProgramError},
        {"PIC16F628A", Fault::IdWord, kResultConfigError},
        {"PIC12F508", Fault::IdWord, kResultConfigError},
        {"PIC16F628A", Fault::DataByte, kResultDataError},
        {"PIC16F877A", Fault::ConfigWord, kResultConfigError},
        {"PIC12F508", Fault::ConfigWord, kResultConfigError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.device << " fault " << static_cast<int>(c.fault));
        SimBench bench;
        bench.load(c.device);
        bench.programmer().setCallLogEnabled(false);
        const DeviceDefinition& d = bench.device();
        const sim::MidrangeDevice& model = *sim::findMidrangeDevice(c.device);
        fillImage(bench);
        bool program = true, data = false;
        switch (c.fault) {
            case Fault::GroupWords:
                // A stuck bit in every word of a group but the one that starts its cycle.
                ASSERT_GT(d.LoadCnt, 1);
                for (int32_t a = 8 * d.LoadCnt; a < 9 * d.LoadCnt - 1; ++a) {
                    bench.image().ProgMemory[a] |= 0x0001;
                    bench.chip().setStuckBits(a, 0x0001, 0x0000);
                }
                break;
            case Fault::IdWord:
                bench.setIdWord(1, 0);  // a program-only cycle cannot set its bits again
                break;
            case Fault::DataByte:
                program = false;
                data = true;
                bench.setConfigWord(0, bench.configWord(0) & ~model.cpdMask);
                break;
            case Fault::ConfigWord:
                bench.setConfigWord(0, bench.configWord(0) & ~model.cpMask);
                break;
        }
        const ResultCode code =
            c.fault == Fault::ConfigWord
                ? WriteSequence(bench.workspace(), bench.ui(), false, false, true, true)
                : WriteSequence(bench.workspace(), bench.ui(), program, data, true, true);
        EXPECT_EQ(code, c.code);
        EXPECT_FALSE(bench.programmer().targetPowered());
        if (c.fault != Fault::ConfigWord) {
            EXPECT_EQ(bench.configWord(0) & d.ConfigMask[0], c.fault == Fault::DataByte
                                                                 ? d.ConfigMask[0] & ~model.cpdMask
                                                                 : d.ConfigMask[0])
                << "configuration not written after the failure";
        }
        bench.takeNotes();  // cycles a protected chip refuses
    }
}

// A buffer whose configuration protects the chip: the write compares everything it wrote
// before it writes that configuration, words it skipped as blank included, so a chip that
// would be locked with wrong contents is never protected and the write fails instead.
TEST(WriteWindow, ProtectingConfigurationIsWrittenOnlyOverVerifiedContents) {
    for (const char* name : {"PIC12F508", "PIC12F675", "PIC16F84A", "PIC16F877A"}) {
        for (const bool protecting : {false, true}) {
            SCOPED_TRACE(std::string(name) + (protecting ? " protecting" : " unprotected"));
            SimBench bench;
            bench.load(name);
            bench.programmer().setCallLogEnabled(false);
            const DeviceDefinition& d = bench.device();
            const sim::MidrangeDevice& model = *sim::findMidrangeDevice(name);
            fillImage(bench);
            MemoryImage& image = bench.image();
            if (protecting)
                image.ConfigWords[0] &= static_cast<uint16_t>(~model.cpMask);
            // A word the image leaves blank is skipped by the write.
            image.ProgMemory[70] = d.BlankWord;
            bench.chip().setStuckBits(70, 0x0001, 0x0000);
            const FlowOutcome outcome =
                runWrite(bench.workspace(), bench.ui(), {true, false, true, false});
            EXPECT_EQ(outcome.result, protecting ? kResultProgramError : kResultOk);
            EXPECT_EQ(bench.configWord(0) & model.cpMask, model.cpMask)
                << "the chip is never left protected";
        }
    }
}

// The 6-bit traffic of the call log as tokens: "C6" a command, "D3FFF" a data word, "R" a
// read; up to the first Load Configuration (the end of program memory) when asked.
std::vector<std::string> traffic(SimBench& bench, bool programMemoryOnly) {
    std::vector<std::string> tokens;
    char text[16];
    for (const sim::LibraryCall& call : bench.programmer().callLog()) {
        if (call.name == "SWriteBit" && call.args.at(1) == 6) {
            if (programMemoryOnly && call.args[0] == 0)
                break;
            tokens.push_back("C" + std::to_string(call.args[0]));
        } else if (call.name == "SWriteWord") {
            std::snprintf(text, sizeof text, "D%X", static_cast<unsigned>(call.args.at(0)));
            tokens.push_back(text);
        } else if (call.name == "SReadWord") {
            tokens.push_back("R");
        }
    }
    return tokens;
}

int countOf(const std::vector<std::string>& tokens, const std::string& token) {
    return static_cast<int>(std::count(tokens.begin(), tokens.end(), token));
}

TEST(WriteSequence, LatchGroupIsLoadedThenProgrammedFromItsLastAddress) {
    SimBench bench;
    bench.load("PIC12F683");
    ASSERT_EQ(bench.device().LoadCnt, 4);
    const uint16_t blank = bench.device().BlankWord;
    bench.image().ProgMemory[1] = 0x1234;
    ASSERT_EQ(WriteSequence(bench.workspace(), bench.ui(), true, false, false, true), kResultOk);

    const std::vector<std::string> tokens = traffic(bench, true);
    // 0 skipped, 1 loaded, 2 skipped, 3 (blank) written to start the group's cycle.
    const std::vector<std::string> group{"C6", "C2", "D1234", "C6", "C6", "C2", "D3FFF"};
    ASSERT_GE(tokens.size(), group.size());
    EXPECT_EQ(std::vector<std::string>(tokens.begin(), tokens.begin() + 7), group);
    EXPECT_EQ(countOf(tokens, "C2"), 2) << "groups with nothing loaded send no cycle";
    EXPECT_EQ(countOf(tokens, "R"), 1);
    EXPECT_EQ(bench.programWord(1), 0x1234);
    for (const int32_t a : {0, 2, 3, 4})
        EXPECT_EQ(bench.programWord(a), blank) << a;
}

TEST(WriteSequence, ShortLastGroupIsProgrammedAtTheEndOfMemory) {
    SimBench bench;
    bench.load("PIC12F683");
    bench.workspace().device.ProgSize = 2046;  // the last group has two words
    bench.image().ProgMemory[2044] = 0x0A55;
    ASSERT_EQ(WriteSequence(bench.workspace(), bench.ui(), true, false, false, true), kResultOk);
    EXPECT_EQ(bench.programWord(2044), 0x0A55);
    EXPECT_EQ(bench.programWord(2045), bench.device().BlankWord);
}

// Retries, extra passes and read-back, counted in Load Data commands and reads of program
// memory; word 5 is the only one not blank.
TEST(WriteSequence, RetriesExtraPassesAndReadBackFollowTheDevice) {
    struct Case {
        int retryCnt;
        int progCnt;
        bool programRead;
        bool stuck;
        ResultCode code;
        int loads;
        int reads;
    };
    const Case cases[] = {
        {0, 1, true, false, kResultOk, 1, 1},
        {2, 1, true, true, kResultProgramError, 3, 3},
        {0, 1, true, true, kResultProgramError, 1, 1},
        {0, 3, true, false, kResultOk, 3, 1},
        {2, 1, false, true, kResultOk, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "RetryCnt " << c.retryCnt << " ProgCnt " << c.progCnt << " ProgramRead "
                     << c.programRead << " stuck " << c.stuck);
        SimBench bench;
        bench.load("PIC16F84A");
        DeviceDefinition& d = bench.workspace().device;
        d.RetryCnt = c.retryCnt;
        d.ProgCnt = c.progCnt;
        d.ProgramRead = c.programRead;
        bench.image().ProgMemory[5] = 0x2805;
        if (c.stuck)
            bench.chip().setStuckBits(5, 0x0001, 0x0000);
        EXPECT_EQ(WriteSequence(bench.workspace(), bench.ui(), true, false, false, true), c.code);
        const std::vector<std::string> tokens = traffic(bench, true);
        EXPECT_EQ(countOf(tokens, "C2"), c.loads);
        EXPECT_EQ(countOf(tokens, "R"), c.reads);
        EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
    }
}

// The OSCCAL word of a part that is not flash: kept, it comes from the program buffer (and a
// blank one is not written); not kept, from the image's OSCCAL value.
TEST(WriteSequence, OscCalWordOfAOneTimePartFollowsTheWindowsChoice) {
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "kept" : "not kept");
        SimBench bench;
        bench.load("PIC12F629");
        DeviceDefinition& d = bench.workspace().device;
        d.FlashType = false;
        const uint16_t factory = bench.programWord(d.OscCal);
        bench.workspace().writeOptions.OscCal = keep;
        bench.image().OscCalValue = factory & 0x3F00;  // only clears bits: programmable
        ASSERT_EQ(WriteSequence(bench.workspace(), bench.ui(), true, false, false, true),
                  kResultOk);
        EXPECT_EQ(bench.programWord(d.OscCal), keep ? factory : (factory & 0x3F00));
        EXPECT_EQ(countOf(traffic(bench, true), "C2"), keep ? 0 : 1);
    }
}

// Cancel or a programmer that goes away in the middle of program memory: nothing after it
// is written, the result says why, and the target ends unpowered.
TEST(WriteWindow, InterruptedWriteGivesItsReasonAndSwitchesOff) {
    for (const int interruption : {0, 1, 2, 3}) {
        SCOPED_TRACE(interruption);
        SimBench bench;
        bench.load("PIC16F628A");
        bench.programmer().setCallLogEnabled(false);
        fillImage(bench);
        DeviceDefinition& d = bench.workspace().device;
        if (interruption == 0) {
            bench.ui().cancelAfterPumps(300);
        } else {
            sim::FaultPlan faults;
            faults.connectionLostAfterCalls = 3000;
            faults.lostReadsAllOnes = interruption == 2;
            d.ProgramRead = interruption != 3;  // nothing read back: only the supply tells
            bench.programmer().setFaults(faults);
        }
        const FlowOutcome outcome =
            runWrite(bench.workspace(), bench.ui(), {true, true, true, false});
        EXPECT_EQ(outcome.result, interruption == 0 ? kResultCancelled : kResultHardwareError);
        EXPECT_EQ(outcome.close, interruption == 0 ? WindowClose::Cancel : WindowClose::Ok);
        EXPECT_FALSE(bench.programmer().targetPowered());
        EXPECT_EQ(bench.dataByte(0), 0xFF) << "data memory is not written";
        EXPECT_EQ(bench.programWord(d.ProgSize - 1), d.BlankWord);
    }
}

TEST(WriteWindow, DeclinedIdMismatchWritesNothingAndForgetsNothing) {
    SimBench bench;
    bench.load("PIC16F628A");
    bench.workspace().device.DeviceID = 0x1000;  // another device's ID
    bench.workspace().writeOptions = {false, false, false, false};
    bench.ui().scriptOkCancel({false});
    fillImage(bench);
    const FlowOutcome outcome = runWrite(bench.workspace(), bench.ui(), {true, true, true, true});
    EXPECT_EQ(outcome.close, WindowClose::Cancel);
    EXPECT_EQ(outcome.result, kResultOk);
    EXPECT_EQ(bench.ui().okCancelQuestions().size(), 1u);
    EXPECT_EQ(bench.programWord(0), bench.device().BlankWord);
    EXPECT_FALSE(bench.workspace().writeOptions.ProgEn);
}

// A configuration with the internal oscillator and MCLR off, written by a programmer that
// raises VDD first, locks the chip out of it: asked about first, with Cancel as default.
TEST(WriteWindow, AConfigurationThatLocksTheChipOutIsAskedAboutFirst) {
    struct Case {
        uint16_t config;
        int powerOnSequence;
        bool asked;
    };
    const Case cases[] = {
        {0x01D4, 0, true},   // INTRCIO, MCLRE off, VDD first
        {0x01D5, 0, true},   // INTRCCLK, MCLRE off
        {0x01D4, 1, false},  // VPP first: the chip is entered before its program runs
        {0x01F4, 0, false},  // MCLRE on
        {0x01D2, 0, false},  // HS oscillator
    };
    for (const Case& c : cases) {
        for (const bool answer : {false, true}) {
            SCOPED_TRACE(std::to_string(c.config) + " / " + std::to_string(c.powerOnSequence) +
                         (answer ? " / OK" : " / Cancel"));
            SimBench bench;
            bench.load("PIC12F675");
            bench.workspace().device.PowerOnSequence = c.powerOnSequence;
            fillImage(bench);
            bench.image().ConfigWords[0] = c.config;
            bench.ui().scriptOkCancel({answer});
            const FlowOutcome outcome =
                runWrite(bench.workspace(), bench.ui(), {true, true, true, false});
            ASSERT_EQ(bench.ui().okCancelQuestions().size(), c.asked ? 1u : 0u);
            if (c.asked) {
                EXPECT_EQ(bench.ui().okCancelQuestions()[0], msg::kLockOutQuestion);
                EXPECT_TRUE(bench.ui().okCancelDefaultsToCancel()[0]);
            }
            EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
            if (c.asked && !answer) {
                EXPECT_EQ(outcome.close, WindowClose::Cancel);
                EXPECT_EQ(outcome.result, kResultOk);
                EXPECT_EQ(bench.programmer().programmingSessions(), 0) << "chip touched";
                continue;
            }
            EXPECT_EQ(outcome.result, kResultOk);
            EXPECT_EQ(bench.configWord(0) & 0x01FF, c.config);
            // The simulated chip is the judge: written so and powered VDD first, it stays out.
            bench.ui().clear();
            const bool lockedOut = (c.config & 0x0026) == 0x0004;
            bench.workspace().device.PowerOnSequence = 0;
            EXPECT_EQ(runRead(bench.workspace(), bench.ui(), {true, false}).result,
                      lockedOut ? kResultHardwareError : kResultOk);
            bench.takeNotes();
        }
    }
}

TEST(AutoProgram, DeclinedLockOutQuestionTouchesNothing) {
    SimBench bench;
    bench.load("PIC12F675");
    bench.workspace().device.PowerOnSequence = 0;
    bench.writePattern();
    const uint16_t word0 = bench.programWord(0);
    fillImage(bench);
    bench.image().ConfigWords[0] = 0x01D4;
    bench.ui().scriptOkCancel({false});
    const FlowOutcome outcome =
        runAutoProgram(bench.workspace(), bench.ui(), {true, true, true, true, true, true}, "");
    EXPECT_EQ(outcome.close, WindowClose::Cancel);
    EXPECT_EQ(outcome.result, kResultOk);
    EXPECT_EQ(bench.ui().okCancelQuestions(),
              std::vector<std::string>{std::string(msg::kLockOutQuestion)});
    EXPECT_EQ(bench.programWord(0), word0) << "nothing erased";
    EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
}

}  // namespace
}  // namespace velkaro
