// The EECON1 bits and the address text the Pic18Chip source files share.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace velkaro::sim {

// EECON1 bits.
constexpr uint8_t kRd = 0x01;
constexpr uint8_t kWr = 0x02;
constexpr uint8_t kWren = 0x04;
constexpr uint8_t kCfgs = 0x40;
constexpr uint8_t kEepgd = 0x80;

inline std::string hex6(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(value));
    return text;
}

}  // namespace velkaro::sim
