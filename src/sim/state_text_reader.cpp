// The line and field reader shared by the chip models' state texts.
#include "sim/state_text_reader.h"

#include "base/hex_digit.h"

namespace velkaro::sim {

namespace {

constexpr std::string_view kBlanks = " \t\r";
constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";

}  // namespace

bool StateTextReader::next(std::string_view& line) {
    while (std::getline(mIn, mText)) {
        ++mLineNumber;
        std::string_view text = mText;
        if (mComments == StateComments::Anywhere)
            text = text.substr(0, text.find('#'));
        const size_t first = text.find_first_not_of(kBlanks);
        if (first == std::string_view::npos)
            continue;
        if (mComments == StateComments::WholeLine && text[first] == '#')
            continue;
        line = text.substr(first, text.find_last_not_of(kBlanks) + 1 - first);
        return true;
    }
    return false;
}

std::vector<std::string_view> stateFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = line.find_first_not_of(kWhiteSpace);
    while (start != std::string_view::npos) {
        const size_t end = line.find_first_of(kWhiteSpace, start);
        fields.push_back(line.substr(start, end - start));
        start = line.find_first_not_of(kWhiteSpace, end);
    }
    return fields;
}

bool parseStateHex(std::string_view text, uint32_t& value) {
    if (text.empty() || text.size() > 8)
        return false;
    uint32_t v = 0;
    for (char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return false;
        v = v * 16 + static_cast<uint32_t>(digit);
    }
    value = v;
    return true;
}

}  // namespace velkaro::sim
