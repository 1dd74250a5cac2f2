// The bit-banged programmer end to end: the JDM backend clocks every bit over simulated
// serial lines into a pin-level chip, through the same flows the windows run. Also its
// faults (a line of the wrong polarity, a stuck PGD input, VPP not reaching the chip), the
// speed figures, and the real-port path as far as a machine without hardware allows.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <string>

#include "app/hardware_settings.h"
#include "app/programmer_hub.h"
#include "app/self_test.h"
#include "app/workspace.h"
#include "catalogue/message_sink.h"
#include "link/link_messages.h"
#include "link/serial_port_lines.h"
#include "link/virtual_clock.h"
#include "operations/auto_program.h"
#include "operations/blank_check.h"
#include "operations/device_id.h"
#include "operations/erase_window.h"
#include "operations/read_device.h"
#include "operations/verify_device.h"
#include "operations/write_device.h"
#include "sim/midrange/midrange_chip.h"
#include "sim/sim_chip.h"
#include "support/paths.h"
#include "support/recording_ui.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

constexpr int kJdm = 1;

// A workspace on the hub with the JDM type selected and `device`'s chip in the socket.
struct JdmBench {
    explicit JdmBench(const std::string& device, HardwareSettings hardware = {})
        : hub(clock, std::move(hardware)), workspace(test::binDir()) {
        SilentMessageSink messages;
        workspace.SelectDevice(device, messages);
        hub.insertChip(sim::makeSimChip(device));
        ProgrammerLink& link = workspace.attachProgrammer(hub, clock);
        link.setHardwareType(kJdm);
        link.setUi(ui);
        link.measureCallsPerMillisecond();
        hub.SSetMode(kJdm);  // the chip moves to the pin-level socket
    }
    ~JdmBench() { EXPECT_EQ(hub.checkLeftSafe(), "") << "left switched on"; }
    sim::SimChip& chip() { return *hub.chip(); }

    VirtualClock clock;
    ProgrammerHub hub;
    Workspace workspace;
    test::RecordingUi ui;
};

// Random program words and data bytes in the first part of memory; the configuration as
// the device's defaults (the classic circuit supplies VDD from the port, so a chip set to
// run its program with MCLR off could not be brought back into programming mode).
MemoryImage sampleImage(const Workspace& ws, uint32_t seed) {
    const DeviceDefinition& d = ws.device;
    MemoryImage image = ws.image;
    image.ClearImage(d, true, true);
    std::mt19937 random(seed);
    const uint16_t mask = d.isExtendedFamily() ? 0xFFFF : d.BlankWord;
    for (int32_t i = 0; i < std::min<int32_t>(d.ProgSize, 512); ++i) {
        if (!(d.OscCal > 0 && i == d.OscCal))
            image.ProgMemory[i] = static_cast<uint16_t>(random() & mask);
    }
    for (int32_t i = 0; i < std::min<int32_t>(d.EpromSize, 64); ++i)
        image.DataMemory[i] = static_cast<uint8_t>(random());
    return image;
}

// The factory calibration words beside the configuration word of a 14-bit part (none for
// the other families): no erase or write may touch them.
std::vector<uint16_t> calibrationWords(const sim::SimChip& chip) {
    std::vector<uint16_t> words;
    if (const sim::MidrangeDevice* m = sim::findMidrangeDevice(chip.name())) {
        for (int i = 0; i < m->calWordCount; ++i)
            words.push_back(chip.peek(m->calWordAddr + static_cast<uint32_t>(i)));
    }
    return words;
}

class JdmEndToEnd : public testing::TestWithParam<const char*> {};

TEST_P(JdmEndToEnd, EraseWriteReadVerifyAndAutomaticSequenceThroughThePins) {
    JdmBench bench(GetParam());
    Workspace& ws = bench.workspace;
    const bool data = ws.device.EpromSize > 0;
    if (test::vppRefused(ws.device, kJdm)) {
        // The circuit's fixed VPP of about 13 V is above what the enhanced 14-bit core and
        // the PIC18 K-series accept (8-9 V): every operation is refused before the port opens, and
        // the self-test says so rather than blame the wiring.
        EXPECT_EQ(runErase(ws, bench.ui, {true, data, false, true, true}).result,
                  kResultVppUnavailable);
        EXPECT_EQ(blankCheck(ws, bench.ui, true, data), kResultVppUnavailable);
        EXPECT_EQ(runWrite(ws, bench.ui, {true, data, true, true}).result, kResultVppUnavailable);
        EXPECT_EQ(runRead(ws, bench.ui, {true, data}).result, kResultVppUnavailable);
        EXPECT_EQ(verifyDevice(ws, bench.ui, true, data, true), kResultVppUnavailable);
        EXPECT_EQ(bench.hub.simulatedOpens(), 0);
        const SelfTestResult selfTest = runSelfTest(ws, bench.hub, "COM1");
        EXPECT_EQ(selfTest.failure, SelfTestResult::Failure::Programmer);
        EXPECT_EQ(selfTest.steps.back().advice,
                  vppUnavailableMessage(ws.device.vppMin(), ws.device.vppMax(), "VKR-20 JDM"));
        EXPECT_EQ(bench.chip().takeNotes(), std::vector<std::string>{});
        return;
    }

    const std::vector<uint16_t> factoryCalibration = calibrationWords(bench.chip());
    const SelfTestResult selfTest = runSelfTest(ws, bench.hub, "COM1");
    ASSERT_EQ(selfTest.failure, SelfTestResult::Failure::None) << selfTest.steps.back().advice;
    ASSERT_EQ(runErase(ws, bench.ui, {true, data, false, true, true}).result, kResultOk);
    ASSERT_EQ(blankCheck(ws, bench.ui, true, data), kResultOk);

    MemoryImage written = sampleImage(ws, 1);
    ws.image = written;
    ASSERT_EQ(runWrite(ws, bench.ui, {true, data, true, true}).result, kResultOk);
    ws.image.ClearImage(ws.device, true, true);
    ASSERT_EQ(runRead(ws, bench.ui, {true, data}).result, kResultOk);
    if (ws.device.OscCal > 0)  // the chip keeps its factory calibration word
        written.ProgMemory[ws.device.OscCal] = ws.image.ProgMemory[ws.device.OscCal];
    EXPECT_EQ(ws.image.ProgMemory, written.ProgMemory);
    EXPECT_EQ(ws.image.DataMemory, written.DataMemory);
    EXPECT_EQ(verifyDevice(ws, bench.ui, true, data, true), kResultOk);

    ws.image = sampleImage(ws, 2);
    const FlowOutcome automatic =
        runAutoProgram(ws, bench.ui, {true, data, true, true, true, true}, "Program");
    EXPECT_EQ(automatic.result, kResultOk);
    EXPECT_EQ(calibrationWords(bench.chip()), factoryCalibration);
    EXPECT_EQ(bench.chip().takeNotes(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(OneDevicePerFamily, JdmEndToEnd,
                         testing::Values("PIC12F508", "PIC16F877A", "PIC18F452", "PIC18F4520",
                                         "PIC16F1827", "PIC18F25K22"));

// Every other enhanced-core part: latch and row sizes, no data memory, a full 14-bit device
// ID, three configuration words (16F1619).
INSTANTIATE_TEST_SUITE_P(EnhancedCore, JdmEndToEnd, testing::ValuesIn(test::enhancedSiblings()),
                         test::namedCaseName);

// Parts programmed as the families above with data alone: no Begin Internally Timed
// Programming and no data memory (12F609 to 16F616), 8-word latches and two calibration
// words (16F913 to 917), 2.5 ms cycles (16F785), five or six code blocks (18F2682 to 4685).
INSTANTIATE_TEST_SUITE_P(ClassicParts, JdmEndToEnd,
                         testing::Values("PIC12F609", "PIC12F615", "PIC12F617", "PIC16F610",
                                         "PIC16F616", "PIC16F913", "PIC16F914", "PIC16F916",
                                         "PIC16F917", "PIC16F785", "PIC18F2682", "PIC18F2685",
                                         "PIC18F4682", "PIC18F4685"),
                         test::namedCaseName);

// Wiring faults: the circuit as built differs from what the settings say. Each ends with
// the failure the user sees, an unpowered target and a closed port, and nothing written.
TEST(JdmFaults, MiswiredLinesEndInTheRightFailure) {
    struct Case {
        const char* what;
        LineAssignment wiring;
        sim::LineFaults faults;
        // The programmer's own check catches PGD faults; a chip out of programming mode
        // reads as all ones, which its device-ID word gives away.
        ResultCode readResult;
        DeviceIdCheck idCheck;  // a chip out of programming mode answers with ones
        const char* selfTestAdvice;
    };
    LineAssignment pgdOutInverted, pgcInverted;
    pgdOutInverted.pgdOut.inverted = true;
    pgcInverted.pgc.inverted = true;
    sim::LineFaults stuck, noVpp;
    stuck.pgdInStuckAt = true;
    noVpp.vppMissing = true;
    const Case cases[] = {
        {"PGD out inverted in the circuit",
         pgdOutInverted,
         {},
         kResultHardwareError,
         DeviceIdCheck::NoId,
         "opposite of PGD out"},
        {"PGD in stuck high",
         {},
         stuck,
         kResultHardwareError,
         DeviceIdCheck::NoId,
         "PGD in stays high"},
        {"VPP not reaching the chip",
         {},
         noVpp,
         kResultHardwareError,
         DeviceIdCheck::Mismatch,
         "VPP reaches MCLR"},
        {"PGC inverted in the circuit",
         pgcInverted,
         {},
         kResultHardwareError,
         DeviceIdCheck::Mismatch,
         "PGC the chip's clock"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        JdmBench bench("PIC16F84A");
        bench.hub.simulatedLines().setWiring(c.wiring);
        bench.hub.simulatedLines().setFaults(c.faults);
        EXPECT_EQ(runRead(bench.workspace, bench.ui, {true, true}).result, c.readResult);
        EXPECT_EQ(checkDeviceId(bench.workspace), c.idCheck);
        bench.workspace.image = sampleImage(bench.workspace, 3);
        EXPECT_NE(runWrite(bench.workspace, bench.ui, {true, true, true, false}).result, kResultOk);
        EXPECT_EQ(bench.chip().peek(0), 0x3FFF) << "nothing may land in the chip";
        const SelfTestResult selfTest = runSelfTest(bench.workspace, bench.hub, "COM1");
        ASSERT_FALSE(selfTest.steps.empty());
        EXPECT_EQ(selfTest.failure, SelfTestResult::Failure::Programmer);
        EXPECT_NE(selfTest.steps.back().advice.find(c.selfTestAdvice), std::string::npos)
            << selfTest.steps.back().advice;
        bench.chip().takeNotes();
    }
}

// A lost adapter in the middle of a write: the session ends, nothing stays on, and the
// user learns why.
TEST(JdmFaults, AdapterLostMidWriteIsAHardwareFailure) {
    JdmBench bench("PIC16F877A");
    sim::LineFaults faults;
    faults.connectionLostAfterCalls = 20000;
    bench.hub.simulatedLines().setFaults(faults);
    bench.workspace.image = sampleImage(bench.workspace, 4);
    const FlowOutcome outcome = runWrite(bench.workspace, bench.ui, {true, true, true, false});
    EXPECT_NE(outcome.result, kResultOk);
    EXPECT_NE(bench.hub.lastError().find("stopped answering"), std::string::npos)
        << bench.hub.lastError();
    bench.chip().takeNotes();
}

// Line changes per programmed word on the 14-bit core, for the speed figures: never a
// line set to the level it has, DTR and RTS changed together.
TEST(JdmSpeed, LineChangesPerWordOfA16F877AWrite) {
    JdmBench bench("PIC16F877A");
    Workspace& ws = bench.workspace;
    ws.image.ClearImage(ws.device, true, true);
    std::mt19937 random(5);
    for (auto& word : ws.image.ProgMemory)
        word = static_cast<uint16_t>(random() & 0x3FFF);
    ASSERT_EQ(runWrite(ws, bench.ui, {true, false, true, false}).result, kResultOk);
    const JdmProgrammer& jdm = bench.hub.simulatedJdm();
    const double callsPerWord =
        static_cast<double>(jdm.portCalls()) / static_cast<double>(ws.device.ProgSize);
    // Load (6 + 16 clocks), Begin Programming (6), Increment (6): two calls per clock,
    // plus the verify read the write does after each word.
    EXPECT_LT(callsPerWord, 120.0);
    EXPECT_LT(static_cast<double>(jdm.lineChanges()) / ws.device.ProgSize, 140.0);
    RecordProperty("port_calls_per_word", std::to_string(callsPerWord));
    RecordProperty("line_changes", std::to_string(jdm.lineChanges()));
    std::printf("16F877A write: %.1f port calls per word, %llu line changes, %llu port calls\n",
                callsPerWord, static_cast<unsigned long long>(jdm.lineChanges()),
                static_cast<unsigned long long>(jdm.portCalls()));
    const uint64_t callsBefore = jdm.portCalls();
    ASSERT_EQ(verifyDevice(ws, bench.ui, true, false, true), kResultOk);
    std::printf("16F877A verify: %.1f port calls per word\n",
                static_cast<double>(jdm.portCalls() - callsBefore) /
                    static_cast<double>(ws.device.ProgSize));
    bench.chip().takeNotes();
}

// The waveform itself: one port call per clock edge (PGD and PGC in one call as PGC
// rises), and beyond PGC's two changes per clock only the data bits that differ from the
// one before. A Load Data frame of 22 clocks therefore costs 44 calls.
TEST(JdmSpeed, EachClockEdgeIsOnePortCall) {
    JdmBench bench("PIC16F877A");
    ProgrammerHub& hub = bench.hub;
    ASSERT_EQ(hub.SOpen(1), 1);
    hub.SVppOn(0);
    hub.SVccOn(0);
    const JdmProgrammer& jdm = hub.simulatedJdm();
    hub.SWriteBit(0x06, 6);  // Increment Address: its last bit leaves PGD low
    for (uint16_t word : {0x0000, 0x3FFF, 0x1555, 0x2AAA, 0x0123}) {
        SCOPED_TRACE(word);
        const uint64_t calls = jdm.portCalls(), changes = jdm.lineChanges();
        hub.SWriteBit(0x02, 6);
        hub.SWriteBit(word << 1, 16);
        const uint32_t bits = 0x02u | (uint32_t{word} << 7);  // the 22 bits in clock order
        int flips = 0;
        for (int i = 0, previous = 0; i < 22; previous = (bits >> i) & 1, ++i)
            flips += static_cast<int>((bits >> i) & 1) != previous;
        EXPECT_EQ(jdm.portCalls() - calls, 44u);
        EXPECT_EQ(jdm.lineChanges() - changes, 44u + flips);
        hub.SWriteBit(0x06, 6);
    }
    hub.SPowerOff();
    hub.SClose();
    bench.chip().takeNotes();
}

// Each call on the lines takes the adapter's latency as the settings give it, so a frame
// costs its calls times that latency and the bit waits vanish behind them; a value that is
// not a whole number of microseconds is refused with its line.
TEST(JdmSpeed, EachPortCallTakesTheAdaptersLatency) {
    for (const uint32_t latency : {100u, 1000u}) {
        SCOPED_TRACE(latency);
        test::TempDir dir;
        const std::string path = dir.file("velkaro.ini");
        std::ofstream(path) << "[VKR-20 JDM]\nPortCallUs=" << latency << " ; a USB adapter\n";
        const HardwareSettings hardware = loadHardwareSettings(path);
        ASSERT_EQ(hardware.problems, std::vector<std::string>{});
        JdmBench bench("PIC16F877A", hardware);
        ProgrammerHub& hub = bench.hub;
        ASSERT_EQ(hub.SOpen(1), 1);
        hub.SVppOn(0);
        hub.SVccOn(0);
        const uint64_t calls = hub.simulatedJdm().portCalls();
        const uint64_t start = bench.clock.nowMicroseconds();
        hub.SWriteBit(0x02, 6);
        hub.SWriteBit(0x1555 << 1, 16);
        EXPECT_EQ(hub.simulatedJdm().portCalls() - calls, 44u);
        EXPECT_GE(bench.clock.nowMicroseconds() - start, 44u * latency);
        EXPECT_LT(bench.clock.nowMicroseconds() - start, 44u * latency + 50);
        hub.SPowerOff();
        hub.SClose();

        // The self-test measures the port and says when the settings are far from it.
        hub.simulatedLines().setCallMicroseconds(latency / 4);
        const SelfTestResult selfTest = runSelfTest(bench.workspace, hub, "COM1");
        ASSERT_EQ(selfTest.failure, SelfTestResult::Failure::None);
        const std::string measured = std::to_string(latency / 4);
        EXPECT_EQ(selfTest.steps.at(2).what,
                  "port calls take " + measured +
                      " us each (200 reads of PGD in); [VKR-20 JDM] "
                      "PortCallUs=" +
                      measured + " makes the simulator's times match this port (now " +
                      std::to_string(latency) + ")");
        bench.chip().takeNotes();
    }
    test::TempDir dir;
    const std::string path = dir.file("velkaro.ini");
    for (const char* bad : {"1ms", "-5", "1000001", ""}) {
        std::ofstream(path) << "[VKR-20 JDM]\nPGC=RTS\nPortCallUs=" << bad << "\n";
        const HardwareSettings hardware = loadHardwareSettings(path);
        ASSERT_EQ(hardware.problems.size(), 1u) << bad;
        EXPECT_EQ(hardware.problems[0], "line 3: [VKR-20 JDM] PortCallUs=" + std::string(bad) +
                                            ": not a whole number of microseconds from 0 to "
                                            "1000000");
        EXPECT_EQ(hardware.portCallUs, kDefaultPortCallUs);
    }
}

// The real port: what a machine without a programmer can show.
TEST(SerialPortLines, RefusesWhatCannotBeAProgrammer) {
    SerialPortLines lines;
    EXPECT_FALSE(lines.open("/dev/velkaro-no-such-port"));
    EXPECT_FALSE(lines.error().empty());
    EXPECT_FALSE(lines.isOpen());

    // A pseudo-terminal opens as a serial port but has no modem lines.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave = ptsname(master);
    EXPECT_FALSE(lines.open(slave));
    EXPECT_NE(lines.error().find("modem lines"), std::string::npos) << lines.error();
    EXPECT_FALSE(lines.isOpen());
    close(master);
}

TEST(JdmHardwarePort, UnopenablePortFailsWithItsReasonAndLeavesNothingOn) {
    VirtualClock clock;
    HardwareSettings hardware;
    hardware.portPaths[0] = "/dev/velkaro-no-such-port";
    ProgrammerHub hub(clock, hardware);
    hub.SSetMode(kJdm);
    EXPECT_EQ(hub.SOpen(1), 0);
    EXPECT_NE(hub.lastError().find("/dev/velkaro-no-such-port"), std::string::npos)
        << hub.lastError();
    EXPECT_EQ(hub.checkLeftSafe(), "");
    // The PRO type on a mapped port talks to that port, never to the simulator.
    hub.SSetMode(0);
    EXPECT_EQ(hub.SOpen(1), 0);
    EXPECT_FALSE(hub.lastError().empty());
}

}  // namespace
}  // namespace velkaro
