#include "operations/erase_window.h"

#include "operations/device_id.h"
#include "operations/erase_device.h"
#include "operations/midrange/bulk_erase.h"
#include "operations/midrange/osccal_backup.h"
#include "operations/midrange/osccal_word.h"
#include "operations/midrange/word_erase.h"
#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/pic18/panel_erase.h"
#include "operations/write_device.h"

namespace velkaro {
namespace {

// The factory calibration values read before an erase, to be written back after it.
struct KeptCalibration {
    bool keep = false;
    uint16_t oscCal = 0;
    uint16_t bg = 0;
};

KeptCalibration readCalibration(Workspace& ws, bool wanted) {
    KeptCalibration kept;
    if (!wanted || !ws.link->ReadCalibrationWords())
        return kept;
    kept.keep = true;
    kept.oscCal = ws.image.OscCalValue;
    kept.bg = ws.image.BGValue;
    return kept;
}

// The OSCCAL word goes back into the erased program memory and the BG bits into the erased
// configuration word; nothing else of the buffer is written, so the chip stays blank but for
// its calibration (the buffer's configuration could protect it or lock it out).
void restoreCalibration(Workspace& ws, OperationUi& ui, const KeptCalibration& kept) {
    ws.image.OscCalValue = kept.oscCal;
    ws.image.BGValue = kept.bg;
    writeOscCalWord(ws, ui, kept.oscCal);
    writeBandGapBits(ws, ui, kept.bg);
}

// The window closes with Cancel after a cancel, and after a failure, which is reported as
// the hardware error it is.
FlowOutcome stopped(const OperationUi& ui) {
    return {WindowClose::Cancel, ui.cancelRequested() ? kResultCancelled : kResultHardwareError};
}

}  // namespace

EraseWindowState activateEraseWindow(const Workspace& workspace) {
    const DeviceDefinition& d = workspace.device;
    return {workspace.eraseOptions, d.EpromSize != 0, d.DeviceID != 0, d.OscCal != 0};
}

FlowOutcome runErase(Workspace& workspace, OperationUi& ui, EraseOptions ticked) {
    const EraseWindowState window = activateEraseWindow(workspace);
    const DeviceDefinition& d = workspace.device;
    ProgrammerLink& link = *workspace.link;
    const ops::LinkUiScope uiScope(link, ui);

    const bool keepWanted =
        (d.OscCal != 0 || d.BGMask != 0) && window.oscCalVisible && ticked.OscCalEn;
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

    if (d.isExtendedFamily()) {
        // OSCCAL and BG are not kept here: these parts have neither.
        const EraseScope scope = ticked.ProgEn && eraseData ? EraseScope::All
                                 : ticked.ProgEn            ? EraseScope::ProgramOnly
                                                            : EraseScope::DataOnly;
        const bool erased = panelErase(workspace, ui, scope);
        if (!erased)
            ui.showMessage(msg::kEraseFailed);
        if (ticked.BuffClear)
            workspace.image.ClearImage(d, true, true);
        return {WindowClose::Ok, erased ? kResultOk : kResultHardwareError};
    }

    const KeptCalibration kept = readCalibration(workspace, keepWanted);
    bool dataDone = false;
    if (ticked.ProgEn) {
        if (!d.DeviceEraseCmd.empty()) {
            if (!runEraseCmdKeepingBackup(workspace, true))
                return stopped(ui);
            // Data memory is left to the string; the OSCCAL word and BG bits are not, as
            // the string erases them like any other erase (only a baseline part's backup
            // copy of OSCCAL is kept).
            dataDone = true;
        } else if (bulkEraseProgram(workspace, ui, eraseData)) {
            dataDone = true;
        } else if (eraseProgramWordByWord(workspace, ui) != kResultOk) {
            return stopped(ui);
        }
    }
    if (eraseData && !dataDone && !bulkEraseData(workspace, ui) &&
        eraseDataWordByWord(workspace, ui) != kResultOk)
        return stopped(ui);

    if (ticked.BuffClear)
        workspace.image.ClearImage(d, true, true);
    if (kept.keep)
        restoreCalibration(workspace, ui, kept);
    return {WindowClose::Ok, kResultOk};
}

}  // namespace velkaro
