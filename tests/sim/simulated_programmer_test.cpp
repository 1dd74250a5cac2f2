#include "sim/simulated_programmer.h"

#include <gtest/gtest.h>

#include <string>

#include "link/programmer_commands.h"
#include "sim/chip_families.h"
#include "sim_bench.h"

namespace velkaro::sim {
namespace {

using test::Bench;

// Everything waiting in the answer queue, as ReadAnswer would collect it (at most `polls`).
std::string drain(SimulatedProgrammer& p, int polls = 400) {
    std::string text;
    for (int i = 0; i < polls; ++i) {
        const int32_t c = p.SGetc();
        if (c == -1)
            continue;
        text += static_cast<char>(c);
        if (c == '#')
            break;
    }
    return text;
}

TEST(SimulatedProgrammer, ProType0AnswersItsCommands) {
    Bench b("PIC16F84A");
    auto& p = b.programmer;
    p.SSetMode(0);
    ASSERT_EQ(p.SOpen(3), 1);
    EXPECT_EQ(p.openPort(), 3);
    p.SSendCmd(100);
    EXPECT_EQ(drain(p), "20240315#");
    p.SSendCmd(118);
    EXPECT_EQ(drain(p), "1.02#");
    p.SSendCmd(114);
    EXPECT_EQ(drain(p), "#");
    EXPECT_EQ(p.vppLevelCommand(), 1);
    p.SSendCmd(113);  // leaves block-test mode silently
    EXPECT_EQ(p.SGetc(), -1);
    EXPECT_EQ(p.SSetLED(2), 1);
    EXPECT_EQ(p.ledPosition(), 2);
    p.SClose();

    p.SSetMode(1);  // the JDM type has no firmware
    p.SOpen(3);
    p.SSendCmd(100);
    p.SVccOn(0);
    EXPECT_EQ(drain(p), "");
    EXPECT_EQ(p.SCheckOSC(), 0);
    p.SClose();
}

TEST(SimulatedProgrammer, ChipEntersProgrammingModeWithTheSecondSupplyOnly) {
    Bench b("PIC16F84A");
    auto& p = b.programmer;
    EXPECT_EQ(p.SVccOn(0), 0);  // port closed
    p.SOpen(1);
    p.SVccOn(0);
    EXPECT_EQ(drain(p), "#");  // the PRO type reports the target supply
    EXPECT_FALSE(b.chip->inProgrammingMode());
    EXPECT_EQ(p.SCheckPower() & 1, 0);
    p.SVppOn(0);
    EXPECT_TRUE(b.chip->inProgrammingMode());
    EXPECT_EQ(p.SCheckPower() & 1, 1);
    EXPECT_EQ(p.programmingSessions(), 1);
    EXPECT_NE(p.checkLeftSafe(), "");
    p.SClose();  // closing switches the target off too
    EXPECT_FALSE(b.chip->inProgrammingMode());
    EXPECT_FALSE(p.targetPowered());
    EXPECT_EQ(p.checkLeftSafe(), "");
}

// The PRO type puts the level of the session's last level command on MCLR, 8.5 V (the
// board's power-on level) before one and after the target is switched off; a type without
// level commands its fixed 13 V. An enhanced-core chip takes 9 V at most.
TEST(SimulatedProgrammer, ChipSeesTheVppLevelOfTheProgrammer) {
    struct Case {
        const char* what;
        int32_t type;
        int32_t command;  // 0: none sent
        double volts;
    };
    for (const Case c : {Case{"PRO, 8.5 V", 0, kCmdVpp8V5, 8.5}, Case{"PRO, no level", 0, 0, 8.5},
                         Case{"PRO, 12 V", 0, kCmdVppLow, 12.0},
                         Case{"PRO, 13 V", 0, kCmdVppHigh, 13.0}, Case{"JDM", 1, 0, 13.0}}) {
        SCOPED_TRACE(c.what);
        VirtualClock clock;
        SimulatedProgrammer p(clock);
        p.insertChip(makeSimChip("PIC16F1827"));
        p.SSetMode(c.type);
        ASSERT_EQ(p.SOpen(1), 1);
        if (c.command != 0)
            p.SSendCmd(c.command);
        EXPECT_EQ(p.vppVolts(), c.volts);
        p.SVppOn(0);
        p.SVccOn(0);
        const bool within = c.volts <= 9.0;
        EXPECT_EQ(p.chip()->inProgrammingMode(), within);
        EXPECT_EQ(p.chip()->notes().empty(), within) << testing::PrintToString(p.chip()->notes());
        p.SPowerOff();
        EXPECT_EQ(p.vppVolts(), c.type == 0 ? 8.5 : 13.0) << "after SPowerOff";
        p.SClose();
    }
    // A level chosen in one session does not outlive it.
    VirtualClock clock;
    SimulatedProgrammer p(clock);
    p.SSetMode(0);
    p.SOpen(1);
    p.SSendCmd(kCmdVppHigh);
    p.SClose();
    p.SOpen(1);
    EXPECT_EQ(p.vppVolts(), 8.5);
}

TEST(SimulatedProgrammer, LogsEveryCallWithArgumentsResultAndTime) {
    Bench b("PIC16F84A");
    b.powerUp();
    b.read();
    const auto& log = b.programmer.callLog();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[4].name, "SWriteBit");
    EXPECT_EQ(log[4].args, (std::vector<int32_t>{4, 6}));
    EXPECT_EQ(log[5].name, "SReadWord");
    EXPECT_EQ(log[5].result, 0x3FFF);
    EXPECT_LT(log[0].timeUs, log[5].timeUs);
    EXPECT_EQ(b.programmer.callsNamed("SVccOn").size(), 1u);
}

TEST(SimulatedProgrammer, BlockTestsAnswerBlankAndNotBlank) {
    Bench b("PIC16F877A");
    auto& p = b.programmer;
    b.chip->poke(1500, 0x0000);
    p.SSetMode(0);
    p.SOpen(1);
    p.SSendCmd(104);  // without the preparation the programmer refuses
    EXPECT_EQ(drain(p), "?#");
    p.SSetPGD(1);
    p.SSetPGC(1);
    p.SSendCmd(119);
    EXPECT_EQ(drain(p), "#");
    p.SVccOn(0);
    p.SVppOn(0);
    EXPECT_EQ(drain(p), "#");  // the supply report that the blank check waits for
    p.SSendCmd(104);
    EXPECT_EQ(drain(p), "*#");
    p.SSendCmd(104);
    EXPECT_EQ(drain(p), "-#");
    EXPECT_EQ(b.chip->counter(), 2048u);
    p.SSendCmd(113);
    EXPECT_EQ(p.SGetc(), -1);
    p.SSendCmd(104);
    EXPECT_EQ(drain(p), "?#");
    p.SClose();

    Bench s("PIC12F509");  // 12-bit words with command 106; the counter starts at config
    s.chip->poke(0x3FF, 0x0000);
    s.programmer.SOpen(1);
    s.programmer.SSendCmd(119);
    s.programmer.SVccOn(0);
    s.programmer.SVppOn(0);
    drain(s.programmer);
    drain(s.programmer);
    s.increment();
    s.programmer.SSendCmd(106);
    EXPECT_EQ(drain(s.programmer), "-#");
}

TEST(SimulatedProgrammer, BlockTestOf16BitCoreReadsThroughTableReads) {
    VirtualClock clock;
    SimulatedProgrammer p(clock);
    auto chip = makeSimChip("PIC18F4520");
    ASSERT_NE(chip, nullptr);
    chip->poke(3000, 0x12);  // byte address: word 1500, in the second block
    p.insertChip(std::move(chip));
    p.SSetMode(0);
    p.SOpen(1);
    p.SSendCmd(119);
    EXPECT_EQ(drain(p), "#");
    p.SVccOn(0);
    p.SVppOn(0);
    p.SSendCmd(102);
    EXPECT_EQ(drain(p), "#");  // the supply report; 102 itself is silent
    p.SSendCmd(109);
    EXPECT_EQ(drain(p), "*#");
    p.SSendCmd(109);
    EXPECT_EQ(drain(p), "-#");
    p.SClose();
}

// The block tests compare every bit of a word, the top bits of each family included: a
// word that differs from blank only there is not blank.
TEST(SimulatedProgrammer, BlockTestsJudgeEveryBitOfTheFamilysWord) {
    struct Case {
        const char* chip;
        int command;
        int32_t address;  // -1: the block stays erased
        uint16_t value;   // 16-bit core: a byte at a byte address
        const char* answer;
    };
    const Case cases[] = {
        {"PIC16F877A", 104, -1, 0, "*#"},       {"PIC16F877A", 104, 700, 0x2FFF, "-#"},
        {"PIC16F877A", 104, 700, 0x1FFF, "-#"}, {"PIC16F877A", 104, 1023, 0x3FFE, "-#"},
        {"PIC12F509", 106, -1, 0, "*#"},        {"PIC12F509", 106, 300, 0x07FF, "-#"},
        {"PIC12F509", 106, 0, 0x0FFE, "-#"},    {"PIC18F4520", 109, -1, 0, "*#"},
        {"PIC18F4520", 109, 901, 0x7F, "-#"},   {"PIC18F4520", 109, 901, 0x00, "-#"},
        {"PIC18F4520", 109, 2046, 0xFE, "-#"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chip) + " at " + std::to_string(c.address));
        VirtualClock clock;
        SimulatedProgrammer p(clock);
        auto chip = makeSimChip(c.chip);
        ASSERT_NE(chip, nullptr);
        if (c.command == 106)
            chip->poke(0x3FF, 0x0FFF);  // the factory OSCCAL word would be the one non-blank
        if (c.address >= 0)
            chip->poke(static_cast<uint32_t>(c.address), c.value);
        p.insertChip(std::move(chip));
        p.SSetMode(0);
        p.SOpen(1);
        p.SSendCmd(119);
        EXPECT_EQ(drain(p), "#");
        p.SVccOn(0);
        p.SVppOn(0);
        if (c.command == 109)
            p.SSendCmd(102);
        EXPECT_EQ(drain(p), "#");
        if (c.command == 106)
            p.SWriteBit(6, 6);  // from the configuration word to address 0
        p.SSendCmd(c.command);
        EXPECT_EQ(drain(p), c.answer);
        p.SClose();
    }
}

TEST(SimulatedProgrammer, CheckOscAnswersTheRunningFrequency) {
    Bench b("PIC12F675");
    auto& p = b.programmer;
    auto measure = [&] {
        p.SSetMode(0);
        p.SOpen(1);
        p.SVccOn(0);
        drain(p);
        const int32_t started = p.SCheckOSC();
        const std::string text = drain(p);
        p.SPowerOff();
        p.SClose();
        return started ? text : std::string("not started");
    };
    EXPECT_EQ(measure(), "0#");  // blank chip: nothing runs
    b.chip->poke(0, 0x2805);
    EXPECT_EQ(measure(), "2710#");  // 1 MHz in units of 100 Hz
    b.chip->poke(0x3FF, b.chip->factoryOsccalWord() + 8);
    EXPECT_EQ(measure(), "2774#");  // two steps of 0.5 % up: 1010.0 kHz
    b.powerUp();                    // in programming mode the program does not run
    EXPECT_EQ(drain(p), "#");
    EXPECT_EQ(p.SCheckOSC(), 1);
    EXPECT_EQ(drain(p), "0#");
}

TEST(SimulatedProgrammer, PortsAndPowerFaultsAreObservable) {
    Bench b("PIC16F84A");
    auto& p = b.programmer;
    p.setAvailablePorts({2});
    EXPECT_EQ(p.SOpen(1), 0);
    EXPECT_EQ(p.SOpen(2), 1);
    p.SClose();
    p.setFaults({.portWillNotOpen = true});
    EXPECT_EQ(p.SOpen(2), 0);

    p.setFaults({.supplyFails = true});
    p.SOpen(2);
    EXPECT_EQ(p.SVccOn(0), 0);
    EXPECT_EQ(p.SVppOn(0), 0);
    EXPECT_FALSE(p.targetPowered());
    p.SClose();

    p.setFaults({.noPower = true});
    p.SOpen(2);
    EXPECT_EQ(p.SVccOn(0), 1);
    EXPECT_EQ(p.SVppOn(0), 1);
    EXPECT_EQ(p.SCheckPower(), 6);  // both supplies on, bit 0 clear
    EXPECT_FALSE(b.chip->inProgrammingMode());
    p.SClose();

    p.setFaults({});
    auto removed = p.insertChip(nullptr);  // empty socket
    ASSERT_NE(removed, nullptr);
    p.SOpen(2);
    p.SVccOn(0);
    p.SVppOn(0);
    EXPECT_EQ(p.SCheckPower() & 1, 0);
    b.command(4);
    EXPECT_EQ(p.SReadWord(), 0);
    p.setInCircuitTarget(true);
    EXPECT_EQ(p.SCheckPower() & 1, 1);
    p.SClose();
}

TEST(SimulatedProgrammer, AnswerFaultsAreObservable) {
    Bench b("PIC16F84A");
    auto& p = b.programmer;
    p.setFaults({.noAcknowledge = true});
    p.SOpen(1);
    p.SSendCmd(115);
    p.SVccOn(0);
    EXPECT_EQ(drain(p), "");
    p.SClose();

    p.setFaults({.slowAnswerPolls = 3});
    p.SOpen(1);
    p.SSendCmd(118);
    std::vector<int32_t> polled;
    for (int i = 0; i < 8; ++i)
        polled.push_back(p.SGetc());
    EXPECT_EQ(polled, (std::vector<int32_t>{-1, -1, -1, '1', -1, -1, -1, '.'}));
    p.SClose();
}

TEST(SimulatedProgrammer, LostConnectionFailsEveryLaterCallAndDropsPower) {
    for (bool ones : {false, true}) {
        Bench b("PIC16F84A");
        auto& p = b.programmer;
        p.setFaults({.connectionLostAfterCalls = 5, .lostReadsAllOnes = ones});
        b.powerUp();  // calls 1..4
        b.command(4);
        EXPECT_TRUE(b.chip->inProgrammingMode());
        EXPECT_EQ(p.SReadWord(), ones ? 0xFFFF : 0);  // call 6: the link is gone
        EXPECT_TRUE(p.connectionLost());
        EXPECT_FALSE(b.chip->inProgrammingMode());
        EXPECT_EQ(p.SWriteBit(4, 6), 0);
        EXPECT_EQ(p.SReadBit(8), ones ? 0xFF : 0);
        EXPECT_EQ(p.SGetc(), -1);
        EXPECT_EQ(p.SOpen(1), 0);
        EXPECT_EQ(p.SCheckPower(), 0);
        EXPECT_EQ(p.checkLeftSafe(), "");
    }
}

}  // namespace
}  // namespace velkaro::sim
