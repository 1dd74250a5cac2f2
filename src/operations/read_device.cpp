#include "operations/read_device.h"

#include "operations/code_protection.h"
#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/programming_mode.h"

namespace velkaro {
namespace {

using namespace ops;

// Stores into the image only where it has room (its shape follows the selected device).
void storeProgramWord(MemoryImage& image, int32_t address, uint16_t word) {
    if (address >= 0 && static_cast<size_t>(address) < image.ProgMemory.size())
        image.ProgMemory[address] = word;
}

void storeDataByte(MemoryImage& image, int32_t address, uint8_t value) {
    if (address >= 0 && static_cast<size_t>(address) < image.DataMemory.size())
        image.DataMemory[address] = value;
}

ResultCode readProgram6(Workspace& workspace, OperationUi& ui) {
    ProgrammerLink& link = *workspace.link;
    const DeviceDefinition& device = workspace.device;
    MemoryImage& image = workspace.image;
    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    ui.setStatusText(msg::kReadingProgram);

    // A configuration word on the way from the reset vector to address 0 is read there.
    bool configRead = false;
    for (int32_t a = device.ResetVector; a != 0; a = nextAddress(device, a)) {
        if (a == device.ConfigBaseAdr) {
            link.SendCommand(kCmdReadData);
            const uint16_t word = link.ReceiveData();
            if (device.BGMask != 0)
                image.BGValue = word & device.BGMask;
            image.ConfigWords[0] = word & device.ConfigMask[0];
            configRead = true;
        }
        link.SendCommand(kCmdIncrementAddress);
    }

    ReadPipeline reads(
        link,
        [&](int32_t a, uint16_t value) {
            const uint16_t word = value & device.BlankWord;
            if (a > 0 && a == device.OscCal)
                image.OscCalValue = word;
            storeProgramWord(image, a, word);
            return true;
        },
        QueuedOnClose::Taken);
    for (int32_t a = 0; a < device.ProgSize; ++a) {
        if (cancelSeen(ui)) {
            closeLinkIfOpen(link);
            return kResultCancelled;
        }
        ui.setProgress(percentOf(a, device.ProgSize));
        link.SendCommand(kCmdReadData);
        link.QueueReceiveData();
        reads.queued(a);
        link.SendCommand(kCmdIncrementAddress);
    }
    reads.flush();
    ui.setProgress(100);
    ui.setStatusText(msg::kReadingConfig);

    const int32_t last = configPassEnd(device, configRead);
    int32_t a = device.ProgSize;  // where the counter stands after program memory
    if (device.hasLoadConfig()) {
        link.SendCommand(kCmdLoadConfig);
        link.SendData(0);
        a = device.IdAdr;
    }
    bool idMet = false;
    uint16_t idWord = 0;
    for (; a <= last; ++a) {
        link.SendCommand(kCmdReadData);
        const uint16_t word = link.ReceiveData() & device.BlankWord;
        if (a == device.DeviceIDAdr) {
            idMet = true;
            idWord = word;
        }
        if (inIdRange(device, a)) {
            image.IdWords[a - device.IdAdr] = word & 0xFF;
        } else if (inConfigRange(device, a)) {
            const int k = a - device.ConfigBaseAdr;
            image.ConfigWords[k] = word & device.ConfigMask[k];
        }
        if (device.BGMask != 0 && a == device.ConfigBaseAdr)
            image.BGValue = word & device.BGMask;
        link.SendCommand(kCmdIncrementAddress);
    }
    ui.setStatusText("");
    if (const ResultCode code = checkProgrammingModeWord6(link, idMet, idWord); code != kResultOk)
        return code;
    link.CloseLink();
    return kResultOk;
}

ResultCode readData6(Workspace& workspace, OperationUi& ui) {
    ProgrammerLink& link = *workspace.link;
    const DeviceDefinition& device = workspace.device;
    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    ui.setStatusText(msg::kReadingData);
    ReadPipeline reads(
        link,
        [&](int32_t a, uint16_t value) {
            storeDataByte(workspace.image, a, static_cast<uint8_t>(value & 0xFF));
            return true;
        },
        QueuedOnClose::Taken);
    for (int32_t a = 0; a < device.EpromSize; ++a) {
        if (cancelSeen(ui)) {
            closeLinkIfOpen(link);
            return kResultCancelled;
        }
        ui.setProgress(percentOf(a, device.EpromSize));
        link.SendCommand(kCmdReadDataMemory);
        link.QueueReceiveData();
        reads.queued(a);
        link.SendCommand(kCmdIncrementAddress);
    }
    reads.flush();
    ui.setProgress(100);
    ui.setStatusText("");
    if (const ResultCode code = checkProgrammingModeFromProgramMemory6(link); code != kResultOk)
        return code;
    link.CloseLink();
    return kResultOk;
}

ResultCode readProgram16(Workspace& workspace, OperationUi& ui) {
    ProgrammerLink& link = *workspace.link;
    const DeviceDefinition& device = workspace.device;
    MemoryImage& image = workspace.image;
    if (!link.OpenLink(true, false))
        return kResultHardwareError;
    if (const ResultCode code = checkProgrammingMode16(link); code != kResultOk)
        return code;
    ui.setStatusText(msg::kReadingProgram);
    link.SetTablePointer(0);
    // Two table reads a word, low byte first: tag 2i and 2i + 1.
    uint16_t low = 0;
    ReadPipeline reads(
        link,
        [&](int32_t tag, uint16_t value) {
            if (tag % 2 == 0)
                low = value;
            else
                storeProgramWord(image, tag / 2, static_cast<uint16_t>(low | (value << 8)));
            return true;
        },
        QueuedOnClose::Taken);
    for (int32_t i = 0; i < device.ProgSize; ++i) {
        if (cancelSeen(ui)) {
            closeLinkIfOpen(link);
            return kResultCancelled;
        }
        ui.setProgress(percentOf(i, device.ProgSize));
        link.QueueTableReadByte();
        reads.queued(2 * i);
        link.QueueTableReadByte();
        reads.queued(2 * i + 1);
    }
    reads.flush();
    ui.setProgress(100);
    ui.setStatusText(msg::kReadingConfig);

    // Neither OSCCAL nor BG exists here, and no mask is applied.
    link.SetTablePointer(static_cast<uint32_t>(device.IdAdr));
    for (int i = 0; i < idWordCount16(device); ++i)
        image.IdWords[i] = link.TableReadByte();
    link.SetTablePointer(static_cast<uint32_t>(device.ConfigBaseAdr));
    for (int i = 0; i < configWordCount16(device); ++i)
        image.ConfigWords[i] = tableReadWord(link);
    link.CloseLink();
    ui.setStatusText("");
    return kResultOk;
}

ResultCode readData16(Workspace& workspace, OperationUi& ui) {
    ProgrammerLink& link = *workspace.link;
    const DeviceDefinition& device = workspace.device;
    ui.setStatusText(msg::kReadingData);
    if (!link.OpenLink(true, false))
        return kResultHardwareError;
    if (const ResultCode code = checkProgrammingMode16(link); code != kResultOk) {
        ui.setStatusText("");
        return code;
    }
    selectDataMemory16(link);
    ReadPipeline reads(
        link,
        [&](int32_t i, uint16_t value) {
            storeDataByte(workspace.image, i, static_cast<uint8_t>(value));
            return true;
        },
        QueuedOnClose::Taken);
    for (int32_t i = 0; i < device.EpromSize; ++i) {
        if (cancelSeen(ui)) {
            closeLinkIfOpen(link);
            return kResultCancelled;
        }
        ui.setProgress(percentOf(i, device.EpromSize));
        queueDataByte16(link, i);
        reads.queued(i);
    }
    reads.flush();
    link.CloseLink();
    ui.setProgress(100);
    ui.setStatusText("");
    return kResultOk;
}

}  // namespace

ReadResult readDevice(Workspace& workspace, OperationUi& ui, bool program, bool data) {
    const LinkUiScope uiScope(*workspace.link, ui);
    const DeviceDefinition& device = workspace.device;
    const bool extended = device.isExtendedFamily();
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
        const ResultCode code =
            uiScope.checked(extended ? readProgram16(workspace, ui) : readProgram6(workspace, ui));
        if (code != kResultOk)
            return failed(code, false);
    }
    if (readData) {
        const ResultCode code =
            uiScope.checked(extended ? readData16(workspace, ui) : readData6(workspace, ui));
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
    if (workspace.device.isExtendedFamily()) {
        // The link has shown its own message when it did not open; a chip that did not
        // answer, or a link that failed later, is reported here.
        if (read.code == kResultHardwareError && !workspace.link->failureShown())
            workspace.link->ReportResult(read.code);
        return {WindowClose::Ok, read.code};
    }
    if (read.code == kResultCancelled)
        return {WindowClose::Cancel, read.code};
    workspace.link->ReportResult(kResultHardwareError);
    return {read.inDataSection ? WindowClose::StaysOpen : WindowClose::Cancel, read.code};
}

}  // namespace velkaro
