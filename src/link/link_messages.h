#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace velkaro {

// The link's own texts, shown through OperationUi (UTF-8).
inline constexpr std::string_view kMsgProgrammerUnavailable =
    "Velkaroが使用できません。接続を確認してください。";
inline constexpr std::string_view kMsgNoTargetPower =
    "Velkaroの電源が入りません。ハードウェアを確認してください。";
inline constexpr std::string_view kMsgProgramMemoryError =
    "プログラムメモリでエラーが発生しました。";
inline constexpr std::string_view kMsgDataMemoryError = "データメモリでエラーが発生しました。";
inline constexpr std::string_view kMsgConfigMemoryError =
    "コンフィグメモリでエラーが発生しました。";
inline constexpr std::string_view kMsgHardwareError = "ハードウェアのエラーが発生しました。";
// The device accepts VPP from `vppMin` to `vppMax` volts and `programmer` has no level
// within: "このデバイスの書込電圧(8.0～9.0V)をVKR-20 JDMでは出せません。"
inline std::string vppUnavailableMessage(double vppMin, double vppMax,
                                         std::string_view programmer) {
    char range[64];
    std::snprintf(range, sizeof range, "%.1f～%.1fV", vppMin, vppMax);
    std::string text = "このデバイスの書込電圧(";
    text += range;
    text += ")を";
    text += programmer;
    text += "では出せません。";
    return text;
}
// Low-voltage entry was asked for a device whose chips take only VPP.
inline constexpr std::string_view kMsgLowVoltageUnavailable =
    "このデバイスは低電圧(LVP)ではプログラミングモードにできません。高電圧を使ってください。";
// Prefix of the firmware line of the About window.
inline constexpr std::string_view kFirmwareVersionPrefix = "ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝ ";

}  // namespace velkaro
