// Command and data primitives of both families, the programming cycle and pulse, and
// the calibration-word read.
#include <vector>

#include "link_fixture.h"

namespace velkaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<LibraryCall> linesOnly(const FakeLibrary& library) {
    std::vector<LibraryCall> result;
    for (const LibraryCall& c : library.calls())
        if (c.name == "SWriteBit" || c.name == "SWriteWord" || c.name == "SReadWord" ||
            c.name == "SReadBit" || c.name == "SSetPGC" || c.name == "SSetPGD")
            result.push_back(c);
    return result;
}

TEST_F(LinkTest, SixBitCommandsAndDataWords) {
    library.readWords = {0x3FFF};
    link.SendCommand(2);
    link.SendData(0x1234);
    link.SendCommand(4);
    EXPECT_EQ(link.ReceiveData(), 0x3FFF);
    EXPECT_THAT(library.calls(),
                ElementsAre(call("SWriteBit", {2, 6}), call("SWriteWord", {0x1234}),
                            call("SWriteBit", {4, 6}), call("SReadWord")));
}

class ProgrammingCycleTest : public LinkTest {
protected:
    ProgrammingCycleTest() {
        device.ProgOnlyCycle = 2;
        device.EraseProgCycle = 8;
        device.DataProgOnlyCycle = 3;
        device.DataEraseProgCycle = 6;
    }
    // Sends the cycle and returns how long it took, in microseconds.
    uint64_t cycle(bool allowProgramOnly, bool programMemory, bool preferErase, bool& result) {
        library.clearCalls();
        const uint64_t start = clock.peekMicroseconds();
        result = link.StartProgrammingCycle(allowProgramOnly, programMemory, preferErase);
        return clock.peekMicroseconds() - start;
    }
    static constexpr uint16_t kWithBeginProgram = 0x06FF;
    static constexpr uint16_t kWithoutBeginProgram = 0x06EF;
};

TEST_F(ProgrammingCycleTest, WithoutProgramOnlyCommandUsesEraseAndProgram) {
    device.ProgOnlyCmd = 0;
    bool ok = false;
    const uint64_t took = cycle(true, true, false, ok);
    EXPECT_TRUE(ok);
    EXPECT_THAT(library.calls(), ElementsAre(call("SWriteBit", {8, 6})));
    EXPECT_GE(took, 8000u);
    EXPECT_LT(took, 9000u);
}

TEST_F(ProgrammingCycleTest, ProgramOnlyWhenAllowedWithDataOrProgramTimes) {
    device.ProgOnlyCmd = 0x18;
    device.EndProgCmd = 0x0E;
    bool ok = false;
    uint64_t took = cycle(true, true, false, ok);
    EXPECT_TRUE(ok);
    EXPECT_THAT(library.calls(),
                ElementsAre(call("SWriteBit", {0x18, 6}), call("SWriteBit", {0x0E, 6})));
    EXPECT_GE(took, 2000u);
    EXPECT_LT(took, 3000u);

    took = cycle(true, false, false, ok);
    EXPECT_GE(took, 3000u);
    EXPECT_LT(took, 4000u);
    took = cycle(false, false, false, ok);
    EXPECT_EQ(library.calls().front(), call("SWriteBit", {8, 6}));
    EXPECT_GE(took, 6000u);
    EXPECT_LT(took, 7000u);
}

TEST_F(ProgrammingCycleTest, PreferEraseNeedsTheEraseAndProgramCommand) {
    device.ProgOnlyCmd = 0x18;
    bool ok = false;
    device.CmdSet = kWithBeginProgram;
    cycle(true, true, true, ok);
    EXPECT_THAT(library.calls(), ElementsAre(call("SWriteBit", {8, 6})));

    device.CmdSet = kWithoutBeginProgram;
    cycle(true, true, true, ok);
    EXPECT_TRUE(ok);
    EXPECT_THAT(library.calls(), ElementsAre(call("SWriteBit", {0x18, 6})));
}

TEST_F(ProgrammingCycleTest, NoCycleWhenNotErasedAndNoEraseAndProgramCommand) {
    device.ProgOnlyCmd = 0x18;
    device.EndProgCmd = 0x0E;
    device.CmdSet = kWithoutBeginProgram;
    bool ok = true;
    EXPECT_EQ(cycle(false, true, true, ok), 0u);
    EXPECT_FALSE(ok);
    EXPECT_THAT(library.calls(), IsEmpty());
}

TEST_F(LinkTest, CoreInstructionsAndTablePointer) {
    link.SendCoreInstruction(13, 0xBEEF);
    EXPECT_THAT(library.calls(),
                ElementsAre(call("SWriteBit", {13, 4}), call("SWriteBit", {0xBEEF, 16})));

    library.clearCalls();
    link.SetTablePointer(0x3C0006);
    std::vector<LibraryCall> expected;
    for (int word : {0x0E3C, 0x6EF8, 0x0E00, 0x6EF7, 0x0E06, 0x6EF6}) {
        expected.push_back(call("SWriteBit", {0, 4}));
        expected.push_back(call("SWriteBit", {word, 16}));
    }
    EXPECT_EQ(library.calls(), expected);
}

TEST_F(LinkTest, TableReadAndTablatShiftKeepTheLowByte) {
    library.readBits = {0x1A5, 0x7F3C};
    EXPECT_EQ(link.TableReadByte(), 0xA5);
    EXPECT_EQ(link.ShiftOutTablat(), 0x3C);
    EXPECT_THAT(library.calls(), ElementsAre(call("SWriteBit", {9, 4}), call("SWriteBit", {0, 8}),
                                             call("SReadBit", {8}), call("SWriteBit", {2, 4}),
                                             call("SWriteBit", {0, 8}), call("SReadBit", {8})));
}

TEST_F(LinkTest, ProgrammingPulseHoldsTheFourthClockThenDischarges) {
    device.ProgOnlyCycle = 2;
    link.measureCallsPerMillisecond();
    library.clearCalls();
    link.ProgrammingPulse();

    const auto& calls = library.calls();
    EXPECT_THAT(calls, ElementsAre(call("SSetPGD", {0}), call("SSetPGC", {0}), call("SSetPGC", {1}),
                                   call("SSetPGC", {0}), call("SSetPGC", {1}), call("SSetPGC", {0}),
                                   call("SSetPGC", {1}), call("SSetPGC", {0}), call("SSetPGC", {1}),
                                   call("SSetPGC", {0}), call("SWriteBit", {0, 16})));
    ASSERT_EQ(calls.size(), 11u);
    EXPECT_GE(calls[9].timeUs - calls[8].timeUs, 2000u);  // P9: programming time
    EXPECT_GE(calls[10].timeUs - calls[9].timeUs, 100u);  // P10: PGC low before the operand
    EXPECT_LT(calls[7].timeUs - calls[2].timeUs, 100u);   // the first clocks are not held
}

// A configuration byte's pulse takes its own hold; a device that names a longer discharge
// (P10) gets it after the pulse and after an erase.
TEST_F(LinkTest, PulseHoldAndDischargeFollowTheDevice) {
    device.ProgOnlyCycle = 1;
    device.DischargeTime = 200;
    link.measureCallsPerMillisecond();
    library.clearCalls();
    link.ProgrammingPulse(5);
    auto calls = library.calls();
    ASSERT_EQ(calls.size(), 11u);
    EXPECT_GE(calls[9].timeUs - calls[8].timeUs, 5000u);
    EXPECT_GE(calls[10].timeUs - calls[9].timeUs, 200u);

    library.clearCalls();
    link.idleWithClockLow(15);
    calls = library.calls();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_GE(calls[5].timeUs - calls[2].timeUs, 15000u + 200u);
}

// The erase starts on the fourth clock of the second NOP; its operand may only follow once
// the erase time and the discharge time have passed with both lines low.
TEST_F(LinkTest, NopAndHoldSendsTheSecondOperandOnlyAfterTheHold) {
    link.measureCallsPerMillisecond();
    library.clearCalls();
    link.idleWithClockLow(5);

    const auto& calls = library.calls();
    EXPECT_THAT(calls, ElementsAre(call("SWriteBit", {0, 4}), call("SWriteBit", {0, 16}),
                                   call("SWriteBit", {0, 4}), call("SSetPGD", {0}),
                                   call("SSetPGC", {0}), call("SWriteBit", {0, 16})));
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_GE(calls[5].timeUs - calls[2].timeUs, 5000u + ProgrammerLink::kDischargeUs);
    EXPECT_LT(calls[2].timeUs - calls[0].timeUs, 100u);
}

class CalibrationWordsTest : public LinkTest {
protected:
    CalibrationWordsTest() {
        image.OscCalValue = 0x1111;
        image.BGValue = 0x2222;
    }
    int increments() const {
        int n = 0;
        for (const LibraryCall& c : library.calls())
            n += c == call("SWriteBit", {6, 6});
        return n;
    }
};

TEST_F(CalibrationWordsTest, NothingToReadOpensAndClosesOnly) {
    device.OscCal = 0;
    device.BGMask = 0;
    EXPECT_TRUE(link.ReadCalibrationWords());
    EXPECT_THAT(linesOnly(library), IsEmpty());
    EXPECT_EQ(library.count("SPowerOff"), 1);
    EXPECT_FALSE(link.LinkOpen());
    EXPECT_EQ(image.OscCalValue, 0x1111);
    EXPECT_EQ(image.BGValue, 0x2222);
}

TEST_F(CalibrationWordsTest, ResetVectorWalkOnTheLastAddressHandlesExactlyOne) {
    device.ResetVector = 0x3FF;
    device.AdrMask = 0x3FF;
    device.ConfigBaseAdr = 0x3FF;
    device.BGMask = 0x0C00;
    device.OscCal = 0;
    library.readWords = {0xFFFF};
    EXPECT_TRUE(link.ReadCalibrationWords());
    EXPECT_THAT(linesOnly(library), ElementsAre(call("SWriteBit", {4, 6}), call("SReadWord"),
                                                call("SWriteBit", {6, 6})));
    EXPECT_EQ(image.BGValue, 0x0C00);
    EXPECT_EQ(image.OscCalValue, 0x1111);
}

TEST_F(CalibrationWordsTest, OscCalFromProgramMemoryAndBgThroughLoadConfig) {
    device.ProgSize = 0x400;
    device.OscCal = 0x3FF;
    device.BGMask = 0x3000;
    device.IdAdr = 0x2000;
    device.ConfigBaseAdr = 0x2007;
    device.BitWidth = 14;
    device.BlankWord = 0x3FFF;
    library.readWords = {0xF480, 0x31FF};
    EXPECT_TRUE(link.ReadCalibrationWords());
    EXPECT_EQ(image.OscCalValue, 0x3480);
    EXPECT_EQ(image.BGValue, 0x3000);
    EXPECT_EQ(increments(), 0x400 + 8);

    // The OSCCAL word is read before stepping past 0x3FF; the BG word at 0x2007, after
    // Load Configuration and seven increments.
    const auto lines = linesOnly(library);
    std::vector<LibraryCall> tail(lines.end() - 13, lines.end());
    std::vector<LibraryCall> expected = {call("SWriteBit", {0, 6}), call("SWriteWord", {0})};
    for (int i = 0; i < 7; ++i)
        expected.push_back(call("SWriteBit", {6, 6}));
    expected.insert(expected.end(),
                    {call("SWriteBit", {4, 6}), call("SReadWord"), call("SWriteBit", {6, 6})});
    EXPECT_EQ(std::vector(tail.begin() + 1, tail.end()), expected);
    EXPECT_EQ(lines[0x3FF], call("SWriteBit", {4, 6}));
}

TEST_F(CalibrationWordsTest, WithoutLoadConfigTheCounterIsSteppedUpToTheConfigWord) {
    device.CmdSet = 0x06FE;
    device.OscCal = 0;
    device.ConfigBaseAdr = 0x10;
    device.BGMask = 0x00FF;
    library.readWords = {0x0ABC};
    EXPECT_TRUE(link.ReadCalibrationWords());
    EXPECT_EQ(image.BGValue, 0x00BC);
    EXPECT_EQ(increments(), 0x11);
    EXPECT_EQ(library.count("SWriteWord"), 0);
}

// A configuration address below where the counter stands is never reached: the step-up
// walk does nothing rather than running round the whole 32-bit range.
TEST_F(CalibrationWordsTest, ConfigurationAddressBelowTheCounterIsNotWalkedTo) {
    device.OscCal = 0;
    device.BGMask = 0x3000;
    device.ConfigBaseAdr = -1;
    device.IdAdr = 0x2000;
    EXPECT_TRUE(link.ReadCalibrationWords());
    EXPECT_EQ(increments(), 0);
    EXPECT_EQ(library.count("SReadWord"), 0);
    EXPECT_EQ(image.BGValue, 0x2222);

    library.clearCalls();
    device.ConfigBaseAdr = 0x1FFF;  // below IdAdr, where Load Configuration put the counter
    EXPECT_TRUE(link.ReadCalibrationWords());
    EXPECT_EQ(increments(), 0);
    EXPECT_FALSE(link.LinkOpen());
}

TEST_F(CalibrationWordsTest, FailsSilentlyWhenTheLinkDoesNotOpen) {
    library.checkPowerResult = 0;
    EXPECT_FALSE(link.ReadCalibrationWords());
    EXPECT_THAT(ui.messages(), IsEmpty());
    EXPECT_THAT(linesOnly(library), IsEmpty());
    EXPECT_EQ(image.BGValue, 0x2222);
}

}  // namespace
}  // namespace velkaro::test
