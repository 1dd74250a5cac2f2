#include "cli/link_options.h"

#include <array>
#include <cctype>

#include "link/programmer_link.h"

namespace velkaro::cli {

namespace {

constexpr std::array<std::string_view, 2> kProgrammerNames = {"VKR-20 PRO", "VKR-20 JDM"};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

std::optional<int> parsePortIndex(std::string_view text) {
    if (text.empty())
        return 0;
    if (text.size() == 4 && equalsIgnoringCase(text.substr(0, 3), "COM"))
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
        if (equalsIgnoringCase(text, kProgrammerNames[i]))
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
