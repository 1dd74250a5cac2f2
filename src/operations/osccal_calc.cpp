#include "operations/osccal_calc.h"

#include <cmath>
#include <cstdio>

#include "image/listing.h"
#include "operations/operation_messages.h"

namespace velkaro {

std::string oscFrequencyText(OscFrequency f) {
    char text[48];
    std::snprintf(text, sizeof text, "%lld.%lldKHz", static_cast<long long>(f / 10),
                  static_cast<long long>(f % 10));
    return text;
}

std::string oscErrorText(OscFrequency f) {
    char text[48];
    std::snprintf(text, sizeof text, "%.2f%%",
                  static_cast<double>(f - kOscNominal) * 0.0001 * 100.0);
    return text;
}

OscRecommendation recommendOscCal(const DeviceDefinition& device, uint16_t current,
                                  OscFrequency f) {
    const OscRecommendation manual{current, msg::kOscCalNoRecommendation};
    if (device.OscFactor == 0.0 || device.OscUnit == 0 || f <= 0)
        return manual;
    const double x = std::log(static_cast<double>(kOscNominal) / static_cast<double>(f)) /
                     std::log(device.OscFactor);
    // A factor of 1 or below 0 gives no step count; a factor next to 1 one far beyond any
    // register.
    if (!std::isfinite(x) || std::fabs(x) > 65536.0)
        return manual;
    const auto steps = static_cast<int64_t>(x > 0 ? x + 0.5 : x - 0.5);
    const int64_t unit = device.OscUnit;
    int64_t n = steps * unit + (current & 0xFF);
    n -= n % unit;  // the remainder keeps the sign of n
    const auto value = static_cast<uint16_t>((n & 0xFF) | device.OscBase);
    return {value, value == current ? msg::kOscCalRight : msg::kOscCalUpdate};
}

std::optional<char> oscCalKeyPress(char typed) {
    const char upper = typed >= 'a' && typed <= 'z' ? static_cast<char>(typed - 'a' + 'A') : typed;
    if (static_cast<unsigned char>(upper) > static_cast<unsigned char>('F'))
        return std::nullopt;
    return upper;
}

std::string oscCalFieldOnExit(std::string_view text, int32_t oscBase) {
    const uint32_t v = ParseHex(text);
    return wordText(static_cast<uint16_t>((v & 0xFF) | static_cast<uint32_t>(oscBase)));
}

}  // namespace velkaro
