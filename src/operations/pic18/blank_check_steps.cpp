#include "operations/pic18/pic18_steps.h"

#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/programming_mode.h"

namespace velkaro {

using namespace ops;
using Region = FirstDifference::Region;

ResultCode blankProgram16(ProgrammerLink& link, const DeviceDefinition& device, OperationUi& ui,
                          FirstDifference& where) {
    bool fast = fastCheckAvailable(link);
    if (!link.OpenLink(false, fast))
        return kResultHardwareError;
    ui.setStatusText(msg::kBlankCheckingProgram16);
    if (fast) {
        link.library().SSendCmd(kBlockTestStart16Bit);
        link.WaitAck();
    } else {
        link.SetTablePointer(0);
    }

    int32_t i = 0;
    while (i < device.ProgSize) {
        if (cancelSeen(ui)) {
            link.CloseLink();
            return kResultCancelled;
        }
        ui.setProgress(percentOf(i, device.ProgSize));
        if (fast && device.ProgSize - i >= kBlockTestWords) {
            if (!blockIsBlank(link, kBlockTest16Bit)) {
                where = blockDifference(i);
                link.CloseLink();
                return kResultProgramError;
            }
            i += kBlockTestWords;
        } else {
            if (fast) {
                leaveFastMode(link);
                fast = false;
            }
            if (const uint16_t chip = tableReadWord(link); chip != 0xFFFF) {
                where = {Region::Program, static_cast<uint32_t>(i), 0, 0xFFFF, chip};
                link.CloseLink();
                return kResultProgramError;
            }
            ++i;
        }
    }
    if (fast)
        leaveFastMode(link);
    ui.setProgress(100);
    if (const ResultCode code = checkProgrammingMode16(link); code != kResultOk) {
        ui.setStatusText("");
        return code;
    }
    ui.setStatusText(msg::kBlankCheckingConfig16);

    link.SetTablePointer(static_cast<uint32_t>(device.IdAdr));
    for (int k = 0; k < idWordCount16(device); ++k) {
        if (const uint16_t chip = link.TableReadByte(); chip != 0xFF) {
            where = {Region::Id, static_cast<uint32_t>(device.IdAdr + k), 0, 0xFF, chip};
            link.CloseLink();
            return kResultConfigError;
        }
    }
    link.SetTablePointer(static_cast<uint32_t>(device.ConfigBaseAdr));
    for (int k = 0; k < configWordCount16(device); ++k) {
        // The erased value is compared under the mask as well: bits that the device does
        // not implement must not make an erased chip look written.
        const uint16_t mask = device.ConfigMask[k];
        const uint16_t erased = static_cast<uint16_t>(device.ConfigValue[k]) & mask;
        if (const uint16_t chip = tableReadWord(link) & mask; chip != erased) {
            where = {Region::Config, static_cast<uint32_t>(device.ConfigBaseAdr + 2 * k), 0, erased,
                     chip};
            link.CloseLink();
            return kResultConfigError;
        }
    }
    link.CloseLink();
    ui.setStatusText("");
    return kResultOk;
}

ResultCode blankData16(ProgrammerLink& link, const DeviceDefinition& device, OperationUi& ui,
                       FirstDifference& where) {
    ui.setStatusText(msg::kBlankCheckingData16);
    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    if (const ResultCode code = checkProgrammingMode16(link); code != kResultOk) {
        ui.setStatusText("");
        return code;
    }
    selectDataMemory16(link);
    for (int32_t i = 0; i < device.EpromSize; ++i) {
        if (cancelSeen(ui)) {
            link.CloseLink();
            return kResultCancelled;
        }
        ui.setProgress(percentOf(i, device.EpromSize));
        if (const uint8_t chip = readDataByte16(link, i); chip != 0xFF) {
            where = {Region::Data, static_cast<uint32_t>(i), 0, 0xFF, chip};
            link.CloseLink();
            return kResultDataError;
        }
    }
    link.CloseLink();
    ui.setProgress(100);
    ui.setStatusText("");
    return kResultOk;
}

}  // namespace velkaro
