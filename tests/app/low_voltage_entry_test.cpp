// Programming mode by the low-voltage key: the entry each programmer picks by itself, the
// refusals before power-up, a write, read and verify through each backend that can send the
// key (the simulated programmer, the JDM over its lines, the PRO's own firmware), a chip
// whose LVP bit is clear, and the question before a write that would clear it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "app/programmer_hub.h"
#include "app/self_test.h"
#include "app/workspace.h"
#include "catalogue/message_sink.h"
#include "link/link_messages.h"
#include "link/virtual_clock.h"
#include "operations/auto_program.h"
#include "operations/operation_messages.h"
#include "operations/read_device.h"
#include "operations/verify_device.h"
#include "operations/write_device.h"
#include "sim/sim_chip.h"
#include "support/paths.h"
#include "support/recording_ui.h"

namespace velkaro {
namespace {

constexpr int kPro = ProgrammerLink::kProgrammerPro;
constexpr int kJdm = ProgrammerLink::kProgrammerJdm;
constexpr uint32_t kConfigWord2 = 0x8008;
constexpr uint16_t kLvpBit = 0x2000;

enum class Backend { Simulated, Jdm, EmulatedBoard };

struct LvpBench {
    LvpBench(const std::string& device, Backend backend, EntryMode entry)
        : hub(clock, {}), workspace(test::binDir()) {
        SilentMessageSink messages;
        workspace.SelectDevice(device, messages);
        hub.insertChip(sim::makeSimChip(device));
        const int type = backend == Backend::Jdm ? kJdm : kPro;
        hub.setEmulatedBoard(backend == Backend::EmulatedBoard);
        ProgrammerLink& link = workspace.attachProgrammer(
            hub, backend == Backend::EmulatedBoard ? hub.linkClock() : clock);
        link.setHardwareType(type);
        link.setEntryMode(entry);
        link.setUi(ui);
        link.measureCallsPerMillisecond();
        hub.SSetMode(type);
    }
    ~LvpBench() { EXPECT_EQ(hub.checkLeftSafe(), "") << "left switched on"; }
    sim::SimChip& chip() { return *hub.chip(); }
    void clearLvpBit() { chip().poke(kConfigWord2, chip().peek(kConfigWord2) & ~kLvpBit); }

    VirtualClock clock;
    ProgrammerHub hub;
    Workspace workspace;
    test::RecordingUi ui;
};

MemoryImage sampleImage(const Workspace& ws) {
    const DeviceDefinition& d = ws.device;
    MemoryImage image = ws.image;
    image.ClearImage(d, true, true);
    std::mt19937 random(7);
    for (int32_t i = 0; i < std::min<int32_t>(d.ProgSize, 256); ++i)
        image.ProgMemory[i] = static_cast<uint16_t>(random() & d.BlankWord);
    for (int32_t i = 0; i < std::min<int32_t>(d.EpromSize, 32); ++i)
        image.DataMemory[i] = static_cast<uint8_t>(random());
    return image;
}

TEST(LowVoltageEntry, EachProgrammerPicksTheEntryThatWorksForItsChips) {
    struct Case {
        const char* device;
        int type;
        bool lowVoltage;
    };
    // The JDM's 13 V is refused by the enhanced core: it takes the key. The PRO has 8.5 V,
    // which also reaches chips shipped with LVP 0. Devices without an LVP bit keep VPP (the
    // PIC16F628A's LVP bit means its PGM pin, not the key).
    const Case cases[] = {
        {"PIC16F1827", kJdm, true}, {"PIC12F1840", kJdm, true},  {"PIC16F1827", kPro, false},
        {"PIC16F84A", kJdm, false}, {"PIC16F628A", kJdm, false}, {"PIC18F452", kPro, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.device) + (c.type == kPro ? " PRO" : " JDM"));
        LvpBench bench(c.device, c.type == kJdm ? Backend::Jdm : Backend::Simulated,
                       EntryMode::Automatic);
        EXPECT_EQ(bench.workspace.link->usesLowVoltageEntry(), c.lowVoltage);
    }
}

TEST(LowVoltageEntry, AskedOfADeviceWithoutItIsRefusedBeforePowerUp) {
    for (const int type : {kPro, kJdm}) {
        LvpBench bench("PIC16F84A", type == kJdm ? Backend::Jdm : Backend::Simulated,
                       EntryMode::LowVoltage);
        Workspace& ws = bench.workspace;
        EXPECT_EQ(runRead(ws, bench.ui, {true, true}).result, kResultVppUnavailable);
        EXPECT_EQ(bench.hub.simulatedOpens(), 0);
        ASSERT_FALSE(bench.ui.messages().empty());
        EXPECT_EQ(bench.ui.messages().back(), kMsgLowVoltageUnavailable);
    }
    // High voltage asked of the JDM on the enhanced core stays refused for its 13 V.
    LvpBench bench("PIC16F1827", Backend::Jdm, EntryMode::HighVoltage);
    EXPECT_EQ(runRead(bench.workspace, bench.ui, {true, true}).result, kResultVppUnavailable);
    EXPECT_EQ(bench.hub.simulatedOpens(), 0);
}

class LowVoltageRoundTrip : public testing::TestWithParam<std::tuple<const char*, Backend>> {};

TEST_P(LowVoltageRoundTrip, WritesReadsBackAndVerifiesWithoutVpp) {
    const auto [device, backend] = GetParam();
    LvpBench bench(device, backend, EntryMode::LowVoltage);
    Workspace& ws = bench.workspace;
    const bool data = ws.device.EpromSize > 0;
    const MemoryImage written = sampleImage(ws);
    ws.image = written;
    ASSERT_EQ(runWrite(ws, bench.ui, {true, data, true, true}).result, kResultOk)
        << bench.hub.lastError() << (bench.ui.messages().empty() ? "" : bench.ui.messages().back());
    ws.image.ClearImage(ws.device, true, true);
    ASSERT_EQ(runRead(ws, bench.ui, {true, data}).result, kResultOk);
    EXPECT_EQ(ws.image.ProgMemory, written.ProgMemory);
    EXPECT_EQ(ws.image.DataMemory, written.DataMemory);
    EXPECT_EQ(verifyDevice(ws, bench.ui, true, data, true), kResultOk);
    if (backend == Backend::Simulated) {
        EXPECT_TRUE(bench.hub.simulator().callsNamed("SVppOn").empty());
    }
    EXPECT_EQ(bench.chip().takeNotes(), std::vector<std::string>{});
}

std::string roundTripName(const testing::TestParamInfo<std::tuple<const char*, Backend>>& info) {
    static const char* const kNames[] = {"Simulated", "Jdm", "EmulatedBoard"};
    return std::string(std::get<0>(info.param)) + "_" +
           kNames[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(Backends, LowVoltageRoundTrip,
                         testing::Combine(testing::Values("PIC16F1827", "PIC12F1840", "PIC16F1509"),
                                          testing::Values(Backend::Simulated, Backend::Jdm,
                                                          Backend::EmulatedBoard)),
                         roundTripName);

// A chip whose LVP bit is clear ignores the key and keeps running: every backend reports
// the failure with the reason, and the target ends unpowered.
TEST(LowVoltageEntry, AChipWithLvpClearIsAFailureNotASuccess) {
    for (const Backend backend : {Backend::Simulated, Backend::Jdm, Backend::EmulatedBoard}) {
        SCOPED_TRACE(static_cast<int>(backend));
        LvpBench bench("PIC16F1827", backend, EntryMode::LowVoltage);
        bench.clearLvpBit();
        Workspace& ws = bench.workspace;
        EXPECT_EQ(runRead(ws, bench.ui, {true, true}).result, kResultHardwareError);
        ASSERT_FALSE(bench.ui.messages().empty());
        EXPECT_NE(bench.ui.messages().back().find(msg::kNotInProgrammingModeLvp), std::string::npos)
            << bench.ui.messages().back();
        EXPECT_EQ(bench.hub.checkLeftSafe(), "");
        EXPECT_FALSE(bench.chip().inProgrammingMode());
        if (backend == Backend::Jdm) {
            const SelfTestResult selfTest = runSelfTest(ws, bench.hub, "COM1");
            EXPECT_EQ(selfTest.failure, SelfTestResult::Failure::Programmer);
            EXPECT_NE(selfTest.steps.back().advice.find("LVP bit"), std::string::npos);
        }
        bench.chip().takeNotes();
    }
}

// An image whose configuration clears LVP, written by the key, would leave the chip
// reachable by VPP only: asked first, as the lock-out is, by the write and the automatic
// sequence; declined, nothing is written. By VPP nothing is asked.
TEST(LowVoltageEntry, AWriteThatClearsLvpIsAskedAboutFirst) {
    for (const EntryMode entry : {EntryMode::LowVoltage, EntryMode::HighVoltage}) {
        for (const bool automatic : {false, true}) {
            SCOPED_TRACE(std::string(entryModeName(entry)) + (automatic ? " program" : " write"));
            LvpBench bench("PIC16F1827", Backend::Simulated, entry);
            Workspace& ws = bench.workspace;
            ws.image = sampleImage(ws);
            ws.image.ConfigWords[1] &= static_cast<uint16_t>(~kLvpBit);
            bench.ui.scriptOkCancel({false});
            const FlowOutcome outcome =
                automatic ? runAutoProgram(ws, bench.ui, {true, false, true, false, false, false},
                                           "Program")
                          : runWrite(ws, bench.ui, {true, false, true, false});
            const bool asked = entry == EntryMode::LowVoltage;
            const auto& questions = bench.ui.okCancelQuestions();
            EXPECT_EQ(std::count(questions.begin(), questions.end(), msg::kLvpOffQuestion),
                      asked ? 1 : 0);
            EXPECT_EQ(bench.chip().peek(0) == ws.image.ProgMemory[0], !asked);
            if (!asked) {
                EXPECT_EQ(outcome.result, kResultOk);
            }
        }
    }
}

}  // namespace
}  // namespace velkaro
