#include "link/programmer_types.h"

#include "base/text_compare.h"
#include "link/programmer_commands.h"

namespace velkaro {

namespace {

ProgrammerCapabilities intelligent() {
    ProgrammerCapabilities can;
    can.programmerCommands = true;
    can.firmwareQuery = true;
    can.socketLed = true;
    can.fastBlankCheck = true;
    can.oscillatorMeasure = true;
    // Three regulator settings (docs/pro-circuit.md): 8.5 V for the chips whose VIHH is 9 V at
    // most, 12.0 V for "12 V and below", 13.0 V for "above 12 V".
    can.vppLevels = {{8.5, kCmdVpp8V5}, {12.0, kCmdVppLow}, {13.0, kCmdVppHigh}};
    // VPP off leaves MCLR at 0 V through its pull-down, and the power check can be told to
    // ask for VDD alone (command 117).
    can.lowVoltageEntry = true;
    can.switchesVdd = true;
    return can;
}

ProgrammerCapabilities bitBanged() {
    ProgrammerCapabilities can;
    can.bitBanged = true;
    // The classic circuit makes VPP from the port's own swing: about 13 V, not adjustable.
    can.vppLevels = {{13.0, 0}};
    // MCLR stays low while VPP is off, VDD comes from the port: the key goes out on the
    // clock and data lines like any other bits.
    can.lowVoltageEntry = true;
    return can;
}

}  // namespace

const std::vector<ProgrammerType>& programmerTypes() {
    static const std::vector<ProgrammerType> types{
        {0, "VKR-20 PRO", intelligent()},
        {1, "VKR-20 JDM", bitBanged()},
    };
    return types;
}

const ProgrammerType& programmerTypeOf(int index) {
    const auto& types = programmerTypes();
    for (const ProgrammerType& type : types) {
        if (type.index == index)
            return type;
    }
    for (const ProgrammerType& type : types) {
        if (type.can.bitBanged)
            return type;
    }
    return types.back();
}

const ProgrammerType* findProgrammerType(std::string_view text) {
    for (const ProgrammerType& type : programmerTypes()) {
        if (equalsIgnoreCase(text, type.name) || text == std::to_string(type.index))
            return &type;
    }
    return nullptr;
}

const VppLevel* chooseVppLevel(const std::vector<VppLevel>& levels, double wanted, double vppMin,
                               double vppMax) {
    // Values from device.ini and the table are decimal fractions: a hair's difference is
    // rounding, not a different voltage.
    constexpr double kTolerance = 1e-6;
    const VppLevel* below = nullptr;
    for (const VppLevel& level : levels) {
        if (level.volts < vppMin - kTolerance || level.volts > vppMax + kTolerance)
            continue;
        if (level.volts >= wanted - kTolerance)
            return &level;
        below = &level;
    }
    return below;
}

std::string programmerTypesWith(bool ProgrammerCapabilities::*can) {
    std::vector<std::string_view> names;
    for (const ProgrammerType& type : programmerTypes()) {
        if (type.can.*can)
            names.push_back(type.name);
    }
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            text += i + 1 == names.size() ? " or " : ", ";
        text += names[i];
    }
    return text;
}

std::string_view bitBangedTypeName() {
    for (const ProgrammerType& type : programmerTypes()) {
        if (type.can.bitBanged)
            return type.name;
    }
    return programmerTypes().back().name;
}

std::string programmerTypeChoices() {
    const auto& types = programmerTypes();
    std::string numbers, names;
    for (size_t i = 0; i < types.size(); ++i) {
        numbers += std::to_string(types[i].index) + ", ";
        if (i > 0)
            names += i + 1 == types.size() ? " or " : ", ";
        names += "\"" + std::string(types[i].name) + "\"";
    }
    return numbers + names;
}

}  // namespace velkaro
