#pragma once

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
// Prefix of the firmware line of the About window.
inline constexpr std::string_view kFirmwareVersionPrefix = "ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝ ";

}  // namespace velkaro
