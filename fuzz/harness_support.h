#pragma once

#include <algorithm>
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

// Reads an input front to back; past its end every byte reads as 0.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : mData(data), mSize(size) {}
    bool empty() const { return mAt >= mSize; }
    uint8_t byte() { return mAt < mSize ? mData[mAt++] : 0; }
    uint16_t word() {
        const uint8_t low = byte();
        return static_cast<uint16_t>(low | byte() << 8);
    }
    // Up to `n` bytes (fewer at the end of the input).
    std::vector<uint8_t> bytes(size_t n) {
        n = std::min(n, mSize - std::min(mAt, mSize));
        std::vector<uint8_t> out(mData + mAt, mData + mAt + n);
        mAt += n;
        return out;
    }

private:
    const uint8_t* mData;
    size_t mSize;
    size_t mAt = 0;
};

// Stops the run with `what` on stderr: libFuzzer records the input as a crash.
[[noreturn]] void fail(const std::string& what);

// The devices of the shipped device.ini beside the harness (one per memory layout the
// readers and writers distinguish).
const std::vector<DeviceDefinition>& sampleDevices();

// A private folder for the run, created once; files written there are the harness's own.
const std::string& scratchDir();
void writeFile(const std::string& path, std::string_view contents);

}  // namespace velkaro::fuzz
