#pragma once

#include <cstdint>
#include <string_view>

#include "link/programmer_link.h"

namespace velkaro {

// Deepest nesting level of an L group that still runs.
inline constexpr int kDeviceEraseCmdMaxLevel = 20;
// Tokens and loop turns one string may run: far beyond a walk over the largest program
// memory, far below what would keep the program busy for hours (nested loops multiply).
inline constexpr int64_t kDeviceEraseCmdMaxSteps = int64_t{1} << 22;

// Interprets a device's erase command string on an open link (it neither opens nor closes
// it). Comma-separated tokens, letters in either case: C<hex> sends a 6-bit command, D<hex>
// a data word, W<decimal> sleeps n + 10 ms on the link clock's real sleep, L<n>(list) runs
// the list n times one level deeper; any other letter is read and ignored, as is a C or D
// whose argument holds no hexadecimal digit. Returns false when the list stopped at a syntax
// error (an L without "(" or a group without its ")", tokens before it already sent), when
// `level` is above kDeviceEraseCmdMaxLevel (nothing sent) or when the string stopped after
// kDeviceEraseCmdMaxSteps tokens and loop turns; true otherwise. A failing group does not
// stop the list around it.
bool runDeviceEraseCmd(ProgrammerLink& link, std::string_view command, int level);

}  // namespace velkaro
