#include <algorithm>

#include "link/icsp_commands.h"
#include "operations/code_protection.h"
#include "operations/enhanced/enhanced_steps.h"
#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/verify_device.h"

namespace velkaro {
namespace {

using namespace ops;

// The primitives report nothing, so a programmer that went away mid-section would look like
// a success (or, with read-back, like a bad word). The supply check tells the two apart.
ResultCode closeSection(ProgrammerLink& link, OperationUi& ui, ResultCode code) {
    if ((link.library().SCheckPower() & 1) == 0)
        code = kResultHardwareError;
    ui.setStatusText("");
    link.CloseLink();
    return code;
}

ResultCode cancelled(ProgrammerLink& link) {
    closeLinkIfOpen(link);
    return kResultCancelled;
}

uint16_t programWord(const Workspace& ws, int32_t a) {
    return ws.image.ProgMemory[a] & ws.device.BlankWord;
}

bool rowIsBlank(const Workspace& ws, int32_t first, int32_t end) {
    for (int32_t a = first; a < end; ++a) {
        if (programWord(ws, a) != ws.device.BlankWord)
            return false;
    }
    return true;
}

// Program memory by rows: every word of a row goes into its latch (the counter's low bits
// choose it), and the cycle started at the row's last word programs the whole row. The
// cycle only clears bits, so it needs an erased row.
ResultCode writeRows(Workspace& ws, OperationUi& ui, bool erased) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    const int32_t rowSize = std::max(d.LoadCnt, 1);
    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    ui.setStatusText(msg::kWritingProgram);
    for (int32_t row = 0; row < d.ProgSize; row += rowSize) {
        if (cancelSeen(ui))
            return cancelled(link);
        ui.setProgress(percentOf(row, d.ProgSize));
        const int32_t end = std::min(row + rowSize, d.ProgSize);
        const bool skipped = erased && rowIsBlank(ws, row, end);
        for (int32_t a = row; a < end; ++a) {
            if (!skipped) {
                link.SendCommand(kCmdLoadData);
                link.SendData(programWord(ws, a));
            }
            if (!skipped && a == end - 1) {
                link.SendCommand(kCmdBeginEraseProgram);
                link.DelayMilliseconds(waitMs(d.ProgOnlyCycle));
            }
            link.SendCommand(kCmdIncrementAddress);
        }
    }
    ui.setProgress(100);
    return closeSection(link, ui, kResultOk);
}

// Reads the whole of program memory back against the image.
ResultCode checkRows(Workspace& ws, OperationUi& ui) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    ui.setStatusText(msg::kWritingProgram);
    ReadPipeline reads(
        link, [&](int32_t a, uint16_t chip) { return (chip & d.BlankWord) == programWord(ws, a); });
    for (int32_t a = 0; a < d.ProgSize; ++a) {
        if (cancelSeen(ui))
            return cancelled(link);
        link.SendCommand(kCmdReadData);
        link.QueueReceiveData();
        if (!reads.queued(a))
            return closeSection(link, ui, kResultProgramError);
        link.SendCommand(kCmdIncrementAddress);
    }
    if (!reads.flush())
        return closeSection(link, ui, kResultProgramError);
    return closeSection(link, ui, kResultOk);
}

// One word of the configuration space at the counter, in a cycle of its own, read back
// under `mask`.
bool writeConfigSpaceWord(ProgrammerLink& link, const DeviceDefinition& d, uint16_t word,
                          uint16_t mask) {
    link.SendCommand(kCmdLoadData);
    link.SendData(word);
    link.SendCommand(kCmdBeginEraseProgram);
    link.DelayMilliseconds(waitMs(d.EraseProgCycle));
    if (!d.ProgramRead)
        return true;
    link.SendCommand(kCmdReadData);
    return (link.ReceiveData() & mask) == (word & mask);
}

// The ID locations (with `ids`) or the configuration words (with `config`), walking the
// configuration space from its start. kResultConfigError for a word that does not read back.
ResultCode writeConfigSpace(Workspace& ws, OperationUi& ui, bool ids, bool config) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    const int32_t last = config ? d.ConfigBaseAdr + configWordCount(d) - 1 : d.IdAdr + 3;
    link.SendCommand(kCmdLoadConfig);
    link.SendData(d.BlankWord);
    bool written = true;
    for (int32_t a = d.IdAdr; a <= last && written; ++a) {
        if (ids && inIdRange(d, a) && a - d.IdAdr < idWordCount6(d)) {
            const uint16_t word = ws.image.IdWords[a - d.IdAdr] & d.traits().idWordMask;
            written = writeConfigSpaceWord(link, d, word, d.BlankWord);
        } else if (config && inConfigRange(d, a)) {
            const int k = a - d.ConfigBaseAdr;
            written = writeConfigSpaceWord(link, d, ws.image.ConfigWords[k], d.ConfigMask[k]);
        }
        link.SendCommand(kCmdIncrementAddress);
    }
    return closeSection(link, ui, written ? kResultOk : kResultConfigError);
}

// Every byte, blank ones included, as the 6-bit family writes data memory.
ResultCode writeDataMemory(Workspace& ws, OperationUi& ui) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    ui.setStatusText(msg::kWritingData);
    for (int32_t a = 0; a < d.EpromSize; ++a) {
        if (cancelSeen(ui))
            return cancelled(link);
        ui.setProgress(percentOf(a, d.EpromSize));
        const uint8_t byte = ws.image.DataMemory[a];
        // Each cycle erases the byte and writes it.
        link.SendCommand(kCmdLoadDataMemory);
        link.SendData(byte);
        link.SendCommand(kCmdBeginEraseProgram);
        link.DelayMilliseconds(waitMs(d.DataEraseProgCycle));
        if (d.ProgramRead) {
            link.SendCommand(kCmdReadDataMemory);
            if ((link.ReceiveData() & 0xFF) != byte)
                return closeSection(link, ui, kResultDataError);
        }
        link.SendCommand(kCmdIncrementAddress);
    }
    ui.setProgress(100);
    return closeSection(link, ui, kResultOk);
}

}  // namespace

ResultCode writeEnhanced(Workspace& ws, OperationUi& ui, bool writeProgram, bool writeData,
                         bool writeConfig, bool erased) {
    const LinkUiScope uiScope(*ws.link, ui);
    if (writeProgram) {
        if (const ResultCode code = writeRows(ws, ui, erased); code != kResultOk)
            return code;
        if (ws.device.ProgramRead) {
            if (const ResultCode code = checkRows(ws, ui); code != kResultOk)
                return code;
        }
        if (const ResultCode code = writeConfigSpace(ws, ui, true, false); code != kResultOk)
            return code;
    }
    const bool data = writeData && ws.device.EpromSize != 0;
    if (data) {
        if (const ResultCode code = writeDataMemory(ws, ui); code != kResultOk)
            return code;
    }
    if (!writeConfig)
        return kResultOk;
    // Protected memory reads as zeros from the next entry on: what was written is compared
    // in full first, so that success means the content is right.
    if ((writeProgram || data) && imageProtectsChip(ws)) {
        if (const ResultCode code = verifyDevice(ws, ui, writeProgram, data, false);
            code != kResultOk)
            return code;
    }
    return writeConfigSpace(ws, ui, false, true);
}

}  // namespace velkaro
