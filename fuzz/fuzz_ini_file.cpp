// INI reader and writer. Any text parses; saved unchanged it reads back with every key as
// before. A section, key and value (the input split at its first two NUL bytes) written
// into a profile read back exactly, or the write refuses them and changes nothing.
#include "catalogue/ini_file.h"
#include "harness_support.h"

using namespace velkaro;

namespace {

constexpr const char* kAbsent = "\x01(absent)";

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

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
    if (!(sameName(section, "Existing") && sameName(key, "Key")) &&
        back.readString("Existing", "Key", kAbsent) != "old")
        fuzz::fail("a write changed another key");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = fuzz::textOf(data, size);
    savedAsParsed(text);
    writtenAsGiven(text);
    return 0;
}
