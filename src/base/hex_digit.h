#pragma once

#include <array>
#include <cstdint>

namespace velkaro {

namespace detail {

// Digit values by byte, -1 for every byte that is no hexadecimal digit. A table: the HEX
// reader asks once per character of every record.
inline constexpr std::array<int8_t, 256> kHexDigitValues = [] {
    std::array<int8_t, 256> table{};
    table.fill(-1);
    for (int c = 0; c < 10; ++c)
        table['0' + c] = static_cast<int8_t>(c);
    for (int c = 0; c < 6; ++c) {
        table['A' + c] = static_cast<int8_t>(10 + c);
        table['a' + c] = static_cast<int8_t>(10 + c);
    }
    return table;
}();

}  // namespace detail

// The value 0..15 of the hexadecimal digit `c` (either case, ASCII only), -1 for any other
// character.
inline int hexDigit(char c) {
    return detail::kHexDigitValues[static_cast<unsigned char>(c)];
}

}  // namespace velkaro
