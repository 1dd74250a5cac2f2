#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkaro::tools {

// What gputils' assembler knows about one processor, from its processor listing
// (`gpasm -s -p NAME`): memory sizes and the named configuration fields.
struct GputilsOption {
    std::string name;
    uint32_t value = 0;
};

struct GputilsField {
    std::string name;
    std::vector<GputilsOption> options;
    uint32_t mask() const;  // every bit some option sets
};

struct GputilsConfigWord {
    uint32_t address = 0;  // word address (12/14-bit cores) or byte address (PIC18)
    uint32_t mask = 0;
    uint32_t defaultValue = 0;
    std::vector<GputilsField> fields;
};

struct GputilsProcessor {
    std::string className;     // "PIC12", "PIC14", "PIC16E", ...
    uint32_t programSize = 0;  // as listed: words, or bytes for PIC16E
    bool programInBytes = false;
    std::optional<uint32_t> idFirst, idLast;
    std::optional<uint32_t> eepromFirst, eepromLast;
    std::optional<uint32_t> configFirst, configLast;  // "Config" or "Config Range"
    std::vector<GputilsConfigWord> config;

    bool byteAddressed() const { return className == "PIC16E"; }
    uint32_t programWords() const { return programInBytes ? programSize / 2 : programSize; }
    uint32_t eepromBytes() const;
};

// Parses one processor's listing. Unknown lines are skipped; a listing without a
// "Program Size" line gives nothing.
std::optional<GputilsProcessor> parseGputilsListing(std::string_view text);

// Runs `gpasm -s -p NAME` and parses its output; nothing when gpasm is missing or does
// not know the processor.
std::optional<GputilsProcessor> queryGputils(const std::string& processor);

// Whether gpasm can be run at all.
bool gputilsAvailable();

// The 16-bit configuration words of the file format (word N = 1, 2, ...) that the
// listing's configuration locations fall into: on the 12/14-bit cores one location per
// word counted from the first; on PIC18 two bytes per word counted from `base`, the odd
// byte in the high half.
struct ConfigPlacement {
    int word = 0;   // 1-based
    int shift = 0;  // 0 or 8
};
ConfigPlacement placeConfig(const GputilsProcessor& p, uint32_t address, uint32_t base);

}  // namespace velkaro::tools
