#include "catalogue/device_details.h"

#include <map>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

std::map<std::string, std::string> panels(const DeviceDefinition& device) {
    std::map<std::string, std::string> result;
    for (const DeviceDetailRow& row : deviceDetailRows(device))
        result[row.panel] = row.value;
    return result;
}

TEST(DeviceDetails, PanelsShowUnitsPaddedHexAndDashesForZero) {
    DeviceDefinition d;
    d.BitWidth = 12;
    d.IdAdr = 0x200000;
    d.ConfigBaseAdr = 0x300000;
    d.BulkEraseCycle = 0;
    d.RetryCnt = 0;
    d.OscCal = 0x3FF;
    d.BGMask = 0;
    d.ExtFlag1 = 0x1A;
    d.FlashType = true;
    d.Package = -8;
    const auto p = panels(d);
    EXPECT_EQ(p.size(), 28u);
    EXPECT_EQ(p.at("VppVoltage"), "13.0V (12.0～13.5V)");
    EXPECT_EQ(p.at("EntryModes"), "高電圧");
    // The key entry needs the enhanced core and its LVP bit.
    d.LvpWord = 2;
    d.LvpMask = 0x2000;
    d.ConfigCount = 2;
    EXPECT_EQ(panels(d).at("EntryModes"), "高電圧");
    d.Algorithm = 3;
    EXPECT_EQ(panels(d).at("EntryModes"), "高電圧 / 低電圧(LVP)");
    EXPECT_EQ(p.at("BitWidth"), "12ﾋﾞｯﾄ");
    EXPECT_EQ(p.at("IdAdr"), "200000h");
    EXPECT_EQ(p.at("ConfigBaseAdr"), "300000h");
    EXPECT_EQ(p.at("Package"), "-8ﾋﾟﾝ");
    EXPECT_EQ(p.at("BulkEraseCycle"), "-");
    EXPECT_EQ(p.at("EraseProgCycle"), "20ms");
    EXPECT_EQ(p.at("RetryCnt"), "0");
    EXPECT_EQ(p.at("OscCal"), "03FFh");
    EXPECT_EQ(p.at("BGMask"), "-");
    EXPECT_EQ(p.at("ExtFlag1"), "001Ah");
    EXPECT_EQ(p.at("FlashType"), "ﾌﾗｯｼｭ");
    EXPECT_EQ(p.at("AdrMask"), "003FFFh");
    EXPECT_EQ(commandCodeText(0), "-");
    EXPECT_EQ(commandCodeText(0x0E), "0Eh");
    EXPECT_EQ(commandCodeText(0x123), "123h");  // longer values in full
}

TEST(DeviceDetails, ConfigAddressStepsAndBitCaptions) {
    DeviceDefinition midrange;
    EXPECT_EQ(configWordAddressText(midrange, 1), "Config(002007h)");
    EXPECT_EQ(configWordAddressText(midrange, 0), "Config(002006h)");
    DeviceDefinition pic18;
    pic18.Algorithm = 1;
    pic18.ConfigBaseAdr = 0x300000;
    EXPECT_EQ(configWordAddressText(pic18, 3), "Config(300004h)");

    // Value bits outside the mask show "-".
    EXPECT_EQ(configBitText(0x0003, 0x0006, 0), "0");
    EXPECT_EQ(configBitText(0x0003, 0x0006, 1), "1");
    EXPECT_EQ(configBitText(0x0003, 0x0006, 2), "-");
}

}  // namespace
}  // namespace velkaro
