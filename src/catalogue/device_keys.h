#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/device_definition.h"

namespace velkaro {

// How a device.ini key is read.
enum class DeviceKeyKind {
    Integer,   // decimal or 0x hexadecimal, 32 bits
    Word,      // the same, kept as its low 16 bits
    Flag,      // a number; anything but 0 is true
    Real,      // a decimal floating-point number
    Text,      // the value as written
    Link,      // Alias, Default: another section's name, followed by the loader
    OnDemand,  // known, read by the operation that needs it (DataShiftOut)
    Derived,   // not in the file: worked out by the loader and shown by `info`
};

// One key of a device section: its name, the DeviceDefinition field it sets, the range
// the loader keeps it in, and how `velkaro-cli info` shows it. The loader, the linter and
// `info` all work from the one table of these.
struct DeviceKey {
    std::string name;
    DeviceKeyKind kind = DeviceKeyKind::Integer;
    // The field: a member, or element `index` of one of the per-word arrays.
    int32_t DeviceDefinition::*integer = nullptr;
    uint16_t DeviceDefinition::*word = nullptr;
    bool DeviceDefinition::*flag = nullptr;
    double DeviceDefinition::*real = nullptr;
    std::string DeviceDefinition::*text = nullptr;
    std::array<int32_t, DeviceDefinition::kMaxConfigWords> DeviceDefinition::*integers = nullptr;
    std::array<uint16_t, DeviceDefinition::kMaxConfigWords> DeviceDefinition::*words = nullptr;
    int index = 0;
    // An Integer the loader clamps to low..high once a level's keys are read.
    bool clamped = false;
    int32_t low = 0;
    int32_t high = 0;
    // `info` shows the number in hexadecimal with at least this many digits; 0: decimal.
    int hexDigits = 0;
    // Comment: taken from the selected section alone, never inherited.
    bool ownSectionOnly = false;

    // The field in `d` for Integer keys (and the derived integers), else nullptr.
    int32_t* integerIn(DeviceDefinition& d) const;
    const int32_t* integerIn(const DeviceDefinition& d) const;
    // The field in `d` for Word keys (and the derived BlankWord), else nullptr.
    uint16_t* wordIn(DeviceDefinition& d) const;
    const uint16_t* wordIn(const DeviceDefinition& d) const;
};

// Every key of a device section and the derived values `info` shows, in the order `info`
// lists them.
const std::vector<DeviceKey>& deviceKeys();

// The key named `name` (any letter case) that a device section may hold, or nullptr: a
// derived value is no key of the file.
const DeviceKey* findDeviceKey(std::string_view name);

}  // namespace velkaro
