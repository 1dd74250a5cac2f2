#pragma once

#include <cstdint>
#include <string_view>

#include "catalogue/erase_cmd_limits.h"
#include "link/programmer_link.h"

namespace velkaro {

// Deepest nesting level of an L group that still runs.
inline constexpr int kDeviceEraseCmdMaxLevel = kMaxEraseCmdLevel;
// Tokens and loop turns one string may run: far beyond a walk over the largest program
// memory, far below what would keep the program busy for hours (nested loops multiply).
inline constexpr int64_t kDeviceEraseCmdMaxSteps = int64_t{1} << 22;
// Longest single wait (W token), and the most one string may wait in all: a typo such as
// W86400000 or a loop around a wait would otherwise keep the program asleep for days with
// no way to stop it. Real strings wait a few tens of milliseconds.
inline constexpr uint32_t kDeviceEraseCmdMaxWaitMs = kMaxEraseCmdWaitMs;
inline constexpr uint64_t kDeviceEraseCmdMaxTotalWaitMs = 10 * 60'000;

// Interprets a device's erase command string on an open link (it neither opens nor closes
// it). Comma-separated tokens, letters in either case: C<hex> sends a 6-bit command, D<hex>
// a data word, W<decimal> sleeps n + 10 ms on the link clock's real sleep (at most
// kDeviceEraseCmdMaxWaitMs), L<n>(list) runs
// the list n times one level deeper; any other letter is read and ignored, as is a C or D
// whose argument holds no hexadecimal digit. Returns false when the list stopped at a syntax
// error (an L without "(" or a group without its ")", tokens before it already sent), when
// `level` is above kDeviceEraseCmdMaxLevel (nothing sent) or when the string stopped after
// kDeviceEraseCmdMaxSteps tokens and loop turns or before a wait that would take its waits
// beyond kDeviceEraseCmdMaxTotalWaitMs; true otherwise. A failing group does not
// stop the list around it.
bool runDeviceEraseCmd(ProgrammerLink& link, std::string_view command, int level);

}  // namespace velkaro
