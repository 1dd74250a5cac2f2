#include "sim/midrange/midrange_chip.h"

#include <gtest/gtest.h>

#include <sstream>
#include <utility>

#include "sim/chip_families.h"
#include "sim_bench.h"

namespace velkaro::sim {
namespace {

using test::Bench;

// A configuration value that clears one ordinary bit, leaving protection and BG alone.
uint16_t configWithOneBitCleared(const MidrangeDevice& d) {
    const uint16_t keep = d.cpMask | d.cpdMask | d.bgMask;
    for (int bit = 0; bit < 14; ++bit)
        if ((d.configMask[0] >> bit & 1) && !(keep >> bit & 1))
            return static_cast<uint16_t>((d.configMask[0] | d.bgMask) & ~(1u << bit));
    return d.configMask[0] | d.bgMask;
}

class EveryModel : public ::testing::TestWithParam<std::string> {};

TEST_P(EveryModel, WritesAndReadsBackEveryRegion) {
    Bench b(GetParam());
    ASSERT_NE(b.chip, nullptr);
    const MidrangeDevice& d = b.chip->device();
    const bool twelve = d.wordBits == 12;
    const uint16_t word = twelve ? 0x0A5C : 0x2A5C;
    b.powerUp();
    if (twelve)
        b.increment();  // from the configuration word to address 0
    b.increment(2);
    b.load(2, word);
    b.programCycle();
    EXPECT_EQ(b.read(), word) << "program word 2";
    EXPECT_EQ(b.chip->peek(2), word);

    const uint16_t config = configWithOneBitCleared(d);
    if (twelve) {
        b.increment(d.progWords - 2);  // to the first ID
        b.load(2, 0x0005);
        b.programCycle();
        EXPECT_EQ(b.read(), 0x0005) << "ID";
        b.cycle();  // the counter starts at the configuration word
        b.load(2, config);
        b.programCycle();
        EXPECT_EQ(b.read(), config) << "configuration";
    } else {
        b.load(0, 0x0005);
        b.programCycle();
        EXPECT_EQ(b.read(), 0x0005) << "ID";
        b.increment(7);
        b.load(2, config);
        b.programCycle();
        EXPECT_EQ(b.read() & d.configMask[0], config & d.configMask[0]) << "configuration";
        b.cycle();
        b.load(0, 0x3FFF);
        b.increment(6);
        if (d.deviceId) {
            EXPECT_EQ(b.read() & 0x3FE0, d.deviceId & 0x3FE0) << "device ID";
        }
    }
    if (d.dataBytes) {
        b.cycle();
        b.increment(3);
        b.load(3, 0x5A);
        b.programCycle(true);
        EXPECT_EQ(b.read(5), 0x5A) << "EEPROM";
        EXPECT_EQ(b.chip->peekData(3), 0x5A);
    }
    b.powerDown();
    EXPECT_EQ(b.programmer.checkLeftSafe(), "");
}

INSTANTIATE_TEST_SUITE_P(Table, EveryModel, ::testing::ValuesIn(midrangeChipNames()),
                         [](const auto& info) { return info.param; });

TEST(MidrangeChip, ModelsTheDevicesTheProgramNeeds) {
    for (const char* name :
         {"PIC16F84A", "PIC16F628A", "PIC12F675", "PIC16F877A", "PIC12F629", "PIC16F84",
          "PIC16F627A", "PIC16F648A", "PIC12F683", "PIC16F88", "PIC16F690", "PIC12F508",
          "PIC12F509", "PIC10F200", "PIC10F202", "PIC16F716", "PIC16F876A"})
        EXPECT_NE(makeSimChip(name), nullptr) << name;
    EXPECT_NE(makeSimChip("pic16f84a"), nullptr);
    EXPECT_EQ(makeSimChip("PIC16F999"), nullptr);
}

TEST(MidrangeChip, ProgramOnlyCyclesCanOnlyClearBits) {
    Bench b("PIC12F675");  // 08 programs without erasing on this family
    b.powerUp();
    b.load(2, 0x1234);
    b.programCycle();
    b.load(2, 0x3FFF);
    b.programCycle();
    EXPECT_EQ(b.read(), 0x1234);
    b.load(2, 0x0F0F);
    b.programCycle();
    EXPECT_EQ(b.read(), 0x1234 & 0x0F0F);

    Bench a("PIC16F84A");  // 18 programs only, 08 erases first
    a.powerUp();
    a.load(2, 0x1234);
    a.command(0x18);
    a.waitUs(8000);
    a.load(2, 0x2B00);
    a.command(0x18);
    a.waitUs(8000);
    EXPECT_EQ(a.read(), 0x1234 & 0x2B00);
    a.load(2, 0x2B00);
    a.command(8);
    a.waitUs(8000);
    EXPECT_EQ(a.read(), 0x2B00);
}

TEST(MidrangeChip, ACycleCutShortLeavesTheWordWrong) {
    Bench b("PIC16F84A");  // internally timed erase and program, 8 ms
    b.powerUp();
    b.load(2, 0x1234);
    b.command(8);
    b.waitUs(2000);
    EXPECT_EQ(b.read(), 0x3F80 | (0x1234 & 0x7F));

    Bench x("PIC16F877A");  // externally timed program-only, ended by 17 after 1 ms
    x.powerUp();
    x.load(2, 0x0000);
    x.command(0x18);
    x.waitUs(300);
    x.command(0x17);
    EXPECT_EQ(x.read(), 0x3F80);

    Bench e("PIC12F675");  // EEPROM write cut short
    e.powerUp();
    e.load(3, 0x12);
    e.command(8);
    e.waitUs(1000);
    EXPECT_EQ(e.read(5), 0xF2);

    Bench p("PIC16F628A");  // power removed in the middle of a cycle
    p.powerUp();
    p.load(2, 0x0000);
    p.command(8);
    p.powerDown();
    EXPECT_EQ(p.chip->peek(0), 0x3F80);
}

// An internally timed cycle is over once its time has passed; one that runs until End
// Programming is not.
TEST(MidrangeChip, PowerRemovalIsNotedOnlyWhileACycleStillRuns) {
    for (const auto& [waitUs, noted] : {std::pair{6000, false}, std::pair{3000, true}}) {
        Bench b("PIC12F675");
        b.powerUp();
        b.load(0, 0x3FFF);
        b.command(9);
        b.waitUs(waitUs);
        b.powerDown();
        EXPECT_EQ(b.chip->takeNotes().empty(), !noted) << waitUs;
    }
    Bench x("PIC16F877A");
    x.powerUp();
    x.load(2, 0x0000);
    x.command(0x18);
    x.waitUs(5000);
    x.powerDown();
    EXPECT_FALSE(x.chip->takeNotes().empty()) << "no End Programming";
}

TEST(MidrangeChip, BulkEraseDestroysOsccalAndBandGapUnlessCutShort) {
    Bench b("PIC12F675");
    const uint16_t osccal = b.chip->factoryOsccalWord();
    EXPECT_EQ(osccal & 0x3F00, 0x3400);  // RETLW k
    EXPECT_EQ(b.chip->peek(0x3FF), osccal);
    EXPECT_NE(b.chip->peek(0x2007) & 0x3000, 0x3000);
    b.powerUp();
    b.load(0, 0x3FFF);
    b.command(9);
    b.waitUs(3000);  // too short: nothing erased
    b.command(0x0B);
    b.waitUs(6000);
    EXPECT_EQ(b.chip->peek(0x3FF), osccal);
    b.command(9);
    b.waitUs(6000);
    b.command(6);
    EXPECT_EQ(b.chip->peek(0x3FF), 0x3FFF);
    EXPECT_EQ(b.chip->peek(0x2007), 0x31FF);

    Bench s("PIC12F508");  // baseline: MOVLW k at the last word, backup after the IDs
    EXPECT_EQ(s.chip->peek(0x1FF) & 0xF00, 0xC00);
    s.powerUp();
    s.command(9);
    s.waitUs(10000);
    s.command(6);
    EXPECT_EQ(s.chip->peek(0x1FF), 0xFFF);
    EXPECT_EQ(s.chip->peek(0x204), s.chip->factoryOsccalWord());  // backup survives
}

TEST(MidrangeChip, BulkEraseOn84AWaitsForBeginCommand) {
    Bench b("PIC16F84A");
    b.chip->poke(0, 0x0123);
    b.powerUp();
    b.load(2, 0x3FFF);
    b.command(9);
    b.waitUs(10000);
    b.command(6);
    EXPECT_EQ(b.chip->peek(0), 0x0123);
    b.cycle();
    b.load(2, 0x3FFF);
    b.command(9);
    b.command(8);
    b.waitUs(8000);
    b.command(6);
    EXPECT_EQ(b.chip->peek(0), 0x3FFF);
}

TEST(MidrangeChip, CodeProtectionHidesProgramMemoryUntilErased) {
    Bench b("PIC16F628A");
    b.chip->poke(0, 0x0ABC);
    b.chip->pokeData(0, 0x42);
    b.chip->poke(0x2007, 0x21FF & ~0x2000 & ~0x0100);  // CP and CPD on
    b.powerUp();
    EXPECT_TRUE(b.chip->programProtected());
    EXPECT_EQ(b.read(), 0);
    EXPECT_EQ(b.read(5), 0);
    b.load(2, 0x0000);  // protected memory is not programmed
    b.programCycle();
    EXPECT_EQ(b.chip->peek(0), 0x0ABC);
    b.load(0, 0x3FFF);
    b.command(9);
    b.waitUs(6000);
    b.command(0x0B);
    b.waitUs(6000);
    b.cycle();
    EXPECT_FALSE(b.chip->programProtected());
    EXPECT_EQ(b.read(), 0x3FFF);
    EXPECT_EQ(b.read(5), 0xFF);

    // The older parts clear protection with 01-07-08-01-07 at the configuration word.
    Bench a("PIC16F84A");
    a.chip->poke(0, 0x0ABC);
    a.chip->poke(0x2007, 0x000F);
    a.powerUp();
    EXPECT_EQ(a.read(), 0);
    a.load(0, 0x3FFF);
    a.increment(7);
    for (int code : {1, 7, 8})
        a.command(code);
    a.waitUs(8000);
    a.command(1);
    a.command(7);
    a.cycle();
    EXPECT_EQ(a.read(), 0x3FFF);
    EXPECT_EQ(a.chip->peek(0x2007), 0x3FFF);
}

// A chip configured for the internal oscillator with MCLR disabled starts its program as soon
// as VDD rises; the families that need VPP first then never enter programming mode.
TEST(MidrangeChip, InternalOscillatorWithMclrOffNeedsVppFirst) {
    struct Case {
        const char* name;
        uint16_t runsAtOnce;  // internal oscillator (I/O or CLKOUT), MCLRE clear
    };
    for (const Case& c :
         {Case{"PIC12F675", 0x31D4}, Case{"PIC16F684", 0x0FD5}, Case{"PIC16F628A", 0x2158},
          Case{"PIC16F627", 0x3D59}, Case{"PIC16F887", 0x3FD4}}) {
        Bench b(c.name);
        b.chip->poke(0, 0x2805);
        b.chip->poke(0x2007, c.runsAtOnce);
        EXPECT_TRUE(b.chip->needsVppFirst()) << c.name;
        b.powerUp(false);
        EXPECT_FALSE(b.chip->inProgrammingMode()) << c.name;
        EXPECT_EQ(b.read(), 0) << c.name;
        b.load(2, 0x0000);
        b.programCycle();
        EXPECT_EQ(b.chip->peek(0), 0x2805) << c.name << ": nothing may be programmed";
        b.powerDown();

        b.powerUp(true);
        EXPECT_TRUE(b.chip->inProgrammingMode()) << c.name;
        EXPECT_EQ(b.read(), 0x2805) << c.name;
        b.powerDown();

        // With MCLR enabled, or an external oscillator, either order works.
        for (uint16_t config :
             {uint16_t(c.runsAtOnce | 0x0020), uint16_t(c.runsAtOnce & ~0x0004 & ~0x0010)}) {
            b.chip->poke(0x2007, config);
            EXPECT_FALSE(b.chip->needsVppFirst()) << c.name << std::hex << " " << config;
            b.powerUp(false);
            EXPECT_EQ(b.read(), 0x2805) << c.name << std::hex << " " << config;
            b.powerDown();
        }
    }

    // Families without the rule enter programming mode with VDD first whatever the
    // configuration says.
    Bench f84("PIC16F84A");
    f84.chip->poke(0, 0x2805);
    f84.chip->poke(0x2007, 0x3FF4);
    f84.powerUp(false);
    EXPECT_EQ(f84.read(), 0x2805);
}

TEST(MidrangeChip, CommandsTheDeviceLacksAreIgnored) {
    // The older parts' protection-clearing sequence reaches a 12F675 as Load Configuration,
    // increments and an 08 with all ones latched: nothing may change.
    Bench b("PIC12F675");
    const uint16_t config = b.chip->peek(0x2007);
    b.powerUp();
    b.load(0, 0x3FFF);
    b.increment(7);
    for (int code : {1, 7, 8})
        b.command(code);
    b.waitUs(3000);
    b.command(1);
    b.command(7);
    b.powerDown();
    EXPECT_EQ(b.chip->peek(0x2007), config);
    EXPECT_EQ(b.chip->peek(0x3FF), b.chip->factoryOsccalWord());

    Bench n("PIC16F716");  // has no 08 and no EEPROM commands
    n.powerUp();
    n.load(2, 0x0000);
    n.command(8);
    n.waitUs(10000);
    EXPECT_EQ(n.read(), 0x3FFF);
    EXPECT_EQ(n.read(5), 0);  // no answer to Read Data Memory
    n.command(0x18);          // the latch still holds the loaded word
    n.waitUs(2000);
    n.command(0x0E);
    EXPECT_EQ(n.read(), 0x0000);
}

TEST(MidrangeChip, CounterStartsAtResetVectorAndWraps) {
    Bench s("PIC12F508");
    s.chip->poke(0, 0x0A01);
    s.powerUp();
    EXPECT_EQ(s.chip->counter(), 0x3FFu);
    EXPECT_EQ(s.read(), 0x01F);  // the configuration word
    s.increment();
    EXPECT_EQ(s.chip->counter(), 0u);
    EXPECT_EQ(s.read(), 0x0A01);
    s.increment(0x3FF);
    EXPECT_EQ(s.chip->counter(), 0x3FFu);

    Bench m("PIC16F84A");
    m.chip->poke(0, 0x1111);
    m.powerUp();
    EXPECT_EQ(m.chip->counter(), 0u);
    m.increment(0x2000);  // program space wraps at 0x1FFF; 1 K words alias up there
    EXPECT_EQ(m.chip->counter(), 0u);
    m.increment(0x400);
    EXPECT_EQ(m.read(), 0x1111);
    m.load(0, 0x3FFF);
    m.increment(0x2000);  // the configuration area wraps onto itself
    EXPECT_EQ(m.chip->counter(), 0x2000u);
}

TEST(MidrangeChip, LatchGroupIsProgrammedByOneCycle) {
    Bench b("PIC16F877A");  // 8-word latches
    b.powerUp();
    b.increment(8);
    for (int i = 0; i < 7; ++i) {
        b.load(2, 0x1000 + i);
        b.increment();
    }
    b.load(2, 0x1007);
    b.command(0x18);
    b.waitUs(1000);
    b.command(0x17);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(b.chip->peek(8 + i), 0x1000 + i);
    EXPECT_EQ(b.chip->peek(16), 0x3FFF);
}

// With the counter in program memory the chip erase takes program and data memory only:
// the IDs and the configuration word, and so the code protection, stay until the erase is
// given from the configuration area. Stuck bits read as stuck whatever the cells hold.
TEST(MidrangeChip, ChipEraseScopeFollowsTheCounterAndStuckBitsStay) {
    for (const char* name : {"PIC16F877A", "PIC16F88"}) {
        SCOPED_TRACE(name);
        Bench b(name);
        b.chip->poke(5, 0x0000);
        b.chip->pokeData(5, 0x00);
        b.chip->poke(0x2000, 0x0001);
        b.chip->poke(0x2007, 0x0000);  // every protection bit on
        b.chip->setStuckBits(6, 0x0003, 0x0000);
        b.powerUp();
        b.command(0x1F);
        b.waitUs(10000);
        b.increment();
        EXPECT_EQ(b.chip->peek(5), 0x3FFF);
        EXPECT_EQ(b.chip->peekData(5), 0xFF);
        EXPECT_EQ(b.chip->peek(0x2000), 0x0001);
        EXPECT_EQ(b.chip->peek(0x2007), 0x0000);
        b.cycle();
        b.increment(4);
        EXPECT_EQ(b.read(), 0) << "still protected";
        b.load(0, 0x3FFF);
        b.command(0x1F);
        b.waitUs(10000);
        b.increment();
        EXPECT_EQ(b.chip->peek(0x2000), 0x3FFF);
        EXPECT_NE(b.chip->peek(0x2007), 0x0000);
        b.cycle();
        b.increment(6);
        EXPECT_EQ(b.read(), 0x3FFC);
        EXPECT_EQ(b.chip->peek(6), 0x3FFF);
        b.powerDown();
        EXPECT_TRUE(b.chip->takeNotes().empty());
    }
}

TEST(MidrangeChip, OscillatorRunsOnlyWithAProgramAndFollowsOsccal) {
    auto chip = makeSimChip("PIC12F675");
    auto& m = dynamic_cast<MidrangeChip&>(*chip);
    EXPECT_EQ(chip->oscillatorHz(), 0.0);
    chip->poke(0, 0x2805);
    EXPECT_DOUBLE_EQ(chip->oscillatorHz(), 1e6);
    const uint16_t factory = m.factoryOsccalWord();
    chip->poke(0x3FF, factory + 8);  // two steps up
    EXPECT_NEAR(chip->oscillatorHz(), 1e6 * 1.005 * 1.005, 1e-3);
    chip->poke(0x3FF, factory - 4);
    EXPECT_NEAR(chip->oscillatorHz(), 1e6 / 1.005, 1e-3);
    EXPECT_EQ(makeSimChip("PIC16F84A")->oscillatorHz(), 0.0);
}

TEST(MidrangeChip, StateRoundTripsAndBadTextChangesNothing) {
    auto chip = makeSimChip("PIC16F628A");
    chip->poke(0, 0x2805);
    chip->poke(0x7FF, 0x0001);
    chip->poke(0x2001, 0x000A);
    chip->poke(0x2007, 0x3F10 & 0x21FF);
    chip->pokeData(0x7F, 0x33);
    std::stringstream saved;
    chip->saveState(saved);
    EXPECT_NE(saved.str().find("chip PIC16F628A"), std::string::npos);

    auto copy = makeSimChip("PIC16F628A");
    ASSERT_TRUE(copy->loadState(saved));
    std::stringstream again;
    copy->saveState(again);
    EXPECT_EQ(again.str(), saved.str());
    EXPECT_EQ(copy->peek(0x7FF), 0x0001);
    EXPECT_EQ(copy->peekData(0x7F), 0x33);
    EXPECT_EQ(copy->peek(0x2006), chip->peek(0x2006));

    for (const char* bad :
         {"chip PIC16F84A\n", "program 0000 2805\n", "chip PIC16F628A\nprogram 0800 0000\n",
          "chip PIC16F628A\nprogram 0000 4000\n", "chip PIC16F628A\ndata 0000 100\n",
          "chip PIC16F628A\nfuse 0000 00\n", "chip PIC16F628A\nfuse 0000\n",
          "chip PIC16F628A\nprogram 0000 zz\n"}) {
        std::istringstream in(bad);
        EXPECT_FALSE(copy->loadState(in)) << bad;
        EXPECT_EQ(copy->peek(0), 0x2805) << bad;
    }

    auto base = makeSimChip("PIC10F202");
    base->poke(0x3FF, 0x00A);
    base->poke(0x200, 0x001);
    std::stringstream baseline;
    base->saveState(baseline);
    auto baseCopy = makeSimChip("PIC10F202");
    ASSERT_TRUE(baseCopy->loadState(baseline));
    EXPECT_EQ(baseCopy->peek(0xFFF), 0x00A);
    EXPECT_EQ(baseCopy->peek(0x1FF), base->peek(0x1FF));  // factory OSCCAL kept
}

}  // namespace
}  // namespace velkaro::sim
