#include "config_ini_generator.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

#include "catalogue/device_catalogue.h"

namespace velkaro::tools {
namespace {

std::string hex4(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(v & 0xFFFF));
    return text;
}

// Option names are items of a comma-separated list: one that holds a blank, a comma or a
// quote is written in double quotes, with quotes doubled.
std::string listItem(const std::string& name) {
    const bool plain = !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) <= 32 || c == ',' || c == '"' || c == '(' || c == ')';
    });
    if (plain)
        return name;
    std::string quoted = "\"";
    for (char c : name) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

}  // namespace

std::string generateConfigIni(const std::vector<ConfigIniSection>& sections) {
    std::string out =
        "; Config.ini - named configuration fields, one section per device (ConfigSetting).\n"
        "; Entry: label(mask,word)(option names)(option values); word is one digit (1..9).\n"
        "; Generated from gputils' processor data by tools/gen-config-ini; do not edit by "
        "hand.\n";
    for (const auto& section : sections) {
        const GputilsProcessor& p = section.processor;
        out += "\n[" + section.name + "]\n";
        const uint32_t base = p.byteAddressed() ? 0x300000u : p.configFirst.value_or(0);
        for (const auto& word : p.config) {
            const ConfigPlacement at = placeConfig(p, word.address, base);
            for (const auto& field : word.fields) {
                // A field whose only setting is 0 (a pin option of packages the part does not
                // come in) has no bit to choose.
                if (field.mask() == 0)
                    continue;
                std::string names, values;
                for (const auto& option : field.options) {
                    if (!names.empty()) {
                        names += ',';
                        values += ',';
                    }
                    names += listItem(option.name);
                    values += hex4(option.value << at.shift);
                }
                out += field.name + "(" + hex4(field.mask() << at.shift) + "," +
                       std::to_string(at.word) + ")(" + names + ")(" + values + ")\n";
            }
        }
    }
    return out;
}

std::vector<ConfigIniSection> configSectionsFromGputils(const std::string& dataDir,
                                                        std::vector<std::string>& missing) {
    DeviceCatalogue catalogue(dataDir);
    std::vector<ConfigIniSection> sections;
    std::set<std::string> seen;
    for (const std::string& device : catalogue.FillDeviceList()) {
        SilentMessageSink sink;
        ConfigFieldTable fields;
        DeviceDefinition d;
        catalogue.LoadSection(device, d, fields, sink);
        if (d.ConfigSetting.empty() || !seen.insert(d.ConfigSetting).second)
            continue;
        std::string processor = d.ConfigSetting;
        std::transform(processor.begin(), processor.end(), processor.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (auto p = queryGputils(processor))
            sections.push_back({d.ConfigSetting, *p});
        else
            missing.push_back(d.ConfigSetting);
    }
    return sections;
}

}  // namespace velkaro::tools
