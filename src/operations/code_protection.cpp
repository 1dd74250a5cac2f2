#include "operations/code_protection.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "operations/operation_support.h"

namespace velkaro {
namespace {

using namespace ops;
using ConfigWordArray = std::array<uint16_t, DeviceDefinition::kMaxConfigWords>;

// Configuration words of the device, capped to the image.
int configWordCount(const DeviceDefinition& d) {
    return std::clamp(d.ConfigCount, 0, DeviceDefinition::kMaxConfigWords);
}

// 6-bit family: the configuration words lie on the reset-vector walk, or after
// Load Configuration, or after program memory. False when they are not reached.
bool readConfig6(ProgrammerLink& link, const DeviceDefinition& d, ConfigWordArray& words) {
    int32_t a = d.ResetVector;
    bool seen = false;
    for (; a != 0; a = nextAddress(d, a)) {
        if (a == d.ConfigBaseAdr) {
            link.SendCommand(kCmdReadData);
            words[0] = link.ReceiveData();
            seen = true;
        }
        link.SendCommand(kCmdIncrementAddress);
    }
    if (seen)
        return true;
    if (d.hasLoadConfig()) {
        link.SendCommand(kCmdLoadConfig);
        link.SendData(0);
        a = d.IdAdr;
    } else {
        for (; a < d.ProgSize; ++a)
            link.SendCommand(kCmdIncrementAddress);
    }
    const int32_t last = d.ConfigBaseAdr + configWordCount(d) - 1;
    if (d.ConfigBaseAdr < a || last < d.ConfigBaseAdr)
        return false;
    for (; a <= last; ++a) {
        if (inConfigRange(d, a)) {
            link.SendCommand(kCmdReadData);
            words[a - d.ConfigBaseAdr] = link.ReceiveData();
        }
        link.SendCommand(kCmdIncrementAddress);
    }
    return true;
}

void readConfig16(ProgrammerLink& link, const DeviceDefinition& d, ConfigWordArray& words) {
    link.SetTablePointer(static_cast<uint32_t>(d.ConfigBaseAdr));
    for (int k = 0; k < configWordCount(d); ++k)
        words[k] = tableReadWord(link);
}

}  // namespace

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

bool chipIsProtected(Workspace& ws, OperationUi& ui) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    const LinkUiScope uiScope(link, ui);
    if (!link.OpenLink(false, false))
        return false;
    ConfigWordArray words{};
    bool read = true;
    if (d.isExtendedFamily())
        readConfig16(link, d, words);
    else
        read = readConfig6(link, d, words);
    link.CloseLink();
    return read && configProtects(ws.configFields, words.data(), configWordCount(d));
}

bool imageProtectsChip(const Workspace& ws) {
    return configProtects(ws.configFields, ws.image.ConfigWords.data(), configWordCount(ws.device));
}

}  // namespace velkaro
