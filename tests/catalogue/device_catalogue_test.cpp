#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/workspace.h"
#include "catalogue/device_catalogue.h"
#include "catalogue/ini_number.h"
#include "support/paths.h"

namespace velkaro {
namespace {

const std::string kNestingMessage =
    "device.iniのネスティングが深すぎます。プログラムを終了し、device.iniを確認してください。";

class RecordingSink : public MessageSink {
public:
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    std::vector<std::string> messages;
};

// A catalogue over a device.ini (and optionally a Config.ini) written for one test.
class CatalogueTest : public ::testing::Test {
protected:
    void writeDeviceIni(const std::string& text) {
        std::ofstream(mDir.file("device.ini"), std::ios::binary) << text;
    }
    void writeConfigIni(const std::string& text) {
        std::ofstream(mDir.file("Config.ini"), std::ios::binary) << text;
    }
    DeviceDefinition load(const std::string& name) {
        DeviceDefinition device;
        catalogue.LoadSection(name, device, fields, sink);
        return device;
    }
    // A chain S0 -> S1 -> ... -> S<links>; the last section sets ProgSize 2048.
    std::string chain(int links, bool reversed) {
        std::vector<std::string> sections;
        for (int i = 0; i <= links; ++i) {
            std::string text = "[S" + std::to_string(i) + "]\n";
            if (i < links)
                text += "Default=S" + std::to_string(i + 1) + "\n";
            else
                text += "ProgSize=2048\n";
            sections.push_back(text);
        }
        std::string all;
        for (int i = 0; i <= links; ++i)
            all += sections[reversed ? links - i : i];
        return all;
    }

    test::TempDir mDir;
    DeviceCatalogue catalogue{mDir.path()};
    ConfigFieldTable fields;
    RecordingSink sink;
};

TEST_F(CatalogueTest, MissingFileGivesBuiltInDefaultsAndEmptyList) {
    EXPECT_TRUE(catalogue.FillDeviceList().empty());
    const DeviceDefinition device = load("");
    const DeviceDefinition builtIn;
    EXPECT_EQ(device.ProgSize, builtIn.ProgSize);
    EXPECT_EQ(device.ConfigMask, builtIn.ConfigMask);
    EXPECT_EQ(device.ConfigValue, builtIn.ConfigValue);
    EXPECT_EQ(device.DataEraseProgCycle, 20);
    EXPECT_EQ(device.DataProgOnlyCycle, 4);
    EXPECT_EQ(device.BlankWord, 0x3FFF);
    EXPECT_EQ(device.DeviceName, "");
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(CatalogueTest, ChildOverridesOnlyWhatItNamesWhateverTheSectionOrder) {
    const std::string templ =
        "[Tmpl]\nProgSize=2048\nEpromSize=128\nComment=template\nVppVoltage=12.5\n"
        "ConfigSetting=Cfg ; named fields\n";
    const std::string child =
        "[Child]\nDefault=Tmpl\nEpromSize=64\nProgSize=;only a comment\nVppVoltage=12,5\n";
    for (const auto& text : {templ + child, child + templ}) {
        writeDeviceIni(text);
        const DeviceDefinition device = load("Child");
        EXPECT_EQ(device.ProgSize, 2048);
        EXPECT_EQ(device.EpromSize, 64);
        EXPECT_DOUBLE_EQ(device.VppVoltage, 12.5);
        EXPECT_EQ(device.ConfigSetting, "Cfg");
        EXPECT_EQ(device.Comment, "");  // never inherited
        EXPECT_EQ(device.DeviceName, "Child");
    }
}

TEST_F(CatalogueTest, PreviousDeviceLeavesNothingBehind) {
    writeDeviceIni("[A]\nProgSize=4096\nOscCalFile=cal.hex\nCmdSet=0x1FFFF\n[B]\nEpromSize=16\n");
    DeviceDefinition device;
    catalogue.LoadSection("A", device, fields, sink);
    EXPECT_EQ(device.CmdSet, 0xFFFF);  // low 16 bits of a wider value
    catalogue.LoadSection("B", device, fields, sink);
    EXPECT_EQ(device.ProgSize, 1024);
    EXPECT_EQ(device.OscCalFile, "");
    EXPECT_EQ(device.CmdSet, 0x06FF);
}

TEST_F(CatalogueTest, TwentyDefaultLinksLoadSilentlyAndTwentyOneWarnOnce) {
    for (const bool reversed : {false, true}) {
        writeDeviceIni(chain(20, reversed));
        sink.messages.clear();
        EXPECT_EQ(load("S0").ProgSize, 2048);
        EXPECT_TRUE(sink.messages.empty());

        writeDeviceIni(chain(21, reversed));
        EXPECT_EQ(load("S0").ProgSize, 2048);  // the deepest section is still read
        EXPECT_EQ(sink.messages, std::vector<std::string>{kNestingMessage});
    }
}

TEST_F(CatalogueTest, DefaultCycleEndsWithTheNestingMessage) {
    writeDeviceIni("[A]\nDefault=B\nProgSize=100\n[B]\nDefault=A\nEpromSize=32\n");
    const DeviceDefinition device = load("A");
    EXPECT_EQ(device.ProgSize, 100);
    EXPECT_EQ(device.EpromSize, 32);
    EXPECT_EQ(sink.messages.size(), 1u);
}

TEST_F(CatalogueTest, AliasTakesTheTargetsValuesAndComment) {
    writeDeviceIni(
        "[Real]\nDefault=Base\nProgSize=2048\nComment=real one\n[Base]\nEpromSize=128\n"
        "Comment=base\n[Other]\nAlias=Real\nProgSize=1\nComment=ignored\n[Missing]\nAlias="
        "Nowhere\n");
    const DeviceDefinition device = load("Other");
    EXPECT_EQ(device.ProgSize, 2048);
    EXPECT_EQ(device.EpromSize, 128);
    EXPECT_EQ(device.Comment, "real one");
    EXPECT_EQ(device.DeviceName, "Other");
    EXPECT_EQ(load("Missing").ProgSize, 1024);  // alias to no section: built-in defaults
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(CatalogueTest, AliasCycleTerminatesWithTheNestingMessage) {
    writeDeviceIni("[A]\nAlias=B\nProgSize=100\n[B]\nAlias=A\nProgSize=200\n[C]\nAlias=C\n");
    const int32_t size = load("A").ProgSize;
    EXPECT_TRUE(size == 100 || size == 200);
    EXPECT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(catalogue.ReadDeviceKey("C", "ProgSize", sink), -1);
    EXPECT_EQ(sink.messages.size(), 2u);
}

TEST_F(CatalogueTest, CycleFallbacksApplyOnlyWhenTheResultIsZero) {
    writeDeviceIni(
        "[T]\nEraseProgCycle=8\nDataEraseProgCycle=12\n"
        "[Inherits]\nDefault=T\nEraseProgCycle=5\nProgOnlyCycle=2\n"
        "[Zero]\nDefault=T\nEraseProgCycle=6\nDataEraseProgCycle=0\nProgOnlyCycle=3\n"
        "[Negative]\nEraseProgCycle=-5\nDataEraseProgCycle=-1\nBulkEraseCycle=-9\n");
    const DeviceDefinition inherits = load("Inherits");
    EXPECT_EQ(inherits.DataEraseProgCycle, 12);
    EXPECT_EQ(inherits.DataProgOnlyCycle, 4);  // resolved at the template level
    const DeviceDefinition zero = load("Zero");
    EXPECT_EQ(zero.DataEraseProgCycle, 6);
    const DeviceDefinition negative = load("Negative");
    EXPECT_EQ(negative.EraseProgCycle, 0);
    EXPECT_EQ(negative.DataEraseProgCycle, 0);
    EXPECT_EQ(negative.BulkEraseCycle, 0);
}

TEST_F(CatalogueTest, AddressMaskWithAGapIsFilledSoTheResetVectorWalkEnds) {
    writeDeviceIni("[Gap]\nAdrMask=0x3FE\nResetVector=0x3FE\n[Sparse]\nAdrMask=0x0401\n");
    const DeviceDefinition gap = load("Gap");
    EXPECT_EQ(gap.AdrMask, 0x03FF);
    EXPECT_EQ(load("Sparse").AdrMask, 0x07FF);
    // The walk every operation makes from the reset vector now reaches address 0.
    int steps = 0;
    for (int a = gap.ResetVector; a != 0 && steps <= 0x10000; a = (a + 1) & gap.AdrMask)
        ++steps;
    EXPECT_EQ(steps, 2);
}

TEST_F(CatalogueTest, DerivesBlankWordMasksAndConfigValues) {
    writeDeviceIni(
        "[W12]\nBitWidth=12\nAdrMask=0\nConfigCount=2\nConfigMask1=0x0FF\n"
        "[W16]\nBitWidth=16\nConfigCount=3\nConfigMask2=0\nConfigValue2=-1\nConfigValue3=0x1234\n"
        "[Child]\nDefault=W16\nConfigCount=2\nConfigMask1=0x00F0\n"
        "[Narrow]\nBitWidth=16\nConfigCount=1\nConfigMask2=0\n"
        "[Wide]\nDefault=Narrow\nConfigCount=4\nConfigMask2=0x0F0F\nConfigMask4=; none\n"
        "[Wider]\nDefault=Wide\nConfigMask2=0x0\n");
    const DeviceDefinition w12 = load("W12");
    EXPECT_EQ(w12.BlankWord, 0x0FFF);
    EXPECT_EQ(w12.AdrMask, 0x0FFF);
    EXPECT_EQ(w12.ConfigMask[0], 0x00FF);
    EXPECT_EQ(w12.ConfigValue[0], 0x00FF);
    EXPECT_EQ(w12.ConfigMask[1], 0x3FFF);  // built-in mask kept below ConfigCount
    EXPECT_EQ(w12.ConfigMask[2], 0);
    const DeviceDefinition w16 = load("W16");
    EXPECT_EQ(w16.BlankWord, 0xFFFF);
    EXPECT_EQ(w16.ConfigMask[1], 0);   // written as 0: the word has no implemented bits
    EXPECT_EQ(w16.ConfigValue[1], 0);  // -1 takes the mask as read, before normalising
    EXPECT_EQ(w16.ConfigValue[2], 0x1234);
    // Each level normalises with its own ConfigCount: masks beyond the child's are cleared.
    const DeviceDefinition child = load("Child");
    EXPECT_EQ(child.ConfigMask[0], 0x00F0);
    EXPECT_EQ(child.ConfigValue[0], 0x3FFF);  // inherited, already resolved in the template
    EXPECT_EQ(child.ConfigMask[1], 0xFFFF);   // a template's 0 follows the general rule
    EXPECT_EQ(child.ConfigMask[2], 0);
    // A mask that is 0 only because no section gave one below ConfigCount (cleared beyond
    // the template's count, or only a comment) becomes BlankWord.
    const DeviceDefinition wide = load("Wide");
    EXPECT_EQ(wide.ConfigMask[1], 0x0F0F);
    EXPECT_EQ(wide.ConfigMask[2], 0xFFFF);
    EXPECT_EQ(wide.ConfigMask[3], 0xFFFF);
    const DeviceDefinition wider = load("Wider");
    EXPECT_EQ(wider.ConfigMask[1], 0);
    EXPECT_EQ(wider.ConfigMask[2], 0xFFFF);
}

TEST_F(CatalogueTest, ClampsValuesBeyondTheImageLimits) {
    writeDeviceIni(
        "[Big]\nIdCount=9\nConfigCount=11\nBitWidth=17\nProgSize=0x7FFFFFFF\nEpromSize=-5\n"
        "OscCal=0x7FFFFFFF\nVccType=-2\n"
        "[Small]\nBitWidth=0\nIdCount=-1\nConfigCount=-1\nProgSize=-1\nOscCal=0x3FF\n"
        "[Osc]\nProgSize=1024\nOscCal=0x3FF\n");
    const DeviceDefinition big = load("Big");
    EXPECT_EQ(big.IdCount, 8);
    EXPECT_EQ(big.ConfigCount, 10);
    EXPECT_EQ(big.BitWidth, 16);
    EXPECT_EQ(big.ProgSize, 0x100000);
    EXPECT_EQ(big.EpromSize, 0);
    EXPECT_EQ(big.OscCal, 0);
    EXPECT_EQ(big.VccType, 0);
    EXPECT_EQ(big.ConfigMask[9], 0x3FFF & big.BlankWord);
    const DeviceDefinition small = load("Small");
    EXPECT_EQ(small.BitWidth, 1);
    EXPECT_EQ(small.BlankWord, 1);
    EXPECT_EQ(small.IdCount, 0);
    EXPECT_EQ(small.ConfigCount, 0);
    EXPECT_EQ(small.ProgSize, 0);
    EXPECT_EQ(small.OscCal, 0);  // outside an empty program memory
    EXPECT_EQ(load("Osc").OscCal, 0x3FF);
}

// Every address key lies where the family's counter or table pointer can reach.
TEST_F(CatalogueTest, AddressesAreBoundedToWhatTheFamilyCanAddress) {
    writeDeviceIni(
        "[Mid]\nConfigBaseAdr=0x7FFFFFFE\nIdAdr=-2000000000\nResetVector=0x7FFFFFFF\n"
        "DeviceIDAdr=0x10000\n"
        "[Base]\nBitWidth=12\nAdrMask=0xFFFF\nIdAdr=0x7FFFFFFD\nConfigBaseAdr=0xFFF\nResetVector="
        "0xFFF\n"
        "[High]\nAlgorithm=1\nBitWidth=16\nIdAdr=0x7FFFFFFD\nConfigBaseAdr=0x300000\n"
        "DeviceIDAdr=-1\nResetVector=0x400000\n");
    const DeviceDefinition mid = load("Mid");
    EXPECT_EQ(mid.ConfigBaseAdr, 0x3FFF);
    EXPECT_EQ(mid.IdAdr, 0);
    EXPECT_EQ(mid.ResetVector, 0x3FFF);
    EXPECT_EQ(mid.DeviceIDAdr, 0x3FFF);
    const DeviceDefinition base = load("Base");
    EXPECT_EQ(base.IdAdr, 0xFFFF);  // a counter wider than 14 bits reaches further
    EXPECT_EQ(base.ConfigBaseAdr, 0xFFF);
    EXPECT_EQ(base.ResetVector, 0xFFF);
    const DeviceDefinition high = load("High");
    EXPECT_EQ(high.IdAdr, 0x3FFFFF);
    EXPECT_EQ(high.ConfigBaseAdr, 0x300000);
    EXPECT_EQ(high.DeviceIDAdr, 0);
    EXPECT_EQ(high.ResetVector, 0x3FFFFF);
}

// Algorithm 3 is the enhanced 14-bit core: word-addressed like the classic parts, its
// configuration space at 0x8000..0xFFFF, and its ID read with the 6-bit commands.
TEST_F(CatalogueTest, AlgorithmThreeIsTheEnhancedCore) {
    writeDeviceIni(
        "[Enhanced]\nAlgorithm=3\nIdAdr=0x8000\nConfigBaseAdr=0x8007\nDeviceIDAdr=0x8006\n"
        "ResetVector=0x10000\nDeviceID=0x27A0\nDeviceIDMask=0x3FE0\n"
        "[Eighteen]\nAlgorithm=2\nDeviceID=0x27A0\nDeviceIDMask=0x3FE0\n");
    const DeviceDefinition d = load("Enhanced");
    EXPECT_EQ(d.traits().family, DeviceFamily::EnhancedMidrange);
    EXPECT_FALSE(d.isExtendedFamily());
    EXPECT_TRUE(d.traits().wordAddressedHex);
    EXPECT_EQ(d.traits().hexLayout, "word-addressed");
    EXPECT_EQ(d.IdAdr, 0x8000);
    EXPECT_EQ(d.ConfigBaseAdr, 0x8007);
    EXPECT_EQ(d.DeviceIDAdr, 0x8006);
    EXPECT_EQ(d.ResetVector, 0xFFFF);
    for (const int32_t other : {-1, 1, 2, 4, 99})
        EXPECT_EQ(familyTraits(other).family, DeviceFamily::Pic18) << other;
    const auto list = catalogue.FillDeviceList();
    EXPECT_EQ(catalogue.LookupDeviceById(0x27A3, list, DeviceFamily::EnhancedMidrange), "Enhanced");
    EXPECT_EQ(catalogue.LookupDeviceById(0x27A3, list, DeviceFamily::Pic18), "Eighteen");
}

TEST_F(CatalogueTest, TextKeysKeepOrEmptyTheInheritedValue) {
    writeDeviceIni(
        "[T]\nOscCalFile=cal.hex\nDeviceEraseCmd=C1,C7\n"
        "[Keeps]\nDefault=T\n[Empties]\nDefault=T\nOscCalFile=\nDeviceEraseCmd=\n");
    EXPECT_EQ(load("Keeps").OscCalFile, "cal.hex");
    EXPECT_EQ(load("Keeps").DeviceEraseCmd, "C1,C7");
    EXPECT_EQ(load("Empties").OscCalFile, "");
    EXPECT_EQ(load("Empties").DeviceEraseCmd, "");
}

TEST_F(CatalogueTest, ReadDeviceKeyFollowsAliasAndDefault) {
    writeDeviceIni(
        "[D]\nAlias=R\n[R]\nDefault=T1\n[T1]\nDefault=T2\n[T2]\nDefault=T3\n"
        "[T3]\nDataShiftOut=0\nCommentOnly=;x\n[T2b]\n");
    EXPECT_EQ(catalogue.ReadDeviceKey("D", "DataShiftOut", sink), 0);
    EXPECT_EQ(catalogue.ReadDeviceKey("D", "dataSHIFTout", sink), 0);
    EXPECT_EQ(catalogue.ReadDeviceKey("D", "Nowhere", sink), -1);
    EXPECT_EQ(catalogue.ReadDeviceKey("D", "CommentOnly", sink), -1);
    EXPECT_EQ(catalogue.ReadDeviceKey("Unknown", "DataShiftOut", sink), -1);
    writeDeviceIni(chain(21, false));
    EXPECT_EQ(catalogue.ReadDeviceKey("S0", "ProgSize", sink), -1);
    EXPECT_EQ(sink.messages.size(), 1u);
}

TEST_F(CatalogueTest, DeviceListIsSortedWithoutRegardToCase) {
    writeDeviceIni("[pic16F84]\n[PIC12F675]\n[Template]\n[PIC16f628A]\n[abc]\n");
    EXPECT_EQ(catalogue.FillDeviceList(),
              (std::vector<std::string>{"abc", "PIC12F675", "PIC16f628A", "pic16F84", "Template"}));
}

TEST_F(CatalogueTest, LookupUsesOnlyEachSectionsOwnKeys) {
    writeDeviceIni(
        "[B]\nDeviceID=0x0560\nDeviceIDMask=0x3FE0\n"
        "[A]\nDeviceID=0x0560\nDeviceIDMask=0x3FE0\n"
        "[Inherited]\nDefault=A\n"
        "[NoMask]\nDeviceID=0x1230\n"
        "[ZeroMask]\nDeviceID=0x0FC0\nDeviceIDMask=0\n"
        "[AliasOwn]\nAlias=A\nDeviceID=0x2220\nDeviceIDMask=0xFFE0\n");
    const std::vector<std::string> list = catalogue.FillDeviceList();
    EXPECT_EQ(catalogue.LookupDeviceById(0x0563, list), "A");  // revision bits ignored
    EXPECT_EQ(catalogue.LookupDeviceById(0x123F, list), "NoMask");
    EXPECT_EQ(catalogue.LookupDeviceById(0x0FC0, list), "");
    EXPECT_EQ(catalogue.LookupDeviceById(0x2231, list), "AliasOwn");
    EXPECT_EQ(catalogue.LookupDeviceById(0, list), "");
    EXPECT_EQ(catalogue.LookupDeviceById(0x0560, {"Inherited"}), "");
}

TEST_F(CatalogueTest, SelectDeviceKeepsBuffersOfEqualSizeAndResetsConfiguration) {
    writeDeviceIni(
        "[A]\nProgSize=16\nEpromSize=4\nConfigValue1=0x1111\n"
        "[B]\nProgSize=16\nEpromSize=4\nConfigValue1=0x2222\n"
        "[C]\nProgSize=16\nEpromSize=8\n");
    Workspace workspace(mDir.path());
    workspace.SelectDevice("A", sink);
    ASSERT_EQ(workspace.image.ProgMemory.size(), 16u);
    workspace.image.ProgMemory[3] = 0x0123;
    workspace.image.DataMemory[1] = 0x45;
    workspace.SelectDevice("B", sink);
    EXPECT_EQ(workspace.image.ProgMemory[3], 0x0123);
    EXPECT_EQ(workspace.image.DataMemory[1], 0x45);
    EXPECT_EQ(workspace.image.ConfigWords[0], 0x2222);
    workspace.SelectDevice("C", sink);  // only the data size changes: both regions blank
    EXPECT_EQ(workspace.image.ProgMemory[3], 0x3FFF);
    EXPECT_EQ(workspace.image.DataMemory.size(), 8u);
    EXPECT_EQ(workspace.device.DeviceName, "C");
}

// The shipped device.ini: every section is a selectable device that loads without the
// nesting message and with values the memory image and the algorithms can use.
TEST(ShippedDeviceIni, EverySectionLoadsWithSaneValues) {
    DeviceCatalogue catalogue(test::sourceDir() + "/data");
    const auto list = catalogue.FillDeviceList();
    ASSERT_GE(list.size(), 100u);
    for (const auto& name : list) {
        SCOPED_TRACE(name);
        RecordingSink sink;
        ConfigFieldTable fields;
        DeviceDefinition device;
        catalogue.LoadSection(name, device, fields, sink);
        EXPECT_TRUE(sink.messages.empty());
        EXPECT_GT(device.ProgSize, 0);
        EXPECT_TRUE(device.BitWidth == 12 || device.BitWidth == 14 || device.BitWidth == 16);
        EXPECT_GE(device.ConfigCount, 1);
        EXPECT_FALSE(device.ConfigSetting.empty() && name != "PIC16C84");
        EXPECT_EQ(fields.count() > 0, !device.ConfigSetting.empty());
        for (int n = 0; n < device.ConfigCount; ++n) {
            // Only a word without implemented bits has the mask 0, and then no value.
            if (device.ConfigMask[n] == 0) {
                EXPECT_EQ(device.ConfigValue[n], 0);
            }
            EXPECT_EQ(device.ConfigValue[n] & ~0xFFFF, 0);
        }
        if (device.isExtendedFamily()) {
            EXPECT_EQ(device.BitWidth, 16);
            EXPECT_EQ(device.IdAdr, 0x200000);
            EXPECT_EQ(device.ConfigBaseAdr, 0x300000);
            EXPECT_EQ(device.DeviceIDAdr, 0x3FFFFE);
            EXPECT_GT(device.PanelSize, 0);
            EXPECT_EQ(device.ProgSize % device.PanelSize, 0);
            EXPECT_EQ(device.PanelSize % device.LoadCnt, 0);
        } else if (device.traits().family == DeviceFamily::EnhancedMidrange) {
            EXPECT_EQ(device.IdAdr, 0x8000);
            EXPECT_EQ(device.ConfigBaseAdr, 0x8007);
            EXPECT_EQ(device.DeviceIDAdr, 0x8006);
            EXPECT_GT(device.LoadCnt, 0);
            EXPECT_EQ(device.ProgSize % device.LoadCnt, 0);
            // The LVP bit device.ini names is gputils' LVP field of the chip, ON when set.
            EXPECT_TRUE(device.allowsLowVoltageEntry());
            bool lvpField = false;
            for (int i = 0; i < fields.count(); ++i) {
                const ConfigField& field = fields.row(i);
                if (field.label != "LVP")
                    continue;
                lvpField = true;
                EXPECT_EQ(field.word, device.LvpWord);
                EXPECT_EQ(field.mask, device.LvpMask);
                ASSERT_EQ(field.optionNames.size(), 2u);
                EXPECT_EQ(field.optionNames[1], "ON");
                EXPECT_EQ(ParseIniNumber(field.optionValues[1], 0), device.LvpMask);
            }
            EXPECT_TRUE(lvpField);
        } else if (device.BitWidth == 12) {
            EXPECT_EQ(device.IdAdr, device.ProgSize);
            EXPECT_EQ(device.ResetVector, device.ConfigBaseAdr);
        } else {
            EXPECT_EQ(device.IdAdr, 0x2000);
            EXPECT_EQ(device.ConfigBaseAdr, 0x2007);
        }
        if (device.DeviceID != 0) {
            // The lookup reads only the section's own keys, so a chip of any revision is
            // found only when the section itself carries the mask it inherits.
            const auto revised = static_cast<uint16_t>(device.DeviceID | ~device.DeviceIDMask);
            EXPECT_EQ(catalogue.LookupDeviceById(device.DeviceID, {name}), name);
            EXPECT_EQ(catalogue.LookupDeviceById(revised, {name}), name);
        }
    }
}

// PIC18 device IDs fall under 14-bit masks: a PIC18F4520 (0x1080, revision 3) is the
// PIC16F684's ID as well. Told the family the word was read with, the look-up names the
// chip's own kind.
TEST(ShippedDeviceIni, LookupByIdStaysInTheFamilyTheIdWasReadWith) {
    DeviceCatalogue catalogue(test::sourceDir() + "/data");
    const auto list = catalogue.FillDeviceList();
    EXPECT_EQ(catalogue.LookupDeviceById(0x1083, list), "PIC16F684");
    EXPECT_EQ(catalogue.LookupDeviceById(0x1083, list, DeviceFamily::Pic18), "PIC18F4520");
    EXPECT_EQ(catalogue.LookupDeviceById(0x1083, list, DeviceFamily::Midrange), "PIC16F684");
    EXPECT_EQ(catalogue.LookupDeviceById(0x0FC0, list, DeviceFamily::Pic18), "");
    EXPECT_EQ(catalogue.LookupDeviceById(0x0FC0, list, DeviceFamily::Midrange), "PIC12F675");
}

TEST(ShippedDeviceIni, KnownDevicesHaveTheirDocumentedValues) {
    DeviceCatalogue catalogue(test::sourceDir() + "/data");
    SilentMessageSink sink;
    ConfigFieldTable fields;
    DeviceDefinition d;
    catalogue.LoadSection("PIC12F675", d, fields, sink);
    EXPECT_EQ(d.ProgSize, 1024);
    EXPECT_EQ(d.EpromSize, 128);
    EXPECT_EQ(d.OscCal, 0x3FF);
    EXPECT_EQ(d.BGMask, 0x3000);
    EXPECT_EQ(d.ConfigMask[0], 0x01FF);
    EXPECT_EQ(d.DeviceID, 0x0FC0);
    catalogue.LoadSection("PIC16F84A", d, fields, sink);
    EXPECT_EQ(d.ProgSize, 1024);
    EXPECT_EQ(d.EpromSize, 64);
    EXPECT_EQ(d.DeviceID, 0x0560);
    catalogue.LoadSection("PIC16F877A", d, fields, sink);
    EXPECT_EQ(d.ProgSize, 8192);
    EXPECT_EQ(d.LoadCnt, 8);
    EXPECT_EQ(d.DeviceIDMask, 0x3FF0);
    catalogue.LoadSection("PIC12F508", d, fields, sink);
    EXPECT_EQ(d.BlankWord, 0x0FFF);
    EXPECT_EQ(d.OscCal, 0x1FF);
    EXPECT_EQ(d.ResetVector, 0xFFF);
    catalogue.LoadSection("PIC18F4520", d, fields, sink);
    EXPECT_EQ(d.Algorithm, 2);
    EXPECT_EQ(d.ProgSize, 16384);
    EXPECT_EQ(d.ConfigCount, 7);
    EXPECT_EQ(d.DeviceID, 0x1080);
    catalogue.LoadSection("PIC18F452", d, fields, sink);
    EXPECT_EQ(d.Algorithm, 1);
    EXPECT_EQ(d.LoadCnt, 4);
}

}  // namespace
}  // namespace velkaro
