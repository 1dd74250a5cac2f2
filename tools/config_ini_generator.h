#pragma once

#include <string>
#include <vector>

#include "gputils_listing.h"

namespace velkaro::tools {

struct ConfigIniSection {
    std::string name;  // the ConfigSetting value
    GputilsProcessor processor;
};

// Config.ini text: one section per entry, one line per named gputils field, labels and
// option names as gputils writes them, each field's mask and option values placed in the
// 16-bit configuration word the file format counts.
std::string generateConfigIni(const std::vector<ConfigIniSection>& sections);

// The ConfigSetting names of every device of `dataDir`/device.ini, each once, in the order
// of the device list. Fills `missing` with the names gputils does not know.
std::vector<ConfigIniSection> configSectionsFromGputils(const std::string& dataDir,
                                                        std::vector<std::string>& missing);

}  // namespace velkaro::tools
