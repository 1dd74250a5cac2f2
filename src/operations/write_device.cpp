#include "operations/write_device.h"

#include <functional>
#include <optional>
#include <vector>

#include "link/icsp_commands.h"
#include "operations/code_protection.h"
#include "operations/device_id.h"
#include "operations/family_steps.h"
#include "operations/lock_out.h"
#include "operations/midrange/bulk_erase.h"
#include "operations/midrange/write_word.h"
#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/pic18/write_extended.h"
#include "operations/verify_device.h"

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

// The word the write puts at program address a, and whether an erased chip lets it be
// skipped. The OSCCAL value is written back on flash parts (the erase destroyed the chip's
// own); other parts take it only when the user chose the image's value over the chip's, and
// otherwise get the program buffer's word like any other.
struct ProgramWord {
    uint16_t value = 0;
    bool skipped = false;
};

ProgramWord programWordAt(const Workspace& ws, int32_t a, bool erased) {
    const DeviceDefinition& d = ws.device;
    const bool oscCalFromImage = d.FlashType || !ws.writeOptions.OscCal;
    if (a > 0 && a == d.OscCal && oscCalFromImage)
        return {static_cast<uint16_t>(ws.image.OscCalValue & d.BlankWord), false};
    const uint16_t value = ws.image.ProgMemory[a] & d.BlankWord;
    return {value, erased && value == d.BlankWord};
}

// A read-back that failed: a hardware error when the target lost power, else `code`.
ResultCode failedSection(ProgrammerLink& link, OperationUi& ui, ResultCode code) {
    if (!targetPowered(link))
        code = kResultHardwareError;
    ui.setStatusText("");
    link.CloseLink();
    return code;
}

// Writes program memory and the ID locations. Words loaded into a latch group ahead of the
// word that starts the group's cycle are not read back by that word's write; their
// addresses go to `loaded` for a read-back once the pass is done.
ResultCode programSection(Workspace& ws, OperationUi& ui, bool erased,
                          std::vector<int32_t>& loaded) {
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

    for (int32_t a = 0; a < d.ProgSize; ++a) {
        if (cancelSeen(ui))
            return cancelled(link);
        ui.setProgress(percentOf(a, d.ProgSize));
        const ProgramWord word = programWordAt(ws, a, erased);
        // The last word of memory closes its group even when the group is short, so that
        // words loaded into it are programmed.
        const bool lastWord = a == d.ProgSize - 1;
        if (latched < latchLimit && !lastWord) {
            if (!word.skipped) {
                link.SendCommand(kCmdLoadData);
                link.SendData(word.value);
                pending = true;
                if (d.ProgramRead)
                    loaded.push_back(a);
            }
            ++latched;
        } else {
            const bool ok =
                (word.skipped && !pending) || WriteWordVerified(ws, word.value, erased, false);
            pending = false;
            latched = 0;
            if (!ok)
                return failedSection(link, ui, kResultProgramError);
        }
        link.SendCommand(kCmdIncrementAddress);
    }
    ui.setStatusText("");
    ui.setProgress(100);

    // The ID locations follow program memory; only those the device has are checked.
    const int32_t last = d.IdAdr + 3;
    int32_t a = d.ProgSize;
    if (d.hasLoadConfig()) {
        link.SendCommand(kCmdLoadConfig);
        link.SendData(0);
        a = d.IdAdr;
    }
    bool idsWritten = true;
    for (; a <= last; ++a) {
        if (inIdRange(d, a)) {
            const int k = a - d.IdAdr;
            const bool ok = WriteWordVerified(ws, image.IdWords[k] & 0xFF, erased, false);
            idsWritten = idsWritten && (ok || k >= idWordCount6(d));
        }
        link.SendCommand(kCmdIncrementAddress);
    }
    if (!idsWritten)
        return failedSection(link, ui, kResultConfigError);
    return closeSection(link, ui);
}

// Reads back the words programSection left in `loaded` (ascending addresses).
ResultCode checkLoadedWords(Workspace& ws, OperationUi& ui, bool erased,
                            const std::vector<int32_t>& loaded) {
    if (loaded.empty())
        return kResultOk;
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    ui.setStatusText(msg::kWritingProgram);
    for (int32_t a = d.ResetVector; a != 0; a = nextAddress(d, a))
        link.SendCommand(kCmdIncrementAddress);
    ReadPipeline reads(link, [&](int32_t a, uint16_t chip) {
        return (chip & d.BlankWord) == programWordAt(ws, a, erased).value;
    });
    size_t next = 0;
    for (int32_t a = 0; a < d.ProgSize && next < loaded.size(); ++a) {
        if (cancelSeen(ui))
            return cancelled(link);
        if (a == loaded[next]) {
            ++next;
            link.SendCommand(kCmdReadData);
            link.QueueReceiveData();
            if (!reads.queued(a))
                return failedSection(link, ui, kResultProgramError);
        }
        link.SendCommand(kCmdIncrementAddress);
    }
    if (!reads.flush())
        return failedSection(link, ui, kResultProgramError);
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
        const uint8_t byte = ws.image.DataMemory[a];
        link.SendCommand(kCmdLoadDataMemory);
        link.SendData(byte);
        link.StartProgrammingCycle(erased, false, false);
        if (d.ProgramRead) {
            link.SendCommand(kCmdReadDataMemory);
            if ((link.ReceiveData() & 0xFF) != byte)
                return failedSection(link, ui, kResultDataError);
        }
        link.SendCommand(kCmdIncrementAddress);
    }
    ui.setProgress(100);
    return closeSection(link, ui);
}

// The value configuration word k gets, or nothing for a word left as it is.
using ConfigValueOf = std::function<std::optional<uint16_t>(int k)>;

// Writes the configuration words `valueOf` gives, each read back under the bits the device
// implements there (the band-gap bits included). kResultConfigError for a word that does not
// read back.
ResultCode configSection(Workspace& ws, bool erased, const ConfigValueOf& valueOf) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    bool written = true;
    auto writeWord = [&](int k) {
        const std::optional<uint16_t> value = valueOf(k);
        if (!value)
            return;
        const uint16_t mask = k == 0 ? d.ConfigMask[0] | d.BGMask : d.ConfigMask[k];
        written = WriteWordVerified(ws, *value, erased, true, mask) && written;
    };
    if (d.ResetVector != 0) {
        // The configuration word lies on the way from the reset vector to address 0.
        for (int32_t a = d.ResetVector; a != 0; a = nextAddress(d, a)) {
            if (a == d.ConfigBaseAdr)
                writeWord(0);
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
            if (inConfigRange(d, a))
                writeWord(a - d.ConfigBaseAdr);
            link.SendCommand(kCmdIncrementAddress);
        }
    }
    const bool powered = targetPowered(link);
    link.CloseLink();
    if (!powered)
        return kResultHardwareError;
    return written ? kResultOk : kResultConfigError;
}

// The buffer's configuration words, the first one with the band-gap bits of image.BGValue.
std::optional<uint16_t> bufferConfigWord(const Workspace& ws, int k) {
    uint16_t value = ws.image.ConfigWords[k];
    if (ws.device.BGMask != 0 && k == 0)
        value |= ws.image.BGValue;
    return value;
}

}  // namespace

ResultCode WriteSequence(Workspace& ws, OperationUi& ui, bool writeProgram, bool writeData,
                         bool writeConfig, bool erased) {
    const LinkUiScope uiScope(*ws.link, ui);
    if (writeProgram) {
        std::vector<int32_t> loaded;
        if (const ResultCode code = programSection(ws, ui, erased, loaded); code != kResultOk)
            return code;
        if (const ResultCode code = checkLoadedWords(ws, ui, erased, loaded); code != kResultOk)
            return code;
    }
    const bool data = writeData && ws.device.EpromSize != 0;
    if (data) {
        if (const ResultCode code = dataSection(ws, ui, erased); code != kResultOk)
            return code;
    }
    if (!writeConfig)
        return kResultOk;
    // A configuration that protects the chip makes it read as zeros from then on: what was
    // written is compared in full first (words skipped as blank included), so that success
    // means the content is right.
    if ((writeProgram || data) && imageProtectsChip(ws)) {
        if (const ResultCode code = verifyDevice(ws, ui, writeProgram, data, false);
            code != kResultOk)
            return code;
    }
    return configSection(ws, erased, [&](int k) { return bufferConfigWord(ws, k); });
}

ResultCode writeBandGapBits(Workspace& ws, OperationUi& ui, uint16_t bg) {
    const DeviceDefinition& d = ws.device;
    if (d.BGMask == 0)
        return kResultOk;
    const LinkUiScope uiScope(*ws.link, ui);
    const auto value = static_cast<uint16_t>((d.BlankWord & ~d.BGMask) | (bg & d.BGMask));
    return configSection(
        ws, true, [&](int k) { return k == 0 ? std::optional<uint16_t>(value) : std::nullopt; });
}

ResultCode WriteDevice(Workspace& ws, OperationUi& ui, bool writeProgram, bool writeData,
                       bool writeConfig) {
    return familySteps(ws.device).writeErased(ws, ui, writeProgram, writeData, writeConfig);
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
    // The configuration goes with program memory: without a program-memory erase its cycle
    // could only clear bits, and a data-only write would AND the buffer's word into the
    // chip's.
    const ResultCode code =
        uiScope.checked(WriteSequence(ws, ui, writeProgram, writeData, writeProgram, erased));
    ws.link->ReportResult(code);
    return code;
}

WriteWindowState activateWriteWindow(const Workspace& workspace) {
    return {workspace.writeOptions, workspace.device.EpromSize != 0, workspace.device.OscCal != 0};
}

FlowOutcome runWrite(Workspace& workspace, OperationUi& ui, WriteOptions ticked) {
    const LinkUiScope uiScope(*workspace.link, ui);
    const DeviceDefinition& d = workspace.device;
    // The configuration goes with program memory.
    if (ticked.ProgEn && !confirmLockOutRisk(workspace, ui))
        return {WindowClose::Cancel, kResultOk};
    if (ticked.DevIdChk && !confirmDeviceId(workspace, ui, msg::kDevIdMismatchWriteQuestion))
        return {WindowClose::Cancel, kResultOk};
    return familySteps(d).writeWindow(workspace, ui, ticked);
}

}  // namespace velkaro
