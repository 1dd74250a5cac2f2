#include "operations/pic18/pic18_steps.h"

#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/programming_mode.h"

namespace velkaro {

using namespace ops;

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

bool readConfig16(ProgrammerLink& link, const DeviceDefinition& d, ConfigWordArray& words) {
    link.SetTablePointer(static_cast<uint32_t>(d.ConfigBaseAdr));
    for (int k = 0; k < configWordCount(d); ++k)
        words[k] = tableReadWord(link);
    return true;
}

// The read window after a failure or a cancel closes with OK.
FlowOutcome readFailed16(Workspace& workspace, const ReadResult& read) {
    // The link has shown its own message when it did not open; a chip that did not
    // answer, or a link that failed later, is reported here.
    if (read.code == kResultHardwareError && !workspace.link->failureShown())
        workspace.link->ReportResult(read.code);
    return {WindowClose::Ok, read.code};
}

}  // namespace velkaro
