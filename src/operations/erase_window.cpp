#include "operations/erase_window.h"

#include "operations/device_id.h"
#include "operations/family_steps.h"
#include "operations/operation_messages.h"
#include "operations/operation_support.h"

namespace velkaro {

EraseWindowState activateEraseWindow(const Workspace& workspace) {
    const DeviceDefinition& d = workspace.device;
    return {workspace.eraseOptions, d.EpromSize != 0, d.DeviceID != 0, d.OscCal != 0};
}

FlowOutcome runErase(Workspace& workspace, OperationUi& ui, EraseOptions ticked) {
    const EraseWindowState window = activateEraseWindow(workspace);
    const DeviceDefinition& d = workspace.device;
    ProgrammerLink& link = *workspace.link;
    const ops::LinkUiScope uiScope(link, ui);

    if (window.devIdEnabled && ticked.DevIdChk &&
        !confirmDeviceId(workspace, ui, msg::kDevIdMismatchEraseQuestion))
        return {WindowClose::Cancel, kResultOk};  // nothing erased
    EraseOptions& remembered = workspace.eraseOptions;
    remembered.DevIdChk = ticked.DevIdChk;
    remembered.ProgEn = ticked.ProgEn;
    remembered.DataEn = ticked.DataEn;
    remembered.BuffClear = ticked.BuffClear;
    remembered.OscCalEn = ticked.OscCalEn;
    const bool eraseData = ticked.DataEn && window.dataEnabled;
    if (!ticked.ProgEn && !eraseData)
        return {WindowClose::Ok, kResultOk};

    return familySteps(d).eraseWindow(workspace, ui, ticked, eraseData);
}

}  // namespace velkaro
