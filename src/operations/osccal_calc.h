#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/device_definition.h"

namespace velkaro {

// The oscillator as the programmer measures it: units of 100 Hz (10000 is 1 MHz); 0 when
// nothing could be measured.
using OscFrequency = int64_t;
inline constexpr OscFrequency kOscNominal = 10000;

// "980.0KHz" for 9800.
std::string oscFrequencyText(OscFrequency f);
// The error against 1 MHz in percent, "-2.00%" for 9800 ("-100.00%" when nothing was
// measured).
std::string oscErrorText(OscFrequency f);

// The recommended OSCCAL value and the status text that goes with it.
struct OscRecommendation {
    uint16_t value = 0;
    std::string_view status;
};

// For a measured f (not 0) and the chip's current OSCCAL word: the number of OSCCAL steps
// that bring f to 1 MHz (OscFactor per step, rounded half away from zero), moved by
// OscUnit register counts each, from the current value aligned down to a whole step,
// ORed with OscBase. A device without OscFactor or OscUnit (or with a factor that gives no
// finite number of steps) gets its current value back with the status that asks for a
// value typed by hand.
OscRecommendation recommendOscCal(const DeviceDefinition& device, uint16_t current, OscFrequency f);

// The value field's key filter: the character in upper case, or nothing when it comes
// after "F" (control keys such as backspace pass).
std::optional<char> oscCalKeyPress(char typed);

// The value field when it loses focus: only its low byte is the user's, the device's
// OscBase supplies the rest ("12" becomes "3412" with OscBase 0x3400).
std::string oscCalFieldOnExit(std::string_view text, int32_t oscBase);

}  // namespace velkaro
