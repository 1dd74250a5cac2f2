#include "operations/pic18/pic18_steps.h"

#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/programming_mode.h"

namespace velkaro {

using namespace ops;
using Region = FirstDifference::Region;

ResultCode verifyProgramAndConfig16(Workspace& workspace, OperationUi& ui, bool program,
                                    bool configuration, FirstDifference& where) {
    ProgrammerLink& link = *workspace.link;
    const DeviceDefinition& device = workspace.device;
    const MemoryImage& image = workspace.image;
    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    if (const ResultCode code = checkProgrammingMode16(link); code != kResultOk)
        return code;
    if (program) {
        ui.setStatusText(msg::kVerifyingProgram);
        link.SetTablePointer(0);
        // Two table reads a word, low byte first: tag 2i and 2i + 1.
        uint16_t low = 0;
        ReadPipeline reads(link, [&](int32_t tag, uint16_t value) {
            if (tag % 2 == 0) {
                low = value;
                return true;
            }
            const uint16_t chip = static_cast<uint16_t>(low | (value << 8));
            const uint16_t want = imageProgramWord(image, tag / 2);
            if (chip != want)
                where = {Region::Program, static_cast<uint32_t>(tag / 2), 0, want, chip};
            return chip == want;
        });
        for (int32_t i = 0; i < device.ProgSize; ++i) {
            if (cancelSeen(ui)) {
                link.CloseLink();
                return kResultCancelled;
            }
            ui.setProgress(percentOf(i, device.ProgSize));
            link.QueueTableReadByte();
            bool same = reads.queued(2 * i);
            if (same) {
                link.QueueTableReadByte();
                same = reads.queued(2 * i + 1);
            }
            if (!same) {
                link.CloseLink();
                return kResultProgramError;
            }
        }
        if (!reads.flush()) {
            link.CloseLink();
            return kResultProgramError;
        }
        ui.setProgress(100);
    }
    if (configuration) {
        ui.setStatusText(msg::kVerifyingConfig16);
        link.SetTablePointer(static_cast<uint32_t>(device.IdAdr));
        for (int k = 0; k < idWordCount16(device); ++k) {
            const uint16_t chip = link.TableReadByte();
            if (!idMatches(chip, image.IdWords[k])) {
                where = {Region::Id, static_cast<uint32_t>(device.IdAdr + k), 0,
                         image.IdWords[k] & 0xFu, chip & 0xFu};
                link.CloseLink();
                return kResultConfigError;
            }
        }
        link.SetTablePointer(static_cast<uint32_t>(device.ConfigBaseAdr));
        for (int k = 0; k < configWordCount16(device); ++k) {
            const uint16_t chip = tableReadWord(link);
            const uint16_t mask = device.ConfigMask[k];
            if (!configMatches(chip, image.ConfigWords[k], mask)) {
                where = {Region::Config, static_cast<uint32_t>(device.ConfigBaseAdr + 2 * k), 0,
                         uint32_t{image.ConfigWords[k]} & mask, uint32_t{chip} & mask};
                link.CloseLink();
                return kResultConfigError;
            }
        }
    }
    link.CloseLink();
    ui.setStatusText("");
    return kResultOk;
}

ResultCode verifyData16(Workspace& workspace, OperationUi& ui, FirstDifference& where) {
    ProgrammerLink& link = *workspace.link;
    const DeviceDefinition& device = workspace.device;
    ui.setStatusText(msg::kVerifyingData);
    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    if (const ResultCode code = checkProgrammingMode16(link); code != kResultOk)
        return code;
    selectDataMemory16(link);
    ReadPipeline reads(link, [&](int32_t i, uint16_t chip) {
        return dataMatches(workspace.image, i, chip, where);
    });
    for (int32_t i = 0; i < device.EpromSize; ++i) {
        if (cancelSeen(ui)) {
            link.CloseLink();
            return kResultCancelled;
        }
        ui.setProgress(percentOf(i, device.EpromSize));
        queueDataByte16(link, i);
        if (!reads.queued(i)) {
            link.CloseLink();
            return kResultDataError;
        }
    }
    if (!reads.flush()) {
        link.CloseLink();
        return kResultDataError;
    }
    link.CloseLink();
    ui.setProgress(100);
    return kResultOk;
}

}  // namespace velkaro
