#include "operations/read_device.h"

#include "operations/code_protection.h"
#include "operations/family_steps.h"
#include "operations/operation_messages.h"
#include "operations/operation_support.h"

namespace velkaro {

using ops::LinkUiScope;

ReadResult readDevice(Workspace& workspace, OperationUi& ui, bool program, bool data) {
    const LinkUiScope uiScope(*workspace.link, ui);
    const DeviceDefinition& device = workspace.device;
    const FamilySteps& steps = familySteps(device);
    const bool readData = data && device.EpromSize != 0;
    // What a chip that failed to answer, or a link that failed, gave is not the chip's
    // content: the buffer is put back.
    const MemoryImage before = workspace.image;
    auto failed = [&](ResultCode code, bool inDataSection) {
        if (code == kResultHardwareError)
            workspace.image = before;
        return ReadResult{code, inDataSection};
    };
    if (program) {
        const ResultCode code = uiScope.checked(steps.readProgram(workspace, ui));
        if (code != kResultOk)
            return failed(code, false);
    }
    if (readData) {
        const ResultCode code = uiScope.checked(steps.readData(workspace, ui));
        if (code != kResultOk)
            return failed(code, true);
    }
    return {};
}

CheckWindowState activateReadWindow(const Workspace& workspace) {
    return {workspace.readOptions.ProgEn, workspace.readOptions.DataEn,
            workspace.device.EpromSize != 0};
}

FlowOutcome runRead(Workspace& workspace, OperationUi& ui, ReadOptions ticked) {
    const LinkUiScope uiScope(*workspace.link, ui);
    const ReadResult read = readDevice(workspace, ui, ticked.ProgEn, ticked.DataEn);
    if (read.code == kResultOk) {
        // A protected chip reads as zeros where it is protected; the file would hold them.
        if (ticked.ProgEn && imageProtectsChip(workspace))
            ui.showMessage(msg::kChipProtected);
        workspace.readOptions = ticked;
        return {WindowClose::Ok, kResultOk};
    }
    return familySteps(workspace.device).readFailed(workspace, read);
}

}  // namespace velkaro
