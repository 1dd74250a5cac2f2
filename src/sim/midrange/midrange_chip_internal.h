// The text form of numbers the MidrangeChip source files share.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace velkaro::sim {

inline std::string hexText(uint32_t value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", width, value);
    return buffer;
}

}  // namespace velkaro::sim
