#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velkaro {

// Where the caret sits in the data listing: the text line and the character column in it.
struct ListingCaret {
    size_t row = 0;
    size_t col = 0;
    bool operator==(const ListingCaret&) const = default;
};

// What one typed character does to the data listing while data editing is on.
struct DataEditStep {
    bool changed = false;    // a data byte was changed and one listing character patched
    size_t byteIndex = 0;    // the changed byte
    uint8_t byteValue = 0;   // its new value
    ListingCaret patchAt;    // the listing character to replace ...
    char patchChar = 0;      // ... with this upper-case digit
    bool moveCaret = false;  // put the caret at `caret` with nothing selected
    ListingCaret caret;
};

// The in-place hex editor of the data listing (16 bytes a line, "%04X:" then " %02X" per
// byte, lines counted as 55 positions with their two-character break). Only whole lines
// can be edited. A hex digit on a byte's high or low digit replaces that half of the
// byte and steps to the next digit, over the blank between bytes and from the end of a
// line to the first byte of the next; on the address the caret jumps to the first byte.
// On the last digit of the last line the caret stays just after the changed digit. Any
// other character changes nothing. The caller swallows every key while editing is on.
DataEditStep dataEditKey(const std::vector<uint8_t>& data, ListingCaret caret, char key);

}  // namespace velkaro
