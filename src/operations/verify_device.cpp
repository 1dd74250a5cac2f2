#include "operations/verify_device.h"

#include <string>

#include "link/link_messages.h"
#include "operations/code_protection.h"
#include "operations/family_steps.h"
#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/programming_mode.h"

namespace velkaro {

using namespace ops;

ResultCode verifyDevice(Workspace& workspace, OperationUi& ui, bool program, bool data,
                        bool configuration, FirstDifference* firstDifference) {
    const LinkUiScope uiScope(*workspace.link, ui);
    FirstDifference unused;
    FirstDifference& where = firstDifference != nullptr ? *firstDifference : unused;
    where = {};
    const FamilySteps& steps = familySteps(workspace.device);
    // A mismatch read over a failed link is the link's, not the chip's.
    if (program || configuration) {
        const ResultCode code = uiScope.checked(
            steps.verifyProgramAndConfig(workspace, ui, program, configuration, where));
        if (code != kResultOk)
            return uiScope.checked(confirmRegionFailure(*workspace.link, code));
    }
    if (data && workspace.device.EpromSize != 0) {
        const ResultCode code = uiScope.checked(steps.verifyData(workspace, ui, where));
        return uiScope.checked(confirmRegionFailure(*workspace.link, code));
    }
    return kResultOk;
}

CheckWindowState activateVerifyWindow(const Workspace& workspace) {
    return {workspace.verifyOptions.ProgEn, workspace.verifyOptions.DataEn,
            workspace.device.EpromSize != 0};
}

FlowOutcome runVerify(Workspace& workspace, OperationUi& ui, VerifyOptions ticked) {
    const LinkUiScope uiScope(*workspace.link, ui);
    const bool program = ticked.ProgEn;
    const bool data = ticked.DataEn && workspace.device.EpromSize != 0;
    if (!checksSomething(workspace.device, program, data))
        return {WindowClose::Cancel, kResultOk};
    FirstDifference where;
    const ResultCode code = verifyDevice(workspace, ui, program, data, program, &where);
    // The difference may be the protection's zeros, not a fault of the chip.
    const bool isProtected =
        (code == kResultProgramError || code == kResultDataError) && chipIsProtected(workspace, ui);
    // The region being checked is over once the result shows.
    ui.setStatusText("");
    if (code == kResultOk) {
        ui.showMessage(msg::kVerifyNoErrors);
    } else if (isProtected) {
        ui.showMessage(std::string(code == kResultProgramError ? kMsgProgramMemoryError
                                                               : kMsgDataMemoryError) +
                       "\r" + std::string(msg::kChipProtected));
    } else if (where.known() && !regionErrorMessage(code).empty()) {
        ui.showMessage(verifyFailureText(regionErrorMessage(code), where));
    } else {
        workspace.link->ReportResult(code);
    }
    workspace.verifyOptions = ticked;
    return {WindowClose::Ok, code};
}

}  // namespace velkaro
