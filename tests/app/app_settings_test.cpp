#include "app/app_settings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/file_history.h"
#include "app/hardware_settings.h"
#include "app/workspace.h"
#include "catalogue/device_catalogue.h"
#include "catalogue/ini_file.h"
#include "link/programmer_types.h"
#include "link/virtual_clock.h"
#include "support/cli_runner.h"
#include "support/fake_library.h"
#include "support/paths.h"

namespace velkaro {
namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The eighteen saved flags with their keys, for checking each lands under its own key.
struct FlagCase {
    const char* section;
    const char* key;
    bool& (*flag)(AppSettings&);
};

const FlagCase kFlags[] = {
    {"ReadSetting", "ProgMem", [](AppSettings& s) -> bool& { return s.readOptions.ProgEn; }},
    {"ReadSetting", "DataMem", [](AppSettings& s) -> bool& { return s.readOptions.DataEn; }},
    {"WriteSetting", "ProgMem", [](AppSettings& s) -> bool& { return s.writeOptions.ProgEn; }},
    {"WriteSetting", "DataMem", [](AppSettings& s) -> bool& { return s.writeOptions.DataEn; }},
    {"WriteSetting", "OscCal", [](AppSettings& s) -> bool& { return s.writeOptions.OscCal; }},
    {"WriteSetting", "DevIdChk", [](AppSettings& s) -> bool& { return s.writeOptions.DevIdChk; }},
    {"EraseSetting", "ProgMem", [](AppSettings& s) -> bool& { return s.eraseOptions.ProgEn; }},
    {"EraseSetting", "DataMem", [](AppSettings& s) -> bool& { return s.eraseOptions.DataEn; }},
    {"EraseSetting", "BuffClear", [](AppSettings& s) -> bool& { return s.eraseOptions.BuffClear; }},
    {"EraseSetting", "DevIdChk", [](AppSettings& s) -> bool& { return s.eraseOptions.DevIdChk; }},
    {"BlankSetting", "ProgMem", [](AppSettings& s) -> bool& { return s.blankOptions.ProgEn; }},
    {"BlankSetting", "DataMem", [](AppSettings& s) -> bool& { return s.blankOptions.DataEn; }},
    {"ProgSetting", "ProgMem", [](AppSettings& s) -> bool& { return s.progOptions.ProgEn; }},
    {"ProgSetting", "DataMem", [](AppSettings& s) -> bool& { return s.progOptions.DataEn; }},
    {"ProgSetting", "OscCal", [](AppSettings& s) -> bool& { return s.progOptions.OscCalEn; }},
    {"ProgSetting", "BlankChek", [](AppSettings& s) -> bool& { return s.progOptions.BlankEn; }},
    {"ProgSetting", "VerifyChek", [](AppSettings& s) -> bool& { return s.progOptions.VerifyEn; }},
    {"ProgSetting", "DevIdChk", [](AppSettings& s) -> bool& { return s.progOptions.DevIdChk; }},
};

class AppSettingsTest : public ::testing::Test {
protected:
    std::string write(const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    test::TempDir dir;
    const std::string path = dir.file("velkaro.ini");
};

TEST_F(AppSettingsTest, MissingFileAndBadNumbersGiveTheDefaults) {
    for (const std::string& text :
         {std::string(), std::string("[Setting]\nHardwareType=x\n[LastSetting]\nPort=1a\n"
                                     "[ReadSetting]\nProgMem=yes\n[ProgSetting]\nBlankChek=\n")}) {
        SCOPED_TRACE(text);
        AppSettings s = LoadSettings(text.empty() ? dir.file("absent.ini") : write(text));
        // Without the list the built-in types are offered.
        EXPECT_EQ(s.ProgrammerTypes, (std::vector<std::string>{"VKR-20 PRO", "VKR-20 JDM"}));
        EXPECT_EQ(s.HardwareType, 0);
        EXPECT_EQ(s.Device, "PIC16F84A");
        EXPECT_EQ(s.Port, 1);
        EXPECT_EQ(s.LastFile, "");
        EXPECT_TRUE(s.FileHistory.empty());
        for (const FlagCase& flag : kFlags)
            EXPECT_TRUE(flag.flag(s)) << flag.section << "/" << flag.key;
    }
}

// The entry: one of its three names, any letter case; anything else is a problem naming the
// key, and the automatic choice stands for it. Written once it is not automatic.
TEST_F(AppSettingsTest, EntryNamesAModeOrIsAProblemWithTheDefault) {
    const struct {
        const char* value;
        EntryMode mode;
        bool problem;
    } cases[] = {{"", EntryMode::Automatic, false},
                 {"LVP", EntryMode::LowVoltage, false},
                 {"hv", EntryMode::HighVoltage, false},
                 {"auto", EntryMode::Automatic, false},
                 {"low", EntryMode::Automatic, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const AppSettings s =
            LoadSettings(write(std::string("[Setting]\nEntry=") + c.value + "\n"));
        EXPECT_EQ(s.Entry, c.mode);
        EXPECT_EQ(s.entryProblem.empty(), !c.problem);
        if (c.problem) {
            EXPECT_NE(s.entryProblem.find("[Setting] Entry=low"), std::string::npos);
        }
    }
    AppSettings s;
    s.Entry = EntryMode::LowVoltage;
    ASSERT_TRUE(SaveSettings(dir.file("saved.ini"), s));
    EXPECT_EQ(LoadSettings(dir.file("saved.ini")).Entry, EntryMode::LowVoltage);
}

TEST_F(AppSettingsTest, ValuesAsWritten) {
    const AppSettings s = LoadSettings(
        write("[ProgrammerType]\nB=\nA\n[Setting]\nHardwareType=1\n[LastSetting]\n"
              "Device=PIC12F675\nPort=-2\nLastFile=/x/a.hex\n[EraseSetting]\nDataMem=0\n"
              "BuffClear=7\n"));
    EXPECT_EQ(s.ProgrammerTypes, (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(s.HardwareType, 1);
    EXPECT_EQ(s.Device, "PIC12F675");
    EXPECT_EQ(s.Port, 1);  // below 1 counts as COM1
    EXPECT_EQ(s.LastFile, "/x/a.hex");
    EXPECT_FALSE(s.eraseOptions.DataEn);
    EXPECT_TRUE(s.eraseOptions.BuffClear);  // any non-zero number is ticked
}

TEST_F(AppSettingsTest, EachFlagRoundTripsUnderItsOwnKey) {
    for (const FlagCase& flag : kFlags) {
        SCOPED_TRACE(std::string(flag.section) + "/" + flag.key);
        std::filesystem::remove(path);
        AppSettings saved = LoadSettings(dir.file("absent.ini"));  // every flag ticked
        flag.flag(saved) = false;
        ASSERT_TRUE(SaveSettings(path, saved));
        EXPECT_NE(readText(path).find(std::string("[") + flag.section + "]"), std::string::npos);
        // The new file lists the programmer types it was saved with.
        EXPECT_NE(readText(path).find("[ProgrammerType]\nVKR-20 PRO=\nVKR-20 JDM=\n"),
                  std::string::npos);
        AppSettings loaded = LoadSettings(path);
        for (const FlagCase& other : kFlags)
            EXPECT_EQ(other.flag(loaded), &other != &flag) << other.section << "/" << other.key;
    }
}

TEST_F(AppSettingsTest, SaveKeepsForeignSectionsAndWritesPortAndHistory) {
    write("[ProgrammerType]\nVKR-20 PRO=\n[Ports]\nCOM3=/dev/ttyUSB0\n[FileHistory]\nFile9=old\n");
    AppSettings s = LoadSettings(path);
    s.Device = "PIC16F628A";
    s.Port = 0;  // no port selected at close
    s.LastFile = "/w/b.hex";
    s.FileHistory = {"/w/b.hex", "/w/a.hex"};
    ASSERT_TRUE(SaveSettings(path, s));
    const std::string text = readText(path);
    EXPECT_NE(text.find("[Ports]\nCOM3=/dev/ttyUSB0\n"), std::string::npos);
    EXPECT_NE(text.find("[FileHistory]\nFile1=/w/b.hex\nFile2=/w/a.hex\n"), std::string::npos);
    EXPECT_EQ(text.find("File9"), std::string::npos);
    const AppSettings loaded = LoadSettings(path);
    EXPECT_EQ(loaded.ProgrammerTypes, std::vector<std::string>{"VKR-20 PRO"});
    EXPECT_EQ(loaded.Device, "PIC16F628A");
    EXPECT_EQ(loaded.Port, 1);  // written as 0, read back as COM1
    EXPECT_EQ(loaded.LastFile, "/w/b.hex");
    EXPECT_EQ(loaded.FileHistory, s.FileHistory);
}

TEST_F(AppSettingsTest, HistoryMovesToFrontAndKeepsFiveAcrossARestart) {
    AppSettings s;
    for (const char* file : {"/f/1.hex", "/f/2.hex", "/f/3.hex", "/f/4.hex", "/f/5.hex"})
        rememberOpenedFile(file, s.LastFile, s.FileHistory);
    EXPECT_TRUE(rememberOpenedFile("/f/3.hex", s.LastFile, s.FileHistory));   // third entry
    EXPECT_FALSE(rememberOpenedFile("/f/3.hex", s.LastFile, s.FileHistory));  // already first
    rememberOpenedFile("/f/6.hex", s.LastFile, s.FileHistory);
    ASSERT_TRUE(SaveSettings(path, s));

    const AppSettings loaded = LoadSettings(path);
    EXPECT_EQ(loaded.FileHistory, (std::vector<std::string>{"/f/6.hex", "/f/3.hex", "/f/5.hex",
                                                            "/f/4.hex", "/f/2.hex"}));
    EXPECT_EQ(loaded.LastFile, "/f/6.hex");
}

TEST_F(AppSettingsTest, LongHistoryLoadsWholeAndSavesFive) {
    write("[FileHistory]\nFile1=a\nX=b=c\nFile3=c\nFile4=d\nFile5=e\nFile6=f\nFile7=g\n");
    const AppSettings s = LoadSettings(path);
    // The key names are not interpreted; the entry is the text after the first "=".
    EXPECT_EQ(s.FileHistory, (std::vector<std::string>{"a", "b=c", "c", "d", "e", "f", "g"}));
    ASSERT_TRUE(SaveSettings(path, s));
    EXPECT_EQ(LoadSettings(path).FileHistory,
              (std::vector<std::string>{"a", "b=c", "c", "d", "e"}));
}

// Two desktop programs on one settings file: each save writes only what that program
// changed, so the other's device and history survive, and a key edited meanwhile (in an
// editor, by a command) is not put back on close.
TEST_F(AppSettingsTest, ASaveKeepsWhatAnotherProgramChangedMeanwhile) {
    write("[LastSetting]\nDevice=PIC16F84A\nPort=1\n[FileHistory]\nFile1=/w/old.hex\n");
    const AppSettings firstLoaded = LoadSettings(path);
    const AppSettings secondLoaded = LoadSettings(path);

    AppSettings second = secondLoaded;
    second.Device = "PIC16F628A";
    second.FileHistory.insert(second.FileHistory.begin(), "/w/second.hex");
    ASSERT_TRUE(SaveSettings(path, second, &secondLoaded));

    AppSettings first = firstLoaded;
    first.Port = 3;
    first.FileHistory.insert(first.FileHistory.begin(), "/w/first.hex");
    ASSERT_TRUE(SaveSettings(path, first, &firstLoaded));

    const AppSettings after = LoadSettings(path);
    EXPECT_EQ(after.Device, "PIC16F628A");
    EXPECT_EQ(after.Port, 3);
    EXPECT_EQ(after.FileHistory,
              (std::vector<std::string>{"/w/first.hex", "/w/old.hex", "/w/second.hex"}));

    // Nothing changed here: an unchanged program leaves the file's values alone.
    write("[LastSetting]\nDevice=PIC12F675\n");
    ASSERT_TRUE(SaveSettings(path, firstLoaded, &firstLoaded));
    EXPECT_EQ(LoadSettings(path).Device, "PIC12F675");
}

// A settings file that is a link to one kept elsewhere stays a link; the file it points
// to gets the new settings.
TEST_F(AppSettingsTest, SaveThroughASymbolicLinkKeepsTheLink) {
    const std::string target = dir.file("kept.ini");
    std::ofstream(target) << "[Setting]\nDevice=PIC16F84A\n";
    std::filesystem::create_symlink(target, path);
    AppSettings s = LoadSettings(path);
    s.Device = "PIC12F675";
    ASSERT_TRUE(SaveSettings(path, s));
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(LoadSettings(target).Device, "PIC12F675");
}

TEST_F(AppSettingsTest, FailedSaveLeavesNoFileAndReportsFalse) {
    EXPECT_FALSE(SaveSettings(dir.file("missing/velkaro.ini"), AppSettings()));
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

TEST_F(AppSettingsTest, ShippedFileListsTheBuiltInProgrammerTypesAndTheJdmWiring) {
    const std::string shipped = test::sourceDir() + "/data/velkaro.ini";
    const AppSettings s = LoadSettings(shipped);
    std::vector<std::string> names;
    for (const ProgrammerType& type : programmerTypes())
        names.emplace_back(type.name);
    EXPECT_EQ(s.ProgrammerTypes, names) << "in the order of their type index";
    EXPECT_TRUE(IniFile(shipped).hasKey(jdmLinesSection(), "VPP"));
    EXPECT_EQ(loadHardwareSettings(shipped).problems, std::vector<std::string>{});
    EXPECT_EQ(s.HardwareType, 0);
    EXPECT_EQ(s.Device, "PIC16F84A");
    // A fresh install leaves the buffer alone on an erase; the other options are ticked.
    EXPECT_FALSE(s.eraseOptions.BuffClear);
    EXPECT_TRUE(s.eraseOptions.ProgEn);
}

TEST_F(AppSettingsTest, ReadOnlyProgramFolderFallsBackToSeededUserCopy) {
    const std::string programDir = dir.file("bin");
    const std::string configHome = dir.file("config");
    std::filesystem::create_directories(programDir);
    std::ofstream(programDir + "/velkaro.ini") << "[ProgrammerType]\nVKR-20 PRO=\n";

    EXPECT_EQ(settingsFilePath(programDir, true, configHome), programDir + "/velkaro.ini");

    const std::string userFile = settingsFilePath(programDir, false, configHome);
    EXPECT_EQ(userFile, configHome + "/velkaro/velkaro.ini");
    EXPECT_EQ(LoadSettings(userFile).ProgrammerTypes, std::vector<std::string>{"VKR-20 PRO"});

    // Once there, the user's copy is kept, not seeded again.
    AppSettings s = LoadSettings(userFile);
    s.Device = "PIC12F629";
    ASSERT_TRUE(SaveSettings(userFile, s));
    EXPECT_EQ(settingsFilePath(programDir, false, configHome), userFile);
    EXPECT_EQ(LoadSettings(userFile).Device, "PIC12F629");
    EXPECT_EQ(LoadSettings(programDir + "/velkaro.ini").Device, "PIC16F84A");
}

TEST_F(AppSettingsTest, WorkspaceTakesTheSavedChoicesAndKeepsTheUnsavedOnes) {
    Workspace workspace(test::binDir());
    test::FakeLibrary library;
    VirtualClock clock;
    workspace.attachProgrammer(library, clock);
    workspace.eraseOptions.OscCalEn = false;  // chosen this run, never saved

    AppSettings s =
        LoadSettings(write("[Setting]\nHardwareType=1\n[LastSetting]\nPort=3\n"
                           "LastFile=/a.hex\n[EraseSetting]\nDataMem=0\n"
                           "[FileHistory]\nFile1=/a.hex\n"));
    s.applyTo(workspace);
    EXPECT_EQ(workspace.link->hardwareType(), 1);
    EXPECT_EQ(workspace.link->portIndex(), 2);
    EXPECT_FALSE(workspace.eraseOptions.DataEn);
    EXPECT_FALSE(workspace.eraseOptions.OscCalEn);
    EXPECT_EQ(workspace.LastFile, "/a.hex");

    workspace.link->setPortIndex(4);
    workspace.progOptions.VerifyEn = false;
    workspace.FileHistory.insert(workspace.FileHistory.begin(), "/b.hex");
    AppSettings back;
    back.takeFrom(workspace);
    EXPECT_EQ(back.Port, 5);
    EXPECT_EQ(back.HardwareType, 1);
    EXPECT_FALSE(back.progOptions.VerifyEn);
    EXPECT_EQ(back.FileHistory, (std::vector<std::string>{"/b.hex", "/a.hex"}));
}

}  // namespace
}  // namespace velkaro

namespace velkaro {
namespace {

// device.ini, Config.ini and the settings file are read whole: one far larger than any
// real one, a binary file or a folder in its place is refused by name without being read,
// the command-line tool stops with a file error, and a refused settings file is not
// overwritten by the next save.
TEST(RefusedFiles, HugeBinaryAndFolderFilesAreRefusedByName) {
    const std::string shipped = std::string(VELKARO_SOURCE_DIR) + "/data/";
    for (const char* name : {"device.ini", "Config.ini", "velkaro.ini"}) {
        for (const char* kind : {"huge", "binary", "folder"}) {
            SCOPED_TRACE(std::string(name) + " " + kind);
            test::TempDir dir;
            for (const char* copy : {"device.ini", "Config.ini"})
                std::filesystem::copy_file(shipped + copy, dir.file(copy));
            const std::string path = dir.file(name);
            std::filesystem::remove(path);
            const char raw[] = "[LastSetting]\nDevice=PIC\0\x01\x02\n";
            const std::string binary(raw, sizeof raw - 1);
            std::string expected;
            if (std::string(kind) == "huge") {
                std::ofstream(path) << "[LastSetting]\n";
                std::filesystem::resize_file(path, uintmax_t{1} << 30);  // sparse
                expected = path + " is larger than 16 MiB";
            } else if (std::string(kind) == "binary") {
                std::ofstream(path, std::ios::binary) << binary;
                expected = path + " is not a text file";
            } else {
                std::filesystem::create_directory(path);
                expected = path + " is a folder";
            }

            if (std::string(name) == "velkaro.ini") {
                EXPECT_NE(LoadSettings(path).fileError.find(expected), std::string::npos)
                    << LoadSettings(path).fileError;
                EXPECT_FALSE(SaveSettings(path, AppSettings{}));
                if (std::string(kind) == "huge") {
                    EXPECT_EQ(std::filesystem::file_size(path), uintmax_t{1} << 30);
                }
                if (std::string(kind) == "binary") {
                    EXPECT_EQ(readText(path), binary);
                }
                continue;
            }
            const DeviceCatalogue catalogue(dir.path());
            EXPECT_NE(catalogue.fileError().find(expected), std::string::npos)
                << catalogue.fileError();
            test::TempDir scratch;
            const test::CliRun run = test::runVelkaroCli(
                "--data-dir " + test::shellQuote(dir.path()) + " --device PIC16F84A info", scratch);
            EXPECT_EQ(run.exitCode, 6);
            EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
        }
    }
}

}  // namespace
}  // namespace velkaro

namespace velkaro {
namespace {

// What the settings file says about the hardware is checked as it is read; each problem
// names the file and the line that holds it.
TEST(HardwareSettingsFile, ProblemsNameTheFileAndLine) {
    test::TempDir dir;
    const std::string shipped = std::string(VELKARO_SOURCE_DIR) + "/data/";
    for (const char* copy : {"device.ini", "Config.ini"})
        std::filesystem::copy_file(shipped + copy, dir.file(copy));
    const std::string path = dir.file("velkaro.ini");
    std::ofstream(path) << "[Port]\n"
                           "COM1=/dev/ttyUSB0\n"
                           "COM2=ttyUSB1\n"  // line 3: not a path
                           "\n"
                           "[VKR-20 JDM]\n"  // line 5
                           "PGC=RTS\n"
                           "PGDIn=DTR\n"  // line 7: an output as input
                           "VPP=RTS\n";   // same line as PGC: the section's problem
    test::TempDir scratch;
    const test::CliRun run =
        test::runVelkaroCli("--data-dir " + test::shellQuote(dir.path()) + " ports", scratch);
    for (const std::string& expected :
         {path + ": line 3: [Port] COM2=ttyUSB1", path + ": line 7: [VKR-20 JDM] ",
          path + ": line 5: [VKR-20 JDM] "}) {
        EXPECT_NE(run.err.find(expected), std::string::npos) << expected << "\n" << run.err;
    }
}

// A per-user copy older than the program folder's file, with other hardware entries, is a
// problem of its own: the copy may name a port that is no longer the programmer.
TEST(HardwareSettingsFile, AnOutdatedPerUserCopyIsAProblem) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    const std::string shipped = dir.file("shipped.ini");
    const std::string copy = dir.file("copy.ini");
    std::ofstream(copy) << "[Port]\nCOM1=/dev/ttyUSB0\n[LastSetting]\nDevice=PIC16F84A\n";
    std::ofstream(shipped) << "[Port]\nCOM1=/dev/ttyACM0\n";
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(copy, now - std::chrono::hours(1));
    fs::last_write_time(shipped, now);
    EXPECT_NE(outdatedCopyProblem(copy, shipped).find("[Port] differs"), std::string::npos);
    EXPECT_EQ(outdatedCopyProblem(shipped, shipped), "");
    // Newer than the shipped file, or the same hardware: the user's own settings count.
    fs::last_write_time(copy, now + std::chrono::hours(1));
    EXPECT_EQ(outdatedCopyProblem(copy, shipped), "");
    std::ofstream(copy) << "[Port]\nCOM1=/dev/ttyACM0\n[LastSetting]\nDevice=PIC12F675\n";
    fs::last_write_time(copy, now - std::chrono::hours(1));
    EXPECT_EQ(outdatedCopyProblem(copy, shipped), "");
}

}  // namespace
}  // namespace velkaro
