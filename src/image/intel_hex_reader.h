#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "catalogue/device_definition.h"
#include "image/memory_image.h"

namespace velkaro {

// The kinds of problem a HEX file can have, in the order a warning names them.
enum class HexProblem {
    None,
    BadChecksum,  // the record was still placed
    BadRecord,    // too short, too long or a non-hex character: not placed
    OutOfRange,   // a data byte outside every region of the device: dropped
    ExtraText,    // text after the checksum: the record was read by its count
};

// What one read found. Byte counts are bytes of the HEX file's data records.
struct HexReadResult {
    bool opened = false;         // the file could be opened and read
    bool endRecordSeen = false;  // a type-01 record ended the file
    int records = 0;             // records read up to and including the end record
    int checksumErrors = 0;      // records whose checksum did not add up (still placed)
    int badRecords = 0;          // records that could not be parsed (nothing placed)
    int extraTextRecords = 0;    // records with text after their checksum (read by count)
    int recordsAfterEnd = 0;     // record lines after the end record (ignored)
    long outOfRangeBytes = 0;    // bytes outside every region (dropped)
    long ignoredBytes = 0;       // bytes the mapping drops on purpose (odd EEPROM bytes)
    long programBytes = 0;       // bytes placed in each region
    long idBytes = 0;
    long configBytes = 0;
    long dataBytes = 0;
    long lowestProgramByte = -1;  // byte address range placed in program memory; -1: none
    long highestProgramByte = -1;
    int firstProblemLine = 0;  // 1-based line of the first problem; 0 when there is none
    HexProblem firstProblem = HexProblem::None;
    // Signs of a file made for the other core family, whose addresses this mapping misreads.
    // Word mapping without the linear address: extended linear address records above 0
    // (PIC18 IDs, configuration, EEPROM), whose bytes land in the low addresses instead.
    int pic18AddressRecords = 0;
    // Byte mapping: bytes at 0x4200-0x43FF laid out as a 12/14-bit file's EEPROM (every
    // high byte 0) in a file that never leaves the first 64 KiB; they land in program memory.
    long wordEepromBytes = 0;

    bool otherFamily() const { return pic18AddressRecords > 0 || wordEepromBytes > 0; }

    // True when the file was read without checksum errors, bad records, text after a
    // record or stray bytes.
    bool clean() const {
        return opened && checksumErrors == 0 && badRecords == 0 && extraTextRecords == 0 &&
               outOfRangeBytes == 0;
    }
    // True when the user should be told about the file: it is not clean, it has no end
    // record (it may be cut short), records follow the end record, or it seems made for the
    // other core family.
    bool hasWarnings() const {
        return !clean() || !endRecordSeen || recordsAfterEnd > 0 || otherFamily();
    }
};

// The word address of data memory's byte 0 in a word-addressed file of `traits`' family;
// each byte is the low byte of its word. Not used by the byte-addressed layout.
constexpr uint32_t hexDataWordBase(const FamilyTraits& traits) {
    return traits.linearWordHex ? 0xF000 : 0x2100;
}

// Longest record line accepted, in characters without the line end.
inline constexpr size_t kMaxHexLineLength = 255;

// Reads the Intel HEX text `text` into `image`, whose arrays must already have the shape of
// `device`. The mapping is the family's (FamilyTraits::wordAddressedHex, linearWordHex).
// The image is not cleared first: bytes the file does not name keep their values. Lines end
// with LF, CR LF or CR; lines not starting with ':' are skipped.
HexReadResult ReadIntelHexText(std::string_view text, const DeviceDefinition& device,
                               MemoryImage& image);

// Reads the file at `path` as ReadIntelHexText does. When the file cannot be opened or
// read, the image is untouched and the result has opened == false.
HexReadResult ReadIntelHex(const std::string& path, const DeviceDefinition& device,
                           MemoryImage& image);

// Largest HEX file read: several times what the largest device needs even in one-byte
// records, so that a huge or endless file is refused instead of filling the memory.
inline constexpr uintmax_t kMaxHexFileBytes = uintmax_t{64} << 20;

// Reads the whole file at `path` into `contents`; false when it cannot be opened or read,
// or (with `tooLarge` set) when it holds more than `limit` bytes, which are never read whole.
bool readWholeFile(const std::string& path, std::string& contents,
                   uintmax_t limit = kMaxHexFileBytes, bool* tooLarge = nullptr);

// The value of the `n` characters of `line` from `position` (0-based) read as hexadecimal,
// either letter case; -1 when the line is too short or a character is not a hex digit.
long ParseHexField(std::string_view line, size_t position, size_t n);

}  // namespace velkaro
