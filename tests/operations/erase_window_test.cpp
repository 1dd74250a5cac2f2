// The erase window's OK on every modelled 12/14-bit device, and its other paths.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "operations/blank_check.h"
#include "operations/device_id.h"
#include "operations/erase_device.h"
#include "operations/erase_window.h"
#include "operations/midrange/word_erase.h"
#include "operations/operation_messages.h"
#include "sim/midrange/midrange_chip.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

using test::SimBench;

EraseOptions allTicked(bool keep) {
    return {true, true, false, true, keep};
}

// First location other than the OSCCAL word and the configuration words that is not
// erased, or "".
std::string firstNotBlank(SimBench& bench) {
    const DeviceDefinition& d = bench.device();
    for (int32_t i = 0; i < d.ProgSize; ++i)
        if (i != d.OscCal && bench.programWord(i) != d.BlankWord)
            return "program word " + std::to_string(i);
    for (int k = 0; k < 4; ++k)
        if (bench.idWord(k) != d.BlankWord)
            return "ID " + std::to_string(k);
    for (int32_t i = 0; i < d.EpromSize; ++i)
        if (bench.dataByte(i) != 0xFF)
            return "data byte " + std::to_string(i);
    return "";
}

TEST(EraseWindow, ErasesEveryDeviceAndKeepsOscCalAndBgOnlyWhenAsked) {
    for (const std::string& name : SimBench::modelledDevices()) {
        if (!sim::findMidrangeDevice(name))
            continue;
        // A protected chip hides its calibration values from the read before the erase,
        // so keeping them is tried on an unprotected one.
        for (const auto& [keep, isProtected] :
             {std::pair{false, false}, std::pair{false, true}, std::pair{true, false}}) {
            SCOPED_TRACE(name + (keep ? " keeping OSCCAL/BG" : "") +
                         (isProtected ? " protected" : ""));
            SimBench bench;
            bench.load(name);
            const DeviceDefinition& d = bench.device();
            const sim::MidrangeDevice& model = *sim::findMidrangeDevice(name);
            const uint16_t oscCal = d.OscCal != 0 ? bench.programWord(d.OscCal) : 0;
            const uint16_t bg = bench.configWord(0) & d.BGMask;
            bench.writePattern();
            if (isProtected)
                bench.setConfigWord(0, bench.configWord(0) & ~(model.cpMask | model.cpdMask));
            // Only the calibration goes back after the erase, never the buffer's configuration.
            bench.image().ConfigWords[0] = 0;

            const FlowOutcome outcome = runErase(bench.workspace(), bench.ui(), allTicked(keep));
            EXPECT_EQ(outcome.close, WindowClose::Ok);
            EXPECT_EQ(outcome.result, kResultOk);
            EXPECT_EQ(firstNotBlank(bench), "");
            const bool kept = keep && d.OscCal != 0;
            if (d.OscCal != 0) {
                EXPECT_EQ(bench.programWord(d.OscCal), kept ? oscCal : d.BlankWord);
            }
            if (d.BGMask != 0) {
                EXPECT_EQ(bench.configWord(0) & d.BGMask, kept ? bg : d.BGMask);
            }
            for (int k = 0; k < d.ConfigCount; ++k)
                EXPECT_EQ(bench.configWord(k) & d.ConfigMask[k], d.ConfigMask[k]);
            if (kept) {
                EXPECT_EQ(bench.image().OscCalValue, oscCal);
                EXPECT_EQ(bench.image().BGValue, bg);
            }
            EXPECT_EQ(blankCheck(bench.workspace(), bench.ui(), true, true), kResultOk);
        }
    }
}

TEST(EraseWindow, OpensWithTheRememberedBoxesAndOnlyTheBoxesTheDeviceHas) {
    SimBench bench;
    bench.load("PIC12F675");
    bench.workspace().eraseOptions = {true, false, true, false, false};
    EraseWindowState state = activateEraseWindow(bench.workspace());
    EXPECT_TRUE(state.checked.ProgEn);
    EXPECT_FALSE(state.checked.DataEn);
    EXPECT_TRUE(state.checked.BuffClear);
    EXPECT_TRUE(state.dataEnabled);
    EXPECT_TRUE(state.devIdEnabled);
    EXPECT_TRUE(state.oscCalVisible);
    bench.load("PIC16F84");
    state = activateEraseWindow(bench.workspace());
    EXPECT_FALSE(state.devIdEnabled) << "no device ID";
    EXPECT_FALSE(state.oscCalVisible);
    bench.load("PIC16F73");
    EXPECT_FALSE(activateEraseWindow(bench.workspace()).dataEnabled);
}

TEST(EraseWindow, IdMismatchAnsweredCancelErasesAndRemembersNothing) {
    SimBench bench;
    bench.load("PIC16F628A");
    bench.writePattern();
    bench.workspace().device.DeviceID = 0x1040;  // a PIC16F627A's
    const EraseOptions before = bench.workspace().eraseOptions;
    bench.ui().scriptOkCancel({false});
    const FlowOutcome outcome =
        runErase(bench.workspace(), bench.ui(), {true, true, true, true, true});
    EXPECT_EQ(outcome.close, WindowClose::Cancel);
    EXPECT_EQ(outcome.result, kResultOk) << "nothing ran";
    ASSERT_EQ(bench.ui().okCancelQuestions().size(), 1u);
    EXPECT_EQ(bench.ui().okCancelQuestions()[0],
              mismatchQuestion(msg::kDevIdMismatchEraseQuestion, "PIC16F628A",
                               readDeviceId(bench.workspace())));
    EXPECT_TRUE(bench.ui().okCancelDefaultsToCancel()[0]);
    EXPECT_NE(firstNotBlank(bench), "");
    EXPECT_EQ(bench.workspace().eraseOptions.ProgEn, before.ProgEn);
    EXPECT_EQ(bench.workspace().eraseOptions.BuffClear, before.BuffClear);

    bench.ui().scriptOkCancel({true});
    EXPECT_EQ(runErase(bench.workspace(), bench.ui(), {true, true, true, true, true}).result,
              kResultOk);
    EXPECT_EQ(firstNotBlank(bench), "");
    EXPECT_TRUE(bench.workspace().eraseOptions.BuffClear);
}

TEST(EraseWindow, NothingTickedClosesWithOkAndSendsNothing) {
    SimBench bench;
    bench.load("PIC16F84A");
    bench.workspace().eraseOptions.ProgEn = true;
    const FlowOutcome outcome =
        runErase(bench.workspace(), bench.ui(), {false, false, true, false, true});
    EXPECT_EQ(outcome.close, WindowClose::Ok);
    EXPECT_TRUE(bench.programmer().callLog().empty());
    EXPECT_FALSE(bench.workspace().eraseOptions.ProgEn) << "the choices are remembered";
}

TEST(EraseWindow, BufferIsClearedOnlyWhenAsked) {
    SimBench bench;
    bench.load("PIC16F877A");
    bench.image().ProgMemory[5] = 0x1234;
    runErase(bench.workspace(), bench.ui(), {true, true, false, false, false});
    EXPECT_EQ(bench.image().ProgMemory[5], 0x1234);
    runErase(bench.workspace(), bench.ui(), {true, true, true, false, false});
    EXPECT_EQ(bench.image().ProgMemory[5], bench.device().BlankWord);
}

// A device without an erase method is erased word by word; Cancel stops the pass at once,
// leaving the buffer and the rest of the chip alone.
TEST(EraseWindow, WordByWordFallbackAndItsCancel) {
    SimBench bench;
    bench.load("PIC16F84A");
    DeviceDefinition& d = bench.workspace().device;
    d.CmdSet &= ~0x00A0;
    d.ExtFlag1 = 0;
    bench.writePattern();
    EXPECT_EQ(runErase(bench.workspace(), bench.ui(), {true, false, false, false, false}).result,
              kResultOk);
    EXPECT_EQ(bench.ui().progress().back(), 100);
    for (int32_t i = 0; i < d.ProgSize; ++i)
        ASSERT_EQ(bench.programWord(i), d.BlankWord) << i;

    bench.writePattern();
    EXPECT_EQ(eraseDataWordByWord(bench.workspace(), bench.ui()), kResultOk);
    for (int32_t i = 0; i < d.EpromSize; ++i)
        ASSERT_EQ(bench.dataByte(i), 0xFF) << i;

    bench.writePattern();
    bench.image().ProgMemory[0] = 0x0ABC;
    bench.ui().cancelAfterPumps(3);
    const FlowOutcome outcome =
        runErase(bench.workspace(), bench.ui(), {true, true, true, false, false});
    EXPECT_EQ(outcome.close, WindowClose::Cancel);
    EXPECT_EQ(outcome.result, kResultCancelled);
    EXPECT_NE(bench.programWord(d.ProgSize - 1), d.BlankWord) << "stopped at once";
    EXPECT_EQ(bench.image().ProgMemory[0], 0x0ABC) << "a cancelled erase keeps the buffer";
}

// The erase string alone serves the window; the erase entry first asks for an erase method.
TEST(EraseWindow, EraseStringWithoutAnEraseMethodServesOnlyTheWindow) {
    SimBench bench;
    bench.load("PIC16F84A");
    DeviceDefinition& d = bench.workspace().device;
    d.CmdSet &= ~0x00A0;
    d.ExtFlag1 = 0;
    d.DeviceEraseCmd = "c2,d3fff,c1,c7,c8,w0,c1,c7";
    bench.writePattern();
    EXPECT_FALSE(eraseDevice(bench.workspace(), bench.ui(), EraseScope::ProgramOnly));
    EXPECT_NE(bench.programWord(0), d.BlankWord);
    EXPECT_EQ(runErase(bench.workspace(), bench.ui(), {true, true, false, false, false}).result,
              kResultOk);
    for (int32_t i = 0; i < d.ProgSize; ++i)
        ASSERT_EQ(bench.programWord(i), d.BlankWord) << i;
    EXPECT_NE(bench.dataByte(0), 0xFF) << "the string path leaves data memory to the string";
}

TEST(EraseWindow, LinkThatWillNotOpenShowsItsMessageAndClosesWithCancel) {
    for (const char* name : {"PIC12F508", "PIC16F84A"}) {  // string path and step path
        SCOPED_TRACE(name);
        SimBench bench;
        bench.load(name);
        bench.programmer().setAvailablePorts({});
        const FlowOutcome outcome =
            runErase(bench.workspace(), bench.ui(), {true, true, false, false, false});
        EXPECT_EQ(outcome.close, WindowClose::Cancel);
        EXPECT_EQ(bench.ui().messages().size(), 1u);
    }
}

}  // namespace
}  // namespace velkaro
