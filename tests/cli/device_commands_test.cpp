// velkaro-cli read, blank, verify and id, end to end against the simulator, with the chip
// kept in a --sim-state file between runs.
#include <gtest/gtest.h>

#include <cstdio>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/open_image_file.h"
#include "cli/interrupt.h"
#include "cli/terminal_ui.h"
#include "operations/blank_check.h"
#include "sim/sim_chip.h"
#include "support/cli_runner.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

using test::CliRun;
using test::readFile;

class DeviceCommandsTest : public ::testing::Test {
protected:
    // A PIC16F84A with a few words, an ID, a configuration bit and data bytes written.
    void SetUp() override {
        auto chip = sim::makeSimChip("PIC16F84A");
        ASSERT_TRUE(chip);
        chip->poke(0, 0x2805);
        chip->poke(0x3FF, 0x0123);
        chip->poke(0x2001, 0x0005);
        chip->poke(0x2007, 0x3FF1);
        chip->pokeData(0, 0x42);
        chip->pokeData(63, 0x24);
        std::ofstream out(state());
        chip->saveState(out);
    }

    std::string state() const { return dir.file("chip.state"); }

    // `simulate` is the --simulate option as given (the device's own chip by default).
    CliRun run(const std::string& arguments, const std::string& device = "PIC16F84A",
               const std::string& simulate = "--simulate") {
        return test::runVelkaroCli("--device " + device + " " + simulate + " --sim-state " +
                                       test::shellQuote(state()) + " " + arguments,
                                   dir);
    }

    test::TempDir dir;
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(DeviceCommandsTest, ReadSavesTheChipAndVerifyComparesWithTheFile) {
    const std::string hex = dir.file("read.hex");
    CliRun result = run("read '" + hex + "' --json");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "\"result\":\"ok\"")) << result.out;

    Workspace workspace(test::binDir());
    SilentMessageSink messages;
    workspace.SelectDevice("PIC16F84A", messages);
    ASSERT_TRUE(OpenImageFile(workspace, hex, messages).loaded());
    EXPECT_EQ(workspace.image.ProgMemory[0], 0x2805);
    EXPECT_EQ(workspace.image.ProgMemory[0x3FF], 0x0123);
    EXPECT_EQ(workspace.image.ProgMemory[1], 0x3FFF);
    EXPECT_EQ(workspace.image.IdWords[1] & 0x0F, 0x05);
    EXPECT_EQ(workspace.image.ConfigWords[0], 0x3FF1);
    EXPECT_EQ(workspace.image.DataMemory[0], 0x42);
    EXPECT_EQ(workspace.image.DataMemory[63], 0x24);

    result = run("verify '" + hex + "'");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(contains(result.err, "ベリファイでエラーは見つかりませんでした。")) << result.err;

    // Data memory only: the program region of the file is not compared.
    result = run("read '" + dir.file("data.hex") + "' --no-program");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    result = run("verify '" + dir.file("data.hex") + "' --no-program --json");
    EXPECT_EQ(result.exitCode, 0) << result.out;
    result = run("verify '" + dir.file("data.hex") + "' --json");
    EXPECT_EQ(result.exitCode, 1) << result.out;
    EXPECT_TRUE(contains(result.out, "\"result\":\"program\"")) << result.out;
    EXPECT_TRUE(contains(result.out, "プログラムメモリでエラーが発生しました。")) << result.out;
}

TEST_F(DeviceCommandsTest, FileFailuresAreFileErrorsAlsoInTheJsonResult) {
    CliRun result = run("verify '" + dir.file("missing.hex") + "'");
    EXPECT_EQ(result.exitCode, 6) << result.err;
    result = run("verify '" + dir.file("missing.hex") + "' --json");
    EXPECT_EQ(result.exitCode, 6) << result.err;
    EXPECT_TRUE(contains(result.out, "\"result\":\"file\"")) << result.out;

    const std::string unwritable = dir.file("no-such-folder/read.hex");
    result = run("read '" + unwritable + "' --json");
    EXPECT_EQ(result.exitCode, 6) << result.err;
    EXPECT_TRUE(contains(result.out, "\"result\":\"file\"")) << result.out;
    EXPECT_TRUE(contains(result.out, "ファイル " + unwritable + " を保存できませんでした。"))
        << result.out;
}

// For production scripts: --strict refuses a file that loads with warnings before the chip is
// touched, and a binary file is never written as an empty buffer.
TEST_F(DeviceCommandsTest, StrictRefusesAFileWithWarningsAndABinaryFileIsAFileError) {
    const std::string before = readFile(state());
    const std::string cut = dir.file("cut.hex");
    std::ofstream(cut) << ":020000000C28CA\n";  // no end record
    const std::string binary = dir.file("binary.hex");
    std::ofstream(binary, std::ios::binary) << std::string("\x0C\x28\0\0", 4);
    // A PIC18 file (configuration at 0x300000) would land in this device's program memory.
    const std::string pic18 = dir.file("pic18.hex");
    std::ofstream(pic18) << ":020000040030CA\n:02000000221FBD\n:00000001FF\n";
    struct Case {
        std::string command;
        int exitCode;
    };
    for (const Case& c :
         {Case{"write --strict '" + cut + "'", 7},
          Case{"program --strict --verify '" + cut + "'", 7},
          Case{"verify --strict '" + cut + "'", 7}, Case{"write --strict '" + pic18 + "'", 7},
          Case{"write '" + binary + "'", 6}, Case{"program '" + binary + "'", 6}}) {
        SCOPED_TRACE(c.command);
        const CliRun result = run(c.command);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_EQ(readFile(state()), before) << "the chip was touched";
    }
    // Without --strict the warning is shown and the write goes on.
    const CliRun result = run("write '" + cut + "'");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(contains(result.err, "終了レコードがありません")) << result.err;
    EXPECT_NE(readFile(state()), before);
}

TEST_F(DeviceCommandsTest, SkippingBothRegionsIsAUsageErrorAndTouchesNothing) {
    const std::string hex = dir.file("nothing.hex");
    for (const std::string& command : {"read '" + hex + "'", std::string("blank"),
                                       "verify '" + hex + "'", "write '" + hex + "'"}) {
        SCOPED_TRACE(command);
        const CliRun result = run(command + " --no-program --no-data --json");
        EXPECT_EQ(result.exitCode, 64) << result.err;
        EXPECT_TRUE(contains(result.err, "--no-data")) << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(readFile(hex), "") << "no file was written";

    // Without data memory, --no-program alone leaves nothing either.
    for (const std::string& command :
         {"read '" + hex + "'", std::string("blank"), "verify '" + hex + "'"}) {
        SCOPED_TRACE(command);
        const CliRun result = run(command + " --no-program", "PIC12F508");
        EXPECT_EQ(result.exitCode, 64) << result.err;
        EXPECT_TRUE(contains(result.err, "nothing left to do")) << result.err;
    }
    EXPECT_EQ(readFile(hex), "");
}

TEST_F(DeviceCommandsTest, ReadToStandardOutputAndTheDurationInJson) {
    CliRun result = run("read -");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string hex = dir.file("piped.hex");
    std::ofstream(hex, std::ios::binary) << result.out;
    Workspace workspace(test::binDir());
    SilentMessageSink messages;
    workspace.SelectDevice("PIC16F84A", messages);
    ASSERT_TRUE(OpenImageFile(workspace, hex, messages).loaded());
    EXPECT_EQ(workspace.image.ProgMemory[0], 0x2805);
    EXPECT_EQ(workspace.image.DataMemory[63], 0x24);

    EXPECT_EQ(run("read - --json").exitCode, 64);

    // Seconds on the link's clock: the blank check stops in program memory after two
    // sessions of three 200 ms steps and the 100 ms pause after closing, which are also the
    // whole floor of the work: no programming cycle ran.
    result = run("blank --json");
    const size_t at = result.out.find("\"seconds\":");
    ASSERT_NE(at, std::string::npos) << result.out;
    EXPECT_GE(std::stod(result.out.substr(at + 10)), 0.7) << result.out;
    EXPECT_NE(result.out.find("\"floorSeconds\":1.400000,"), std::string::npos) << result.out;
}

// One Intel HEX data record.
std::string hexRecord(unsigned address, std::initializer_list<unsigned> bytes) {
    unsigned sum = static_cast<unsigned>(bytes.size()) + (address >> 8) + (address & 0xFF);
    char text[16];
    std::snprintf(text, sizeof text, ":%02X%04X00", static_cast<unsigned>(bytes.size()), address);
    std::string record = text;
    for (const unsigned b : bytes) {
        std::snprintf(text, sizeof text, "%02X", b);
        record += text;
        sum += b;
    }
    std::snprintf(text, sizeof text, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    return record + text;
}

TEST_F(DeviceCommandsTest, WriteErasesAndWritesTheFileThenVerifyFindsIt) {
    const std::string hex = dir.file("in.hex");
    std::ofstream(hex) << hexRecord(0x0000, {0x05, 0x28}) << hexRecord(0x0020, {0x55, 0x0A})
                       << hexRecord(0x4002, {0x07, 0x00}) << hexRecord(0x400E, {0xF2, 0x3F})
                       << hexRecord(0x4200, {0x99}) << ":00000001FF\n";
    CliRun result = run("write '" + hex + "' --check-id --json");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "\"command\":\"write\"")) << result.out;
    EXPECT_TRUE(contains(result.out, "\"result\":\"ok\"")) << result.out;
    result = run("verify '" + hex + "'");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    // The chip's earlier contents are gone.
    ASSERT_EQ(run("read '" + dir.file("back.hex") + "'").exitCode, 0);
    Workspace workspace(test::binDir());
    SilentMessageSink messages;
    workspace.SelectDevice("PIC16F84A", messages);
    ASSERT_TRUE(OpenImageFile(workspace, dir.file("back.hex"), messages).loaded());
    EXPECT_EQ(workspace.image.ProgMemory[0x10], 0x0A55);
    EXPECT_EQ(workspace.image.ProgMemory[0x3FF], 0x3FFF);
    EXPECT_EQ(workspace.image.DataMemory[0], 0x99);
    EXPECT_EQ(workspace.image.DataMemory[63], 0xFF);
    EXPECT_EQ(workspace.image.ConfigWords[0], 0x3FF2);
}

// A state file that is a link stays one: the chip is saved into the file it points to.
TEST_F(DeviceCommandsTest, StateFileBehindASymbolicLinkStaysALink) {
    const std::string kept = dir.file("kept.state");
    std::filesystem::rename(state(), kept);
    std::filesystem::create_symlink(kept, state());
    ASSERT_EQ(run("erase").exitCode, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(state()));
    std::ifstream in(kept);
    auto chip = sim::makeSimChip("PIC16F84A");
    ASSERT_TRUE(chip->loadState(in));
    EXPECT_EQ(chip->peek(0), 0x3FFF);  // erased where it held 0x2805
}

// Two runs on one --sim-state file take turns: each write lands whole (the second one on
// the chip the first one saved) or the second is refused with a file error, and the state
// is never a mix of both.
TEST_F(DeviceCommandsTest, TwoRunsOnOneStateFileTakeTurns) {
    const std::string a = dir.file("a.hex");
    const std::string b = dir.file("b.hex");
    std::ofstream(a) << hexRecord(0x0000, {0x11, 0x11}) << hexRecord(0x4200, {0xA1})
                     << ":00000001FF\n";
    std::ofstream(b) << hexRecord(0x0010, {0x22, 0x22}) << hexRecord(0x4201, {0xB2})
                     << ":00000001FF\n";
    const std::string cli = test::shellQuote(test::binDir() + "/velkaro-cli") +
                            " --device PIC16F84A --simulate --sim-state " +
                            test::shellQuote(state()) + " write -q ";
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        const std::string command =
            "(" + cli + test::shellQuote(a) + " >/dev/null 2>&1; echo $? >" +
            test::shellQuote(dir.file("a.rc")) + ") & (" + cli + test::shellQuote(b) +
            " >/dev/null 2>&1; echo $? >" + test::shellQuote(dir.file("b.rc")) + ") & wait";
        ASSERT_EQ(std::system(command.c_str()), 0);
        const int rcA = std::stoi(readFile(dir.file("a.rc")));
        const int rcB = std::stoi(readFile(dir.file("b.rc")));
        EXPECT_TRUE((rcA == 0 || rcA == 6) && (rcB == 0 || rcB == 6) && (rcA == 0 || rcB == 0))
            << rcA << " " << rcB;
        // A write erases first: the chip holds exactly one of the two files.
        const bool holdsA = run("verify -q '" + a + "'").exitCode == 0;
        const bool holdsB = run("verify -q '" + b + "'").exitCode == 0;
        EXPECT_NE(holdsA, holdsB);
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
}

// A 16-bit core: code, an ID byte, a configuration byte and an EEPROM byte through the
// extended linear address records; verify then finds the file on the chip.
TEST_F(DeviceCommandsTest, WriteOnASixteenBitCoreThenVerifyFindsIt) {
    std::remove(state().c_str());
    const std::string hex = dir.file("in18.hex");
    std::ofstream(hex) << hexRecord(0x0000, {0x12, 0xEF, 0x00, 0xF0}) << ":020000040020DA\n"
                       << hexRecord(0x0000, {0x5A}) << ":020000040030CA\n"
                       << hexRecord(0x0001, {0x08}) << ":0200000400F00A\n"
                       << hexRecord(0x0003, {0x77}) << ":00000001FF\n";
    CliRun result = run("write '" + hex + "' --json", "PIC18F4520");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "\"result\":\"ok\"")) << result.out;
    result = run("verify '" + hex + "'", "PIC18F4520");
    EXPECT_EQ(result.exitCode, 0) << result.err;
}

TEST_F(DeviceCommandsTest, WriteAsksAboutAnotherDevicesIdAndGoesOnOnlyWithYes) {
    const std::string hex = dir.file("in.hex");
    std::ofstream(hex) << hexRecord(0x0000, {0x05, 0x28}) << ":00000001FF\n";
    const std::string base = "--device PIC16F627A --simulate=PIC16F628A write '" + hex + "' ";
    CliRun result = test::runVelkaroCli(base + "--check-id --json </dev/null", dir);
    EXPECT_EQ(result.exitCode, 8) << result.err;
    EXPECT_TRUE(contains(result.out, "\"result\":\"idMismatch\"")) << result.out;
    EXPECT_TRUE(contains(result.err, "デバイスIDを無視して書き込みますか？")) << result.err;

    result = test::runVelkaroCli(base + "--check-id --yes </dev/null", dir);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    result = test::runVelkaroCli(base + "</dev/null", dir);
    EXPECT_EQ(result.exitCode, 0) << "no question without --check-id: " << result.err;
}

TEST_F(DeviceCommandsTest, WriteWithNothingToDoIsAUsageError) {
    const std::string hex = dir.file("in.hex");
    std::ofstream(hex) << ":00000001FF\n";
    CliRun result = test::runVelkaroCli(
        "--device PIC16F716 --simulate write '" + hex + "' --no-program --json", dir);
    EXPECT_EQ(result.exitCode, 64) << result.err;
    EXPECT_TRUE(contains(result.err, "nothing left to do")) << result.err;
    EXPECT_TRUE(contains(result.out, "\"result\":\"usage\"")) << result.out;
}

TEST_F(DeviceCommandsTest, BlankNamesTheRegionAndPrintsStatusLinesUnlessQuiet) {
    CliRun result = run("blank");
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_TRUE(contains(result.err, "プログラムメモリをチェック中...\n")) << result.err;
    EXPECT_TRUE(contains(result.err, "プログラムメモリでエラーが発生しました。")) << result.err;

    result = run("blank --no-program --quiet");
    EXPECT_EQ(result.exitCode, 2) << result.err;
    EXPECT_FALSE(contains(result.err, "チェック中")) << result.err;
    EXPECT_TRUE(contains(result.err, "データメモリでエラーが発生しました。")) << result.err;

    result = run("blank --programmer 1 --json");  // JDM: word by word
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.out, "\"blank\":false")) << result.out;
    // The port's cost is counted for the simulated circuit (the simulated programmer has
    // no port calls to count).
    EXPECT_TRUE(contains(result.out, "\"portCalls\":")) << result.out;
    EXPECT_TRUE(contains(result.out, "\"lineChanges\":")) << result.out;
    EXPECT_FALSE(contains(run("blank --json").out, "\"portCalls\"")) << result.out;
}

TEST_F(DeviceCommandsTest, IdReportsMatchMismatchAndNoId) {
    CliRun result = run("id --json");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "\"check\":\"match\"")) << result.out;
    EXPECT_TRUE(contains(result.out, "\"matchingDevice\":\"PIC16F84A\"")) << result.out;

    std::remove(state().c_str());
    result = run("id --json", "PIC16F84A", "--simulate=PIC16F628A");
    EXPECT_EQ(result.exitCode, 8) << result.err;
    EXPECT_TRUE(contains(result.out, "\"matchingDevice\":\"PIC16F628A\"")) << result.out;

    std::remove(state().c_str());
    result = run("id", "PIC16F84");
    EXPECT_EQ(result.exitCode, 9) << result.err;
    EXPECT_TRUE(contains(result.out, "----")) << result.out;
}

TEST_F(DeviceCommandsTest, BadPortOrUnmodelledChipIsAUsageError) {
    EXPECT_EQ(run("--port COM12 blank").exitCode, 64);
    const CliRun result = run("blank", "PIC16F84A", "--simulate=NOSUCHCHIP");
    EXPECT_EQ(result.exitCode, 64);
    EXPECT_TRUE(contains(result.err, "NOSUCHCHIP")) << result.err;
    // A script that asked for JSON still gets one object when the command cannot start.
    const CliRun json = run("id --json", "PIC16F84A", "--simulate=NOSUCHCHIP");
    EXPECT_EQ(json.exitCode, 64);
    EXPECT_TRUE(contains(json.out, "\"result\":\"usage\"")) << json.out;
    EXPECT_TRUE(contains(json.out, "\"exitCode\":64")) << json.out;
}

// Device sections with addresses far beyond the family's reach: every command ends
// promptly, without arithmetic overflow, with the target off.
TEST(DeviceCommands, ExtremeAddressesInDeviceIniEndEveryCommand) {
    test::TempDir data;
    const std::string shipped = readFile(test::binDir() + "/device.ini");
    ASSERT_FALSE(shipped.empty());
    std::ofstream(data.file("device.ini"), std::ios::binary)
        << shipped
        << "\n[FarMid]\nDefault=PIC16F84A\nConfigBaseAdr=0x7FFFFFFE\nIdAdr=-2000000000\n"
           "[FarVector]\nDefault=PIC16F84A\nResetVector=0x7FFFFFFF\nIdAdr=0x7FFFFFFD\n"
           "[Far18]\nDefault=PIC18F452\nConfigBaseAdr=0x7FFFFFFE\nIdAdr=0x7FFFFFFD\n"
           "DeviceIDAdr=-2000000000\n";
    std::ofstream(data.file("Config.ini"), std::ios::binary)
        << readFile(test::binDir() + "/Config.ini");
    test::TempDir scratch;
    const std::string hex = scratch.file("out.hex");
    for (const char* device : {"FarMid", "FarVector", "Far18"}) {
        const std::string chip = device == std::string("Far18") ? "PIC18F452" : "PIC16F84A";
        for (const std::string& command :
             {"read " + test::shellQuote(hex), std::string("blank"), std::string("id"),
              std::string("erase"), "write " + test::shellQuote(hex)}) {
            const CliRun run =
                test::runVelkaroCli("--data-dir " + test::shellQuote(data.path()) + " --device " +
                                        device + " --simulate=" + chip + " " + command,
                                    scratch);
            SCOPED_TRACE(std::string(device) + " " + command + "\n" + run.err);
            EXPECT_GE(run.exitCode, 0);
            EXPECT_LT(run.exitCode, 64);
        }
    }
}

TEST(InterruptCancel, CtrlCCancelsTheRunningCheckAndLeavesTheTargetOff) {
    test::SimBench bench;
    bench.load("PIC16F84A");
    cli::TerminalUi ui({true, false}, stderr);
    bench.workspace().link->setUi(ui);
    {
        cli::InterruptCancel interrupt;
        EXPECT_FALSE(ui.cancelRequested());
        std::raise(SIGINT);  // handled: the test goes on
        EXPECT_TRUE(ui.cancelRequested());
        EXPECT_EQ(blankCheck(bench.workspace(), ui, false, true), kResultCancelled);
    }
    EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
    cli::InterruptCancel fresh;
    EXPECT_FALSE(ui.cancelRequested()) << "each command starts without a cancel";
}

}  // namespace
}  // namespace velkaro
