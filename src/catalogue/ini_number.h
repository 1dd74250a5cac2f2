#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velkaro {

// Drops everything from the first ";" and trims characters with codes 0..32 at both ends.
std::string StripIniComment(std::string_view text);

// The one rule for integer values of device.ini and Config.ini: comment stripped, empty
// gives `defaultValue`; "0x" (lower-case x) reads hexadecimal digits up to the first other
// character as an unsigned 32-bit number; anything else reads an optional sign and decimal
// digits (no digits give 0). Arithmetic wraps at 32 bits. "0x" without a hexadecimal digit
// gives `defaultValue`, like an empty value.
int32_t ParseIniNumber(std::string_view text, int32_t defaultValue);

}  // namespace velkaro
