#include "operations/midrange/midrange_steps.h"

#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/programming_mode.h"

namespace velkaro {

using namespace ops;

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
            image.IdWords[a - device.IdAdr] = word & device.traits().idWordMask;
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

// 6-bit family: the configuration words lie on the reset-vector walk, or after
// Load Configuration, or after program memory. False when they are not reached.
bool readConfig6(ProgrammerLink& link, const DeviceDefinition& d, ConfigWordArray& words) {
    int32_t a = d.ResetVector;
    bool seen = false;
    for (; a != 0; a = nextAddress(d, a)) {
        if (a == d.ConfigBaseAdr) {
            link.SendCommand(kCmdReadData);
            words[0] = link.ReceiveData();
            seen = true;
        }
        link.SendCommand(kCmdIncrementAddress);
    }
    if (seen)
        return true;
    if (d.hasLoadConfig()) {
        link.SendCommand(kCmdLoadConfig);
        link.SendData(0);
        a = d.IdAdr;
    } else {
        for (; a < d.ProgSize; ++a)
            link.SendCommand(kCmdIncrementAddress);
    }
    const int32_t last = d.ConfigBaseAdr + configWordCount(d) - 1;
    if (d.ConfigBaseAdr < a || last < d.ConfigBaseAdr)
        return false;
    for (; a <= last; ++a) {
        if (inConfigRange(d, a)) {
            link.SendCommand(kCmdReadData);
            words[a - d.ConfigBaseAdr] = link.ReceiveData();
        }
        link.SendCommand(kCmdIncrementAddress);
    }
    return true;
}

// The read window after a failure: a cancel closes it with Cancel, a failure of the
// program section too and one of the data section leaves it open, both reported.
FlowOutcome readFailed6(Workspace& workspace, const ReadResult& read) {
    if (read.code == kResultCancelled)
        return {WindowClose::Cancel, read.code};
    workspace.link->ReportResult(kResultHardwareError);
    return {read.inDataSection ? WindowClose::StaysOpen : WindowClose::Cancel, read.code};
}

}  // namespace velkaro
