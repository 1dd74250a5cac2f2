#include "cli/link_options.h"

#include <array>
#include "base/text_compare.h"
#include "link/programmer_link.h"

namespace velkaro::cli {

namespace {

constexpr std::array<std::string_view, 2> kProgrammerNames = {"VKR-20 PRO", "VKR-20 JDM"};

}  // namespace

std::optional<int> parsePortIndex(std::string_view text) {
    if (text.empty())
        return 0;
    if (text.size() == 4 && equalsIgnoreCase(text.substr(0, 3), "COM"))
        text.remove_prefix(3);
    if (text.size() != 1 || text[0] < '1' || text[0] > '9')
        return std::nullopt;
    return text[0] - '1';
}

std::optional<int> parseProgrammerType(std::string_view text) {
    if (text.empty())
        return ProgrammerLink::kProgrammerPro;
    if (text == "0")
        return ProgrammerLink::kProgrammerPro;
    if (text == "1")
        return ProgrammerLink::kProgrammerJdm;
    for (size_t i = 0; i < kProgrammerNames.size(); ++i) {
        if (equalsIgnoreCase(text, kProgrammerNames[i]))
            return static_cast<int>(i);
    }
    return std::nullopt;
}

std::string programmerName(int type) {
    if (type >= 0 && static_cast<size_t>(type) < kProgrammerNames.size())
        return std::string(kProgrammerNames[static_cast<size_t>(type)]);
    return "type " + std::to_string(type);
}

}  // namespace velkaro::cli
