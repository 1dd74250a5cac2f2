// The 12/14-bit chip models against the devices' documented sequences: each rule with the
// violating sequence and the documented one side by side.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "sim_bench.h"

namespace velkaro::sim {
namespace {

using test::Bench;

// Takes the chip's notes and tells whether one contains `fragment`.
bool noted(Bench& b, const std::string& fragment) {
    const auto notes = b.chip->takeNotes();
    return std::any_of(notes.begin(), notes.end(),
                       [&](const std::string& n) { return n.find(fragment) != std::string::npos; });
}

uint16_t configAddress(const MidrangeDevice& d) {
    return d.wordBits == 12 ? d.adrMask : 0x2007;
}

// Programs the configuration word with all ones through the device's own cycle: what a
// programmer does when it "writes the configuration back" instead of erasing.
void rewriteConfigAllOnes(Bench& b) {
    const MidrangeDevice& d = b.chip->device();
    if (d.wordBits == 12) {
        b.load(2, 0x0FFF);  // the counter starts at the configuration word
    } else {
        b.load(0, 0x3FFF);
        b.increment(7);
        b.load(2, 0x3FFF);
    }
    b.programCycle();
}

void loadConfig(Bench& b) {
    b.load(0, 0x3FFF);
}

struct ProtectionCase {
    const char* name;
    const char* documented;            // the erase the programming document names
    std::function<void(Bench&)> lift;  // that erase, step by step
    bool erasesData;                   // it also takes the EEPROM
};

void setupAtConfigWord(Bench& b) {  // 01, 07, 08, wait, 01, 07 at 0x2007
    loadConfig(b);
    b.increment(7);
    for (int code : {1, 7, 8})
        b.command(code);
    b.waitUs(b.chip->device().protocol->setupEraseTimeUs);
    b.command(1);
    b.command(7);
}

void chipErase(Bench& b) {
    loadConfig(b);
    b.command(0x1F);
    b.waitUs(b.chip->device().protocol->chipEraseTimeUs);
}

void bulkFromConfigArea(Bench& b) {
    loadConfig(b);
    b.command(9);
    b.waitUs(b.chip->device().protocol->bulkEraseTimeUs);
    b.command(0x0B);
    b.waitUs(b.chip->device().protocol->bulkEraseTimeUs);
}

void baselineBulkErase(Bench& b) {  // from the configuration word, where the counter starts
    b.command(9);
    b.waitUs(b.chip->device().protocol->bulkEraseTimeUs);
}

// Code protection goes only by the erase each document names; rewriting the configuration
// word with all ones leaves the chip protected in the next session.
TEST(MidrangeProtocol, CodeProtectionGoesOnlyByTheNamedErase) {
    const ProtectionCase cases[] = {
        {"PIC16F877A", "1F chip erase", chipErase, true},
        {"PIC16F88", "1F chip erase", chipErase, true},
        {"PIC16F84A", "01-07-08 at 0x2007", setupAtConfigWord, true},
        {"PIC16F877", "01-07-08 at 0x2007", setupAtConfigWord, true},
        {"PIC16F628", "01-07-08 at 0x2007", setupAtConfigWord, true},
        {"PIC16F628A", "09 and 0B after Load Configuration", bulkFromConfigArea, true},
        {"PIC12F675", "09 and 0B after Load Configuration", bulkFromConfigArea, true},
        {"PIC16F887", "09 and 0B after Load Configuration", bulkFromConfigArea, true},
        {"PIC12F508", "09", baselineBulkErase, false},
    };
    for (const ProtectionCase& c : cases) {
        SCOPED_TRACE(std::string(c.name) + ", " + c.documented);
        Bench b(c.name);
        const MidrangeDevice& d = b.chip->device();
        const uint16_t cfg = configAddress(d);
        b.chip->poke(100, 0x0ABC);
        if (d.dataBytes)
            b.chip->pokeData(1, 0x42);
        b.chip->poke(cfg, static_cast<uint16_t>(b.chip->peek(cfg) & ~d.cpMask));

        b.powerUp();
        ASSERT_TRUE(b.chip->programProtected());
        rewriteConfigAllOnes(b);
        b.cycle();
        EXPECT_TRUE(noted(b, "cannot lift code protection"));
        EXPECT_TRUE(b.chip->programProtected()) << "a configuration write lifted protection";
        EXPECT_EQ(b.chip->peek(100), 0x0ABC);

        c.lift(b);
        b.cycle();
        EXPECT_FALSE(b.chip->programProtected());
        EXPECT_EQ(b.chip->peek(100), d.wordBits == 12 ? 0x0FFF : 0x3FFF);
        if (d.dataBytes) {
            EXPECT_EQ(b.chip->peekData(1), c.erasesData ? 0xFF : 0x42);
        }
        EXPECT_EQ(b.chip->takeNotes(), std::vector<std::string>{});
        b.powerDown();
    }
}

// Where a family names another erase for protected chips, its plain bulk erases do nothing
// while protection is on.
TEST(MidrangeProtocol, OtherBulkErasesAreRefusedUnderProtection) {
    for (const char* name : {"PIC16F877A", "PIC16F84A", "PIC16F628", "PIC16F877"}) {
        SCOPED_TRACE(name);
        Bench b(name);
        const MidrangeProtocol& p = *b.chip->device().protocol;
        b.chip->poke(0, 0x0ABC);
        b.chip->poke(0x2007,
                     static_cast<uint16_t>(b.chip->peek(0x2007) & ~b.chip->device().cpMask));
        b.powerUp();
        b.load(2, 0x3FFF);
        if ((p.commands >> 9) & 1) {
            b.command(9);
            if (p.bulkEraseStart == EraseStart::OnBeginCommand)
                b.command(8);
            b.waitUs(p.bulkEraseTimeUs);
        } else {  // the unprotected chip's 01-07-08 in program memory
            for (int code : {1, 7, 8})
                b.command(code);
            b.waitUs(p.setupEraseTimeUs);
        }
        b.increment();
        EXPECT_EQ(b.chip->peek(0), 0x0ABC);
        EXPECT_TRUE(noted(b, "erase refused on a code-protected chip"));
    }
}

// PIC16F84A: 01-07-08 at the configuration word takes the EEPROM only when code protection
// was on; 0B followed by "Begin Programming" (08 or 18) erases it.
TEST(MidrangeProtocol, F84ADataMemoryErases) {
    for (bool protectedChip : {false, true}) {
        SCOPED_TRACE(protectedChip ? "protected" : "not protected");
        Bench b("PIC16F84A");
        b.chip->pokeData(1, 0x42);
        if (protectedChip)
            b.chip->poke(0x2007, 0x000F);
        b.powerUp();
        setupAtConfigWord(b);
        b.cycle();
        EXPECT_EQ(b.chip->peekData(1), protectedChip ? 0xFF : 0x42);
        EXPECT_EQ(b.chip->peek(0x2007), 0x3FFF);
        b.powerDown();
    }
    for (int begin : {8, 0x18}) {
        Bench b("PIC16F84A");
        b.chip->pokeData(1, 0x42);
        b.powerUp();
        b.load(3, 0xFF);
        b.command(0x0B);
        b.command(begin);
        b.waitUs(8000);
        b.increment();
        EXPECT_EQ(b.chip->peekData(1), 0xFF) << "0B then " << begin;
        EXPECT_EQ(b.chip->takeNotes(), std::vector<std::string>{});
    }
    // The set-up sequence after Load Data Memory erases the EEPROM of the non-A parts only.
    for (const char* name : {"PIC16F84", "PIC16F84A"}) {
        SCOPED_TRACE(name);
        const bool erases = std::string(name) == "PIC16F84";
        Bench b(name);
        b.chip->pokeData(1, 0x42);
        b.powerUp();
        b.load(3, 0xFF);
        for (int code : {1, 7, 8})
            b.command(code);
        b.waitUs(b.chip->device().protocol->setupEraseTimeUs);
        b.command(1);
        b.command(7);
        EXPECT_EQ(b.chip->peekData(1), erases ? 0xFF : 0x42);
        EXPECT_EQ(noted(b, "does not erase the EEPROM"), !erases);
        b.powerDown();
    }
    // The 16F877 has no 0B: the peer's 0B then 18 writes one byte and erases nothing else.
    Bench n("PIC16F877");
    n.chip->pokeData(1, 0x42);
    n.powerUp();
    n.load(3, 0xFF);
    n.command(0x0B);
    n.command(0x18);
    n.waitUs(8000);
    n.increment();
    EXPECT_EQ(n.chip->peekData(1), 0x42);
    EXPECT_TRUE(noted(n, "command 0B does not exist"));
}

struct ExternalCase {
    const char* name;
    int start;    // the externally timed programming command
    int end;      // its End Programming
    int foreign;  // an End Programming command of another family, which this part lacks
};

// An externally timed cycle programs its words only when End Programming ends it: ended by
// any other command, by a command the part lacks, or by the supply going, the words are
// left half programmed and noted.
TEST(MidrangeProtocol, ExternallyTimedCyclesNeedTheirEndProgramming) {
    const ExternalCase cases[] = {
        {"PIC16F877A", 0x18, 0x17, 0x0E}, {"PIC16F88", 0x18, 0x17, 0x0A},
        {"PIC12F675", 0x18, 0x0A, 0x17},  {"PIC16F887", 0x18, 0x0A, 0x0E},
        {"PIC16F716", 0x18, 0x0E, 0x17},  {"PIC16F73", 0x08, 0x0E, 0x17},
        {"PIC12F508", 0x08, 0x0E, 0x17},
    };
    for (const ExternalCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bench b(c.name);
        const MidrangeDevice& d = b.chip->device();
        const MidrangeProtocol& p = *d.protocol;
        const uint32_t time = c.start == 8 ? p.beginTimeUs : p.progOnlyTimeUs;
        const bool twelve = d.wordBits == 12;
        const uint16_t word = 0x0000;
        const uint16_t halfDone = twelve ? 0x0FC0 : 0x3F80;
        b.powerUp();
        if (twelve)
            b.increment();  // from the configuration word to 0
        auto program = [&](int ender) {
            b.load(2, word);
            b.command(c.start);
            b.waitUs(time);
            if (ender >= 0)
                b.command(ender);
            b.waitUs(p.dischargeUs);
        };
        program(c.end);
        EXPECT_EQ(b.chip->peek(0), word);
        EXPECT_EQ(b.chip->takeNotes(), std::vector<std::string>{});

        for (int ender : {6, c.foreign}) {
            b.increment(d.latchWords);
            const uint32_t at = b.chip->counter();
            program(ender);
            EXPECT_EQ(b.chip->peek(at), halfDone) << "ended by " << ender;
            EXPECT_TRUE(noted(b, "not ended by End Programming"));
        }
        b.increment(d.latchWords);
        const uint32_t at = b.chip->counter();
        program(-1);
        b.powerDown();
        EXPECT_EQ(b.chip->peek(at), halfDone) << "never ended";
        EXPECT_TRUE(noted(b, "not ended by End Programming"));
    }
}

// After End Programming the baseline parts (and the 16F716 and 16F6xx) take no command for
// TDIS, 100 us.
TEST(MidrangeProtocol, NextCommandWaitsForTheDischargeTime) {
    for (const char* name : {"PIC10F200", "PIC12F509", "PIC16F716", "PIC12F683"}) {
        SCOPED_TRACE(name);
        Bench b(name);
        const MidrangeProtocol& p = *b.chip->device().protocol;
        b.powerUp();
        b.increment();
        const uint32_t start = b.chip->counter();
        b.load(2, 0x0000);
        b.command(p.beginCycle == CycleKind::ProgramOnlyExternal ? 8 : p.progOnlyCode);
        b.waitUs(p.beginCycle == CycleKind::ProgramOnlyExternal ? p.beginTimeUs : p.progOnlyTimeUs);
        b.command(p.endCode);
        b.waitUs(p.dischargeUs / 2);
        b.increment();  // too soon: ignored
        EXPECT_EQ(b.chip->counter(), start);
        EXPECT_TRUE(noted(b, "after End Programming"));
        b.increment();
        EXPECT_NE(b.chip->counter(), start);
        EXPECT_EQ(b.chip->takeNotes(), std::vector<std::string>{});
    }
    // End Programming after an internally timed cycle ends nothing and starts no wait.
    Bench i("PIC12F683");
    i.powerUp();
    i.load(2, 0x0000);
    i.command(8);
    i.waitUs(i.chip->device().protocol->beginTimeUs);
    i.command(0x0A);
    i.increment();
    EXPECT_EQ(i.chip->counter(), 1u);
    EXPECT_EQ(i.chip->takeNotes(), std::vector<std::string>{});
}

struct TimeCase {
    const char* name;
    std::function<void(Bench&)> start;  // loads and starts the cycle
    uint32_t minimumUs;
};

// Each cycle needs the longest time the sources give (TPROG 10 ms for 08 on the 16F87XA,
// 10 ms for its 09/0B/1F, 8 ms for 18 on the 16F84A): a little less leaves the word half
// programmed and nothing erased.
TEST(MidrangeProtocol, CyclesNeedTheLongerDocumentedTime) {
    const TimeCase cases[] = {
        {"PIC16F877A",
         [](Bench& b) {
             b.load(2, 0x0000);
             b.command(8);
         },
         10000},
        {"PIC16F877A",
         [](Bench& b) {
             b.load(0, 0x3FFF);
             b.command(0x1F);
         },
         10000},
        {"PIC16F877A",
         [](Bench& b) {
             b.load(2, 0x3FFF);
             b.command(9);
             b.command(8);
         },
         10000},
        {"PIC16F84A",
         [](Bench& b) {
             b.load(2, 0x0000);
             b.command(0x18);
         },
         8000},
        {"PIC16F88",
         [](Bench& b) {
             b.load(0, 0x3FFF);
             b.command(0x1F);
         },
         10000},
    };
    for (const TimeCase& c : cases) {
        for (uint32_t wait : {c.minimumUs - 100, c.minimumUs}) {
            Bench b(c.name);
            b.chip->poke(0, 0x1555);
            b.powerUp();
            c.start(b);
            b.waitUs(wait);
            b.increment();
            const bool complete = wait >= c.minimumUs;
            EXPECT_EQ(noted(b, "cut short"), !complete) << c.name << " waiting " << wait;
            if (complete) {
                EXPECT_NE(b.chip->peek(0), 0x1555) << c.name;
            } else {
                EXPECT_NE(b.chip->peek(0), 0x0000) << c.name;
            }
        }
    }
}

// Baseline parts under code protection: the first 64 words and the OSCCAL word stay
// readable, the rest reads 0.
TEST(MidrangeProtocol, BaselineProtectedReads) {
    for (const char* name : {"PIC10F200", "PIC10F202", "PIC12F508", "PIC12F509", "PIC16F505",
                             "PIC12F510", "PIC16F54", "PIC16F57"}) {
        SCOPED_TRACE(name);
        Bench b(name);
        const MidrangeDevice& d = b.chip->device();
        for (uint32_t a : {0u, 63u, 64u})
            b.chip->poke(a, static_cast<uint16_t>(0x0A00 + a));
        b.chip->poke(d.adrMask, static_cast<uint16_t>(b.chip->peek(d.adrMask) & ~d.cpMask));
        b.powerUp();
        b.increment();
        EXPECT_EQ(b.read(), 0x0A00);
        b.increment(63);
        EXPECT_EQ(b.read(), 0x0A00 + 63);
        b.increment();
        EXPECT_EQ(b.read(), 0) << "word 64";
        if (d.osccalAddr != 0) {
            b.increment(d.osccalAddr - 64);
            EXPECT_EQ(b.read(), b.chip->factoryOsccalWord());
        }
    }
}

// Programming mode is entered with PGC and PGD low as VPP rises; command 119 hands the lines
// to the programmer, which holds them low itself.
TEST(MidrangeProtocol, EntryNeedsPgcAndPgdLow) {
    for (const char* name : {"PIC16F84A", "PIC12F508", "PIC16F877A"}) {
        SCOPED_TRACE(name);
        Bench b(name);
        auto& p = b.programmer;
        p.SSetMode(0);
        p.SOpen(1);
        p.SSetPGD(1);
        p.SVccOn(0);
        p.SVppOn(0);
        EXPECT_FALSE(b.chip->inProgrammingMode());
        EXPECT_TRUE(noted(b, "PGC or PGD high"));
        p.SPowerOff();

        p.SSetPGD(0);
        p.SSetPGC(1);
        p.SVppOn(0);
        p.SVccOn(0);
        EXPECT_FALSE(b.chip->inProgrammingMode());
        EXPECT_TRUE(noted(b, "PGC or PGD high"));
        p.SPowerOff();

        p.SSetPGD(1);
        p.SSendCmd(119);
        p.SVccOn(0);
        p.SVppOn(0);
        EXPECT_TRUE(b.chip->inProgrammingMode());
        p.SPowerOff();
        p.SSendCmd(113);

        p.SSetPGD(0);
        p.SSetPGC(0);
        p.SVccOn(0);
        p.SVppOn(0);
        EXPECT_TRUE(b.chip->inProgrammingMode());
        EXPECT_EQ(b.chip->takeNotes(), std::vector<std::string>{});
        b.powerDown();
    }
}

// A data word goes only after a load command and a word is read only after a read command.
TEST(MidrangeProtocol, WordsNeedTheirCommand) {
    Bench b("PIC16F628A");
    b.chip->poke(0, 0x1234);
    b.powerUp();
    b.programmer.SWriteWord(0x0000);  // no Load Data before it
    b.programCycle();
    EXPECT_EQ(b.chip->peek(0), 0x1234);
    EXPECT_TRUE(noted(b, "without a load command"));
    EXPECT_EQ(b.programmer.SReadWord(), 0);  // no Read Data before it
    EXPECT_TRUE(noted(b, "without a read command"));

    b.load(2, 0x0000);
    b.programCycle();
    EXPECT_EQ(b.read(), 0x0000);
    EXPECT_EQ(b.chip->takeNotes(), std::vector<std::string>{});
}

}  // namespace
}  // namespace velkaro::sim
