#include "operations/blank_check.h"

#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/programming_mode.h"

namespace velkaro {
namespace {

using namespace ops;
using Region = FirstDifference::Region;

// Ends the program part early: the check stops at the first location that is not blank.
ResultCode stopProgramPart(ProgrammerLink& link, OperationUi& ui, ResultCode code) {
    ui.setStatusText("");
    link.CloseLink();
    return code;
}

// The programmer tested a block at once: only the block is known.
FirstDifference blockDifference(int32_t first) {
    return {Region::ProgramBlock, static_cast<uint32_t>(first),
            static_cast<uint32_t>(first + kBlockTestWords - 1), 0, 0};
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

}  // namespace

ResultCode blankCheck(Workspace& workspace, OperationUi& ui, bool program, bool data,
                      FirstDifference* firstDifference) {
    ProgrammerLink& link = *workspace.link;
    FirstDifference unused;
    FirstDifference& where = firstDifference != nullptr ? *firstDifference : unused;
    where = {};
    const LinkUiScope uiScope(link, ui);
    const DeviceDefinition& device = workspace.device;
    const bool extended = device.isExtendedFamily();
    // Reads over a failed link are no evidence either way: neither blank nor a region that
    // is not.
    if (program) {
        const ResultCode code = uiScope.checked(extended ? blankProgram16(link, device, ui, where)
                                                         : blankProgram6(link, device, ui, where));
        if (code != kResultOk)
            return uiScope.checked(confirmRegionFailure(link, code));
    }
    if (data) {
        const ResultCode code = uiScope.checked(extended ? blankData16(link, device, ui, where)
                                                         : blankData6(link, device, ui, where));
        return uiScope.checked(confirmRegionFailure(link, code));
    }
    return kResultOk;
}

CheckWindowState activateBlankCheckWindow(const Workspace& workspace) {
    return {workspace.blankOptions.ProgEn, workspace.blankOptions.DataEn,
            workspace.device.EpromSize != 0};
}

FlowOutcome runBlankCheck(Workspace& workspace, OperationUi& ui, BlankOptions ticked) {
    if (!checksSomething(workspace.device, ticked.ProgEn, ticked.DataEn))
        return {WindowClose::Cancel, kResultOk};
    workspace.blankOptions = ticked;
    const LinkUiScope uiScope(*workspace.link, ui);
    FirstDifference where;
    const ResultCode code = blankCheck(workspace, ui, ticked.ProgEn, ticked.DataEn, &where);
    if (code == kResultOk)
        ui.showMessage(msg::kDeviceIsBlank);
    else if (where.known() && !regionErrorMessage(code).empty())
        ui.showMessage(blankFailureText(regionErrorMessage(code), where));
    else
        workspace.link->ReportResult(code);
    return {WindowClose::Ok, code};
}

}  // namespace velkaro
