#include "operations/pic18/pic18_steps.h"

#include "operations/operation_messages.h"
#include "operations/pic18/panel_erase.h"
#include "operations/pic18/write_extended.h"

namespace velkaro {

// The erase window: one panel erase for what is ticked; a failure is shown and closes the
// window with OK all the same.
FlowOutcome eraseWindow16(Workspace& workspace, OperationUi& ui, const EraseOptions& ticked,
                          bool eraseData) {
    const DeviceDefinition& d = workspace.device;
    // OSCCAL and BG are not kept here: these parts have neither.
    const EraseScope scope = ticked.ProgEn && eraseData ? EraseScope::All
                             : ticked.ProgEn            ? EraseScope::ProgramOnly
                                                        : EraseScope::DataOnly;
    const bool erased = panelErase(workspace, ui, scope);
    // A refused link has said why, and nothing was tried on the chip.
    const ResultCode refusal = workspace.link ? workspace.link->refusal() : kResultOk;
    if (!erased && refusal == kResultOk)
        ui.showMessage(msg::kEraseFailed);
    if (ticked.BuffClear)
        workspace.image.ClearImage(d, true, true);
    return {WindowClose::Ok, erased                 ? kResultOk
                             : refusal != kResultOk ? refusal
                                                    : kResultHardwareError};
}

// The write window: erase, then write, the choices remembered unless cancelled.
FlowOutcome writeWindow16(Workspace& workspace, OperationUi& ui, WriteOptions ticked) {
    const DeviceDefinition& d = workspace.device;
    const bool dataEn = ticked.DataEn && d.EpromSize != 0;
    const ResultCode code = WriteExtendedFromWindow(workspace, ui, ticked.ProgEn, dataEn);
    if (code == kResultCancelled)
        return {WindowClose::Cancel, code};
    workspace.writeOptions = ticked;
    return {WindowClose::Ok, code};
}

}  // namespace velkaro
