#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/device_definition.h"

namespace velkaro::fuzz {

// The input as text.
inline std::string_view textOf(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Stops the run with `what` on stderr: libFuzzer records the input as a crash.
[[noreturn]] void fail(const std::string& what);

// The devices of the shipped device.ini beside the harness (one per memory layout the
// readers and writers distinguish).
const std::vector<DeviceDefinition>& sampleDevices();

// A private folder for the run, created once; files written there are the harness's own.
const std::string& scratchDir();
void writeFile(const std::string& path, std::string_view contents);

}  // namespace velkaro::fuzz
