#include "catalogue/config_fields.h"

#include <algorithm>

#include "catalogue/ini_file.h"
#include "catalogue/ini_number.h"

namespace velkaro {

namespace {

bool isBlankOrControl(char c) {
    return c != '\0' && static_cast<unsigned char>(c) <= 32;
}

std::string trimmed(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32)
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32)
        text.remove_suffix(1);
    return std::string(text);
}

// Moves `rest` past the next `delimiter` and returns what stood before it. When there is
// no such delimiter the part is missing: the result is empty and so is `rest`.
std::string_view takeUntil(std::string_view& rest, char delimiter) {
    const size_t at = rest.find(delimiter);
    if (at == std::string_view::npos) {
        rest = {};
        return {};
    }
    const std::string_view part = rest.substr(0, at);
    rest.remove_prefix(at + 1);
    return part;
}

// Like takeUntil(')') but skips over balanced inner parentheses.
std::string_view takeGroup(std::string_view& rest) {
    int depth = 0;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '(') {
            ++depth;
        } else if (rest[i] == ')') {
            if (depth == 0) {
                const std::string_view part = rest.substr(0, i);
                rest.remove_prefix(i + 1);
                return part;
            }
            --depth;
        }
    }
    rest = {};
    return {};
}

}  // namespace

ConfigField parseConfigEntry(std::string_view entry) {
    ConfigField field;
    const std::string text = StripIniComment(entry);
    std::string_view rest = text;

    field.label = trimmed(takeUntil(rest, '('));
    field.mask = static_cast<uint16_t>(ParseIniNumber(trimmed(takeUntil(rest, ',')), 0));
    // The word number is exactly one character: words 1..9 can be addressed.
    field.word = ParseIniNumber(rest.substr(0, 1), 0);
    takeUntil(rest, '(');
    field.optionNames = splitOptionList(trimmed(takeGroup(rest)));
    takeUntil(rest, '(');
    field.optionValues = splitOptionList(trimmed(takeUntil(rest, ')')));
    return field;
}

std::vector<std::string> splitOptionList(std::string_view text) {
    // The list ends at a NUL byte: an item cannot start there, so reading on would never
    // advance.
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> items;
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && isBlankOrControl(text[i]))
            ++i;
    };
    skipBlanks();
    while (i < text.size()) {
        std::string item;
        if (text[i] == '"') {
            ++i;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            while (i < text.size() && static_cast<unsigned char>(text[i]) > 32 && text[i] != ',')
                item += text[i++];
        }
        items.push_back(std::move(item));
        skipBlanks();
        if (i < text.size() && text[i] == ',') {
            ++i;
            if (i == text.size())
                items.emplace_back();  // a "," at the very end adds an empty last item
            skipBlanks();
        }
    }
    return items;
}

bool ConfigFieldTable::BuildConfigFields(const std::string& configIniPath,
                                         const std::string& name) {
    IniFile config;
    return BuildConfigFields(
        [&]() -> const IniFile& {
            config.load(configIniPath);
            return config;
        },
        name);
}

bool ConfigFieldTable::BuildConfigFields(const ConfigSource& configSource,
                                         const std::string& name) {
    if (name == mBuiltName)
        return false;
    mBuiltName = name;
    mCount = 0;
    if (!name.empty()) {
        const std::vector<std::string> entries = configSource().sectionEntries(name);
        mCount = static_cast<int>(std::min<size_t>(entries.size(), kMaxRows));
        for (int i = 0; i < mCount; ++i) {
            mRows[i] = parseConfigEntry(entries[i]);
            mRows[i].selected = mRows[i].optionNames.empty() ? -1 : 0;
        }
    }
    for (int i = mCount; i < kMaxRows; ++i)
        mRows[i] = ConfigField{};
    return true;
}

uint16_t applyConfigOption(uint16_t current, uint16_t mask, int32_t optionValue) {
    // The value is not masked: bits outside the mask that it sets are set in the word.
    return static_cast<uint16_t>((static_cast<uint32_t>(optionValue) | (current & ~mask)) &
                                 0xFFFFu);
}

int matchingConfigOption(const ConfigField& field, uint16_t word) {
    const int32_t wanted = word & field.mask;
    for (size_t i = 0; i < field.optionValues.size(); ++i)
        if (ParseIniNumber(field.optionValues[i], 0) == wanted)
            return static_cast<int>(i);
    return -1;
}

void SyncConfigBoxes(ConfigFieldTable& table, const uint16_t* configWords, int wordCount) {
    for (int i = 0; i < table.count(); ++i) {
        ConfigField& field = table.row(i);
        if (field.word < 1 || field.word > 10 || field.word > wordCount)
            continue;
        const int match = matchingConfigOption(field, configWords[field.word - 1]);
        if (match >= 0 && match < static_cast<int>(field.optionNames.size()))
            field.selected = match;
    }
}

}  // namespace velkaro
