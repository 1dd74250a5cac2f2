#pragma once

#include <string>

#include "catalogue/device_definition.h"
#include "image/memory_image.h"

namespace velkaro {

// A region of the image, for saying which one a file could not carry.
enum class HexRegion { None, Program, Id, Config, Data };

enum class HexWriteStatus {
    Written,       // the file now holds the image
    NotEncodable,  // the layout cannot express this image; nothing was written
    CannotWrite,   // the file could not be created or replaced; any old file is intact
};

struct HexWriteResult {
    HexWriteStatus status = HexWriteStatus::Written;
    HexRegion region = HexRegion::None;  // with NotEncodable: the first region that differs
    std::string error;                   // with CannotWrite: the system's reason
    bool ok() const { return status == HexWriteStatus::Written; }
};

// The image as Intel HEX text: CR LF line ends, upper-case digits, the records in the
// order the reader's mapping expects (the family's, FamilyTraits::wordAddressedHex). Program
// memory above 64 KiB is reached through segment records, and the segment is set back to 0
// before the other regions. The linear word layout (FamilyTraits::linearWordHex) reaches
// IDs, configuration and data memory past 64 KiB through extended linear address records,
// one before each change of the upper 16 bits. Returns the first region whose address field would
// pass 0xFFFF (or whose record would pass 255 bytes), `text` then being unusable; HexRegion::None
// when the whole image fitted.
HexRegion FormatIntelHex(const DeviceDefinition& device, const MemoryImage& image,
                         std::string& text);

// Reads `text` into a cleared copy of the image's shape and returns the first region that
// comes back different from `image`, or HexRegion::None. ID words of the byte-addressed
// layout are compared by their low byte only, the one byte the layout gives them.
HexRegion findReadBackDifference(const std::string& text, const DeviceDefinition& device,
                                 const MemoryImage& image);

// Saves the image at `path`: the text is written to a temporary file beside it, which then
// replaces the target, so a failure never leaves a half-written or missing file. An image
// that would not read back as it is (see findReadBackDifference) is not written.
HexWriteResult WriteIntelHex(const std::string& path, const DeviceDefinition& device,
                             const MemoryImage& image);

// The text WriteIntelHex would write, for a caller that sends it elsewhere (standard
// output): NotEncodable, with `text` unusable, when the image would not read back as it is.
HexWriteResult EncodeIntelHex(const DeviceDefinition& device, const MemoryImage& image,
                              std::string& text);

}  // namespace velkaro
