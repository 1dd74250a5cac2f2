#include "operations/midrange/midrange_steps.h"

#include "operations/erase_window.h"
#include "operations/midrange/bulk_erase.h"
#include "operations/midrange/osccal_backup.h"
#include "operations/midrange/osccal_word.h"
#include "operations/midrange/word_erase.h"
#include "operations/operation_messages.h"
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

// The erase window: the factory calibration is read first when asked to be kept; program
// memory goes with the command string, the bulk or chip erase or, failing those, word by
// word, data memory likewise; then the buffer is cleared and the calibration written back.
FlowOutcome eraseWindow6(Workspace& workspace, OperationUi& ui, const EraseOptions& ticked,
                         bool eraseData) {
    const DeviceDefinition& d = workspace.device;
    const bool keepWanted = (d.OscCal != 0 || d.BGMask != 0) &&
                            activateEraseWindow(workspace).oscCalVisible && ticked.OscCalEn;
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

// The write window: with OscCal ticked on a flash part the chip's OSCCAL and BG values are
// read into the image first (they survive the erase), then writeChip.
FlowOutcome writeWindow6(Workspace& workspace, OperationUi& ui, WriteOptions ticked) {
    const DeviceDefinition& d = workspace.device;
    // The box is what every write consults for the OSCCAL word, from now on.
    workspace.writeOptions.OscCal = ticked.OscCal;
    if (d.OscCal != 0 && ticked.OscCal && d.FlashType)
        workspace.link->ReadCalibrationWords();
    const ResultCode code = writeChip(workspace, ui, ticked.ProgEn, ticked.DataEn);
    if (code == kResultCancelled)
        return {WindowClose::Cancel, code};  // closed by its Cancel button: nothing remembered
    workspace.writeOptions = ticked;
    return {WindowClose::Ok, code};
}

}  // namespace velkaro
