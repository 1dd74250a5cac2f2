#include <gtest/gtest.h>

#include <fstream>

#include "catalogue/config_fields.h"
#include "catalogue/device_catalogue.h"
#include "support/paths.h"

namespace velkaro {
namespace {

using Items = std::vector<std::string>;

TEST(SplitOptionList, SeparatesByCommaAndUnquotedBlank) {
    EXPECT_EQ(splitOptionList("Enabled, Disabled"), (Items{"Enabled", "Disabled"}));
    EXPECT_EQ(splitOptionList("On Off"), (Items{"On", "Off"}));
    EXPECT_EQ(splitOptionList("  a ,\tb  "), (Items{"a", "b"}));
    EXPECT_EQ(splitOptionList("a,,b"), (Items{"a", "", "b"}));
    EXPECT_EQ(splitOptionList("a,"), (Items{"a", ""}));
    EXPECT_EQ(splitOptionList(""), Items{});
}

TEST(SplitOptionList, QuotedItemsKeepBlanksCommasAndDoubledQuotes) {
    EXPECT_EQ(splitOptionList("\"Low power, 32 kHz\",HS"), (Items{"Low power, 32 kHz", "HS"}));
    EXPECT_EQ(splitOptionList("\"say \"\"hi\"\"\" x"), (Items{"say \"hi\"", "x"}));
    EXPECT_EQ(splitOptionList("\"unterminated, item"), (Items{"unterminated, item"}));
    EXPECT_EQ(splitOptionList("\"\",b"), (Items{"", "b"}));
}

TEST(SplitOptionList, EndsAtANulByte) {
    using namespace std::string_view_literals;
    EXPECT_EQ(splitOptionList("On\0Off"sv), (Items{"On"}));
    EXPECT_EQ(splitOptionList("\"a\"\0b"sv), (Items{"a"}));
    EXPECT_EQ(parseConfigEntry("L(0x1,1)(On\0Off)(1,0)"sv).optionNames, (Items{"On"}));
}

TEST(ParseConfigEntry, ReadsLabelMaskWordNamesAndValues) {
    const ConfigField field = parseConfigEntry(
        "  Mode (0x0003,1)(P,Q,\"R (fast)\",S)(0x0000,0x0001,0x0002,0x0003) ; comment");
    EXPECT_EQ(field.label, "Mode");
    EXPECT_EQ(field.mask, 0x0003);
    EXPECT_EQ(field.word, 1);
    EXPECT_EQ(field.optionNames, (Items{"P", "Q", "R (fast)", "S"}));
    EXPECT_EQ(field.optionValues, (Items{"0x0000", "0x0001", "0x0002", "0x0003"}));
}

TEST(ParseConfigEntry, NamesMayHoldBalancedParentheses) {
    const ConfigField field = parseConfigEntry("Osc(0x7,2)(LP(32k) (x),HS)(0,2)=");
    EXPECT_EQ(field.optionNames, (Items{"LP(32k)", "(x)", "HS"}));
    EXPECT_EQ(field.optionValues, (Items{"0", "2"}));
    EXPECT_EQ(field.word, 2);
}

TEST(ParseConfigEntry, WordIsOneCharacterAndMaskKeeps16Bits) {
    EXPECT_EQ(parseConfigEntry("A(0x1,10)(x)(1)").word, 1);
    EXPECT_EQ(parseConfigEntry("A(0x1, 2)(x)(1)").word, 0);  // the blank is the character
    EXPECT_EQ(parseConfigEntry("A(0x12345,2)(x)(1)").mask, 0x2345);
}

TEST(ParseConfigEntry, MalformedEntriesGiveEmptyParts) {
    const ConfigField noParen = parseConfigEntry("Just a label=");
    EXPECT_EQ(noParen.label, "");
    EXPECT_EQ(noParen.word, 0);
    EXPECT_TRUE(noParen.optionNames.empty());
    const ConfigField keyed = parseConfigEntry("Key=Lbl(0x4,1)(a,b)(0,4)");
    EXPECT_EQ(keyed.label, "Key=Lbl");
    EXPECT_EQ(keyed.optionValues, (Items{"0", "4"}));
    const ConfigField cut = parseConfigEntry("L(zz");
    EXPECT_EQ(cut.label, "L");
    EXPECT_EQ(cut.mask, 0);
    EXPECT_TRUE(cut.optionNames.empty());
    EXPECT_TRUE(parseConfigEntry("").label.empty());
}

TEST(ApplyConfigOption, CombinesWithTheBitsOutsideTheMask) {
    EXPECT_EQ(applyConfigOption(0x3FFF, 0x0003, 0x0001), 0x3FFD);
    EXPECT_EQ(applyConfigOption(0x3FFD, 0x0008, 0x0000), 0x3FF5);  // another field's bits kept
    EXPECT_EQ(applyConfigOption(0x0000, 0x0001, 0x0101), 0x0101);  // value is not masked
    EXPECT_EQ(applyConfigOption(0x0000, 0x0001, 0x12345), 0x2345);
}

TEST(SyncConfigBoxes, SelectsTheFirstMatchingOptionOrKeepsTheSelection) {
    ConfigFieldTable table;
    // Build a table through a file so the rows are the real ones.
    test::TempDir dir;
    std::ofstream(dir.file("Config.ini"))
        << "[Set]\nFOSC(0x0003,1)(LP,XT,HS,RC)(0,1,2,3)\nWDT(0x0004,1)(Off,On,Again)(0,4,4)\n"
           "Bad(0x0010,1)(A,B)(zz,0x10)\nW2(0x00F0,2)(A,B)(0x10,0x20)\nNone(0x1,0)(A,B)(0,1)\n";
    ASSERT_TRUE(table.BuildConfigFields(dir.file("Config.ini"), "Set"));
    ASSERT_EQ(table.count(), 5);
    EXPECT_EQ(table.row(0).selected, 0);  // first option on rebuild

    uint16_t words[10] = {0x3FF6, 0x0055};
    SyncConfigBoxes(table, words, 10);
    EXPECT_EQ(table.row(0).selected, 2);
    EXPECT_EQ(table.row(1).selected, 1);  // first of two equal values
    EXPECT_EQ(table.row(2).selected, 1);
    EXPECT_EQ(table.row(3).selected, 0);  // 0x50 matches nothing: unchanged
    words[0] = 0x3FE9;
    SyncConfigBoxes(table, words, 10);
    EXPECT_EQ(table.row(2).selected, 0);  // an unreadable value counts as 0
    EXPECT_EQ(table.row(4).selected, 0);  // word 0: never synchronised
}

TEST(BuildConfigFields, RebuildsOnlyWhenTheNameChanges) {
    test::TempDir dir;
    const std::string path = dir.file("Config.ini");
    std::string big = "[Big]\n";
    for (int i = 0; i < 65; ++i)
        big += "F" + std::to_string(i) + "(0x1,1)(a,b)(0,1)\n";
    std::ofstream(path) << "[A]\nX(0x1,1)(a,b)(0,1)\n" << big;

    ConfigFieldTable table;
    EXPECT_FALSE(table.BuildConfigFields(path, ""));  // same as the initial empty name
    EXPECT_TRUE(table.BuildConfigFields(path, "A"));
    table.row(0).selected = 1;
    EXPECT_FALSE(table.BuildConfigFields(path, "A"));
    EXPECT_EQ(table.row(0).selected, 1);
    EXPECT_TRUE(table.BuildConfigFields(path, "a"));  // letter case counts here
    EXPECT_EQ(table.count(), 1);
    EXPECT_EQ(table.row(0).selected, 0);
    EXPECT_TRUE(table.BuildConfigFields(path, "Big"));
    EXPECT_EQ(table.count(), ConfigFieldTable::kMaxRows);
    EXPECT_EQ(table.row(59).label, "F59");
    EXPECT_TRUE(table.BuildConfigFields(path, "Missing"));
    EXPECT_EQ(table.count(), 0);
    EXPECT_EQ(table.row(0).mask, 0);
    EXPECT_TRUE(table.BuildConfigFields(dir.file("none.ini"), "A"));
    EXPECT_EQ(table.count(), 0);
}

TEST(BuildConfigFields, ShippedConfigIniParsesForEveryDevice) {
    DeviceCatalogue catalogue(test::sourceDir() + "/data");
    ConfigFieldTable table;
    SilentMessageSink sink;
    for (const auto& name : catalogue.FillDeviceList()) {
        SCOPED_TRACE(name);
        DeviceDefinition device;
        catalogue.LoadSection(name, device, table, sink);
        for (int i = 0; i < table.count(); ++i) {
            const ConfigField& field = table.row(i);
            EXPECT_FALSE(field.label.empty());
            EXPECT_NE(field.mask, 0);
            EXPECT_GE(field.word, 1);
            EXPECT_LE(field.word, device.ConfigCount);
            EXPECT_EQ(field.optionNames.size(), field.optionValues.size());
            EXPECT_EQ(field.mask & ~device.ConfigMask[field.word - 1] & ~device.BGMask, 0);
        }
    }
}

}  // namespace
}  // namespace velkaro
