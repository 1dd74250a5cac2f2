// velkaro-cli program end to end against the simulator, the chip kept in a --sim-state file.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "sim/sim_chip.h"
#include "support/cli_runner.h"

namespace velkaro {
namespace {

class ProgramCommandTest : public ::testing::Test {
protected:
    // A PIC12F675 holding an old program and data, and a file for it: word 0 = 0x2805,
    // ID 1 = 7, the configuration word 0x3FF2 with its BG bits, a first data byte 0x99.
    void SetUp() override {
        auto chip = sim::makeSimChip("PIC12F675");
        ASSERT_TRUE(chip);
        factoryOscCal = chip->peek(0x3FF);
        chip->poke(0, 0x0123);
        chip->poke(1, 0x0456);
        chip->pokeData(1, 0x42);
        std::ofstream out(state());
        chip->saveState(out);
        std::ofstream(hex()) << ":020000000528D1\n"
                             << ":024002000700B5\n"
                             << ":02400E00F2FFBF\n"
                             << ":014200009924\n"
                             << ":00000001FF\n";
    }

    std::unique_ptr<sim::SimChip> chipAfter() {
        auto chip = sim::makeSimChip("PIC12F675");
        std::ifstream in(state());
        EXPECT_TRUE(chip->loadState(in));
        return chip;
    }

    std::string state() const { return dir.file("chip.state"); }
    std::string hex() const { return dir.file("in.hex"); }

    test::CliRun run(const std::string& arguments, const std::string& device = "PIC12F675",
                     const std::string& simulate = "--simulate") {
        return test::runVelkaroCli("--device " + device + " " + simulate + " --sim-state " +
                                       test::shellQuote(state()) + " program " +
                                       test::shellQuote(hex()) + " " + arguments + " </dev/null",
                                   dir);
    }

    test::TempDir dir;
    uint16_t factoryOscCal = 0;
};

TEST_F(ProgramCommandTest, RunsEveryStepInOrderAndLeavesTheFileInTheChip) {
    const test::CliRun result = run("--check-id --blank-check --verify");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    size_t at = 0;
    for (const char* step :
         {"  -- デバイスIDの確認 --\n", "  -- OSCCALの読み込み --\n", "  -- データ消去 --\n",
          "  -- ブランクチェック --\n", "  -- データの書き込み --\n", "  -- データベリファイ --\n",
          "  -- コンフィグデータの書き込み --\n", "  -- コンフィグデータのチェック --\n",
          "プログラムは正常に終了しました。\n"}) {
        const size_t found = result.err.find(step, at);
        ASSERT_NE(found, std::string::npos) << step << " after " << at << ":\n" << result.err;
        at = found;
    }
    auto chip = chipAfter();
    EXPECT_EQ(chip->peek(0), 0x2805);
    EXPECT_EQ(chip->peek(1), 0x3FFF) << "the old program is gone";
    EXPECT_EQ(chip->peek(0x2001), 0x0007);
    EXPECT_EQ(chip->peek(0x2007) & 0x01FF, 0x01F2);
    EXPECT_EQ(chip->peek(0x3FF), factoryOscCal) << "OSCCAL kept";
    EXPECT_EQ(chip->peekData(0), 0x99);
    EXPECT_EQ(chip->peekData(1), 0xFF);
}

TEST_F(ProgramCommandTest, JsonResultAndTheIdQuestion) {
    test::CliRun result = run("--check-id --json", "PIC12F629", "--simulate=PIC12F675");
    EXPECT_EQ(result.exitCode, 8) << result.err;
    EXPECT_NE(result.out.find(R"("result":"idMismatch")"), std::string::npos) << result.out;
    EXPECT_EQ(chipAfter()->peek(0), 0x0123) << "nothing erased";

    result = run("--no-data --verify --json");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    for (const char* member : {R"("command":"program")", R"("result":"ok")", R"("data":false)",
                               R"("verify":true)", R"("seconds":)", R"("simulated":true)"})
        EXPECT_NE(result.out.find(member), std::string::npos) << member << " in " << result.out;
    // The floor (the chip's cycles at their minimums and the fixed waits) lies below the
    // time taken, and above the fixed waits of one session.
    const auto number = [&](const std::string& key) {
        const size_t at = result.out.find("\"" + key + "\":");
        return at == std::string::npos ? -1.0 : std::stod(result.out.substr(at + key.size() + 3));
    };
    EXPECT_GT(number("floorSeconds"), 0.7) << result.out;
    EXPECT_LT(number("floorSeconds"), number("seconds")) << result.out;
    // Said once on stderr too: a simulated write is no programmed chip.
    const std::string notice = "COM1 is served by the simulator";
    const size_t first = result.err.find(notice);
    EXPECT_NE(first, std::string::npos) << result.err;
    EXPECT_EQ(result.err.find(notice, first + 1), std::string::npos) << result.err;
    EXPECT_EQ(chipAfter()->peekData(1), 0x42) << "--no-data leaves data memory";

    EXPECT_EQ(run("--no-program --no-data").exitCode, 64);
}

// The configuration goes with program memory: a data-only run leaves the chip's as it is.
TEST_F(ProgramCommandTest, NoProgramLeavesProgramAndConfigurationAlone) {
    const uint16_t config = chipAfter()->peek(0x2007);
    for (const char* options : {"--no-program", "--no-program --verify"}) {
        SCOPED_TRACE(options);
        const test::CliRun result = run(options);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        auto chip = chipAfter();
        EXPECT_EQ(chip->peek(0x2007), config);
        EXPECT_EQ(chip->peek(1), 0x0456);
        EXPECT_EQ(chip->peekData(0), 0x99);
    }
}

// A file setting the internal oscillator with MCLR off: the "VKR-20 JDM" takes VDD from
// the port and could not enter the chip again, so neither `write` nor `program` writes it
// without --yes. Written with --yes, the simulated chip is indeed locked out of the JDM.
TEST_F(ProgramCommandTest, AConfigurationThatLocksTheChipOutNeedsYes) {
    std::ofstream(hex()) << ":020000000528D1\n"
                         << ":02400E00D431AB\n"  // 31D4: INTRCIO, MCLRE off
                         << ":00000001FF\n";
    auto command = [&](const std::string& what) {
        return test::runVelkaroCli("--device PIC12F675 --simulate --programmer 1 --sim-state " +
                                       test::shellQuote(state()) + " " + what + " " +
                                       test::shellQuote(hex()) + " </dev/null",
                                   dir);
    };
    for (const char* what : {"write --json", "program --json"}) {
        SCOPED_TRACE(what);
        const test::CliRun refused = command(what);
        EXPECT_EQ(refused.exitCode, 8) << refused.err;
        EXPECT_NE(refused.err.find("MCLR off"), std::string::npos) << refused.err;
        EXPECT_NE(refused.out.find(R"("result":"lockOut")"), std::string::npos) << refused.out;
        EXPECT_EQ(chipAfter()->peek(0), 0x0123) << "nothing written";
    }

    const test::CliRun written = command("write --yes");
    ASSERT_EQ(written.exitCode, 0) << written.err;
    EXPECT_EQ(chipAfter()->peek(0x2007) & 0x01FF, 0x01D4);
    const test::CliRun read = test::runVelkaroCli(
        "--device PIC12F675 --simulate --programmer 1 --sim-state " + test::shellQuote(state()) +
            " read " + test::shellQuote(dir.file("out.hex")),
        dir);
    EXPECT_EQ(read.exitCode, 4) << read.err;
    EXPECT_NE(read.err.find("プログラミングモード"), std::string::npos) << read.err;
}

// The JDM enters the enhanced core by the low-voltage key: a file that clears LVP then needs
// --yes, while the PRO, entering with VPP, writes it unasked. --lvp on a device that has no
// key is refused before anything is powered.
TEST_F(ProgramCommandTest, LowVoltageEntryAsksBeforeClearingLvpAndRefusesDevicesWithoutIt) {
    const std::string chip = dir.file("f1827.state");
    std::ofstream(hex()) << ":020000000528D1\n"
                         << ":020000040001F9\n"
                         << ":04000E00FF3F031796\n"  // configuration word 2 0x1703: LVP off
                         << ":00000001FF\n";
    auto write = [&](const std::string& options) {
        return test::runVelkaroCli("--device PIC16F1827 --simulate " + options + " --sim-state " +
                                       test::shellQuote(chip) + " write " +
                                       test::shellQuote(hex()) + " </dev/null",
                                   dir);
    };
    const test::CliRun refused = write("--programmer 1");
    EXPECT_EQ(refused.exitCode, 8) << refused.err;
    EXPECT_NE(refused.err.find("clears LVP"), std::string::npos) << refused.err;
    EXPECT_EQ(write("--programmer 1 --hv").exitCode, 10) << "13 V is refused for this chip";
    const test::CliRun pro = write("--programmer 0");
    EXPECT_EQ(pro.exitCode, 0) << pro.err;

    const test::CliRun noKey = test::runVelkaroCli(
        "--device PIC12F675 --simulate --lvp read " + test::shellQuote(dir.file("out.hex")), dir);
    EXPECT_EQ(noKey.exitCode, 10) << noKey.err;
    EXPECT_NE(noKey.err.find("LVP"), std::string::npos) << noKey.err;
    EXPECT_EQ(
        test::runVelkaroCli("--device PIC12F675 --simulate --lvp --hv read x.hex", dir).exitCode,
        64);
}

}  // namespace
}  // namespace velkaro
