#include "gputils_listing.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>

namespace velkaro::tools {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

uint32_t number(std::string_view s) {
    const std::string text(trim(s));
    return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 0));
}

// "Label : value" lines: the value after the first " : ".
bool field(std::string_view line, std::string_view label, std::string_view& value) {
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || trim(line.substr(0, colon)) != label)
        return false;
    value = trim(line.substr(colon + 1));
    return true;
}

// "0x2000 - 0x2003"
void range(std::string_view value, std::optional<uint32_t>& first, std::optional<uint32_t>& last) {
    const auto dash = value.find(" - ");
    first = number(value.substr(0, dash));
    last = dash == std::string_view::npos ? *first : number(value.substr(dash + 3));
}

// "address = 0x2007, mask = 0x01FF, default = 0x31FF"
uint32_t attribute(std::string_view value, std::string_view name) {
    const auto at = value.find(std::string(name) + " = ");
    if (at == std::string_view::npos)
        return 0;
    auto rest = value.substr(at + name.size() + 3);
    return number(rest.substr(0, rest.find(',')));
}

}  // namespace

uint32_t GputilsField::mask() const {
    uint32_t m = 0;
    for (const auto& o : options)
        m |= o.value;
    return m;
}

uint32_t GputilsProcessor::eepromBytes() const {
    return eepromFirst ? *eepromLast - *eepromFirst + 1 : 0;
}

std::optional<GputilsProcessor> parseGputilsListing(std::string_view text) {
    GputilsProcessor p;
    bool sized = false;
    std::istringstream in{std::string(text)};
    std::string raw;
    while (std::getline(in, raw)) {
        const std::string_view line = raw;
        std::string_view value;
        if (field(line, "Class", value)) {
            p.className = value;
        } else if (field(line, "Program Size", value)) {
            p.programSize = number(value.substr(0, value.find(' ')));
            p.programInBytes = value.find("bytes") != std::string_view::npos;
            sized = true;
        } else if (field(line, "Idlocs Range", value)) {
            range(value, p.idFirst, p.idLast);
        } else if (field(line, "Config", value) || field(line, "Config Range", value)) {
            range(value, p.configFirst, p.configLast);
        } else if (field(line, "EEPROM Range", value)) {
            range(value, p.eepromFirst, p.eepromLast);
        } else if (field(line, "Config Word", value)) {
            p.config.push_back({attribute(value, "address"),
                                attribute(value, "mask"),
                                attribute(value, "default"),
                                {}});
        } else if (field(line, "Directive", value) && !p.config.empty()) {
            p.config.back().fields.push_back({std::string(value), {}});
        } else if (field(line, "Option", value) && !p.config.empty() &&
                   !p.config.back().fields.empty()) {
            // "NAME = 0x0010 (default)"; a name may hold blanks.
            const auto eq = value.rfind(" = ");
            if (eq == std::string_view::npos)
                continue;
            auto rest = trim(value.substr(eq + 3));
            p.config.back().fields.back().options.push_back(
                {std::string(trim(value.substr(0, eq))), number(rest.substr(0, rest.find(' ')))});
        }
    }
    if (!sized)
        return std::nullopt;
    return p;
}

bool gputilsAvailable() {
    return std::system("gpasm -v >/dev/null 2>&1") == 0;
}

std::optional<GputilsProcessor> queryGputils(const std::string& processor) {
    for (char c : processor) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return std::nullopt;  // the name goes into a shell command
    }
    const std::string command = "gpasm -s -p " + processor + " 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return std::nullopt;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
        text.append(buffer, n);
    return parseGputilsListing(text);
}

ConfigPlacement placeConfig(const GputilsProcessor& p, uint32_t address, uint32_t base) {
    if (!p.byteAddressed())
        return {static_cast<int>(address - base) + 1, 0};
    const uint32_t offset = address - base;
    return {static_cast<int>(offset / 2) + 1, (offset & 1) ? 8 : 0};
}

}  // namespace velkaro::tools
