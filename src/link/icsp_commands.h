#pragma once

// The command codes of both ICSP families, in one place for the link and the operations.

#include <cstdint>

namespace velkaro {

// 6-bit commands of the 12/14-bit cores (a data word follows the load commands).
inline constexpr int kCmdLoadConfig = 0;
inline constexpr int kCmdBulkEraseSetup1 = 1;
inline constexpr int kCmdLoadData = 2;
inline constexpr int kCmdLoadDataMemory = 3;
inline constexpr int kCmdReadData = 4;
inline constexpr int kCmdReadDataMemory = 5;
inline constexpr int kCmdIncrementAddress = 6;
inline constexpr int kCmdBulkEraseSetup2 = 7;
inline constexpr int kCmdBeginEraseProgram = 8;
inline constexpr int kCmdBulkEraseProgram = 9;
inline constexpr int kCmdBulkEraseData = 0x0B;
inline constexpr int kCmdChipErase = 0x1F;

// 4-bit commands of the 16-bit core.
inline constexpr int kCmdCoreInstruction = 0;
inline constexpr int kCmdShiftOutTablat = 2;
inline constexpr int kCmdTableReadPostIncrement = 9;
inline constexpr int kCmdTableWrite = 12;
inline constexpr int kCmdTableWritePostIncrement = 13;
inline constexpr int kCmdTableWriteStartProgramming = 15;

// A device.ini wait in milliseconds as a delay. Waits are never negative once a device is
// loaded; should one slip through, it must not turn into a wait of weeks.
inline uint32_t waitMs(int32_t ms) {
    return ms < 0 ? 0 : static_cast<uint32_t>(ms);
}

}  // namespace velkaro
