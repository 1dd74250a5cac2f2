#include "operations/blank_check.h"

#include "operations/family_steps.h"
#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/programming_mode.h"

namespace velkaro {

using namespace ops;

ResultCode blankCheck(Workspace& workspace, OperationUi& ui, bool program, bool data,
                      FirstDifference* firstDifference) {
    ProgrammerLink& link = *workspace.link;
    FirstDifference unused;
    FirstDifference& where = firstDifference != nullptr ? *firstDifference : unused;
    where = {};
    const LinkUiScope uiScope(link, ui);
    const DeviceDefinition& device = workspace.device;
    const FamilySteps& steps = familySteps(device);
    // Reads over a failed link are no evidence either way: neither blank nor a region that
    // is not.
    if (program) {
        const ResultCode code = uiScope.checked(steps.blankProgram(link, device, ui, where));
        if (code != kResultOk)
            return uiScope.checked(confirmRegionFailure(link, code));
    }
    if (data) {
        const ResultCode code = uiScope.checked(steps.blankData(link, device, ui, where));
        return uiScope.checked(confirmRegionFailure(link, code));
    }
    return kResultOk;
}

CheckWindowState activateBlankCheckWindow(const Workspace& workspace) {
    return {workspace.blankOptions.ProgEn, workspace.blankOptions.DataEn,
            workspace.device.EpromSize != 0};
}

FlowOutcome runBlankCheck(Workspace& workspace, OperationUi& ui, BlankOptions ticked) {
    if (!checksSomething(workspace.device, ticked.ProgEn, ticked.DataEn))
        return {WindowClose::Cancel, kResultOk};
    workspace.blankOptions = ticked;
    const LinkUiScope uiScope(*workspace.link, ui);
    FirstDifference where;
    const ResultCode code = blankCheck(workspace, ui, ticked.ProgEn, ticked.DataEn, &where);
    if (code == kResultOk)
        ui.showMessage(msg::kDeviceIsBlank);
    else if (where.known() && !regionErrorMessage(code).empty())
        ui.showMessage(blankFailureText(regionErrorMessage(code), where));
    else
        workspace.link->ReportResult(code);
    return {WindowClose::Ok, code};
}

}  // namespace velkaro
