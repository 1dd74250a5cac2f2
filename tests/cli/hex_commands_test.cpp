#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/stat.h>

#include "support/cli_runner.h"

namespace velkaro {
namespace {

using test::CliRun;
using test::readFile;

// velkaro-cli and a small device.ini of its own, in a fresh folder.
class HexCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream(dir.file("device.ini")) << "[MID]\n"
                                                 "Algorithm=0\nBitWidth=14\nProgSize=16\n"
                                                 "EpromSize=16\nIdAdr=0x2000\nIdCount=4\n"
                                                 "ConfigBaseAdr=0x2007\nConfigCount=1\n"
                                                 "ConfigMask1=0x3FFF\nConfigValue1=0x3FFF\n"
                                                 "OscCal=15\n";
    }

    std::string write(const std::string& name, const std::string& text) {
        std::ofstream(dir.file(name), std::ios::binary) << text;
        return dir.file(name);
    }

    CliRun run(const std::string& arguments) {
        return test::runVelkaroCli(
            "--data-dir " + test::shellQuote(dir.path()) + " --device MID " + arguments, dir);
    }

    test::TempDir dir;
};

const std::string kProgram = ":040000000528FF3F91\n:00000001FF\n";

TEST_F(HexCommandsTest, HexSummarisesWhereTheBytesLanded) {
    const auto in = write("in.hex", kProgram);
    const CliRun result = run("hex '" + in + "'");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("program memory: 4 bytes at 0000-0003"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("data memory: 0 bytes"), std::string::npos);
    EXPECT_TRUE(result.err.empty());
}

TEST_F(HexCommandsTest, HexSavesTheLoadedBuffer) {
    const auto in = write("in.hex", kProgram);
    const CliRun result = run("hex '" + in + "' -o '" + dir.file("out.hex") + "'");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFile(dir.file("out.hex")),
              ":100000000528FF3FFF3FFF3FFF3FFF3FFF3FFF3F11\r\n"
              ":08400000FF3FFF3FFF3FFF3FC0\r\n"
              ":02400E00FF3F72\r\n"
              ":00000001FF\r\n");
}

TEST_F(HexCommandsTest, WarningsGoToStderrAndFailOnlyWhenStrict) {
    const auto in = write("bad.hex", ":040000000528FF3F92\n:00000001FF\n");
    CliRun result = run("hex '" + in + "' -o '" + dir.file("out.hex") + "'");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.err.find("1 行目"), std::string::npos) << result.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file("out.hex")));

    result = run("hex --strict '" + in + "' -o '" + dir.file("strict.hex") + "'");
    EXPECT_EQ(result.exitCode, 7);
    EXPECT_FALSE(std::filesystem::exists(dir.file("strict.hex")));
    EXPECT_EQ(run("dump --strict '" + in + "'").exitCode, 7);
}

TEST_F(HexCommandsTest, FileErrorsExitWithSix) {
    EXPECT_EQ(run("hex '" + dir.file("missing.hex") + "'").exitCode, 6);
    const auto wrongExtension = write("in.ihx", kProgram);
    const CliRun refused = run("hex '" + wrongExtension + "'");
    EXPECT_EQ(refused.exitCode, 6);
    EXPECT_NE(refused.err.find("サポートされていないファイル拡張子です。"), std::string::npos);
    const auto in = write("in.hex", kProgram);
    std::filesystem::create_directory(dir.file("taken.hex"));
    EXPECT_EQ(run("hex '" + in + "' -o '" + dir.file("taken.hex") + "'").exitCode, 6);
    // A FIFO nobody writes to is refused after a short wait instead of hanging the command.
    const std::string fifo = dir.file("nobody.hex");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(run("hex '" + fifo + "'").exitCode, 6);
    // One with a writer is read like a file.
    const CliRun fed =
        test::runVelkaroCli("--data-dir " + test::shellQuote(dir.path()) + " --device MID hex '" +
                                fifo + "' & printf '" + kProgram + "' >'" + fifo + "'; wait",
                            dir);
    EXPECT_EQ(fed.exitCode, 0) << fed.err;
}

TEST_F(HexCommandsTest, DumpShowsTheViews) {
    const auto in = write("in.hex",
                          ":040000000528FF3F91\n:02001E0080342C\n:02400E00F13F80\n"
                          ":024202005A0060\n:00000001FF\n");
    const CliRun result = run("dump '" + in + "'");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "[Program]\n"
              "0000: 2805 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF\n"
              "0008: 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3480\n"
              "[EEPROM]\n"
              "0000: FF 5A FF FF FF FF FF FF FF FF FF FF FF FF FF FF\n"
              "ID FFFF\n"
              "Config(002007h) 3FF1\n"
              "OSCCAL 3480\n");
}

}  // namespace
}  // namespace velkaro
