#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "catalogue/device_definition.h"

namespace velkaro {

// The single edit buffer: what is written to a chip, what a chip is read into, what a
// verify compares and what HEX files load and save. Its shape comes from the current
// DeviceDefinition; an empty vector stands for "no array" (ProgSize or EpromSize 0).
struct MemoryImage {
    std::vector<uint16_t> ProgMemory;  // ProgSize words, blank = BlankWord
    std::vector<uint8_t> DataMemory;   // EpromSize bytes, blank = 0xFF
    std::array<uint16_t, DeviceDefinition::kMaxIdWords> IdWords{};
    std::array<uint16_t, DeviceDefinition::kMaxConfigWords> ConfigWords{};
    uint16_t OscCalValue = 0;
    uint16_t BGValue = 0;

    // Resets to blank: configuration words always from ConfigValue1..10 (low 16 bits),
    // OSCCAL and BG always 0; with `program` every program word and the first IdCount ID
    // words become BlankWord; with `data` every data byte becomes 0xFF.
    void ClearImage(const DeviceDefinition& device, bool program, bool data);

    // After a device selection: reallocates the arrays whose size differs from
    // `device`, then clears; a change of either size blanks both regions, otherwise only
    // configuration, OSCCAL and BG are reset.
    void ResizeImage(const DeviceDefinition& device);

    bool operator==(const MemoryImage&) const = default;
};

}  // namespace velkaro
