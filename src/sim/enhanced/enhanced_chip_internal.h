// Constants and the number text the EnhancedChip source files share.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace velkaro::sim::enhanced {

constexpr uint16_t kBlank = 0x3FFF;
constexpr uint32_t kConfigBase = 0x8000;
constexpr uint32_t kConfigWords = 32;  // 0x8000..0x801F are modelled; above reads 0
constexpr uint32_t kRevisionAddr = 0x8005;
constexpr uint32_t kDeviceIdAddr = 0x8006;
constexpr uint32_t kConfigWordAddr = 0x8007;
constexpr uint16_t kCp = 0x0080;     // configuration word 1: program memory unprotected while 1
constexpr uint16_t kMclre = 0x0040;  // configuration word 1: MCLR pin is MCLR
constexpr uint16_t kLvp = 0x2000;    // configuration word 2: low-voltage programming enabled

inline std::string hexText(uint32_t value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", width, value);
    return buffer;
}

}  // namespace velkaro::sim::enhanced
