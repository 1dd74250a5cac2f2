#pragma once

// The programmer commands of the "VKR-20 PRO" (SSendCmd codes), in one place for the link,
// the operations, the simulator and the serial backend.

#include <cstdint>

namespace velkaro {

inline constexpr int32_t kCmdFirmwareDate = 100;
inline constexpr int32_t kBlockTestStart16Bit = 102;  // selects the 16-bit block test
inline constexpr int32_t kBlockTest14Bit = 104;
inline constexpr int32_t kBlockTestOtherWidth = 106;
inline constexpr int32_t kBlockTest16Bit = 109;
inline constexpr int32_t kBlockTestEnd = 113;
inline constexpr int32_t kCmdVppHigh = 114;  // VPP above 12 V
inline constexpr int32_t kCmdVppLow = 115;
inline constexpr int32_t kCmdVpp8V5 = 116;  // VPP 8.5 V, for the chips whose VIHH is 9 V at most
// The session enters programming mode by the low-voltage key: VPP stays off and the power
// check asks for VDD alone, until the target is switched off.
inline constexpr int32_t kCmdLowVoltageEntry = 117;
inline constexpr int32_t kCmdFirmwareVersion = 118;
inline constexpr int32_t kCmdPrepareFastCheck = 119;

}  // namespace velkaro
