#include "operations/auto_program.h"

#include <string>

#include "operations/blank_check.h"
#include "operations/device_id.h"
#include "operations/lock_out.h"
#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/verify_device.h"
#include "operations/write_device.h"

namespace velkaro {
namespace {

// Shows the running step in the caption and pauses between steps.
class StepCaption {
public:
    StepCaption(Workspace& ws, OperationUi& ui, std::string_view caption)
        : mWorkspace(ws), mUi(ui), mCaption(caption) {}

    void show(ProgStep step) { mUi.setCaption(mCaption + "  " + std::string(progStepText(step))); }
    void restore() { mUi.setCaption(mCaption); }
    void pause() { mWorkspace.link->settle(kProgStepPauseMs); }

private:
    Workspace& mWorkspace;
    OperationUi& mUi;
    std::string mCaption;
};

// Blank check, write and verify after a successful erase; the first failure ends them.
ResultCode blankWriteVerify(Workspace& ws, OperationUi& ui, StepCaption& steps,
                            const ProgOptions& ticked, const ProgWork& work) {
    if (ticked.BlankEn) {
        steps.show(ProgStep::BlankCheck);
        if (const ResultCode code = blankCheck(ws, ui, work.program, work.data); code != kResultOk)
            return code;
        steps.pause();
    }
    steps.show(ProgStep::Write);
    // The configuration words belong to program memory: a data-only sequence leaves them.
    if (!ticked.VerifyEn)
        return WriteDevice(ws, ui, work.program, work.data, work.program);

    // The configuration words, which may protect the chip, go in only once everything
    // else has been written and found right.
    if (const ResultCode code = WriteDevice(ws, ui, work.program, work.data, false);
        code != kResultOk)
        return code;
    steps.pause();
    steps.show(ProgStep::Verify);
    if (const ResultCode code = verifyDevice(ws, ui, work.program, work.data, false);
        code != kResultOk || !work.program)
        return code;
    steps.pause();
    steps.show(ProgStep::ConfigWrite);
    if (const ResultCode code = WriteDevice(ws, ui, false, false, true); code != kResultOk)
        return code;
    steps.show(ProgStep::ConfigCheck);
    return verifyDevice(ws, ui, false, false, true);
}

}  // namespace

std::string_view progStepText(ProgStep step) {
    switch (step) {
        case ProgStep::DeviceId:
            return msg::kProgStepDeviceId;
        case ProgStep::OscCal:
            return msg::kProgStepOscCal;
        case ProgStep::Erase:
            return msg::kProgStepErase;
        case ProgStep::BlankCheck:
            return msg::kProgStepBlankCheck;
        case ProgStep::Write:
            return msg::kProgStepWrite;
        case ProgStep::Verify:
            return msg::kProgStepVerify;
        case ProgStep::ConfigWrite:
            return msg::kProgStepConfigWrite;
        case ProgStep::ConfigCheck:
            return msg::kProgStepConfigCheck;
    }
    return {};
}

ProgWork progWork(bool progTicked, bool dataTicked, bool dataEnabled) {
    ProgWork work{progTicked, dataTicked && dataEnabled, std::nullopt};
    if (work.program)
        work.scope = work.data || !dataEnabled ? EraseScope::All : EraseScope::ProgramOnly;
    else if (work.data)
        work.scope = EraseScope::DataOnly;
    return work;
}

ProgWindowState activateProgWindow(const Workspace& workspace) {
    return {workspace.progOptions, workspace.device.EpromSize != 0, workspace.device.OscCal != 0};
}

FlowOutcome runAutoProgram(Workspace& workspace, OperationUi& ui, ProgOptions ticked,
                           std::string_view caption) {
    const ProgWindowState window = activateProgWindow(workspace);
    const ops::LinkUiScope uiScope(*workspace.link, ui);
    StepCaption steps(workspace, ui, caption);

    const ProgWork work = progWork(ticked.ProgEn, ticked.DataEn, window.dataEnabled);
    if (!work.scope) {
        steps.restore();
        return {WindowClose::Ok, kResultOk};
    }
    // Asked before the chip is touched; the configuration goes with program memory.
    if (work.program && !confirmLockOutRisk(workspace, ui)) {
        steps.restore();
        return {WindowClose::Cancel, kResultOk};
    }

    // The step runs even for a device without an ID, which then simply goes on.
    if (ticked.DevIdChk) {
        steps.show(ProgStep::DeviceId);
        if (!confirmDeviceId(workspace, ui, msg::kDevIdMismatchWriteQuestion)) {
            steps.restore();
            return {WindowClose::Cancel, kResultOk};
        }
        steps.pause();
    }
    if (window.oscCalVisible && ticked.OscCalEn) {
        steps.show(ProgStep::OscCal);
        workspace.link->ReadCalibrationWords();
        steps.pause();
    }

    steps.show(ProgStep::Erase);
    ResultCode result = kResultOk;
    if (eraseDevice(workspace, ui, *work.scope)) {
        steps.pause();
        result = uiScope.checked(blankWriteVerify(workspace, ui, steps, ticked, work));
        if (result == kResultOk)
            ui.showMessage(msg::kProgDone);
        else
            workspace.link->ReportResult(result);
    } else {
        // Its own message only; a failed erase is still a failure to the caller.
        ui.showMessage(msg::kProgEraseFailed);
        result = kResultHardwareError;
    }
    steps.restore();
    workspace.progOptions = ticked;
    return {result == kResultCancelled ? WindowClose::Cancel : WindowClose::Ok, result};
}

}  // namespace velkaro
