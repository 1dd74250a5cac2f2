#include "operations/enhanced/enhanced_steps.h"

#include "operations/midrange/midrange_steps.h"
#include "operations/operation_support.h"
#include "operations/programming_mode.h"

namespace velkaro {
namespace {

ResultCode writeErasedEnhanced(Workspace& ws, OperationUi& ui, bool writeProgram, bool writeData,
                               bool writeConfig) {
    return writeEnhanced(ws, ui, writeProgram, writeData, writeConfig, true);
}

EraseScope scopeOf(bool program, bool data) {
    if (program)
        return data ? EraseScope::All : EraseScope::ProgramOnly;
    return EraseScope::DataOnly;
}

}  // namespace

// The erase window: one bulk erase for what is ticked. These parts have no OSCCAL word or
// band-gap bits to keep. A failure is reported through the link (a refused programming
// voltage as the refusal) and closes the window with Cancel.
FlowOutcome eraseWindowEnhanced(Workspace& workspace, OperationUi& ui, const EraseOptions& ticked,
                                bool eraseData) {
    if (ticked.ProgEn || eraseData) {
        if (!eraseEnhanced(workspace, ui, scopeOf(ticked.ProgEn, eraseData))) {
            ProgrammerLink& link = *workspace.link;
            const ResultCode code =
                link.checkedResult(ui.cancelRequested() ? kResultCancelled : kResultHardwareError);
            link.ReportResult(code);
            return {WindowClose::Cancel, code};
        }
    }
    if (ticked.BuffClear)
        workspace.image.ClearImage(workspace.device, true, true);
    return {WindowClose::Ok, kResultOk};
}

// The write window: erases what is ticked (program memory with its IDs and configuration),
// then writes it; the choices are remembered unless cancelled.
FlowOutcome writeWindowEnhanced(Workspace& workspace, OperationUi& ui, WriteOptions ticked) {
    const bool data = ticked.DataEn && workspace.device.EpromSize != 0;
    workspace.writeOptions.OscCal = ticked.OscCal;
    const ops::LinkUiScope uiScope(*workspace.link, ui);
    bool erased = true;
    if (ticked.ProgEn || data)
        erased = eraseEnhanced(workspace, ui, scopeOf(ticked.ProgEn, data));
    // The configuration goes with program memory: without the program-memory erase its
    // cycle could only clear bits.
    const ResultCode code =
        uiScope.checked(writeEnhanced(workspace, ui, ticked.ProgEn, data, ticked.ProgEn, erased));
    workspace.link->ReportResult(code);
    if (code == kResultCancelled)
        return {WindowClose::Cancel, code};
    workspace.writeOptions = ticked;
    return {WindowClose::Ok, code};
}

const FamilySteps& enhancedMidrangeSteps() {
    static constexpr FamilySteps kSteps{
        .readProgram = readProgram6,
        .readData = readData6,
        .readFailed = readFailed6,
        .blankProgram = blankProgram6,
        .blankData = blankData6,
        .verifyProgramAndConfig = verifyProgramAndConfig6,
        .verifyData = verifyData6,
        .readConfigWords = readConfig6,
        .checkProgrammingMode = ops::checkProgrammingModeFromProgramMemory6,
        .erase = eraseEnhanced,
        .eraseWindow = eraseWindowEnhanced,
        .writeErased = writeErasedEnhanced,
        .writeWindow = writeWindowEnhanced,
        .vddFirstLocksOut = true,
    };
    return kSteps;
}

}  // namespace velkaro
