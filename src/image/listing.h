#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/device_definition.h"
#include "image/memory_image.h"

namespace velkaro {

// Texts of the main window's views of the image, as plain functions so that the desktop
// program and the command-line tool show exactly the same thing.

inline constexpr size_t kProgramWordsPerLine = 8;
inline constexpr size_t kDataBytesPerLine = 16;
// A full data line is 53 characters; with its two-character line break it takes 55
// positions of the listing, which the in-place editor counts on.
inline constexpr size_t kDataLineLength = 53;
inline constexpr size_t kDataLineStride = kDataLineLength + 2;

// Program memory, 8 words a line: "%04X:" of the line's first word address, then " %04X"
// per word. No lines for an empty memory.
std::vector<std::string> programListing(const std::vector<uint16_t>& words);

// Data memory, 16 bytes a line: "%04X:" of the line's first byte address, then " %02X" per
// byte. No lines for an empty memory.
std::vector<std::string> dataListing(const std::vector<uint8_t>& bytes);

// The ID edit's text: one digit per used ID word, its low four bits ("FFFF" for four blank
// 14-bit ID words).
std::string idText(const DeviceDefinition& device, const MemoryImage& image);

// Sets each used ID word from the digit at its position in `text` (low four bits only;
// a missing or non-hex character gives 0); the upper bits of every word are cleared.
void idWordsFromText(std::string_view text, const DeviceDefinition& device, MemoryImage& image);

// "Config(%06Xh)" of configuration word `index` (0-based): ConfigBaseAdr + index in the
// word-addressed layout, ConfigBaseAdr + 2 * index in the byte-addressed one.
std::string configLabel(const DeviceDefinition& device, int index);

// "%04X": configuration words, OSCCAL and BG as their edits show them.
std::string wordText(uint16_t value);

// Reads a hexadecimal number from the start of `text` the way a "%x" scan does: leading
// blanks skipped, an optional sign and "0x", then digits of either case up to the first
// other character. 0 when no digit can be read; values beyond 32 bits give 0xFFFFFFFF.
uint32_t ParseHex(std::string_view text);

}  // namespace velkaro
