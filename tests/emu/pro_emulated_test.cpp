// The intelligent programmer end to end under emulation: the host backend, the serial
// bytes, the firmware built for the ATmega328P running in simavr, its pins, and a chip
// simulated at its pins. Times are the emulated CPU's.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include "app/programmer_hub.h"
#include "app/workspace.h"
#include "catalogue/message_sink.h"
#include "emu/avr_board.h"
#include "link/pro_programmer.h"
#include "link/programmer_clock.h"
#include "link/programmer_commands.h"
#include "link/virtual_clock.h"
#include "operations/auto_program.h"
#include "operations/blank_check.h"
#include "operations/device_id.h"
#include "operations/erase_window.h"
#include "operations/osccal_calc.h"
#include "operations/osccal_window.h"
#include "operations/read_device.h"
#include "operations/verify_device.h"
#include "operations/write_device.h"
#include "sim/sim_chip.h"
#include "support/paths.h"
#include "support/recording_ui.h"
#include "support/sim_bench.h"

#ifndef VELKARO_FIRMWARE_ELF
#error "VELKARO_FIRMWARE_ELF names the built firmware"
#endif

namespace velkaro {
namespace {

struct EmulatedBench {
    explicit EmulatedBench(const std::string& device)
        : target(sim::makeSimChip(device)),
          board(VELKARO_FIRMWARE_ELF, target),
          pro(board, [](int) { return std::string("emulated"); }),
          clock(board.clock()),
          workspace(test::binDir()) {
        clock.setDelaySink(&pro);
        SilentMessageSink messages;
        workspace.SelectDevice(device, messages);
        ProgrammerLink& link = workspace.attachProgrammer(pro, clock);
        link.setHardwareType(ProgrammerLink::kProgrammerPro);
        link.setUi(ui);
        link.measureCallsPerMillisecond();
    }
    ~EmulatedBench() {
        EXPECT_FALSE(target.vdd() || target.vpp()) << "target left powered";
        EXPECT_FALSE(pro.sessionOpen()) << "session left open";
    }
    sim::SimChip& chip() { return *target.chip(); }

    sim::PinTarget target;
    emu::AvrBoard board;
    ProProgrammer pro;
    ProgrammerClock clock;
    Workspace workspace;
    test::RecordingUi ui;
};

MemoryImage sampleImage(const Workspace& ws, uint32_t seed, int32_t words) {
    const DeviceDefinition& d = ws.device;
    MemoryImage image = ws.image;
    image.ClearImage(d, true, true);
    std::mt19937 random(seed);
    const uint16_t mask = d.isExtendedFamily() ? 0xFFFF : d.BlankWord;
    for (int32_t i = 0; i < std::min(d.ProgSize, words); ++i) {
        if (!(d.OscCal > 0 && i == d.OscCal))
            image.ProgMemory[i] = static_cast<uint16_t>(random() & mask);
    }
    for (int32_t i = 0; i < std::min<int32_t>(d.EpromSize, 32); ++i)
        image.DataMemory[i] = static_cast<uint8_t>(random());
    return image;
}

TEST(EmulatedPro, FirmwareAnswersItsDateAndVersion) {
    EmulatedBench bench("PIC12F675");
    ASSERT_TRUE(bench.board.loaded()) << bench.board.error();
    std::string date, version;
    ASSERT_TRUE(bench.workspace.link->QueryFirmware(date, version)) << bench.pro.lastError();
    EXPECT_EQ(date.size(), 8u);
    EXPECT_FALSE(firmwareVersionText(date, version).empty());
}

// The AVR port drives the two level pins as the circuit needs them: the regulator, worked
// out from its resistors, makes each commanded level, and the lowest once the session ends.
TEST(EmulatedPro, VppLevelPinsMakeEachLevel) {
    EmulatedBench bench("PIC12F675");
    ASSERT_TRUE(bench.board.loaded()) << bench.board.error();
    ProProgrammer& pro = bench.pro;
    for (const auto& [command, volts] :
         {std::pair{kCmdVppHigh, 13.0}, {kCmdVppLow, 12.0}, {kCmdVpp8V5, 8.5}}) {
        SCOPED_TRACE(command);
        ASSERT_EQ(pro.SOpen(1), 1) << pro.lastError();
        EXPECT_NEAR(bench.target.vppVolts(), 8.5, 0.05) << "after the reset";
        EXPECT_EQ(pro.SSendCmd(command), 1);
        EXPECT_EQ(pro.SVccOn(0), 1);
        EXPECT_EQ(pro.SVppOn(0), 1);
        EXPECT_EQ(pro.SCheckPower() & 1, 1) << pro.lastError();
        EXPECT_NEAR(bench.target.vppVolts(), volts, 0.05);
        EXPECT_EQ(pro.SPowerOff(), 1);
        EXPECT_EQ(pro.SClose(), 1);
        EXPECT_NEAR(bench.target.vppVolts(), 8.5, 0.05) << "after POWER_OFF";
    }
}

// A small device in full: ID check, erase, fast blank check, write, read back, verify; then
// (each on a fresh board, so they run side by side) the automatic sequence and the
// oscillator measurement.
TEST(EmulatedPro, Pic12F675EraseWriteReadVerify) {
    EmulatedBench bench("PIC12F675");
    ASSERT_TRUE(bench.board.loaded()) << bench.board.error();
    Workspace& ws = bench.workspace;
    ASSERT_EQ(checkDeviceId(ws), DeviceIdCheck::Match)
        << bench.pro.lastError() << testing::PrintToString(bench.chip().notes());
    ASSERT_EQ(runErase(ws, bench.ui, {true, true, false, true, true}).result, kResultOk);
    ASSERT_EQ(blankCheck(ws, bench.ui, true, true), kResultOk) << bench.pro.lastError();

    MemoryImage written = sampleImage(ws, 1, 1024);
    ws.image = written;
    ASSERT_EQ(runWrite(ws, bench.ui, {true, true, true, true}).result, kResultOk)
        << bench.pro.lastError() << " at " << bench.board.seconds() << " s";
    EXPECT_EQ(blankCheck(ws, bench.ui, true, false), kResultProgramError);
    ws.image.ClearImage(ws.device, true, true);
    ASSERT_EQ(runRead(ws, bench.ui, {true, true}).result, kResultOk);
    written.ProgMemory[ws.device.OscCal] = ws.image.ProgMemory[ws.device.OscCal];
    EXPECT_EQ(ws.image.ProgMemory, written.ProgMemory);
    EXPECT_EQ(ws.image.DataMemory, written.DataMemory);
    EXPECT_EQ(verifyDevice(ws, bench.ui, true, true, true), kResultOk);
    EXPECT_EQ(bench.chip().takeNotes(), std::vector<std::string>{});
}

TEST(EmulatedPro, Pic12F675AutomaticSequence) {
    EmulatedBench bench("PIC12F675");
    ASSERT_TRUE(bench.board.loaded()) << bench.board.error();
    Workspace& ws = bench.workspace;
    ws.image = sampleImage(ws, 2, 1024);
    EXPECT_EQ(runAutoProgram(ws, bench.ui, {true, true, true, true, true, true}, "Program").result,
              kResultOk)
        << bench.pro.lastError();
    EXPECT_EQ(bench.chip().takeNotes(), std::vector<std::string>{});
}

// The oscillator: the calibration program written, the chip run on VDD alone and its
// clock-out counted by the board's timer.
TEST(EmulatedPro, Pic12F675OscillatorMeasurement) {
    EmulatedBench bench("PIC12F675");
    ASSERT_TRUE(bench.board.loaded()) << bench.board.error();
    Workspace& ws = bench.workspace;
    bench.ui.scriptOkCancel({true});
    ASSERT_EQ(startOscCalibration(ws, bench.ui), OscCalStart::Ready);
    OscCalView view;
    EXPECT_EQ(updateOscCal(ws, bench.ui, view), kResultOk);
    EXPECT_NEAR(static_cast<double>(view.frequency), static_cast<double>(kOscNominal), 100.0)
        << view.oscVal;
    EXPECT_EQ(bench.chip().takeNotes(), std::vector<std::string>{});
}

// A part of a chip written, read back and verified: the PIC18's first kilobyte, and an
// enhanced-core chip, which the board must give its 8.5 V level (the model notes damage
// above 9 V).
class EmulatedProInPart : public testing::TestWithParam<const char*> {};

TEST_P(EmulatedProInPart, WritesReadsAndVerifies) {
    EmulatedBench bench(GetParam());
    ASSERT_TRUE(bench.board.loaded()) << bench.board.error();
    Workspace& ws = bench.workspace;
    ASSERT_EQ(checkDeviceId(ws), DeviceIdCheck::Match) << bench.pro.lastError();
    ws.device.ProgSize = 1024;  // the first block only, to keep the run short
    MemoryImage written = sampleImage(ws, 3, 512);
    ws.image = written;
    ASSERT_EQ(runWrite(ws, bench.ui, {true, false, true, true}).result, kResultOk)
        << bench.pro.lastError() << " at " << bench.board.seconds() << " s";
    ws.image.ClearImage(ws.device, true, false);
    ASSERT_EQ(runRead(ws, bench.ui, {true, false}).result, kResultOk);
    EXPECT_EQ(ws.image.ProgMemory, written.ProgMemory);
    EXPECT_EQ(bench.chip().takeNotes(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(TwoFamilies, EmulatedProInPart,
                         testing::Values("PIC18F4520", "PIC16F1827"));
INSTANTIATE_TEST_SUITE_P(EnhancedCore, EmulatedProInPart,
                         testing::ValuesIn(test::enhancedSiblings()), test::namedCaseName);

// The parts that differ from their family only in data: commands, latch counts, cycle
// times, code blocks.
INSTANTIATE_TEST_SUITE_P(ClassicParts, EmulatedProInPart,
                         testing::Values("PIC12F609", "PIC12F615", "PIC12F617", "PIC16F610",
                                         "PIC16F616", "PIC16F913", "PIC16F914", "PIC16F916",
                                         "PIC16F917", "PIC16F785", "PIC18F2682", "PIC18F2685",
                                         "PIC18F4682", "PIC18F4685"),
                         test::namedCaseName);

// The host's model of the board keeps the firmware's time: the same write and verify take
// the same emulated seconds on the host build of the core, charged by its cycle model and
// the 1 Mbaud wire, as on the ATmega328P build counted cycle by cycle.
class HostBoardTime : public testing::TestWithParam<const char*> {};

TEST_P(HostBoardTime, MatchesTheFirmwareUnderEmulation) {
    auto run = [](Workspace& ws, test::RecordingUi& ui, Clock& clock) {
        ws.device.ProgSize = std::min(ws.device.ProgSize, 1024);
        ws.image = sampleImage(ws, 4, 1024);
        const uint64_t start = clock.nowMicroseconds();
        EXPECT_EQ(runWrite(ws, ui, {true, ws.device.EpromSize > 0, true, false}).result, kResultOk);
        EXPECT_EQ(verifyDevice(ws, ui, true, ws.device.EpromSize > 0, true), kResultOk);
        return static_cast<double>(clock.nowMicroseconds() - start) / 1e6;
    };
    EmulatedBench avr(GetParam());
    ASSERT_TRUE(avr.board.loaded()) << avr.board.error();
    const double firmware = run(avr.workspace, avr.ui, avr.board.clock());

    VirtualClock clock;
    ProgrammerHub hub(clock, {});
    Workspace ws(test::binDir());
    test::RecordingUi ui;
    SilentMessageSink messages;
    ws.SelectDevice(GetParam(), messages);
    hub.insertChip(sim::makeSimChip(GetParam()));
    hub.setEmulatedBoard(true);
    ProgrammerLink& link = ws.attachProgrammer(hub, hub.linkClock());
    link.setHardwareType(ProgrammerLink::kProgrammerPro);
    link.setUi(ui);
    link.measureCallsPerMillisecond();
    hub.SSetMode(ProgrammerLink::kProgrammerPro);
    const double host = run(ws, ui, clock);
    EXPECT_EQ(hub.checkLeftSafe(), "");
    EXPECT_NEAR(host / firmware, 1.0, 0.03)
        << "host " << host << " s, firmware " << firmware << " s";
}

INSTANTIATE_TEST_SUITE_P(Families, HostBoardTime,
                         testing::Values("PIC12F675", "PIC16F877A", "PIC16F1827", "PIC18F4520"));

// The K-series on the board's 8.5 V level: the device ID, an erase and a blank check, the
// first kilobyte and some data written, read back and verified. The chip models note a
// programming voltage above 9 V, an erase code they do not take, a buffer overrun and every
// wait cut short of P9A, P10 or P11.
class EmulatedProKSeries : public testing::TestWithParam<const char*> {};

TEST_P(EmulatedProKSeries, ProgramsAtEightAndAHalfVolts) {
    EmulatedBench bench(GetParam());
    ASSERT_TRUE(bench.board.loaded()) << bench.board.error();
    Workspace& ws = bench.workspace;
    ASSERT_EQ(checkDeviceId(ws), DeviceIdCheck::Match) << bench.pro.lastError();
    ASSERT_EQ(runErase(ws, bench.ui, {true, true, false, true, true}).result, kResultOk)
        << bench.pro.lastError();
    ASSERT_EQ(blankCheck(ws, bench.ui, true, true), kResultOk);
    ws.device.ProgSize = 1024;  // the first block only, to keep the run short
    MemoryImage written = sampleImage(ws, 5, 1024);
    ws.image = written;
    ASSERT_EQ(runWrite(ws, bench.ui, {true, true, true, true}).result, kResultOk)
        << bench.pro.lastError() << " at " << bench.board.seconds() << " s";
    ws.image.ClearImage(ws.device, true, true);
    ASSERT_EQ(runRead(ws, bench.ui, {true, true}).result, kResultOk);
    EXPECT_EQ(ws.image.ProgMemory, written.ProgMemory);
    EXPECT_EQ(ws.image.DataMemory, written.DataMemory);
    ws.image = written;
    EXPECT_EQ(verifyDevice(ws, bench.ui, true, true, true), kResultOk);
    EXPECT_EQ(bench.chip().takeNotes(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Listed, EmulatedProKSeries,
                         testing::Values("PIC18F25K22", "PIC18F26K22", "PIC18F45K22", "PIC18F46K22",
                                         "PIC18F24K22", "PIC18F23K22", "PIC18F25K50", "PIC18F45K50",
                                         "PIC18F24K50", "PIC18F25K20", "PIC18F45K20", "PIC18F43K22",
                                         "PIC18F44K22", "PIC18F26K20", "PIC18F46K20", "PIC18F24K20",
                                         "PIC18F44K20", "PIC18F23K20", "PIC18F43K20"));

// The firmware on the AVR enters an enhanced-core chip by the low-voltage key with VPP off;
// the same chip with its LVP bit clear ignores the key.
TEST(EmulatedPro, LowVoltageEntryReadsTheDeviceIdOnlyWhileLvpIsSet) {
    for (const bool lvp : {true, false}) {
        SCOPED_TRACE(lvp ? "LVP 1" : "LVP 0");
        EmulatedBench bench("PIC16F1827");
        ASSERT_TRUE(bench.board.loaded()) << bench.board.error();
        if (!lvp)
            bench.chip().poke(0x8008, bench.chip().peek(0x8008) & ~0x2000);
        bench.workspace.link->setEntryMode(EntryMode::LowVoltage);
        EXPECT_EQ(checkDeviceId(bench.workspace) == DeviceIdCheck::Match, lvp)
            << bench.pro.lastError();
        bench.chip().takeNotes();
    }
}

// The board failing under the host in the middle of a write: it stops answering, a byte is
// garbled on the wire, it resets. Each ends as a failure with the reason and an unpowered
// target.
struct BoardFault {
    const char* what;
    void (*spoil)(emu::AvrBoard&);
};

class EmulatedBoardFault : public testing::TestWithParam<BoardFault> {};

TEST_P(EmulatedBoardFault, EndsAsAHardwareFailure) {
    const BoardFault& c = GetParam();
    EmulatedBench bench("PIC12F675");
    ASSERT_TRUE(bench.board.loaded()) << bench.board.error();
    c.spoil(bench.board);
    bench.workspace.image = sampleImage(bench.workspace, 4, 1024);
    const FlowOutcome outcome = runWrite(bench.workspace, bench.ui, {true, true, true, false});
    EXPECT_NE(outcome.result, kResultOk);
    EXPECT_FALSE(bench.pro.lastError().empty());
    // A board cut off from its host switches the target off on its own.
    bench.board.clock().sleepMilliseconds(2500);
    bench.chip().takeNotes();
    if (std::string(c.what) != "GarbledByte")
        return;
    // The fault gone, the next write starts clean: nothing of the failed session
    // (frames, reads not taken) carries over.
    bench.board.garbleByte(-1);
    EXPECT_EQ(runWrite(bench.workspace, bench.ui, {true, true, true, false}).result, kResultOk)
        << bench.pro.lastError();
    EXPECT_EQ(verifyDevice(bench.workspace, bench.ui, true, true, true), kResultOk);
    EXPECT_EQ(bench.chip().takeNotes(), std::vector<std::string>{});
}

// About 8000 bytes in, the program memory is being written.
INSTANTIATE_TEST_SUITE_P(
    WhileWriting, EmulatedBoardFault,
    testing::Values(BoardFault{"StopsAnswering", [](emu::AvrBoard& b) { b.hangAfterBytes(8000); }},
                    BoardFault{"GarbledByte", [](emu::AvrBoard& b) { b.garbleByte(8000); }},
                    BoardFault{"Resets", [](emu::AvrBoard& b) { b.resetAfterBytes(8000); }}),
    [](const testing::TestParamInfo<BoardFault>& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace velkaro

namespace velkaro {
namespace {

// Speed figures, not a check: a full write and verify of a whole device through the
// emulated board, in emulated seconds. Run by hand:
//   build/bin/test_emu --gtest_also_run_disabled_tests --gtest_filter='*Speed*'
// Shows when each status text appeared, in emulated seconds.
class TimedUi : public test::RecordingUi {
public:
    explicit TimedUi(emu::AvrBoard& board) : mBoard(board) {}
    void setStatusText(std::string_view text) override {
        test::RecordingUi::setStatusText(text);
        if (!text.empty())
            std::printf("  %7.3f s  %.*s\n", mBoard.seconds(), static_cast<int>(text.size()),
                        text.data());
    }

private:
    emu::AvrBoard& mBoard;
};

TEST(EmulatedProSpeed, DISABLED_FullWriteAndVerify) {
    for (const char* name : {"PIC16F877A", "PIC18F4520"}) {
        EmulatedBench bench(name);
        TimedUi timed(bench.board);
        bench.workspace.link->setUi(timed);
        ASSERT_TRUE(bench.board.loaded()) << bench.board.error();
        Workspace& ws = bench.workspace;
        ws.image = sampleImage(ws, 7, ws.device.ProgSize);
        const double start = bench.board.seconds();
        ASSERT_EQ(runWrite(ws, timed, {true, true, true, false}).result, kResultOk)
            << bench.pro.lastError();
        const double written = bench.board.seconds();
        ASSERT_EQ(verifyDevice(ws, timed, true, true, true), kResultOk);
        const double verified = bench.board.seconds();
        EXPECT_EQ(bench.chip().takeNotes(), std::vector<std::string>{});
        // Every link session pauses 3 x 200 ms while it powers the target and 100 ms after
        // it closes, whatever the programmer; the rest is measured against the programming
        // and settling waits of the device data, which no programmer can shorten.
        const auto sessions = static_cast<double>(bench.pro.sessions());
        const double pauses = sessions * 0.7;
        const double waits =
            static_cast<double>(bench.pro.delayedMicroseconds()) / 1e6 - sessions * 0.6;
        const double total = verified - start;
        std::printf(
            "%s: write %.2f s, verify %.2f s, total %.2f s emulated; %llu bytes sent, "
            "%llu received, %llu round trips\n"
            "  %.0f link sessions: %.2f s of pauses between supply steps; %.2f s of device "
            "waits; the rest, %.2f s, is %.2fx the waits\n",
            name, written - start, verified - written, total,
            static_cast<unsigned long long>(bench.pro.bytesSent()),
            static_cast<unsigned long long>(bench.pro.bytesReceived()),
            static_cast<unsigned long long>(bench.pro.roundTrips()), sessions, pauses, waits,
            total - pauses, (total - pauses) / waits);
    }
}

}  // namespace
}  // namespace velkaro
