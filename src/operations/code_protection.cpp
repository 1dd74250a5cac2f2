#include "operations/code_protection.h"

#include <algorithm>
#include <cctype>

#include "operations/family_steps.h"
#include "operations/operation_support.h"

namespace velkaro {
namespace {

using namespace ops;

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
    const bool read = familySteps(d).readConfigWords(link, d, words);
    link.CloseLink();
    return read && configProtects(ws.configFields, words.data(), configWordCount(d));
}

bool imageProtectsChip(const Workspace& ws) {
    return configProtects(ws.configFields, ws.image.ConfigWords.data(), configWordCount(ws.device));
}

}  // namespace velkaro
