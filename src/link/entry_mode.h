#pragma once

#include <optional>
#include <string_view>

namespace velkaro {

// How the link brings the chip into programming mode.
enum class EntryMode {
    Automatic,    // the safe one for the programmer in use (ProgrammerLink::usesLowVoltageEntry)
    HighVoltage,  // VPP on MCLR at the programmer's level for the device
    LowVoltage,   // VDD only, MCLR held low, the key sequence on PGC/PGD
};

// The settings file's and the command line's names: "auto", "hv", "lvp".
std::string_view entryModeName(EntryMode mode);
// The mode named `text` (ASCII letter case ignored), or nothing when it names none.
std::optional<EntryMode> findEntryMode(std::string_view text);

}  // namespace velkaro
