#include "image/data_edit.h"

#include <string_view>

#include "base/hex_digit.h"
#include "image/listing.h"

namespace velkaro {

namespace {

constexpr std::string_view kDigits = "0123456789ABCDEF";
constexpr size_t kFirstDigitColumn = 6;  // after "0000: "

}  // namespace

DataEditStep dataEditKey(const std::vector<uint8_t>& data, ListingCaret caret, char key) {
    DataEditStep step;
    const int digit = hexDigit(key);
    if (digit < 0)
        return step;
    const char upper = kDigits[static_cast<size_t>(digit)];

    const size_t lines = data.size() / kDataBytesPerLine;
    size_t row = caret.row;
    size_t col = caret.col;
    if (row >= lines)
        return step;
    const size_t pos = kDataLineStride * row + col;
    if (pos + 2 >= kDataLineStride * lines)
        return step;

    if (col < kFirstDigitColumn) {
        step.moveCaret = true;
        step.caret = {row, kFirstDigitColumn};
        return step;
    }

    const size_t byte = (col - 5) / 3;
    const size_t phase = (col - 5) % 3;
    if (phase != 0) {
        const size_t index = row * kDataBytesPerLine + byte;
        const uint8_t old = data[index];
        const auto value = static_cast<uint8_t>(digit);
        step.changed = true;
        step.byteIndex = index;
        step.byteValue = phase == 1 ? static_cast<uint8_t>((old & 0x0F) | (value << 4))
                                    : static_cast<uint8_t>((old & 0xF0) | value);
        step.patchAt = {row, col};
        step.patchChar = upper;
    }
    const size_t afterPatch = col + 1;
    col += phase == 2 ? 2 : 1;

    if (col >= kDataLineLength) {
        ++row;
        col = kFirstDigitColumn;
        if (row >= lines) {
            // The caret stays where typing left it: just after the changed digit.
            step.moveCaret = true;
            step.caret = {caret.row, afterPatch};
            return step;
        }
    }
    step.moveCaret = true;
    step.caret = {row, col};
    return step;
}

}  // namespace velkaro
