#include "operations/lock_out.h"

#include <string_view>

#include "operations/family_steps.h"
#include "operations/operation_messages.h"

namespace velkaro {
namespace {

// The option a field's configuration word selects, or empty when none matches.
std::string_view selectedOption(const ConfigField& field, const MemoryImage& image) {
    if (field.word < 1 || static_cast<size_t>(field.word) > image.ConfigWords.size())
        return {};
    const int option = matchingConfigOption(field, image.ConfigWords[field.word - 1]);
    if (option < 0 || static_cast<size_t>(option) >= field.optionNames.size())
        return {};
    return field.optionNames[option];
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

bool configurationLocksOut(const Workspace& workspace) {
    if (!familySteps(workspace.device).vddFirstLocksOut || !workspace.link ||
        !workspace.link->raisesVddFirst())
        return false;
    bool internalOscillator = false;
    bool mclrOff = false;
    const ConfigFieldTable& fields = workspace.configFields;
    for (int i = 0; i < fields.count(); ++i) {
        const ConfigField& field = fields.row(i);
        const std::string_view option = selectedOption(field, workspace.image);
        if (field.label == "FOSC" || field.label == "OSC")
            internalOscillator =
                internalOscillator || startsWith(option, "INT") || startsWith(option, "IRC");
        else if (field.label == "MCLRE")
            mclrOff = mclrOff || option == "OFF";
    }
    return internalOscillator && mclrOff;
}

bool configurationClearsLvp(const Workspace& workspace) {
    const DeviceDefinition& d = workspace.device;
    if (!workspace.link || !workspace.link->usesLowVoltageEntry() || !d.allowsLowVoltageEntry() ||
        static_cast<size_t>(d.LvpWord) > workspace.image.ConfigWords.size())
        return false;
    return (workspace.image.ConfigWords[d.LvpWord - 1] & d.LvpMask) == 0;
}

bool confirmLockOutRisk(const Workspace& workspace, OperationUi& ui) {
    if (configurationLocksOut(workspace) && !ui.askOkCancelDefaultCancel(msg::kLockOutQuestion))
        return false;
    return !configurationClearsLvp(workspace) || ui.askOkCancelDefaultCancel(msg::kLvpOffQuestion);
}

}  // namespace velkaro
