// lint-devices: every kind of problem the loader would forgive silently is reported with
// its line, and the shipped device.ini is clean.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/cli_runner.h"

namespace velkaro {
namespace {

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

using test::CliRun;

// With and without the byte-order mark an editor may add: the first section is read as
// the loader reads it.
TEST(LintDevices, ReportsEachProblemAtItsLine) {
    for (const std::string bom : {"", "\xEF\xBB\xBF"}) {
        SCOPED_TRACE(bom.empty() ? "plain" : "byte-order mark");
        test::TempDir dir;
        // A file of another name than device.ini is read from a private copy.
        const std::string path = dir.file("broken.ini");
        std::ofstream(path) << bom +
                                   "[Loop1]\n"                                    // 1
                                   "Default=Loop2\n"                              // 2
                                   "ProgSize=1000\n"                              // 3
                                   "LoadCnt=16\n"                                 // 4
                                   "ProgSzie=2048\n"                              // 5
                                   "IdCount=9\n"                                  // 6
                                   "[Loop2]\n"                                    // 7
                                   "Default=Loop1\n"                              // 8
                                   "[Calibrated]\n"                               // 9
                                   "OscCal=0x500\n"                               // 10
                                   "ProgSize=1024\n"                              // 11
                                   "ConfigMask1=0x00FF\n"                         // 12
                                   "ConfigValue1=0x01FF\n"                        // 13
                                   "DeviceID=0x1234\n"                            // 14
                                   "[Twin]\n"                                     // 15
                                   "DeviceID=0x1238\n"                            // 16
                                   "[SameDie]\n"                                  // 17
                                   "DeviceID=0x1234 ; one die with Calibrated\n"  // 18
                                   "[Lost]\n"                                     // 19
                                   "Alias=Nowhere\n"                              // 20
                                   "[PIC16F84A]\n"                                // 21
                                   "EraseProgCycle=1\n"                           // 22
                                   "DeviceIDMask=0\n"                             // 23
                                   "[Far]\n"                                      // 24
                                   "IdAdr=-2000000000\n"                          // 25
                                   "ConfigBaseAdr=0x7FFFFFFE\n"                   // 26
                                   "[Far18]\n"                                    // 27
                                   "Algorithm=1\n"                                // 28
                                   "ResetVector=0x7FFFFFFF\n"                     // 29
                                   "IdAdr=0x7FFFFFFD\n"                           // 30
                                   "[Sleepy]\n"                                   // 31
                                   "DeviceEraseCmd=C1,W59990,L2(W 60000),W1\n"    // 32
                                   "[Unclosed]\n"                                 // 33
                                   "DeviceEraseCmd=C1,l2(C2,L3(D0),W5\n"          // 34
                                   "[Deep]\n"                                     // 35
                                   "DeviceEraseCmd=" +
                                   repeat("L1(", 21) + "C1" + std::string(21, ')') +
                                   "\n"                                            // 36
                                   "[Fine]\n"                                      // 37
                                   "DeviceEraseCmd=C9,L3( C8 , L2(D1,W2) ),C0," +  // 38
                                   repeat("L1(", 20) +
                                   "C1" + std::string(20, ')') + "\n";
        test::TempDir scratch;
        const CliRun run = test::runVelkaroCli("lint-devices " + test::shellQuote(path), scratch);
        EXPECT_EQ(run.exitCode, 7);
        const std::string at = path + ":";
        for (const std::string& expected : {
                 at + "2: Alias/Default chain of [Loop2] is a cycle",
                 at + "4: [Loop1] ProgSize 1000 is no multiple of LoadCnt 16",
                 at + "5: unknown key \"ProgSzie\" is ignored",
                 at + "6: IdCount 9 is outside 0..8 and is clamped when loaded",
                 at + "10: [Calibrated] OscCal 0x500 lies outside program memory",
                 at +
                     "13: [Calibrated] ConfigValue1 0x1FF sets bits 0x100 outside ConfigMask1 0xFF",
                 at + "16: [Twin] DeviceID 0x1238 under mask 0x3FF0 also matches [Calibrated]",
                 at + "20: Alias names the missing section [Nowhere]",
                 at + "22: [PIC16F84A] EraseProgCycle 1 ms is shorter than the chip's",
                 at + "25: [Far] IdAdr -2000000000 lies outside the family's addresses 0..0x3FFF",
                 at + "26: [Far] ConfigBaseAdr 0x7FFFFFFE lies outside the family's addresses",
                 at + "29: [Far18] ResetVector 0x7FFFFFFF lies outside the family's addresses "
                      "0..0x3FFFFF",
                 at + "30: [Far18] IdAdr 0x7FFFFFFD lies outside",
                 at + "32: DeviceEraseCmd waits 60010 ms in one W token; one wait is cut to 60000",
                 at + "34: DeviceEraseCmd has an L group without its \")\"",
                 at + "36: DeviceEraseCmd nests L groups deeper than 20 levels",
             })
            EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
        EXPECT_EQ(run.out.find("waits 60000 ms"), std::string::npos)
            << "W59990 is within the limit";
        EXPECT_EQ(run.out.find(at + "38:"), std::string::npos)
            << "blanks and nested groups are fine";
        EXPECT_EQ(
            run.out.find("[SameDie] DeviceID 0x1234 under mask 0x3FF0 also matches [Calibrated]"),
            std::string::npos)
            << "a shared ID said so";
    }
}

// The enhanced core keeps IDs, configuration and device ID at 0x8000..0xFFFF, where the
// classic parts' HEX files cannot reach.
TEST(LintDevices, ConfigurationSpaceAddressesMatchTheFamily) {
    test::TempDir dir;
    const std::string path = dir.file("device.ini");
    std::ofstream(path) << "[Enhanced]\n"             // 1
                           "Algorithm=3\n"            // 2
                           "ProgSize=4096\n"          // 3
                           "LoadCnt=32\n"             // 4
                           "IdAdr=0x8000\n"           // 5
                           "ConfigBaseAdr=0x8007\n"   // 6
                           "DeviceIDAdr=0x8006\n"     // 7
                           "[Stray]\n"                // 8
                           "Default=Enhanced\n"       // 9
                           "ProgSize=1000\n"          // 10
                           "IdAdr=0x2000\n"           // 11
                           "DeviceIDAdr=0x20000\n"    // 12
                           "[Classic]\n"              // 13
                           "AdrMask=0xFFFF\n"         // 14
                           "ConfigBaseAdr=0x8007\n";  // 15
    test::TempDir scratch;
    const CliRun run = test::runVelkaroCli("lint-devices " + test::shellQuote(path), scratch);
    EXPECT_EQ(run.exitCode, 7);
    const std::string at = path + ":";
    for (const std::string& expected : {
             at + "4: [Stray] ProgSize 1000 is no multiple of LoadCnt 32",
             at + "11: [Stray] IdAdr 0x2000 lies outside the configuration space 0x8000..0xFFFF",
             at + "12: [Stray] DeviceIDAdr 0x20000 lies outside the family's addresses 0..0xFFFF",
             at + "15: [Classic] ConfigBaseAdr 0x8007 lies at 0x8000 or above",
         })
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
    EXPECT_EQ(run.out.find("[Enhanced]"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("[Stray] DeviceIDAdr 0xFFFF"), std::string::npos)
        << "a clamped address is reported once";
    EXPECT_EQ(run.out.find("[Classic] IdAdr"), std::string::npos) << run.out;
}

// An enhanced core device's waits against its chip: a row cycle (TPINT 2.5 ms), a
// configuration word (5 ms) and a bulk erase (5 ms) each have a minimum of their own.
TEST(LintDevices, EnhancedCoreWaitsAreCheckedAgainstTheChip) {
    test::TempDir dir;
    const std::string path = dir.file("device.ini");
    std::ofstream(path) << "[PIC16F1827]\n"          // 1
                           "Algorithm=3\n"           // 2
                           "ProgSize=4096\n"         // 3
                           "EpromSize=256\n"         // 4
                           "LoadCnt=8\n"             // 5
                           "IdAdr=0x8000\n"          // 6
                           "ConfigBaseAdr=0x8007\n"  // 7
                           "DeviceIDAdr=0x8006\n"    // 8
                           "ProgOnlyCycle=2\n"       // 9
                           "EraseProgCycle=5\n"      // 10
                           "DataEraseProgCycle=4\n"  // 11
                           "BulkEraseCycle=4\n";     // 12
    test::TempDir scratch;
    const CliRun run = test::runVelkaroCli("lint-devices " + test::shellQuote(path), scratch);
    EXPECT_EQ(run.exitCode, 7);
    const std::string at = path + ":";
    for (const std::string& expected : {
             at + "9: [PIC16F1827] ProgOnlyCycle 2 ms is shorter than the chip's 2500 us",
             at + "11: [PIC16F1827] DataEraseProgCycle 4 ms is shorter than the chip's 5000 us",
             at + "12: [PIC16F1827] BulkEraseCycle 4 ms is shorter than the chip's 5000 us",
         })
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
    EXPECT_EQ(run.out.find("EraseProgCycle 5"), std::string::npos) << "5 ms is enough";
}

// A K-series device written as if it were a 2XXX/4XXX one: a voltage outside its range,
// no chip-erase code of its own, and the older parts' waits, each short of its chip's; and
// a range in which the PRO has no level.
TEST(LintDevices, KSeriesVoltageEraseCodeAndWaitsAreChecked) {
    test::TempDir dir;
    const std::string path = dir.file("device.ini");
    std::ofstream(path) << "[PIC18F25K22]\n"           // 1
                           "Algorithm=2\n"             // 2
                           "BitWidth=16\n"             // 3
                           "ProgSize=16384\n"          // 4
                           "LoadCnt=32\n"              // 5
                           "PanelSize=4096\n"          // 6
                           "IdAdr=0x200000\n"          // 7
                           "ConfigBaseAdr=0x300000\n"  // 8
                           "DeviceIDAdr=0x3FFFFE\n"    // 9
                           "AdrMask=0xFFFF\n"          // 10
                           "VppVoltage=9.5\n"          // 11
                           "VppMin=8.0\n"              // 12
                           "VppMax=9.0\n"              // 13
                           "ProgOnlyCycle=1\n"         // 14
                           "ChipEraseCycle=10\n"       // 15
                           "[Coded]\n"                 // 16
                           "Default=PIC18F25K22\n"     // 17
                           "VppVoltage=8.5\n"          // 18
                           "BulkEraseCode=0x0F0F\n"    // 19
                           "[Narrow]\n"                // 20
                           "Default=Coded\n"           // 21
                           "VppVoltage=8.7\n"          // 22
                           "VppMin=8.6\n"              // 23
                           "VppMax=8.9\n";             // 24
    test::TempDir scratch;
    const CliRun run = test::runVelkaroCli("lint-devices " + test::shellQuote(path), scratch);
    EXPECT_EQ(run.exitCode, 7);
    const std::string at = path + ":";
    for (const std::string& expected : {
             at + "11: [PIC18F25K22] VppVoltage 9.5 lies outside VppMin..VppMax 8..9",
             at + "22: [Narrow] no level of the PRO lies within",
             at + "13: [PIC18F25K22] takes at most 9 V but names no BulkEraseCode",
             at + "1: [PIC18F25K22] ConfigProgCycle 1 ms is shorter than the chip's 5000 us",
             at + "15: [PIC18F25K22] ChipEraseCycle 10 ms is shorter than the chip's 15000 us",
             at + "1: [PIC18F25K22] DischargeTime 100 us is shorter than the chip's 200 us",
             at + "19: [Coded] BulkEraseCode 0xF0F lacks the erase enable bit 0x0080",
         })
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
    EXPECT_EQ(run.out.find("[Coded] VppVoltage"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("[Coded] takes at most"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("[Coded] no level"), std::string::npos) << run.out;
}

// The Config.ini beside the device file is checked too; a device pointing at a section it
// lacks is reported in the device file.
TEST(LintDevices, ConfigIniBesideTheFileIsCheckedAtEachLine) {
    test::TempDir dir;
    const std::string devices = dir.file("device.ini");
    std::ofstream(devices) << "[Good]\n"                         // 1
                              "ConfigSetting=Fields\n"           // 2
                              "[Lost]\n"                         // 3
                              "Default=Good\n"                   // 4
                              "ConfigSetting=Nowhere ; typo\n";  // 5
    const std::string config = dir.file("Config.ini");
    std::ofstream(config) << "[Fields]\n"                               // 1
                             "WDTE(0x0004,1)(OFF,ON)(0x0000,0x0004)\n"  // 2
                             "(0x0008,1)(ON,OFF)(0x0000,0x0008)\n"      // 3
                             "CP(0,1)(ON)(0)\n"                         // 4
                             "FOSC(0x0003,0)(LP,XT)(0,1)\n"             // 5
                             "BOR(0x0040,2)(OFF,ON)(0x0000)\n"          // 6
                             "MCLR(0x0020,1)(OFF,ON)(0x0000,ON)\n"      // 7
                             "PWRT(0x0008,1)(ON,OFF)(0x0000,0x0018)\n"  // 8
                             "[Crowded]\n";                             // 9
    for (int i = 0; i < 61; ++i)                                        // 10..70
        std::ofstream(config, std::ios::app) << "B" << i << "(0x0001,1)(A,B)(0,1)\n";
    test::TempDir scratch;
    const CliRun run = test::runVelkaroCli("lint-devices " + test::shellQuote(devices), scratch);
    EXPECT_EQ(run.exitCode, 7);
    for (const std::string& expected : {
             devices + ":5: [Lost] ConfigSetting Nowhere names no section of Config.ini",
             config + ":3: [Fields] entry has no label",
             config + ":4: [Fields] CP has no mask",
             config + ":5: [Fields] FOSC names configuration word 0; it must be 1..9",
             config + ":6: [Fields] BOR has 2 option names but 1 values",
             config + ":7: [Fields] MCLR option ON value \"ON\" is no number",
             config + ":8: [Fields] PWRT option OFF value 0x0018 sets bits outside the mask 0x0008",
             config + ":70: [Crowded] has 61 entries; the panel shows the first 60",
         })
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
    EXPECT_EQ(run.out.find(config + ":2:"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find(devices + ":2:"), std::string::npos) << run.out;

    // A Config.ini that cannot be read is a finding, not a silent skip.
    std::ofstream(config, std::ios::binary) << std::string("[Fields]\n\0\x01", 11);
    const CliRun binary = test::runVelkaroCli("lint-devices " + test::shellQuote(devices), scratch);
    EXPECT_EQ(binary.exitCode, 7);
    EXPECT_NE(binary.out.find(config + " is not a text file"), std::string::npos) << binary.out;
}

// A folder, a file far larger than any device file and a binary file are refused at once
// with a message naming them; so is a huge simulator state.
// A thousand sections chained by Default, and a ring of them: each ring member is reported
// once at the link that closes its loop (in one pass; the chain once took minutes).
TEST(LintDevices, LongChainsAndRingsAreCheckedInOnePass) {
    test::TempDir dir;
    const std::string path = dir.file("chain.ini");
    std::ofstream out(path);
    out << "[C0]\nProgSize=1024\n";
    for (int i = 1; i < 1000; ++i)
        out << "[C" << i << "]\nDefault=C" << i - 1 << "\n";
    constexpr int kRing = 30;
    for (int i = 0; i < kRing; ++i)
        out << "[R" << i << "]\nDefault=R" << (i + 1) % kRing << "\n";
    out.close();
    test::TempDir scratch;
    const CliRun run = test::runVelkaroCli("lint-devices " + test::shellQuote(path), scratch);
    EXPECT_EQ(run.exitCode, 7) << run.err;
    int cycles = 0;
    for (size_t at = run.out.find("is a cycle"); at != std::string::npos;
         at = run.out.find("is a cycle", at + 1))
        ++cycles;
    EXPECT_EQ(cycles, kRing) << run.out.substr(0, 2000);
    // R0's loop is closed by the Default of R29, on the last line.
    EXPECT_NE(run.out.find(path + ":" + std::to_string(2 * 1000 + 2 * kRing) +
                           ": Alias/Default chain of [R0] is a cycle"),
              std::string::npos)
        << run.out.substr(0, 2000);
}

TEST(LintDevices, FoldersHugeAndBinaryFilesAreRefusedByName) {
    test::TempDir dir;
    const std::string folder = dir.file("folder.ini");
    std::filesystem::create_directory(folder);
    const std::string huge = dir.file("huge.ini");
    std::ofstream(huge) << "[A]\n";
    std::filesystem::resize_file(huge, uintmax_t{1} << 30);  // sparse
    const std::string binary = dir.file("binary.ini");
    std::ofstream(binary, std::ios::binary) << std::string("[A]\nK=\0\x01\x02", 10);
    test::TempDir scratch;
    for (const auto& [path, message] : {std::pair{folder, "cannot read " + folder},
                                        std::pair{huge, huge + " is larger than 16 MiB"},
                                        std::pair{binary, binary + " is not a text file"}}) {
        const CliRun run = test::runVelkaroCli("lint-devices " + test::shellQuote(path), scratch);
        EXPECT_EQ(run.exitCode, 6) << path;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
    const CliRun state =
        test::runVelkaroCli("--simulate --sim-state " + test::shellQuote(huge) + " blank", scratch);
    EXPECT_EQ(state.exitCode, 6);
    EXPECT_NE(state.err.find(huge + "\" is too large"), std::string::npos) << state.err;
}

TEST(LintDevices, ShippedDeviceFileIsClean) {
    test::TempDir scratch;
    const CliRun run = test::runVelkaroCli(
        "lint-devices " + test::shellQuote(test::sourceDir() + "/data/device.ini"), scratch);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "");
}

}  // namespace
}  // namespace velkaro
