#include "cli/link_options.h"

#include "base/text_compare.h"
#include "link/programmer_link.h"
#include "link/programmer_types.h"

namespace velkaro::cli {

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
    if (const ProgrammerType* type = findProgrammerType(text))
        return type->index;
    return std::nullopt;
}

std::string programmerName(int index) {
    for (const ProgrammerType& type : programmerTypes()) {
        if (type.index == index)
            return std::string(type.name);
    }
    return "type " + std::to_string(index);
}

}  // namespace velkaro::cli
