#include "catalogue/device_lint.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <set>
#include <sstream>
#include <utility>

#include "base/hex_digit.h"
#include "base/text_compare.h"
#include "catalogue/config_fields.h"
#include "catalogue/device_catalogue.h"
#include "catalogue/device_keys.h"
#include "catalogue/erase_cmd_limits.h"
#include "catalogue/ini_number.h"

namespace velkaro {
namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), lowerAscii);
    return s;
}

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// Volts as device.ini writes them: up to two decimals, no trailing zeros.
std::string formatVolts(double volts) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, volts, std::chars_format::fixed, 2);
    std::string out(text, end.ptr);
    while (out.back() == '0')
        out.pop_back();
    if (out.back() == '.')
        out.pop_back();
    return out;
}

std::string hex(uint32_t v) {
    std::ostringstream out;
    out << "0x" << std::uppercase << std::hex << v;
    return out.str();
}

// The waits of an erase command string's W tokens (n + 10 ms each) that are longer than one
// wait may take. A token starts the string or follows "," or "("; its number is read as
// the runner reads it (decimal digits after an optional sign, blanks before).
std::vector<int64_t> overlongEraseWaits(const std::string& command) {
    std::vector<int64_t> found;
    const auto first = command.find_first_not_of(" \t\r");
    for (size_t i = first; i < command.size(); ++i) {
        if (i != first && command[i - 1] != ',' && command[i - 1] != '(')
            continue;
        if (command[i] != 'W' && command[i] != 'w')
            continue;
        size_t j = i + 1;
        while (j < command.size() && static_cast<unsigned char>(command[j]) <= ' ')
            ++j;
        const bool negative = j < command.size() && command[j] == '-';
        if (j < command.size() && (command[j] == '+' || command[j] == '-'))
            ++j;
        int64_t n = 0;
        for (; j < command.size() && std::isdigit(static_cast<unsigned char>(command[j])); ++j)
            n = std::min<int64_t>(n * 10 + (command[j] - '0'), INT32_MAX);
        const int64_t wait = (negative ? -n : n) + 10;
        if (wait > kMaxEraseCmdWaitMs)
            found.push_back(wait);
    }
    return found;
}

// Why the erase command string `list` would stop or skip part of itself when run, parsed
// as the runner parses it (an L group is "L<count>(" up to its matching ")"); empty when
// it runs whole.
std::string eraseCmdSyntaxError(std::string_view list, int level = 0) {
    if (level > kMaxEraseCmdLevel)
        return "nests L groups deeper than " + std::to_string(kMaxEraseCmdLevel) +
               " levels; the deeper ones are skipped";
    while (!list.empty()) {
        const char letter = list.front();
        list.remove_prefix(1);
        if (letter != 'L' && letter != 'l') {
            const size_t comma = list.find(',');
            list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
            continue;
        }
        const size_t open = list.find('(');
        if (open == std::string_view::npos)
            return "has an L without \"(\"; it stops there";
        list.remove_prefix(open + 1);
        const size_t close = eraseCmdGroupEnd(list);
        if (close == std::string_view::npos)
            return "has an L group without its \")\"; it stops there";
        if (std::string error =
                eraseCmdSyntaxError(trim(std::string(list.substr(0, close))), level + 1);
            !error.empty())
            return error;
        list.remove_prefix(close + 1);
        if (!list.empty() && list.front() == ',')
            list.remove_prefix(1);
    }
    return {};
}

// The enhanced 14-bit core's IDs, configuration and device ID lie from this word on.
constexpr int32_t kEnhancedConfigSpace = 0x8000;

// The addresses of `d` that name configuration-space locations, by key, as loaded.
std::array<std::pair<const char*, int32_t>, 3> configurationSpaceAddresses(
    const DeviceDefinition& d) {
    return {
        {{"IdAdr", d.IdAdr}, {"ConfigBaseAdr", d.ConfigBaseAdr}, {"DeviceIDAdr", d.DeviceIDAdr}}};
}

// The section a name resolves to through Alias steps, or nullptr (missing or a cycle).
const DeviceFileMap::Section* resolveAlias(const DeviceFileMap& file, const std::string& name) {
    const DeviceFileMap::Section* section = file.find(name);
    std::set<const DeviceFileMap::Section*> seen;
    while (section && seen.insert(section).second) {
        const auto* alias = section->find("Alias");
        if (!alias || alias->value.empty())
            return section;
        section = file.find(alias->value);
    }
    return nullptr;
}

}  // namespace

DeviceFileMap::DeviceFileMap(const std::string& text) {
    IniFile file;
    file.parse(text);
    for (IniFile::SectionLines& section : file.allSections()) {
        mSections.push_back({std::move(section)});
        mIndex.emplace(lower(mSections.back().name), mSections.size() - 1);  // first counts
    }
}

const DeviceFileMap::Key* DeviceFileMap::Section::find(const std::string& key) const {
    for (const auto& k : keys) {
        if (equalsIgnoreCase(k.name, key))
            return &k;
    }
    return nullptr;
}

const DeviceFileMap::Section* DeviceFileMap::find(const std::string& name) const {
    const auto found = mIndex.find(lower(name));
    return found != mIndex.end() ? &mSections[found->second] : nullptr;
}

namespace {

// Where the chain of `name` sets `key` (a value that is not empty), within the levels the
// loader follows; nullptr when nowhere.
const DeviceFileMap::Key* keyOf(const DeviceFileMap& file, const std::string& name,
                                const std::string& key) {
    const DeviceFileMap::Section* section = resolveAlias(file, name);
    std::set<const DeviceFileMap::Section*> seen;
    for (int depth = 0; section && depth <= kDeviceNestingLimit && seen.insert(section).second;
         ++depth) {
        if (const auto* k = section->find(key); k && !k->value.empty())
            return k;
        const auto* parent = section->find("Default");
        section = parent && !parent->value.empty() ? resolveAlias(file, parent->value) : nullptr;
    }
    return nullptr;
}

// Every section whose Alias/Default chain comes back to it, in file order, with the link
// that closes the loop. Each section has one next section at most, so one pass finds them.
std::vector<std::pair<const DeviceFileMap::Section*, const DeviceFileMap::Key*>> cycles(
    const DeviceFileMap& file) {
    const auto& sections = file.sections();
    const size_t n = sections.size();
    std::vector<size_t> next(n, n);
    std::vector<const DeviceFileMap::Key*> link(n, nullptr);
    for (size_t i = 0; i < n; ++i) {
        const auto* k = sections[i].find("Alias");
        if (!k || k->value.empty())
            k = sections[i].find("Default");
        if (!k || k->value.empty())
            continue;
        if (const auto* to = file.find(k->value)) {
            next[i] = static_cast<size_t>(to - sections.data());
            link[i] = k;
        }
    }
    enum : char { kNew, kOnPath, kDone };
    std::vector<char> state(n, kNew);
    std::vector<size_t> closedBy(n, n);  // a cycle member: the member linking to it
    for (size_t start = 0; start < n; ++start) {
        std::vector<size_t> path;
        size_t at = start;
        while (at < n && state[at] == kNew) {
            state[at] = kOnPath;
            path.push_back(at);
            at = next[at];
        }
        if (at < n && state[at] == kOnPath) {
            for (size_t member = at;;) {
                closedBy[next[member]] = member;
                member = next[member];
                if (member == at)
                    break;
            }
        }
        for (size_t p : path)
            state[p] = kDone;
    }
    std::vector<std::pair<const DeviceFileMap::Section*, const DeviceFileMap::Key*>> found;
    for (size_t i = 0; i < n; ++i) {
        if (closedBy[i] < n)
            found.emplace_back(&sections[i], link[closedBy[i]]);
    }
    return found;
}

}  // namespace

int lineOfKey(const DeviceFileMap& file, const std::string& name, const std::string& key) {
    if (const DeviceFileMap::Key* k = keyOf(file, name, key))
        return k->line;
    const DeviceFileMap::Section* own = file.find(name);
    return own ? own->line : 0;
}

std::vector<LintFinding> lintDeviceFile(const DeviceFileMap& file, const ResolveDevice& resolve) {
    std::vector<LintFinding> findings;
    auto report = [&](int line, std::string message) {
        findings.push_back({line, std::move(message)});
    };

    // What the file says, section by section.
    std::set<std::string> sectionNames;
    for (const auto& section : file.sections()) {
        if (!sectionNames.insert(lower(section.name)).second)
            report(section.line, "section [" + section.name + "] repeated; the first one counts");
        std::set<std::string> keyNames;
        for (const auto& key : section.keys) {
            const std::string name = lower(key.name);
            const DeviceKey* known = findDeviceKey(key.name);
            if (known == nullptr) {
                report(key.line, "unknown key \"" + key.name + "\" is ignored");
                continue;
            }
            if (!keyNames.insert(name).second)
                report(key.line, "key " + key.name + " repeated; the first one counts");
            if ((name == "default" || name == "alias") && !key.value.empty() &&
                !file.find(key.value))
                report(key.line, key.name + " names the missing section [" + key.value + "]");
            if (known->clamped && !trim(key.value.substr(0, key.value.find(';'))).empty()) {
                const int32_t v = ParseIniNumber(key.value, 0);
                if (v < known->low || v > known->high)
                    report(key.line, known->name + " " + std::to_string(v) + " is outside " +
                                         std::to_string(known->low) + ".." +
                                         (known->high == INT32_MAX ? std::string("")
                                                                   : std::to_string(known->high)) +
                                         " and is clamped when loaded");
            }
            if (name == "deviceerasecmd") {
                if (const std::string error = eraseCmdSyntaxError(trim(key.value)); !error.empty())
                    report(key.line, "DeviceEraseCmd " + error);
                for (const int64_t wait : overlongEraseWaits(key.value))
                    report(key.line, "DeviceEraseCmd waits " + std::to_string(wait) +
                                         " ms in one W token; one wait is cut to " +
                                         std::to_string(kMaxEraseCmdWaitMs) + " ms");
            }
            if (name == "adrmask") {
                const auto v = static_cast<uint16_t>(ParseIniNumber(key.value, 0));
                uint16_t filled = v;
                for (int shift = 1; shift < 16; shift <<= 1)
                    filled = static_cast<uint16_t>(filled | (filled >> shift));
                if (v != 0 && v != filled)
                    report(key.line,
                           "AdrMask " + hex(v) + " has a gap; it is loaded as " + hex(filled));
            }
        }
    }

    // Chains that come back to where they started.
    for (const auto& [section, link] : cycles(file))
        report(link->line, "Alias/Default chain of [" + section->name + "] is a cycle");

    // The devices as the loader resolves them.
    struct Identified {
        std::string name;
        int line;
        uint16_t id;
        uint16_t mask;
        bool extended;
        std::string comment;  // after ";" on the DeviceID line
    };
    std::vector<Identified> identified;
    std::set<std::string> done;
    for (const auto& section : file.sections()) {
        if (!done.insert(lower(section.name)).second)
            continue;
        const std::string& name = section.name;
        const DeviceDefinition d = resolve(name);
        if (d.LoadCnt > 0 && d.ProgSize % d.LoadCnt != 0)
            report(lineOfKey(file, name, "LoadCnt"),
                   "[" + name + "] ProgSize " + std::to_string(d.ProgSize) +
                       " is no multiple of LoadCnt " + std::to_string(d.LoadCnt));
        if (d.isExtendedFamily() && d.PanelSize > 0) {
            if (d.ProgSize % d.PanelSize != 0)
                report(lineOfKey(file, name, "PanelSize"),
                       "[" + name + "] ProgSize " + std::to_string(d.ProgSize) +
                           " is no multiple of PanelSize " + std::to_string(d.PanelSize));
            const int32_t load = d.LoadCnt > 0 ? d.LoadCnt : 4;
            if (d.PanelSize % load != 0)
                report(lineOfKey(file, name, "PanelSize"),
                       "[" + name + "] PanelSize " + std::to_string(d.PanelSize) +
                           " is no multiple of LoadCnt " + std::to_string(load));
        }
        // The link applies a level within the chip's range nearest above VppVoltage: a
        // VppVoltage written outside the range says something else than the device takes.
        const bool voltsWritten = keyOf(file, name, "VppVoltage") || keyOf(file, name, "VppMin") ||
                                  keyOf(file, name, "VppMax");
        if (voltsWritten &&
            (d.vppMin() > d.vppMax() || d.VppVoltage < d.vppMin() || d.VppVoltage > d.vppMax()))
            report(lineOfKey(file, name, "VppVoltage"),
                   "[" + name + "] VppVoltage " + formatVolts(d.VppVoltage) +
                       " lies outside VppMin..VppMax " + formatVolts(d.vppMin()) + ".." +
                       formatVolts(d.vppMax()));
        // 16-bit parts whose VIHH ends at 9 V are the K-series, whose chip erase is not
        // the 2XXX/4XXX one.
        if (d.Algorithm == 2 && d.vppMax() <= 9.0 && d.BulkEraseCode == 0)
            report(lineOfKey(file, name, "VppMax"),
                   "[" + name + "] takes at most " + formatVolts(d.vppMax()) +
                       " V but names no BulkEraseCode (the 2XXX/4XXX chip erase 0x3F8F "
                       "is not the K-series' one)");
        if (d.BulkEraseCode != 0 && (d.BulkEraseCode & 0x80) == 0)
            report(lineOfKey(file, name, "BulkEraseCode"),
                   "[" + name + "] BulkEraseCode " + hex(d.BulkEraseCode) +
                       " lacks the erase enable bit 0x0080");
        for (int n = 0; n < d.ConfigCount; ++n) {
            const auto outside = static_cast<uint16_t>(d.ConfigValue[n] & ~d.ConfigMask[n]);
            if (outside != 0)
                report(lineOfKey(file, name, "ConfigValue" + std::to_string(n + 1)),
                       "[" + name + "] ConfigValue" + std::to_string(n + 1) + " " +
                           hex(static_cast<uint16_t>(d.ConfigValue[n])) + " sets bits " +
                           hex(outside) + " outside ConfigMask" + std::to_string(n + 1) + " " +
                           hex(d.ConfigMask[n]));
        }
        // The value as written where the chain sets `key`, before the loader's bounds.
        auto written = [&](const std::string& key, int32_t absent) {
            const DeviceFileMap::Key* k = keyOf(file, name, key);
            return k ? ParseIniNumber(k->value, absent) : absent;
        };
        for (const char* key : {"IdAdr", "ConfigBaseAdr", "DeviceIDAdr", "ResetVector"}) {
            const int32_t address = written(key, 0);
            if (address < 0 || address > d.addressLimit())
                report(lineOfKey(file, name, key),
                       "[" + name + "] " + key + " " +
                           (address < 0 ? std::to_string(address)
                                        : hex(static_cast<uint32_t>(address))) +
                           " lies outside the family's addresses 0.." +
                           hex(static_cast<uint32_t>(d.addressLimit())) +
                           " and is clamped when loaded");
        }
        for (const auto& [key, address] : configurationSpaceAddresses(d)) {
            const int32_t asWritten = written(key, address);
            if (asWritten < 0 || asWritten > d.addressLimit())
                continue;  // reported above
            const DeviceFamily family = d.traits().family;
            // Word-addressed HEX files place these words at twice their address: the classic
            // layout's 16-bit address field ends below word 0x8000, and the enhanced core's
            // files keep IDs and configuration from word 0x8000 on.
            if (family == DeviceFamily::EnhancedMidrange && address < kEnhancedConfigSpace)
                report(lineOfKey(file, name, key),
                       "[" + name + "] " + key + " " + hex(static_cast<uint32_t>(address)) +
                           " lies outside the configuration space 0x8000..0xFFFF");
            if (family == DeviceFamily::Midrange && address >= kEnhancedConfigSpace)
                report(lineOfKey(file, name, key),
                       "[" + name + "] " + key + " " + hex(static_cast<uint32_t>(address)) +
                           " lies at 0x8000 or above, where a 12/14-bit part's HEX file cannot "
                           "carry it (the enhanced core is Algorithm 3)");
        }
        const int32_t osccal = written("OscCal", 0);
        if (osccal != 0 && (osccal < 0 || osccal >= d.ProgSize))
            report(lineOfKey(file, name, "OscCal"),
                   "[" + name + "] OscCal " + hex(static_cast<uint32_t>(osccal)) +
                       " lies outside program memory (" + std::to_string(d.ProgSize) +
                       " words) and is dropped when loaded");

        // The look-up by ID reads the section's own keys only.
        const auto* own = resolveAlias(file, name);
        if (own == &section) {
            const auto* id = section.find("DeviceID");
            const auto* mask = section.find("DeviceIDMask");
            const auto idValue = static_cast<uint16_t>(id ? ParseIniNumber(id->value, 0) : 0);
            const auto maskValue =
                static_cast<uint16_t>(mask ? ParseIniNumber(mask->value, 0x3FF0) : 0x3FF0);
            if (idValue != 0 && maskValue != 0) {
                const auto semicolon = id->value.find(';');
                identified.push_back(
                    {name, id->line, idValue, maskValue, d.isExtendedFamily(),
                     semicolon == std::string::npos ? "" : lower(id->value.substr(semicolon))});
            }
        }
    }
    for (size_t i = 0; i < identified.size(); ++i) {
        for (size_t j = i + 1; j < identified.size(); ++j) {
            const auto& a = identified[i];
            const auto& b = identified[j];
            // The two protocol families read their IDs differently, so only devices of one
            // family can be confused. Chips that really share an ID (one die in two
            // packages) say so in a comment on the later DeviceID naming the other.
            const uint16_t common = a.mask & b.mask;
            if (a.extended == b.extended && (a.id & common) == (b.id & common) &&
                b.comment.find(lower(a.name)) == std::string::npos)
                report(b.line, "[" + b.name + "] DeviceID " + hex(b.id) + " under mask " +
                                   hex(b.mask) + " also matches [" + a.name + "] (line " +
                                   std::to_string(a.line) + ")");
        }
    }
    std::stable_sort(findings.begin(), findings.end(),
                     [](const LintFinding& x, const LintFinding& y) { return x.line < y.line; });
    return findings;
}

namespace {

// A whole number as Config.ini writes option values: an optional sign, then "0x" and hex
// digits or decimal digits, nothing after them (a comment aside).
bool isIniNumber(const std::string& raw) {
    const std::string text = StripIniComment(raw);
    size_t i = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    const bool hex = text.compare(i, 2, "0x") == 0;
    if (hex)
        i += 2;
    const size_t digits = i;
    while (i < text.size() &&
           (hex ? hexDigit(text[i]) >= 0 : std::isdigit(static_cast<unsigned char>(text[i]))))
        ++i;
    return i > digits && i == text.size();
}

std::string hex16(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFFu);
    return text;
}

}  // namespace

std::vector<LintFinding> lintConfigFile(const DeviceFileMap& config) {
    std::vector<LintFinding> findings;
    for (const auto& section : config.sections()) {
        const std::string where = "[" + section.name + "] ";
        if (section.keys.size() > static_cast<size_t>(ConfigFieldTable::kMaxRows))
            findings.push_back({section.keys[ConfigFieldTable::kMaxRows].line,
                                where + "has " + std::to_string(section.keys.size()) +
                                    " entries; the panel shows the first " +
                                    std::to_string(ConfigFieldTable::kMaxRows)});
        for (const auto& key : section.keys) {
            // The entry as the panel receives it.
            const ConfigField field = parseConfigEntry(key.name + "=" + key.value);
            auto report = [&](const std::string& message) {
                findings.push_back({key.line, where + message});
            };
            const std::string label = field.label.empty() ? "an entry" : field.label;
            if (field.label.empty())
                report("entry has no label before \"(\"");
            if (field.mask == 0)
                report(label + " has no mask (or a mask of 0)");
            if (field.word < 1 || field.word > 9)
                report(label + " names configuration word " + std::to_string(field.word) +
                       "; it must be 1..9");
            if (field.optionNames.empty())
                report(label + " has no options");
            if (field.optionNames.size() != field.optionValues.size())
                report(label + " has " + std::to_string(field.optionNames.size()) +
                       " option names but " + std::to_string(field.optionValues.size()) +
                       " values");
            for (size_t i = 0; i < field.optionValues.size(); ++i) {
                const std::string& value = field.optionValues[i];
                const std::string name =
                    i < field.optionNames.size() ? field.optionNames[i] : std::to_string(i + 1);
                if (!isIniNumber(value)) {
                    report(label + " option " + name + " value \"" + value + "\" is no number");
                    continue;
                }
                const auto bits = static_cast<uint32_t>(ParseIniNumber(value, 0));
                if ((bits & ~uint32_t{field.mask} & 0xFFFFu) != 0)
                    report(label + " option " + name + " value " + hex16(bits) +
                           " sets bits outside the mask " + hex16(field.mask));
            }
        }
    }
    return findings;
}

std::vector<LintFinding> lintConfigSettings(const DeviceFileMap& devices,
                                            const DeviceFileMap& config,
                                            const ResolveDevice& resolve) {
    std::vector<LintFinding> findings;
    for (const auto& section : devices.sections()) {
        const std::string setting = resolve(section.name).ConfigSetting;
        if (!setting.empty() && config.find(setting) == nullptr)
            findings.push_back({lineOfKey(devices, section.name, "ConfigSetting"),
                                "[" + section.name + "] ConfigSetting " + setting +
                                    " names no section of Config.ini"});
    }
    return findings;
}

}  // namespace velkaro
