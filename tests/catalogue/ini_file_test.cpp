#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalogue/ini_file.h"
#include "support/paths.h"

namespace velkaro {
namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(IniFile, NamesIgnoreCaseAndValuesStayRaw) {
    IniFile ini;
    ini.parse("[Dev]\nProgSize =  0x400 ; words  \nEmpty=\n");
    EXPECT_EQ(ini.readString("dEV", "PROGSIZE", "x"), "0x400 ; words");
    EXPECT_EQ(ini.readString("Dev", "Empty", "x"), "");
    EXPECT_EQ(ini.readString("Dev", "Missing", "x"), "x");
    EXPECT_EQ(ini.readString("Other", "ProgSize", "x"), "x");
    EXPECT_TRUE(ini.hasKey("dev", "empty"));
}

TEST(IniFile, AcceptsCrlfBomAndMissingFinalNewline) {
    IniFile ini;
    for (const char* bom : {"\xEF\xBB\xBF", "\xEF\xBB\xBF\xEF\xBB\xBF"}) {
        ini.parse(std::string(bom) + "[A]\r\nK=1\r\n[B]\r\nK=2");
        EXPECT_EQ(ini.sectionNames(), (std::vector<std::string>{"A", "B"}));
        EXPECT_EQ(ini.readString("A", "K", ""), "1");
        EXPECT_EQ(ini.readString("B", "K", ""), "2");
    }
}

TEST(IniFile, FirstOfRepeatedSectionsAndKeysWinsAndPreambleIsIgnored) {
    IniFile ini;
    ini.parse("K=0\n[A]\nK=1\nk=2\n[B]\n[a]\nK=3\nOnlyHere=4\n");
    EXPECT_EQ(ini.readString("A", "K", ""), "1");
    EXPECT_EQ(ini.readString("A", "OnlyHere", "none"), "none");
    EXPECT_EQ(ini.sectionNames(), (std::vector<std::string>{"A", "B"}));
}

TEST(IniFile, EntriesDeliverBareLinesWithEqualsAndSkipComments) {
    IniFile ini;
    ini.parse("[S]\n; comment\n  FOSC(0x3,1)(A,B)(0,1)  \n\nKey = v = w\n");
    EXPECT_EQ(ini.sectionEntries("s"),
              (std::vector<std::string>{"FOSC(0x3,1)(A,B)(0,1)=", "Key=v = w"}));
    EXPECT_EQ(ini.keyNames("S"), (std::vector<std::string>{"FOSC(0x3,1)(A,B)(0,1)", "Key"}));
    EXPECT_FALSE(ini.hasKey("S", "; comment"));
    EXPECT_TRUE(ini.sectionEntries("Missing").empty());
}

TEST(IniFile, CutsLongValuesAt2047Bytes) {
    IniFile ini;
    ini.parse("[S]\nK=" + std::string(3000, 'a') + "\n");
    EXPECT_EQ(ini.readString("S", "K", "").size(), 2047u);
    // A cut never splits a UTF-8 sequence (each "あ" is three bytes).
    std::string kana;
    for (int i = 0; i < 700; ++i)
        kana += "あ";
    ini.parse("[S]\nK=" + kana + "\n");
    EXPECT_EQ(ini.readString("S", "K", "").size(), 2046u);
}

TEST(IniFile, NameListsStopAt16384Bytes) {
    std::string text;
    const std::string name(99, 'n');  // costs 100 bytes with its terminator
    for (int i = 0; i < 200; ++i)
        text += "[" + name + std::to_string(1000 + i) + "]\n";  // 104 bytes each
    IniFile ini;
    ini.parse(text);
    EXPECT_EQ(ini.sectionNames().size(), 16384u / 104u);
}

TEST(IniFile, ReadsFloatsOnlyWhenTheWholeTextIsANumber) {
    IniFile ini;
    ini.parse("[S]\nA=12.5\nB=12,5\nC=12.5 ; volts\nD=\nE=+4\nF=nan\nG=-0.5\n");
    EXPECT_DOUBLE_EQ(ini.readFloat("S", "A", 1.0), 12.5);
    EXPECT_DOUBLE_EQ(ini.readFloat("S", "B", 1.0), 1.0);
    EXPECT_DOUBLE_EQ(ini.readFloat("S", "C", 1.0), 1.0);
    EXPECT_DOUBLE_EQ(ini.readFloat("S", "D", 1.0), 1.0);
    EXPECT_DOUBLE_EQ(ini.readFloat("S", "E", 1.0), 4.0);
    EXPECT_DOUBLE_EQ(ini.readFloat("S", "F", 1.0), 1.0);
    EXPECT_DOUBLE_EQ(ini.readFloat("S", "G", 1.0), -0.5);
    EXPECT_DOUBLE_EQ(ini.readFloat("S", "Missing", 1.0), 1.0);
}

TEST(IniFile, ReadsIntegersAndBooleansStrictly) {
    IniFile ini;
    ini.parse("[S]\nA=12\nB=12x\nC=-3\nD=0\nE=yes\nF=99999999999\n");
    EXPECT_EQ(ini.readInteger("S", "A", 7), 12);
    EXPECT_EQ(ini.readInteger("S", "B", 7), 7);
    EXPECT_EQ(ini.readInteger("S", "C", 7), -3);
    EXPECT_EQ(ini.readInteger("S", "F", 7), 7);
    EXPECT_FALSE(ini.readBool("S", "D", true));
    EXPECT_TRUE(ini.readBool("S", "E", true));
    EXPECT_TRUE(ini.readBool("S", "C", false));
}

TEST(IniFile, SurvivesBinaryGarbage) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) & 0xFF);
    garbage += std::string("\0[X\0]\n\0=\0\n[", 12);
    IniFile ini;
    ini.parse(garbage);
    for (const auto& name : ini.sectionNames())
        ini.sectionEntries(name);
    SUCCEED();
}

TEST(IniFile, WritesKeysErasesSectionsAndRoundTrips) {
    test::TempDir dir;
    const std::string path = dir.file("settings.ini");
    writeAll(path, "; kept\n[LastSetting]\nDevice=PIC16F84A\n\n[FileHistory]\nFile1=a.hex\n");
    IniFile ini(path);
    ini.writeString("lastsetting", "DEVICE", "PIC12F675");
    ini.writeInteger("LastSetting", "Port", 3);
    ini.writeBool("WriteSetting", "ProgMem", false);
    ini.eraseSection("FileHistory");
    EXPECT_FALSE(ini.writeString("FileHistory", "File1", "  b.hex\n"));
    EXPECT_TRUE(ini.writeString("FileHistory", "File1", "b.hex"));
    ASSERT_TRUE(ini.save(path));

    const IniFile reread(path);
    EXPECT_EQ(reread.readString("LastSetting", "Device", ""), "PIC12F675");
    EXPECT_EQ(reread.readInteger("LastSetting", "Port", 0), 3);
    EXPECT_FALSE(reread.readBool("WriteSetting", "ProgMem", true));
    EXPECT_EQ(reread.sectionEntries("FileHistory"), (std::vector<std::string>{"File1=b.hex"}));
    EXPECT_EQ(readAll(path).rfind("; kept\n[LastSetting]\nDevice=PIC12F675\nPort=3\n\n", 0), 0u);
    // Nothing but the target is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

// What the file cannot give back as written is refused and changes nothing; everything
// else reads back exactly, and lines nobody wrote stay as they were.
TEST(IniFile, WritesOnlyWhatReadsBackIdentically) {
    const std::string longest(IniFile::kMaxValueLength, 'v');
    struct Case {
        std::string section, key, value;
        bool stored;
    };
    const Case cases[] = {
        {"S", "K", "plain value ; with = signs [and] brackets", true},
        {"S", "K", longest, true},
        {"S", "K", "", true},
        {"S", "", "empty key name", true},
        {"S", "Key with blanks", "x", true},
        {"[S", "K]", "x", true},
        {"S", "K", longest + "v", false},
        {"S", "K", "ends in a line break\n", false},
        {"S", "K", "line\nbreak", false},
        {"S", "K", "carriage\rreturn", false},
        {"S", "K", " leading blank", false},
        {"S", "K", "trailing tab\t", false},
        {"S", "K", std::string(IniFile::kMaxValueLength - 1, 'v') + " ", false},
        {"S]", "K", "x", false},
        {" S", "K", "x", false},
        {"S\n", "K", "x", false},
        {"S", "K=1", "x", false},
        {"S", "[K", "x", false},
        {"S", ";K", "x", false},
        {"S", "K ", "x", false},
        {"S", "K\r", "x", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section + "/" + c.key + "=" + c.value.substr(0, 40));
        IniFile ini;
        ini.parse("[S]\nK=old\n");
        EXPECT_EQ(ini.writeString(c.section, c.key, c.value), c.stored);
        IniFile reread;
        reread.parse(ini.toText());
        if (c.stored) {
            EXPECT_EQ(reread.readString(c.section, c.key, "absent"), c.value);
        } else {
            EXPECT_EQ(ini.toText(), "[S]\nK=old\n");
        }
    }

    // A value read cut at its limit next to a blank, and the spacing of untouched lines,
    // survive a save.
    const std::string text = "[S]\nCut=" + std::string(IniFile::kMaxValueLength - 1, 'c') +
                             " tail\n  Spaced = 1 ; words\n";
    IniFile ini;
    ini.parse(text);
    ini.writeString("S", "New", "2");
    EXPECT_EQ(ini.toText(), text + "New=2\n");
}

TEST(IniFile, FailedSaveLeavesTheOldFile) {
    test::TempDir dir;
    const std::string path = dir.file("settings.ini");
    writeAll(path, "[A]\nK=old\n");
    IniFile ini(path);
    ini.writeString("A", "K", "new");
    EXPECT_FALSE(ini.save(dir.file("missing-folder/settings.ini")));
    // A directory in the way of the rename: the write fails, the target stays.
    std::filesystem::create_directory(dir.file("blocked.ini"));
    EXPECT_FALSE(ini.save(dir.file("blocked.ini")));
    EXPECT_EQ(readAll(path), "[A]\nK=old\n");
}

TEST(IniFile, MissingFileReadsAsEmpty) {
    IniFile ini;
    EXPECT_FALSE(ini.load("/nonexistent/velkaro/device.ini"));
    EXPECT_TRUE(ini.sectionNames().empty());
}

}  // namespace
}  // namespace velkaro
