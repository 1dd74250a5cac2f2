#include "image/listing.h"

#include <algorithm>

#include "base/hex_digit.h"

namespace velkaro {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// "%0*X": at least `digits` digits, more when the value needs them (an address past
// 0xFFFF must not wrap in the listing).
void appendHex(std::string& out, uint32_t value, int digits) {
    while (digits < 8 && (value >> (4 * digits)) != 0)
        ++digits;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out.push_back(kDigits[(value >> shift) & 0xF]);
}

template <typename T>
std::vector<std::string> listing(const std::vector<T>& values, size_t perLine, int digits) {
    std::vector<std::string> lines;
    lines.reserve((values.size() + perLine - 1) / perLine);
    for (size_t first = 0; first < values.size(); first += perLine) {
        std::string line;
        line.reserve(5 + perLine * (digits + 1));
        appendHex(line, static_cast<uint32_t>(first), 4);
        line.push_back(':');
        const size_t end = std::min(values.size(), first + perLine);
        for (size_t i = first; i < end; ++i) {
            line.push_back(' ');
            appendHex(line, values[i], digits);
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace

std::vector<std::string> programListing(const std::vector<uint16_t>& words) {
    return listing(words, kProgramWordsPerLine, 4);
}

std::vector<std::string> dataListing(const std::vector<uint8_t>& bytes) {
    return listing(bytes, kDataBytesPerLine, 2);
}

std::string idText(const DeviceDefinition& device, const MemoryImage& image) {
    std::string text;
    const int count = std::clamp(device.IdCount, 0, DeviceDefinition::kMaxIdWords);
    for (int i = 0; i < count; ++i)
        appendHex(text, image.IdWords[i] & 0xFu, 1);
    return text;
}

void idWordsFromText(std::string_view text, const DeviceDefinition& device, MemoryImage& image) {
    const int count = std::clamp(device.IdCount, 0, DeviceDefinition::kMaxIdWords);
    for (int k = 0; k < count; ++k) {
        const auto at = static_cast<size_t>(k);
        const int digit = at < text.size() ? hexDigit(text[at]) : -1;
        image.IdWords[k] = static_cast<uint16_t>(digit < 0 ? 0 : digit);
    }
}

std::string configLabel(const DeviceDefinition& device, int index) {
    const int64_t step = device.traits().configAddressStep;
    std::string label = "Config(";
    appendHex(label, static_cast<uint32_t>(device.ConfigBaseAdr + step * index), 6);
    label += "h)";
    return label;
}

std::string wordText(uint16_t value) {
    std::string text;
    appendHex(text, value, 4);
    return text;
}

uint32_t ParseHex(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        hexDigit(text[i + 2]) >= 0)
        i += 2;
    uint64_t value = 0;
    bool saturated = false;
    for (; i < text.size() && hexDigit(text[i]) >= 0; ++i) {
        value = value * 16 + static_cast<uint64_t>(hexDigit(text[i]));
        if (value > 0xFFFFFFFFu) {
            saturated = true;
            value = 0xFFFFFFFFu;
        }
    }
    if (saturated)
        return 0xFFFFFFFFu;
    const auto result = static_cast<uint32_t>(value);
    return negative ? static_cast<uint32_t>(0u - result) : result;
}

}  // namespace velkaro
