#include "catalogue/ini_number.h"

#include "base/hex_digit.h"

namespace velkaro {

namespace {

bool isBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

}  // namespace

std::string StripIniComment(std::string_view text) {
    if (const auto semicolon = text.find(';'); semicolon != std::string_view::npos)
        text = text.substr(0, semicolon);
    while (!text.empty() && isBlankOrControl(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlankOrControl(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

int32_t ParseIniNumber(std::string_view text, int32_t defaultValue) {
    const std::string value = StripIniComment(text);
    if (value.empty())
        return defaultValue;

    uint32_t result = 0;
    if (value.size() >= 2 && value[0] == '0' && value[1] == 'x') {
        size_t i = 2;
        for (; i < value.size() && hexDigit(value[i]) >= 0; ++i)
            result = result * 16u + static_cast<uint32_t>(hexDigit(value[i]));
        if (i == 2)
            return defaultValue;
        return static_cast<int32_t>(result);
    }

    size_t i = 0;
    while (i < value.size() && isBlankOrControl(value[i]))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        result = result * 10u + static_cast<uint32_t>(value[i] - '0');
    if (negative)
        result = 0u - result;
    return static_cast<int32_t>(result);
}

}  // namespace velkaro
