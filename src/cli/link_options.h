#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velkaro::cli {

// --port: "COM1".."COM9" (any case) or "1".."9"; empty means COM1. The port index 0..8,
// or nothing when the text names no such port.
std::optional<int> parsePortIndex(std::string_view text);

// --programmer: a type index ("0", "1") or a name of the programmer list ("VKR-20 PRO",
// "VKR-20 JDM", any case); empty means "VKR-20 PRO". Nothing for anything else.
std::optional<int> parseProgrammerType(std::string_view text);

// The list name of a programmer type ("VKR-20 PRO"); other indices as "type N".
std::string programmerName(int type);

}  // namespace velkaro::cli
