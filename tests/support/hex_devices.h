#pragma once

#include "catalogue/device_definition.h"
#include "image/memory_image.h"

namespace velkaro::test {

// A 14-bit core device of the word-addressed layout: 1024 program words, four ID words at
// 0x2000, one configuration word at 0x2007 (mask 0x3FFF), 64 data bytes.
DeviceDefinition midrangeDevice();

// An enhanced 14-bit core device (word-addressed, configuration space at 0x8000): 4096
// program words, four ID words at 0x8000, two configuration words at 0x8007, 256 data bytes.
DeviceDefinition enhancedMidrangeDevice();

// A 16-bit core device of the byte-addressed layout: `progWords` program words, eight ID
// bytes at 0x200000, seven configuration words at 0x300000, 256 data bytes.
DeviceDefinition pic18Device(int progWords = 16384);

// A blank image shaped for `device`.
MemoryImage blankImage(const DeviceDefinition& device);

}  // namespace velkaro::test
