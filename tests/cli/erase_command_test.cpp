// velkaro-cli erase end to end against the simulator, the chip kept in a --sim-state file.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "sim/sim_chip.h"
#include "support/cli_runner.h"

namespace velkaro {
namespace {

class EraseCommandTest : public ::testing::Test {
protected:
    // Puts a chip of `chipName` holding a program, an ID and data bytes into the state file.
    void insertChip(const std::string& chipName) {
        auto chip = sim::makeSimChip(chipName);
        ASSERT_TRUE(chip);
        chip->poke(0, 0x2805);
        chip->poke(0x2001, 0x0005);
        chip->pokeData(0, 0x42);
        std::ofstream out(state());
        chip->saveState(out);
    }

    // The chip as the last run left it.
    std::unique_ptr<sim::SimChip> chipAfter(const std::string& chipName) {
        auto chip = sim::makeSimChip(chipName);
        std::ifstream in(state());
        EXPECT_TRUE(chip->loadState(in));
        return chip;
    }

    std::string state() const { return dir.file("chip.state"); }

    test::CliRun run(const std::string& device, const std::string& arguments,
                     const std::string& simulate = "--simulate") {
        return test::runVelkaroCli("--device " + device + " " + simulate + " --sim-state " +
                                       test::shellQuote(state()) + " erase " + arguments +
                                       " </dev/null",
                                   dir);
    }

    test::TempDir dir;
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(EraseCommandTest, ErasesTheChipAndKeepsOscCalAndBgOnRequest) {
    insertChip("PIC12F675");
    const uint16_t factoryOscCal = sim::makeSimChip("PIC12F675")->peek(0x3FF);
    test::CliRun result = run("PIC12F675", "--keep-osccal --json");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(contains(result.out, R"("command":"erase")")) << result.out;
    EXPECT_TRUE(contains(result.out, R"("result":"ok")")) << result.out;
    char oscCal[8];
    std::snprintf(oscCal, sizeof oscCal, "%04X", factoryOscCal);
    EXPECT_TRUE(contains(result.out, std::string(R"("osccal":")") + oscCal)) << result.out;
    auto chip = chipAfter("PIC12F675");
    EXPECT_EQ(chip->peek(0), 0x3FFF);
    EXPECT_EQ(chip->peek(0x2001), 0x3FFF);
    EXPECT_EQ(chip->peekData(0), 0xFF);
    EXPECT_EQ(chip->peek(0x3FF), factoryOscCal);

    insertChip("PIC12F675");
    ASSERT_EQ(run("PIC12F675", "--no-data").exitCode, 0);
    chip = chipAfter("PIC12F675");
    EXPECT_EQ(chip->peek(0), 0x3FFF);
    EXPECT_EQ(chip->peek(0x3FF), 0x3FFF) << "OSCCAL goes without --keep-osccal";
    EXPECT_EQ(chip->peekData(0), 0x42) << "--no-data leaves data memory";
}

TEST_F(EraseCommandTest, IdMismatchRefusesWithoutYesWhenNotInteractive) {
    insertChip("PIC16F676");
    test::CliRun result = run("PIC12F675", "--check-id --json", "--simulate=PIC16F676");
    EXPECT_EQ(result.exitCode, 8) << result.err;
    EXPECT_EQ(chipAfter("PIC16F676")->peek(0), 0x2805) << "nothing erased";
    result = run("PIC12F675", "--check-id --yes", "--simulate=PIC16F676");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(chipAfter("PIC16F676")->peek(0), 0x3FFF);
}

TEST_F(EraseCommandTest, NothingLeftToDoIsAUsageError) {
    test::CliRun result = run("PIC16F73", "--no-program --json");
    EXPECT_EQ(result.exitCode, 64);
    EXPECT_TRUE(contains(result.err, "nothing left to do")) << result.err;
    EXPECT_TRUE(contains(result.out, R"("result":"usage")")) << result.out;
    EXPECT_EQ(run("PIC16F84A", "--no-program --no-data").exitCode, 64);
}

// Panel erase of a 16-bit core: program memory alone keeps the data memory.
TEST_F(EraseCommandTest, SixteenBitCoresAreErasedByRegion) {
    for (const char* name : {"PIC18F452", "PIC18F4520"}) {
        SCOPED_TRACE(name);
        insertChip(name);
        ASSERT_EQ(run(name, "--no-data").exitCode, 0);
        auto chip = chipAfter(name);
        EXPECT_EQ(chip->peek(0), 0xFF);
        EXPECT_EQ(chip->peekData(0), 0x42);
        ASSERT_EQ(run(name, "--json").exitCode, 0);
        EXPECT_EQ(chipAfter(name)->peekData(0), 0xFF);
    }
}

}  // namespace
}  // namespace velkaro
