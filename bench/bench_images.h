#pragma once

#include <cstdint>
#include <string>

#include "catalogue/device_definition.h"
#include "image/memory_image.h"

namespace velkaro::bench {

// A PIC18-layout device with 128 KiB of program memory, and a full 16F877A layout; both
// match the sections of bench/device.ini.
DeviceDefinition pic18Device128k();
DeviceDefinition pic16f877aDevice();

// An image of `device` with every word and byte set from a fixed pseudo-random sequence.
MemoryImage filledImage(const DeviceDefinition& device, uint32_t seed);

// The image as a HEX file in address order, the way toolchains write it: 16 data bytes a
// record, extended linear address records at each 64 KiB boundary (byte-addressed layout).
std::string orderedHex(const DeviceDefinition& device, const MemoryImage& image);

// The same records, shuffled within each extended linear address block.
std::string shuffledHex(const std::string& ordered, uint32_t seed);

}  // namespace velkaro::bench
