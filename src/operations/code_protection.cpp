#include "operations/code_protection.h"

#include <algorithm>
#include <cctype>

namespace velkaro {

bool isProtectionField(const std::string& label) {
    if (label.size() < 2 || label.compare(0, 2, "CP") != 0)
        return false;
    const std::string rest = label.substr(2);
    if (rest.empty() || rest == "D" || rest == "B")
        return true;
    return std::all_of(rest.begin(), rest.end(),
                       [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool configProtects(const ConfigFieldTable& fields, const uint16_t* words, int count) {
    for (int row = 0; row < fields.count(); ++row) {
        const ConfigField& field = fields.row(row);
        if (field.word < 1 || field.word > count || field.mask == 0 ||
            !isProtectionField(field.label))
            continue;
        if ((words[field.word - 1] & field.mask) != field.mask)
            return true;
    }
    return false;
}

bool imageProtectsChip(const Workspace& ws) {
    const int count = std::clamp(ws.device.ConfigCount, 0, DeviceDefinition::kMaxConfigWords);
    return configProtects(ws.configFields, ws.image.ConfigWords.data(), count);
}

}  // namespace velkaro
