#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velkaro {

// Longest single wait (W token) of a device's DeviceEraseCmd; longer ones are cut to it, and
// the device linter reports them.
inline constexpr uint32_t kMaxEraseCmdWaitMs = 60'000;
// Deepest nesting of L groups that still runs (the outermost list is level 0); a deeper
// group is skipped, and the device linter reports it.
inline constexpr int kMaxEraseCmdLevel = 20;

// The index in `body` of the ")" that closes an L group whose "(" stood just before `body`,
// counting the groups nested in it; npos when the group is not closed. The runner and the
// linter read groups alike through it.
inline size_t eraseCmdGroupEnd(std::string_view body) {
    int depth = 1;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '(')
            ++depth;
        else if (body[i] == ')' && --depth == 0)
            return i;
    }
    return std::string_view::npos;
}

}  // namespace velkaro
