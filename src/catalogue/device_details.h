#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/device_definition.h"

namespace velkaro {

// The texts of the device details window, kept apart from the window so that they can be
// checked without one.

// One row of the device-information group: fixed label, the name of its value panel, and
// the value as the panel shows it.
struct DeviceDetailRow {
    std::string label;
    std::string panel;
    std::string value;
};

std::vector<DeviceDetailRow> deviceDetailRows(const DeviceDefinition& device);

// The command-set check boxes in bit order: box name and caption.
struct CommandSetBox {
    const char* name;
    const char* caption;
};
extern const std::array<CommandSetBox, 12> kCommandSetBoxes;

// "ProgOnlyCmd" / "EndProgCmd": two hexadecimal digits and "h", or "-" for 0.
std::string commandCodeText(uint16_t code);

// "Config(%06Xh)" of configuration word `wordNumber` (1-based; 0 gives one step below the
// base address), two bytes a word in the byte-addressed family.
std::string configWordAddressText(const DeviceDefinition& device, int32_t wordNumber);

// The caption of the bit panel of bit `bit`: "1"/"0" from `value` where `mask` has the bit,
// "-" elsewhere.
std::string configBitText(uint16_t mask, int32_t value, int bit);

}  // namespace velkaro
