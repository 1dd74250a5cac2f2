// velkaro-cli's programmer commands end to end, against the simulator.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "support/cli_runner.h"

namespace velkaro {
namespace {

using test::CliRun;
using test::readFile;

class CliLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream(mDir.file("device.ini"))
            << "[PIC16F84A]\nDeviceID=0x0560\nDeviceIDMask=0x3FE0\nProgSize=1024\n"
               "EpromSize=64\nVppVoltage=13.0\nPosition=2\n"
               "[Unmodelled]\nProgSize=512\n";
    }

    // Runs the built velkaro-cli on the test's device.ini with `arguments`.
    CliRun run(const std::string& arguments) {
        return test::runVelkaroCli(
            "--data-dir " + test::shellQuote(mDir.path()) + " " +
                (arguments.find("--device") == std::string::npos ? "--device PIC16F84A " : "") +
                arguments,
            mDir);
    }

    test::TempDir mDir;
};

TEST_F(CliLinkTest, PowerTestPowersAndClosesOnEveryPortByDefault) {
    for (const char* port : {"", "--port COM3", "--port 9"}) {
        const CliRun result = run(std::string(port) + " power-test");
        EXPECT_EQ(result.exitCode, 0) << port << result.err;
        EXPECT_NE(result.out.find("Target powered: PIC16F84A"), std::string::npos) << result.out;
        EXPECT_NE(result.out.find("link closed"), std::string::npos);
    }
}

TEST_F(CliLinkTest, PowerTestOfAnEmptySocketFailsWithThePowerMessage) {
    const CliRun result = run("--device Unmodelled power-test");
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_NE(result.err.find("Velkaroの電源が入りません。ハードウェアを確認してください。\n"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(result.out, "");
}

// The simulated programmer, and the programmer's own firmware emulated on this machine.
TEST_F(CliLinkTest, FirmwareOfTheProInTheAboutWindowsForm) {
    for (const char* simulation : {"--simulate", "--simulate --emulate-board"}) {
        SCOPED_TRACE(simulation);
        const CliRun result = run(std::string(simulation) + " firmware");
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_TRUE(std::regex_match(
            result.out, std::regex("ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝ [0-9]{4}/[0-9]{2}/[0-9]{2} Ver\\..+\n")))
            << result.out;
    }
}

TEST_F(CliLinkTest, SelfTestPassesOnBothProgrammerTypes) {
    for (const char* setup : {"--simulate --emulate-board", "--simulate --programmer 1"}) {
        SCOPED_TRACE(setup);
        const CliRun result = run(std::string(setup) + " selftest");
        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
        EXPECT_NE(result.out.find("device ID 056"), std::string::npos) << result.out;
        EXPECT_NE(result.out.find("Self-test passed."), std::string::npos) << result.out;
    }
}

TEST_F(CliLinkTest, BadLinkOptionsAreUsageErrors) {
    for (const char* arguments :
         {"--port COM10 power-test", "--port LPT1 firmware", "--programmer 7 power-test",
          "--programmer 1 firmware", "--simulate=PIC99X99 power-test"}) {
        const CliRun result = run(arguments);
        EXPECT_EQ(result.exitCode, 64) << arguments;
        EXPECT_NE(result.err.find("velkaro-cli: "), std::string::npos) << arguments;
        EXPECT_TRUE(result.out.empty()) << arguments;
    }
}

TEST_F(CliLinkTest, SimulatorStateIsSavedAndAForeignStateIsRefusedUntouched) {
    const std::string state = mDir.file("chip.state");
    CliRun result = run("--sim-state '" + state + "' power-test");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ASSERT_TRUE(std::filesystem::exists(state));
    const std::string saved = readFile(state);
    EXPECT_FALSE(saved.empty());

    result = run("--sim-state '" + state + "' power-test");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFile(state), saved);

    std::ofstream(state, std::ios::trunc) << "not a chip\n";
    result = run("--sim-state '" + state + "' power-test");
    EXPECT_EQ(result.exitCode, 6);
    EXPECT_EQ(readFile(state), "not a chip\n");
}

}  // namespace
}  // namespace velkaro
