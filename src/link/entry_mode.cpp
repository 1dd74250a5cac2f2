#include "link/entry_mode.h"

#include "base/text_compare.h"

namespace velkaro {

std::string_view entryModeName(EntryMode mode) {
    switch (mode) {
        case EntryMode::HighVoltage:
            return "hv";
        case EntryMode::LowVoltage:
            return "lvp";
        case EntryMode::Automatic:
            break;
    }
    return "auto";
}

std::optional<EntryMode> findEntryMode(std::string_view text) {
    for (EntryMode mode : {EntryMode::Automatic, EntryMode::HighVoltage, EntryMode::LowVoltage}) {
        if (equalsIgnoreCase(text, entryModeName(mode)))
            return mode;
    }
    return std::nullopt;
}

}  // namespace velkaro
