#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/device_definition.h"
#include "catalogue/ini_file.h"

namespace velkaro {

// One problem found in a device file: where it is and what is wrong.
struct LintFinding {
    int line = 0;  // 1-based; the section header when no single key is to blame
    std::string message;
};

// Where each section and key of a device file stands, for pointing at findings: the
// sections and keys as the loader's IniFile reads them, repeats included.
class DeviceFileMap {
public:
    explicit DeviceFileMap(const std::string& text);

    using Key = IniFile::KeyLine;
    struct Section : IniFile::SectionLines {
        const Key* find(const std::string& key) const;  // first one, any letter case
    };
    const std::vector<Section>& sections() const { return mSections; }
    const Section* find(const std::string& name) const;  // first one, any letter case

private:
    std::vector<Section> mSections;
    std::unordered_map<std::string, size_t> mIndex;  // lower-case name: first section
};

// Checks a device file's text for what the loader forgives silently: Default and Alias
// naming missing sections, cycles, unknown or repeated keys and sections, values it would
// clamp, sizes that are no multiple of LoadCnt or PanelSize, configuration values outside
// their masks, OscCal outside program memory, and devices of one protocol family whose
// IDs a chip could match both (unless the later DeviceID's comment names the other device:
// one die sold under two names). `resolve` gives each section's resolved definition.
using ResolveDevice = std::function<DeviceDefinition(const std::string& name)>;
std::vector<LintFinding> lintDeviceFile(const DeviceFileMap& file, const ResolveDevice& resolve);

// Checks Config.ini's text for what the configuration panel drops or shows wrongly without
// a word: an entry "label(mask,word)(names)(values)" without a label, with a mask of 0, a
// word outside 1..9, a different number of names and values, or a value that is no number
// or sets bits outside the mask; a section with more entries than the panel has rows.
std::vector<LintFinding> lintConfigFile(const DeviceFileMap& config);

// Devices whose resolved ConfigSetting names no section of Config.ini (their panel stays
// empty), at the line that sets it.
std::vector<LintFinding> lintConfigSettings(const DeviceFileMap& devices,
                                            const DeviceFileMap& config,
                                            const ResolveDevice& resolve);

// The line to blame for `key` of device `name`: the first section of its Alias and
// Default chain that writes the key, else the device's own header.
int lineOfKey(const DeviceFileMap& file, const std::string& name, const std::string& key);

}  // namespace velkaro
