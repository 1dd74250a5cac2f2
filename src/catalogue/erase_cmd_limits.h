#pragma once

#include <cstdint>

namespace velkaro {

// Longest single wait (W token) of a device's DeviceEraseCmd; longer ones are cut to it, and
// the device linter reports them.
inline constexpr uint32_t kMaxEraseCmdWaitMs = 60'000;

}  // namespace velkaro
