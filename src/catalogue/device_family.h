#pragma once

#include <cstdint>
#include <string_view>

namespace velkaro {

// The programming families. Each has its own folder of operations (src/operations/<family>)
// and of chip models (src/sim/<family>).
enum class DeviceFamily {
    Midrange,          // 12- and 14-bit cores: 6-bit commands, the address counter
    Pic18,             // 16-bit core: 4-bit commands and core instructions, the table pointer
    EnhancedMidrange,  // enhanced 14-bit core: 6-bit commands, configuration space at 0x8000
};

// What the shared code asks of a family, answered in one place. A new family is a row of
// familyTraits(), its folders and its chip model.
struct FamilyTraits {
    DeviceFamily family;
    // HEX files: word-addressed (a word at twice its address, low byte first) or
    // byte-addressed (every byte at its own address, upper 16 bits from extended records).
    bool wordAddressedHex;
    std::string_view hexLayout;  // "word-addressed" or "byte-addressed"
    // Word-addressed files whose IDs and configuration lie past the 16-bit address field
    // (word 0x8000 is byte 0x10000): a word's address comes from the full linear address,
    // extended records included, and data memory starts at word 0xF000. Otherwise the
    // address field alone counts and data memory starts at word 0x2100.
    bool linearWordHex;
    // From one configuration word's address to the next: 1 (a word each) or 2 (two bytes).
    int configAddressStep;
    // An ID location in a HEX file: how many bytes it takes and which bits they carry.
    int idHexBytes;
    uint16_t idHexMask;
    // The highest address the family reaches: the 14-bit counter (a device's wrap mask
    // may be wider), the enhanced core's 16-bit one, or the 22-bit table pointer.
    int32_t maxAddress;
    // The bits a read in programming mode answers: the core's word width, or all 16 (the
    // 16-bit core reads two bytes).
    bool readsWholeWord;
    // The programming voltage on MCLR/VPP the family's chips accept (VIHH), in volts.
    double vppMin;
    double vppMax;
    // The bits of an ID word the image keeps and a write puts in the chip, and the bits a
    // verify compares: one byte and its low digit on the classic cores, where the ID
    // locations carry a hex digit each; every bit of the word on the enhanced core, whose
    // ID words are whole 14-bit words a build may fill.
    uint16_t idWordMask;
    uint16_t idVerifyMask;
};

// The traits of the family a device.ini Algorithm value names: 0 the 6-bit command
// family, 3 the enhanced 14-bit core, 1, 2 and any other value the 16-bit core (1 and 2
// name its two data-write variants).
const FamilyTraits& familyTraits(int32_t algorithm);

}  // namespace velkaro
