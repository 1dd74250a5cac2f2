#include "operations/write_device.h"

#include "link/icsp_commands.h"
#include "operations/device_id.h"
#include "operations/erase_device.h"
#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/write_extended.h"
#include "operations/write_word.h"

namespace velkaro {
namespace {

using namespace ops;

// The primitives report nothing, so a programmer that went away mid-section would look like
// a success (or, with read-back, like a bad word). The supply check tells the two apart.
bool targetPowered(ProgrammerLink& link) {
    return (link.library().SCheckPower() & 1) != 0;
}

// Ends a section: a target that lost power makes it a hardware failure.
ResultCode closeSection(ProgrammerLink& link, OperationUi& ui) {
    const bool powered = targetPowered(link);
    ui.setStatusText("");
    link.CloseLink();
    return powered ? kResultOk : kResultHardwareError;
}

ResultCode cancelled(ProgrammerLink& link) {
    closeLinkIfOpen(link);
    return kResultCancelled;
}

ResultCode programSection(Workspace& ws, OperationUi& ui, bool erased) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    const MemoryImage& image = ws.image;
    const int latchLimit = d.LoadCnt > 0 ? d.LoadCnt - 1 : 0;
    int latched = 0;
    bool pending = false;

    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    ui.setStatusText(msg::kWritingProgram);
    for (int32_t a = d.ResetVector; a != 0; a = nextAddress(d, a))
        link.SendCommand(kCmdIncrementAddress);

    // The OSCCAL value is written back on flash parts (the erase destroyed the chip's own);
    // other parts take it only when the user chose the image's value over the chip's, and
    // otherwise get the program buffer's word like any other.
    const bool oscCalFromImage = d.FlashType || !ws.writeOptions.OscCal;
    for (int32_t a = 0; a < d.ProgSize; ++a) {
        if (cancelSeen(ui))
            return cancelled(link);
        ui.setProgress(percentOf(a, d.ProgSize));
        uint16_t value = 0;
        bool skipped = false;
        if (a > 0 && a == d.OscCal && oscCalFromImage) {
            value = image.OscCalValue & d.BlankWord;
        } else {
            value = image.ProgMemory[a] & d.BlankWord;
            skipped = erased && value == d.BlankWord;
        }
        // The last word of memory closes its group even when the group is short, so that
        // words loaded into it are programmed.
        const bool lastWord = a == d.ProgSize - 1;
        if (latched < latchLimit && !lastWord) {
            if (!skipped) {
                link.SendCommand(kCmdLoadData);
                link.SendData(value);
                pending = true;
            }
            ++latched;
        } else {
            const bool ok = (skipped && !pending) || WriteWordVerified(ws, value, erased, false);
            pending = false;
            latched = 0;
            if (!ok) {
                const ResultCode code =
                    targetPowered(link) ? kResultProgramError : kResultHardwareError;
                ui.setStatusText("");
                link.CloseLink();
                return code;
            }
        }
        link.SendCommand(kCmdIncrementAddress);
    }
    ui.setStatusText("");
    ui.setProgress(100);

    // The ID locations follow program memory; their results are left to a verify.
    const int32_t last = d.IdAdr + 3;
    int32_t a = d.ProgSize;
    if (d.hasLoadConfig()) {
        link.SendCommand(kCmdLoadConfig);
        link.SendData(0);
        a = d.IdAdr;
    }
    for (; a <= last; ++a) {
        if (inIdRange(d, a))
            WriteWordVerified(ws, image.IdWords[a - d.IdAdr] & 0xFF, erased, false);
        link.SendCommand(kCmdIncrementAddress);
    }
    return closeSection(link, ui);
}

ResultCode dataSection(Workspace& ws, OperationUi& ui, bool erased) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    ui.setStatusText(msg::kWritingData);
    for (int32_t a = 0; a < d.EpromSize; ++a) {
        if (cancelSeen(ui))
            return cancelled(link);
        ui.setProgress(percentOf(a, d.EpromSize));
        link.SendCommand(kCmdLoadDataMemory);
        link.SendData(ws.image.DataMemory[a]);
        link.StartProgrammingCycle(erased, false, false);
        link.SendCommand(kCmdIncrementAddress);
    }
    ui.setProgress(100);
    return closeSection(link, ui);
}

ResultCode configSection(Workspace& ws, bool erased) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    const MemoryImage& image = ws.image;
    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    if (d.ResetVector != 0) {
        // The configuration word lies on the way from the reset vector to address 0.
        for (int32_t a = d.ResetVector; a != 0; a = nextAddress(d, a)) {
            if (a == d.ConfigBaseAdr)
                WriteWordVerified(ws, image.ConfigWords[0], erased, true);
            link.SendCommand(kCmdIncrementAddress);
        }
    } else {
        const int32_t last = d.ConfigBaseAdr + d.ConfigCount - 1;
        int32_t a = 0;
        if (d.hasLoadConfig()) {
            link.SendCommand(kCmdLoadConfig);
            link.SendData(0);
            a = d.IdAdr;
        }
        for (; a <= last; ++a) {
            if (inConfigRange(d, a)) {
                uint16_t value = image.ConfigWords[a - d.ConfigBaseAdr];
                if (d.BGMask != 0 && a == d.ConfigBaseAdr)
                    value |= image.BGValue;
                WriteWordVerified(ws, value, erased, true);
            }
            link.SendCommand(kCmdIncrementAddress);
        }
    }
    const bool powered = targetPowered(link);
    link.CloseLink();
    return powered ? kResultOk : kResultHardwareError;
}

}  // namespace

ResultCode WriteSequence(Workspace& ws, OperationUi& ui, bool writeProgram, bool writeData,
                         bool writeConfig, bool erased) {
    const LinkUiScope uiScope(*ws.link, ui);
    if (writeProgram) {
        if (const ResultCode code = programSection(ws, ui, erased); code != kResultOk)
            return code;
    }
    if (writeData && ws.device.EpromSize != 0) {
        if (const ResultCode code = dataSection(ws, ui, erased); code != kResultOk)
            return code;
    }
    if (writeConfig)
        return configSection(ws, erased);
    return kResultOk;
}

ResultCode WriteDevice(Workspace& ws, OperationUi& ui, bool writeProgram, bool writeData,
                       bool writeConfig) {
    if (ws.device.isExtendedFamily())
        return WriteExtendedChain(ws, ui, writeProgram, writeData, writeConfig);
    return WriteSequence(ws, ui, writeProgram, writeData, writeConfig, true);
}

ResultCode writeChip(Workspace& ws, OperationUi& ui, bool writeProgram, bool writeData) {
    const LinkUiScope uiScope(*ws.link, ui);
    writeData = writeData && ws.device.EpromSize != 0;
    bool erased = true;
    if (writeProgram) {
        if (!clearCodeProtection(ws, ui)) {
            ui.showMessage(msg::kWriteImpossible);
            return kResultProgramError;
        }
        erased = bulkEraseProgram(ws, ui, writeData);
    } else if (writeData) {
        erased = bulkEraseData(ws, ui);
    }
    const ResultCode code = WriteSequence(ws, ui, writeProgram, writeData, true, erased);
    ws.link->ReportResult(code);
    return code;
}

WriteWindowState activateWriteWindow(const Workspace& workspace) {
    return {workspace.writeOptions, workspace.device.EpromSize != 0, workspace.device.OscCal != 0};
}

FlowOutcome runWrite(Workspace& workspace, OperationUi& ui, WriteOptions ticked) {
    const LinkUiScope uiScope(*workspace.link, ui);
    const DeviceDefinition& d = workspace.device;
    if (ticked.DevIdChk && !confirmDeviceId(workspace, ui, msg::kDevIdMismatchWriteQuestion))
        return {WindowClose::Cancel, kResultOk};
    if (d.isExtendedFamily()) {
        const bool dataEn = ticked.DataEn && d.EpromSize != 0;
        const ResultCode code = WriteExtendedFromWindow(workspace, ui, ticked.ProgEn, dataEn);
        if (code == kResultCancelled)
            return {WindowClose::Cancel, code};
        workspace.writeOptions = ticked;
        return {WindowClose::Ok, code};
    }
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
