#include "operations/midrange/midrange_steps.h"

#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/programming_mode.h"

namespace velkaro {

using namespace ops;
using Region = FirstDifference::Region;

namespace {

// Ends the program part early: the check stops at the first location that is not blank.
ResultCode stopProgramPart(ProgrammerLink& link, OperationUi& ui, ResultCode code) {
    ui.setStatusText("");
    link.CloseLink();
    return code;
}

// ID locations and configuration words, after program memory (6-bit family); the
// device-ID word on the way tells whether the chip answered at all.
ResultCode checkIdAndConfig6(ProgrammerLink& link, const DeviceDefinition& device, bool configSeen,
                             FirstDifference& where) {
    const int32_t end = configPassEnd(device, configSeen);
    bool idMet = false;
    uint16_t idWord = 0;
    int32_t a = device.ProgSize;  // where the counter stands after program memory
    if (device.hasLoadConfig()) {
        link.SendCommand(kCmdLoadConfig);
        link.SendData(0);
        a = device.IdAdr;
    }
    for (; a <= end; ++a) {
        if (inIdRange(device, a)) {
            link.SendCommand(kCmdReadData);
            const uint16_t chip = link.ReceiveData();
            if ((chip & 0x000F) != 0x000F) {
                where = {Region::Id, static_cast<uint32_t>(a), 0, 0xF, chip & 0xFu};
                link.CloseLink();
                return kResultConfigError;
            }
        } else if (inConfigRange(device, a)) {
            const uint16_t mask = device.ConfigMask[a - device.ConfigBaseAdr];
            link.SendCommand(kCmdReadData);
            const uint16_t chip = link.ReceiveData();
            if ((chip & mask) != mask) {
                where = {Region::Config, static_cast<uint32_t>(a), 0, mask, uint32_t{chip} & mask};
                link.CloseLink();
                return kResultConfigError;
            }
        } else if (a == device.DeviceIDAdr && hasDeviceIdWord(device)) {
            link.SendCommand(kCmdReadData);
            idMet = true;
            idWord = link.ReceiveData();
        }
        link.SendCommand(kCmdIncrementAddress);
    }
    return checkProgrammingModeWord6(link, idMet, idWord);
}

}  // namespace

ResultCode blankProgram6(ProgrammerLink& link, const DeviceDefinition& device, OperationUi& ui,
                         FirstDifference& where) {
    bool fast = fastCheckAvailable(link);
    if (!link.OpenLink(false, fast))
        return kResultHardwareError;
    link.WaitAck();
    ui.setStatusText(msg::kBlankCheckingProgram);

    bool configSeen = false;
    for (int32_t a = device.ResetVector; a != 0; a = nextAddress(device, a)) {
        if (a == device.ConfigBaseAdr) {
            const uint16_t mask = device.ConfigMask[0];
            link.SendCommand(kCmdReadData);
            const uint16_t chip = link.ReceiveData();
            if ((chip & mask) != mask) {
                where = {Region::Config, static_cast<uint32_t>(a), 0, mask, uint32_t{chip} & mask};
                link.CloseLink();
                return kResultConfigError;
            }
            configSeen = true;
        }
        link.SendCommand(kCmdIncrementAddress);
    }

    const int blockCommand = device.BitWidth == 14 ? kBlockTest14Bit : kBlockTestOtherWidth;
    int32_t i = 0;
    while (i < device.ProgSize) {
        if (cancelSeen(ui)) {
            link.CloseLink();
            return kResultCancelled;
        }
        // A block holding the OSCCAL word is tested word by word, so that word is skipped.
        const bool blockStep = fast && device.ProgSize - i >= kBlockTestWords &&
                               (device.OscCal == 0 || device.OscCal > i + kBlockTestWords);
        if (blockStep) {
            if (!blockIsBlank(link, blockCommand)) {
                where = blockDifference(i);
                return stopProgramPart(link, ui, kResultProgramError);
            }
            i += kBlockTestWords;
        } else {
            if (fast) {
                leaveFastMode(link);
                fast = false;
            }
            if (!(i > 0 && i == device.OscCal)) {
                link.SendCommand(kCmdReadData);
                const uint16_t chip = link.ReceiveData();
                if ((chip & device.BlankWord) != device.BlankWord) {
                    where = {Region::Program, static_cast<uint32_t>(i), 0,
                             static_cast<uint32_t>(device.BlankWord),
                             uint32_t{chip} & static_cast<uint32_t>(device.BlankWord)};
                    return stopProgramPart(link, ui, kResultProgramError);
                }
            }
            link.SendCommand(kCmdIncrementAddress);
            ++i;
        }
        ui.setProgress(percentOf(i, device.ProgSize));
    }
    ui.setProgress(100);
    if (fast)
        leaveFastMode(link);

    const ResultCode code = checkIdAndConfig6(link, device, configSeen, where);
    if (code != kResultOk)
        return code;
    link.CloseLink();
    ui.setStatusText("");
    return kResultOk;
}

ResultCode blankData6(ProgrammerLink& link, const DeviceDefinition& device, OperationUi& ui,
                      FirstDifference& where) {
    if (device.EpromSize != 0) {
        ui.setStatusText(msg::kBlankCheckingData);
        if (!link.OpenLink(false, false))
            return kResultHardwareError;
        for (int32_t i = 0; i < device.EpromSize; ++i) {
            if (cancelSeen(ui)) {
                link.CloseLink();
                return kResultCancelled;
            }
            ui.setProgress(percentOf(i, device.EpromSize));
            link.SendCommand(kCmdReadDataMemory);
            const uint16_t chip = link.ReceiveData();
            if ((chip & 0xFF) != 0xFF) {
                where = {Region::Data, static_cast<uint32_t>(i), 0, 0xFF, chip & 0xFFu};
                ui.setStatusText("");
                link.CloseLink();
                return kResultDataError;
            }
            link.SendCommand(kCmdIncrementAddress);
        }
        if (const ResultCode code = checkProgrammingModeFromProgramMemory6(link);
            code != kResultOk) {
            ui.setStatusText("");
            return code;
        }
        link.CloseLink();
    }
    ui.setProgress(100);
    ui.setStatusText("");
    return kResultOk;
}

}  // namespace velkaro
