#include "catalogue/device_details.h"

#include <charconv>
#include <cstdio>

namespace velkaro {

namespace {

std::string decimal(int64_t n, const char* unit = "") {
    return std::to_string(n) + unit;
}

// Upper-case hexadecimal with at least `digits` digits and an "h".
std::string hex(int64_t n, int digits) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*llXh", digits,
                  static_cast<unsigned long long>(static_cast<uint32_t>(n)));
    return text;
}

// The programming voltage and the range the device's chips accept: "13.0V (12.0～13.5V)".
std::string vppText(const DeviceDefinition& d) {
    // One or two decimals (13.0, 13.25), always with a point, whatever the locale.
    auto volts = [](double v) {
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 2);
        std::string shown(text, end.ptr);
        if (shown.size() > 3 && shown.back() == '0')
            shown.pop_back();
        return shown;
    };
    return volts(d.VppVoltage) + "V (" + volts(d.vppMin()) + "～" + volts(d.vppMax()) + "V)";
}

// How the chip can be brought into programming mode: "高電圧", "高電圧 / 低電圧(LVP)".
std::string entryText(const DeviceDefinition& d) {
    return d.allowsLowVoltageEntry() ? "高電圧 / 低電圧(LVP)" : "高電圧";
}

std::string cycle(int32_t ms) {
    return ms == 0 ? "-" : decimal(ms, "ms");
}

std::string hexOrDash(int64_t n, int digits) {
    return n == 0 ? "-" : hex(n, digits);
}

}  // namespace

const std::array<CommandSetBox, 12> kCommandSetBoxes{{
    {"cmLoadConfig", "LoadConfig"},
    {"cmLoadData", "LoadData"},
    {"cmReadData", "ReadData"},
    {"cmIncrementAddress", "IncrementAdress"},
    {"cmBeginProgram", "EraseProgram"},
    {"cmBulkErasePrg", "BulkEraseProgram"},
    {"cmBulkEraseDat", "BulkEraseData"},
    {"cmChipErase", "ChipErase"},
    {"cmLoadEData", "LoadDataMemory"},
    {"cmReadEData", "ReadDataMemory"},
    {"cmBulkEraseSetup1", "BulkEraseSetup1"},
    {"cmBulkEraseSetup2", "BulkEraseSetup2"},
}};

std::vector<DeviceDetailRow> deviceDetailRows(const DeviceDefinition& d) {
    return {
        {"ビット幅", "BitWidth", decimal(d.BitWidth, "ﾋﾞｯﾄ")},
        {"プログラムメモリ", "ProgSize", decimal(d.ProgSize, "ﾜｰﾄﾞ")},
        {"IDアドレス", "IdAdr", hex(d.IdAdr, 6)},
        {"Configアドレス", "ConfigBaseAdr", hex(d.ConfigBaseAdr, 6)},
        {"パッケージ", "Package", decimal(d.Package, "ﾋﾟﾝ")},
        {"データメモリ", "EpromSize", decimal(d.EpromSize, "ﾊﾞｲﾄ")},
        {"ID数", "IdCount", decimal(d.IdCount)},
        {"Config数", "ConfigCount", decimal(d.ConfigCount)},
        {"VCCタイプ", "VccType", decimal(d.VccType)},
        {"VPPタイプ", "VppType", decimal(d.VppType)},
        {"書込電圧", "VppVoltage", vppText(d)},
        {"書込方式", "EntryModes", entryText(d)},
        {"ポジション", "LEDPos", decimal(d.Position)},
        {"メモリタイプ", "FlashType", d.FlashType ? "ﾌﾗｯｼｭ" : "OTP"},
        {"バルク消去時間", "BulkEraseCycle", cycle(d.BulkEraseCycle)},
        {"消去書込時間", "EraseProgCycle", cycle(d.EraseProgCycle)},
        {"データ消去書込時間", "DataEraseProgCycle", cycle(d.DataEraseProgCycle)},
        {"チップ消去時間", "ChipEraseCycle", cycle(d.ChipEraseCycle)},
        {"プログラム書込時間", "ProgOnlyCycle", cycle(d.ProgOnlyCycle)},
        {"データ書込時間", "DataProgOnlyCycle", cycle(d.DataProgOnlyCycle)},
        {"書込リトライ数", "RetryCnt", decimal(d.RetryCnt)},
        {"プログラム回数", "ProgCnt", decimal(d.ProgCnt)},
        {"OSCCAL", "OscCal", hexOrDash(d.OscCal, 4)},
        {"BGマスク", "BGMask", hexOrDash(d.BGMask, 4)},
        {"リセットベクタ", "ResetVector", hex(d.ResetVector, 6)},
        {"アドレスマスク", "AdrMask", hex(d.AdrMask, 6)},
        {"拡張フラグ1", "ExtFlag1", hex(d.ExtFlag1, 4)},
        {"拡張フラグ2", "ExtFlag2", hex(d.ExtFlag2, 4)},
    };
}

std::string commandCodeText(uint16_t code) {
    return hexOrDash(code, 2);
}

std::string configWordAddressText(const DeviceDefinition& device, int32_t wordNumber) {
    const int64_t step = device.traits().configAddressStep;
    const int64_t address = device.ConfigBaseAdr + (int64_t{wordNumber} - 1) * step;
    char text[32];
    std::snprintf(text, sizeof text, "Config(%06llXh)",
                  static_cast<unsigned long long>(static_cast<uint32_t>(address)));
    return text;
}

std::string configBitText(uint16_t mask, int32_t value, int bit) {
    if ((mask >> bit & 1) == 0)
        return "-";
    return (value >> bit & 1) != 0 ? "1" : "0";
}

}  // namespace velkaro
