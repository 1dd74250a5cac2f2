// The automatic program sequence end to end on strict simulated chips of each family: the
// option combinations, the steps it shows, where it stops and what it leaves in the chip.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "link/link_messages.h"
#include "operations/auto_program.h"
#include "operations/device_id.h"
#include "operations/operation_messages.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

using test::SimBench;

constexpr std::string_view kCaption = msg::kProgCaption;

// One device of each family: 12-bit with OSCCAL and no ID; 14-bit with OSCCAL, band gap,
// data memory and an ID; 14-bit without OSCCAL; the two 16-bit core families.
const char* const kDevices[] = {"PIC12F508", "PIC12F675", "PIC16F628A", "PIC18F452", "PIC18F2520"};

// Every word of the image differs from the bench's pattern, but every 16th is left blank;
// the first configuration word loses its lowest implemented bit.
void fillImage(SimBench& bench) {
    const DeviceDefinition& d = bench.device();
    MemoryImage& image = bench.image();
    image.ClearImage(d, true, true);
    for (int32_t i = 0; i < d.ProgSize; ++i)
        image.ProgMemory[i] =
            i % 16 == 7 ? d.BlankWord : static_cast<uint16_t>((i * 0x0345 + 0x0789) & d.BlankWord);
    for (int k = 0; k < 4; ++k)
        image.IdWords[k] = static_cast<uint16_t>(0x0A + k * 0x21);
    for (int32_t i = 0; i < d.EpromSize; ++i)
        image.DataMemory[i] = static_cast<uint8_t>(0xA5 ^ (i * 13));
    const uint16_t lowest = d.ConfigMask[0] & static_cast<uint16_t>(-d.ConfigMask[0]);
    image.ConfigWords[0] = static_cast<uint16_t>(d.ConfigMask[0] & ~lowest);
    // The file's calibration values are not the chip's.
    if (d.OscCal != 0) {
        image.OscCalValue = static_cast<uint16_t>(bench.programWord(d.OscCal) ^ 0x0004);
        image.ProgMemory[d.OscCal] = image.OscCalValue;
    }
    image.BGValue = static_cast<uint16_t>((bench.configWord(0) ^ d.BGMask) & d.BGMask);
}

// First place where the chip differs from `expected` (program memory, IDs and configuration
// with `program`, data memory with `data`), or "".
std::string firstDifference(SimBench& bench, const MemoryImage& expected, bool program, bool data) {
    const DeviceDefinition& d = bench.device();
    for (int32_t i = 0; program && i < d.ProgSize; ++i)
        if (bench.programWord(i) != expected.ProgMemory[i])
            return "program word " + std::to_string(i);
    for (int k = 0; program && k < 4; ++k)
        if ((bench.idWord(k) & 0xFF) != (expected.IdWords[k] & 0xFF))
            return "ID " + std::to_string(k);
    for (int k = 0; program && k < d.ConfigCount; ++k)
        if ((bench.configWord(k) & d.ConfigMask[k]) != (expected.ConfigWords[k] & d.ConfigMask[k]))
            return "configuration word " + std::to_string(k);
    if (program && (bench.configWord(0) & d.BGMask) != expected.BGValue)
        return "BG bits";
    for (int32_t i = 0; data && i < d.EpromSize; ++i)
        if (bench.dataByte(i) != expected.DataMemory[i])
            return "data byte " + std::to_string(i);
    return "";
}

std::vector<std::string> captionsOf(const std::vector<ProgStep>& steps) {
    std::vector<std::string> captions;
    for (ProgStep step : steps)
        captions.push_back(std::string(kCaption) + "  " + std::string(progStepText(step)));
    captions.emplace_back(kCaption);
    return captions;
}

TEST(AutoProgram, ScopeFollowsTheRegionBoxesAndWhetherDataIsEnabled) {
    struct Row {
        bool dataEnabled, prog, data;
        std::optional<EraseScope> scope;
        bool writesData;
    };
    const Row rows[] = {
        {true, true, true, EraseScope::All, true},
        {true, true, false, EraseScope::ProgramOnly, false},
        {true, false, true, EraseScope::DataOnly, true},
        {true, false, false, std::nullopt, false},
        {false, true, true, EraseScope::All, false},
        {false, false, true, std::nullopt, false},
    };
    for (const Row& row : rows) {
        const ProgWork work = progWork(row.prog, row.data, row.dataEnabled);
        EXPECT_EQ(work.scope, row.scope) << row.dataEnabled << row.prog << row.data;
        EXPECT_EQ(work.data, row.writesData) << row.dataEnabled << row.prog << row.data;
    }
}

// Each combination on each device: a chip holding an old program ends holding the image,
// with the chip's own OSCCAL and BG values when they are kept, the steps shown in order.
TEST(AutoProgram, WritesEachFamilyWithEachCombinationOfOptions) {
    using S = ProgStep;
    struct Combo {
        const char* name;
        ProgOptions options;  // ProgEn, DataEn, OscCalEn, BlankEn, VerifyEn, DevIdChk
    };
    const Combo combos[] = {
        {"defaults", {}},
        {"everything", {true, true, true, true, true, true}},
        {"file's OSCCAL, verify", {true, true, false, false, true, false}},
        {"program only, blank check", {true, false, true, true, false, false}},
        {"data only, verify", {false, true, true, false, true, false}},
        {"data only", {false, true, true, false, false, false}},
    };
    for (const char* name : kDevices) {
        for (const Combo& combo : combos) {
            SCOPED_TRACE(std::string(name) + ", " + combo.name);
            SimBench bench;
            bench.load(name);
            const DeviceDefinition& d = bench.device();
            const ProgOptions& o = combo.options;
            const bool data = o.DataEn && d.EpromSize != 0;
            if (!o.ProgEn && !data)
                continue;
            const uint16_t factoryOscCal = d.OscCal != 0 ? bench.programWord(d.OscCal) : 0;
            const uint16_t factoryBg = bench.configWord(0) & d.BGMask;
            // Baseline parts keep a backup copy of OSCCAL after their IDs.
            const uint32_t backupAdr = static_cast<uint32_t>(d.IdAdr + 4);
            const uint16_t backup = bench.chip().peek(backupAdr);
            const uint16_t freshConfig = bench.configWord(0);
            bench.writePattern();
            if (d.isExtendedFamily() && !o.DataEn) {
                // The panel erases that spare data memory do not reach the IDs and the
                // configuration of a 16-bit core, and a programmed ID byte cannot be written
                // back to ones: this chip has an old program but unprogrammed IDs.
                for (int k = 0; k < 8; ++k)
                    bench.setIdWord(k, 0xFF);
                bench.setConfigWord(0, freshConfig);
            }
            fillImage(bench);
            // The configuration check compares the IDs too, which only a program write sets.
            for (int k = 0; !o.ProgEn && k < (d.isExtendedFamily() ? 8 : 4); ++k)
                bench.setIdWord(k, bench.image().IdWords[k]);
            // Without program memory the configuration is left as the chip has it, even one
            // that would protect it.
            const uint16_t configBefore = bench.configWord(0);
            if (!o.ProgEn)
                bench.image().ConfigWords[0] = 0;
            MemoryImage expected = bench.image();
            const bool keep = o.OscCalEn && d.OscCal != 0;
            if (keep) {
                expected.ProgMemory[d.OscCal] = factoryOscCal;
                expected.BGValue = factoryBg;
            }

            const FlowOutcome outcome = runAutoProgram(bench.workspace(), bench.ui(), o, kCaption);
            EXPECT_EQ(outcome.close, WindowClose::Ok);
            EXPECT_EQ(outcome.result, kResultOk);
            EXPECT_EQ(bench.ui().messages(), std::vector<std::string>{std::string(msg::kProgDone)});
            EXPECT_EQ(firstDifference(bench, expected, o.ProgEn, data), "");
            if (d.BitWidth == 12) {
                EXPECT_EQ(bench.chip().peek(backupAdr), backup) << "backup OSCCAL";
            }
            if (!o.ProgEn) {
                EXPECT_EQ(bench.programWord(0), 0x0456) << "program memory left alone";
                EXPECT_EQ(bench.configWord(0), configBefore) << "configuration left alone";
            }
            if (d.EpromSize != 0 && !o.DataEn) {
                EXPECT_EQ(bench.dataByte(1), 10) << "data memory left alone";
            }

            std::vector<S> steps;
            if (o.DevIdChk)
                steps.push_back(S::DeviceId);
            if (keep)
                steps.push_back(S::OscCal);
            steps.push_back(S::Erase);
            if (o.BlankEn)
                steps.push_back(S::BlankCheck);
            steps.push_back(S::Write);
            if (o.VerifyEn)
                steps.push_back(S::Verify);
            if (o.VerifyEn && o.ProgEn)
                steps.insert(steps.end(), {S::ConfigWrite, S::ConfigCheck});
            EXPECT_EQ(bench.ui().captions(), captionsOf(steps));
            EXPECT_TRUE(bench.ui().okCancelQuestions().empty());
            EXPECT_EQ(bench.workspace().progOptions.BlankEn, o.BlankEn) << "boxes remembered";
            EXPECT_EQ(bench.workspace().progOptions.ProgEn, o.ProgEn);
        }
    }
}

// With verify, the configuration goes in only after program memory verified: a word that
// reads wrong stops the sequence before it, leaving the chip unprotected.
TEST(AutoProgram, ConfigurationIsWrittenOnlyAfterProgramMemoryVerified) {
    SimBench bench;
    bench.load("PIC12F675");
    fillImage(bench);
    // A word the image leaves blank is skipped by the write; only the verify can see it.
    bench.chip().setStuckBits(23, 0x0001, 0x0000);
    const ProgOptions options{true, true, true, false, true, false};
    const FlowOutcome outcome = runAutoProgram(bench.workspace(), bench.ui(), options, kCaption);
    EXPECT_EQ(outcome.close, WindowClose::Ok);
    EXPECT_EQ(outcome.result, kResultProgramError);
    EXPECT_EQ(bench.ui().messages(), std::vector<std::string>{std::string(kMsgProgramMemoryError)});
    EXPECT_EQ(bench.ui().captions(),
              captionsOf({ProgStep::OscCal, ProgStep::Erase, ProgStep::Write, ProgStep::Verify}));
    EXPECT_EQ(bench.configWord(0) & 0x01FF, 0x01FF) << "configuration never written";
    EXPECT_TRUE(bench.workspace().progOptions.VerifyEn) << "remembered after a failure too";
}

// Failures end the sequence at once with their own message; the steps after them never run.
TEST(AutoProgram, StopsAtTheFirstFailureWithItsMessage) {
    struct Case {
        const char* name;
        std::function<void(SimBench&)> inject;
        ProgOptions options;
        std::vector<ProgStep> steps;
        ResultCode result;
        std::string_view message;
    };
    using S = ProgStep;
    // A lost programmer is said with its reason below the hardware message.
    static const std::string kLost =
        std::string(kMsgHardwareError) + "\rthe programmer stopped answering (connection lost)";
    const Case cases[] = {
        {"not blank after the erase",
         [](SimBench& b) { b.chip().setStuckBits(5, 0x0001, 0x0000); },
         {true, true, false, true, false, false},
         {S::Erase, S::BlankCheck},
         kResultProgramError,
         kMsgProgramMemoryError},
        {"link will not open",
         [](SimBench& b) { b.programmer().setAvailablePorts({}); },
         {true, true, true, true, true, false},
         {S::OscCal, S::Erase},
         kResultHardwareError,
         msg::kProgEraseFailed},
        {"programmer lost while writing",
         [](SimBench& b) {
             // Half of what a whole run takes lands in the write, which takes most of it.
             SimBench whole;
             whole.load(b.device().DeviceName);
             fillImage(whole);
             runAutoProgram(whole.workspace(), whole.ui(), {true, true, false, false, false, false},
                            kCaption);
             sim::FaultPlan faults;
             faults.connectionLostAfterCalls =
                 static_cast<int64_t>(whole.programmer().callLog().size() / 2);
             b.programmer().setFaults(faults);
         },
         {true, true, false, false, false, false},
         {S::Erase, S::Write},
         kResultHardwareError,
         kLost},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimBench bench;
        bench.load("PIC12F675");
        fillImage(bench);
        c.inject(bench);
        const FlowOutcome outcome =
            runAutoProgram(bench.workspace(), bench.ui(), c.options, kCaption);
        EXPECT_EQ(outcome.close, WindowClose::Ok);
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_EQ(bench.ui().messages(), std::vector<std::string>{std::string(c.message)});
        EXPECT_EQ(bench.ui().captions(), captionsOf(c.steps));
        EXPECT_EQ(bench.configWord(0) & 0x01FF, 0x01FF) << "configuration never written";
    }
}

TEST(AutoProgram, DeclinedIdQuestionTouchesNothingAndRemembersNothing) {
    SimBench bench;
    bench.load("PIC16F628A");
    bench.writePattern();
    fillImage(bench);
    bench.workspace().device.DeviceID = 0x1040;  // a PIC16F627A's
    bench.ui().scriptOkCancel({false});
    const ProgOptions options{true, true, true, true, true, true};
    const FlowOutcome outcome = runAutoProgram(bench.workspace(), bench.ui(), options, kCaption);
    EXPECT_EQ(outcome.close, WindowClose::Cancel);
    EXPECT_EQ(outcome.result, kResultOk);
    EXPECT_EQ(bench.ui().okCancelQuestions(), std::vector<std::string>{mismatchQuestion(
                                                  msg::kDevIdMismatchWriteQuestion, "PIC16F628A",
                                                  readDeviceId(bench.workspace()))});
    EXPECT_EQ(bench.ui().okCancelDefaultsToCancel(), std::vector<bool>{true});
    EXPECT_TRUE(bench.ui().messages().empty());
    EXPECT_EQ(bench.ui().captions(), captionsOf({ProgStep::DeviceId}));
    EXPECT_EQ(bench.programWord(0), 0x0456) << "nothing erased";
    EXPECT_FALSE(bench.workspace().progOptions.BlankEn) << "nothing remembered";
}

TEST(AutoProgram, NothingToDoClosesAtOnceWithoutTouchingTheChip) {
    SimBench bench;
    bench.load("PIC12F508");  // no data memory: the data box is disabled
    const FlowOutcome outcome = runAutoProgram(bench.workspace(), bench.ui(),
                                               {false, true, true, true, true, true}, kCaption);
    EXPECT_EQ(outcome.close, WindowClose::Ok);
    EXPECT_TRUE(bench.programmer().callLog().empty());
    EXPECT_EQ(bench.ui().captions(), std::vector<std::string>{std::string(kCaption)});
    EXPECT_TRUE(bench.workspace().progOptions.ProgEn) << "nothing remembered";
}

// Cancel seen by the write: the sequence ends silently, closes with Cancel and remembers.
TEST(AutoProgram, CancelDuringTheWriteEndsSilently) {
    SimBench bench;
    bench.load("PIC16F628A");
    fillImage(bench);
    bench.ui().cancelAfterPumps(100);
    const ProgOptions options{true, true, false, false, true, false};
    const FlowOutcome outcome = runAutoProgram(bench.workspace(), bench.ui(), options, kCaption);
    EXPECT_EQ(outcome.close, WindowClose::Cancel);
    EXPECT_EQ(outcome.result, kResultCancelled);
    EXPECT_TRUE(bench.ui().messages().empty());
    EXPECT_EQ(bench.ui().captions(), captionsOf({ProgStep::Erase, ProgStep::Write}));
    EXPECT_TRUE(bench.workspace().progOptions.VerifyEn);
}

// Half a second on the link's clock between the steps, beyond the link's own 100 ms after
// closing: after the ID check, the OSCCAL read, the erase, the blank check, the first write
// and the verify, and none after the configuration write.
TEST(AutoProgram, PausesBetweenStepsOnTheLinksClock) {
    SimBench bench;
    bench.load("PIC12F675");
    fillImage(bench);
    runAutoProgram(bench.workspace(), bench.ui(), {true, true, true, true, true, true}, kCaption);
    const std::vector<sim::LibraryCall>& log = bench.programmer().callLog();
    int pauses = 0;
    for (size_t i = 1; i < log.size(); ++i)
        pauses += log[i].timeUs - log[i - 1].timeUs >= 600000 ? 1 : 0;
    EXPECT_EQ(pauses, 6);
}

}  // namespace
}  // namespace velkaro
