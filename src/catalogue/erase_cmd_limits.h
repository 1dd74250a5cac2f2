#pragma once

#include <cstdint>

namespace velkaro {

// Longest single wait (W token) of a device's DeviceEraseCmd; longer ones are cut to it, and
// the device linter reports them.
inline constexpr uint32_t kMaxEraseCmdWaitMs = 60'000;
// Deepest nesting of L groups that still runs (the outermost list is level 0); a deeper
// group is skipped, and the device linter reports it.
inline constexpr int kMaxEraseCmdLevel = 20;

}  // namespace velkaro
