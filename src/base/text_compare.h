#pragma once

#include <algorithm>
#include <string_view>

namespace velkaro {

// The letter-case rules of names in device.ini, the settings file, the command line and
// the simulator's files: ASCII letters only, whatever the locale. Every other byte,
// including those of UTF-8 sequences, compares as it is.
inline char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when `a` and `b` have the same length and differ at most in ASCII letter case.
inline bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

// Byte-wise order of `a` and `b` with ASCII letters taken as lower case: "_" comes before
// "a" and "A" alike, bytes from 0x80 after every ASCII character.
inline bool lessIgnoreCase(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(lowerAscii(x)) <
               static_cast<unsigned char>(lowerAscii(y));
    });
}

}  // namespace velkaro
