#pragma once

// A chip that did not enter programming mode (its own program runs because VDD came up
// before VPP, or nothing drives the data line) answers every read with all ones or all
// zeros, and would then look blank, verified or read. Its device-ID word can be neither,
// so every phase that reads the chip checks that word before it reports success.

#include <cstdint>

#include "catalogue/device_definition.h"
#include "link/programmer_link.h"
#include "link/result_code.h"

namespace velkaro::ops {

// Whether the device has a device-ID word to tell a chip in programming mode by.
bool hasDeviceIdWord(const DeviceDefinition& device);

// True when `word`, the device-ID location as read, can come from a chip in programming
// mode: not all ones and not all zeros (within the blank word, 16 bits on the 16-bit core).
bool answersLikeDeviceId(const DeviceDefinition& device, uint16_t word);

// Ends a phase whose chip did not answer like one in programming mode: closes the link,
// records the reason on it and returns kResultHardwareError.
ResultCode notInProgrammingMode(ProgrammerLink& link);

// 6-bit family, with the counter in program memory: "LoadConfig", steps up to the
// device-ID location and checks the word there. kResultOk for a device without an ID
// word or without "LoadConfig" (nothing sent), otherwise as notInProgrammingMode.
ResultCode checkProgrammingModeFromProgramMemory6(ProgrammerLink& link);

// 6-bit family, after a pass through the configuration area that read `word` at the
// device-ID location (`met` false when the pass did not reach it, which cannot be checked).
ResultCode checkProgrammingModeWord6(ProgrammerLink& link, bool met, uint16_t word);

// 16-bit core family: reads the device-ID word (the table pointer moves) and checks it.
ResultCode checkProgrammingMode16(ProgrammerLink& link);

// A blank check or verify that found a region differing (1, 2 or 3) may have met a chip
// that answers nothing: one more short session reads the device-ID word, and a chip out of
// programming mode turns `code` into that hardware failure. Any other code, a device
// without an ID word or a link that does not open again leave `code` as it is.
ResultCode confirmRegionFailure(ProgrammerLink& link, ResultCode code);

}  // namespace velkaro::ops
