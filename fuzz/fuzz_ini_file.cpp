// INI reader and writer. Any text parses; saved unchanged it reads back with every key as
// before, and the line each section and key is said to come from holds it. A section, key and value
// (the input split at its first two NUL bytes) written into a profile read back exactly, or the
// write refuses them and changes nothing.
#include "base/text_compare.h"
#include "catalogue/ini_file.h"
#include "harness_support.h"

#include <string>
#include <vector>

using namespace velkaro;

namespace {

constexpr const char* kAbsent = "\x01(absent)";

void savedAsParsed(std::string_view text) {
    IniFile ini;
    ini.parse(text);
    IniFile again;
    again.parse(ini.toText());
    if (again.sectionNames() != ini.sectionNames())
        fuzz::fail("section names changed by a save");
    for (const std::string& section : ini.sectionNames()) {
        if (again.sectionEntries(section) != ini.sectionEntries(section))
            fuzz::fail("entries of [" + section + "] changed by a save");
        for (const std::string& key : ini.keyNames(section)) {
            if (!ini.hasKey(section, key))
                continue;  // a line without "="
            const std::string value = ini.readString(section, key, kAbsent);
            if (again.readString(section, key, kAbsent) != value)
                fuzz::fail("[" + section + "] " + key + " changed by a save");
            // What was read can be written into another profile, or is refused there.
            IniFile other;
            if (other.writeString(section, key, value)) {
                IniFile back;
                back.parse(other.toText());
                if (back.readString(section, key, kAbsent) != value)
                    fuzz::fail("[" + section + "] " + key + " read back otherwise");
            }
        }
    }
}

// Blanks as the reader trims them around names and values.
std::string_view trimmed(std::string_view text) {
    auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
    };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

void linesPointBack(std::string_view text) {
    IniFile ini;
    ini.parse(text);
    while (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    }
    auto lineAt = [&](int number, const std::string& what) {
        if (number < 1 || static_cast<size_t>(number) > lines.size())
            fuzz::fail(what + " is said to stand at line " + std::to_string(number));
        return trimmed(lines[static_cast<size_t>(number) - 1]);
    };
    for (const std::string& section : ini.sectionNames()) {
        const std::string_view header = lineAt(ini.sectionLine(section), "[" + section + "]");
        if (header.empty() || header.front() != '[')
            fuzz::fail("[" + section + "] is said to stand at a line that is no header");
        for (const std::string& key : ini.keyNames(section)) {
            if (!ini.hasKey(section, key))
                continue;
            const std::string_view line = lineAt(ini.lineOf(section, key), key);
            const size_t equals = line.find('=');
            if (equals == std::string_view::npos ||
                !equalsIgnoreCase(trimmed(line.substr(0, equals)), key))
                fuzz::fail("[" + section + "] " + key + " is said to stand at a line without it");
        }
    }
}

void writtenAsGiven(std::string_view text) {
    const size_t first = text.find('\0');
    if (first == std::string_view::npos)
        return;
    const size_t second = text.find('\0', first + 1);
    if (second == std::string_view::npos)
        return;
    const std::string_view section = text.substr(0, first);
    const std::string_view key = text.substr(first + 1, second - first - 1);
    const std::string_view value = text.substr(second + 1);

    IniFile ini;
    ini.parse("; kept\n[Existing]\nKey=old\n\n");
    const std::string before = ini.toText();
    if (!ini.writeString(section, key, value)) {
        if (ini.toText() != before)
            fuzz::fail("a refused write changed the profile");
        return;
    }
    IniFile back;
    back.parse(ini.toText());
    if (back.readString(section, key, kAbsent) != value)
        fuzz::fail("a written value reads back otherwise");
    if (!(equalsIgnoreCase(section, "Existing") && equalsIgnoreCase(key, "Key")) &&
        back.readString("Existing", "Key", kAbsent) != "old")
        fuzz::fail("a write changed another key");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = fuzz::textOf(data, size);
    savedAsParsed(text);
    linesPointBack(text);
    writtenAsGiven(text);
    return 0;
}
