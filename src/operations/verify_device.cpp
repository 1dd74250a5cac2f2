#include "operations/verify_device.h"

#include <string>

#include "link/link_messages.h"
#include "operations/code_protection.h"
#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/programming_mode.h"

namespace velkaro {
namespace {

using namespace ops;
using Region = FirstDifference::Region;

uint16_t imageProgramWord(const MemoryImage& image, int32_t address) {
    if (address >= 0 && static_cast<size_t>(address) < image.ProgMemory.size())
        return image.ProgMemory[address];
    return 0;
}

uint8_t imageDataByte(const MemoryImage& image, int32_t address) {
    if (address >= 0 && static_cast<size_t>(address) < image.DataMemory.size())
        return image.DataMemory[address];
    return 0xFF;
}

// Compares data byte `i`; on a difference records where it was.
bool dataMatches(const MemoryImage& image, int32_t i, uint16_t chip, FirstDifference& where) {
    const uint8_t want = imageDataByte(image, i);
    if ((chip & 0xFF) == want)
        return true;
    where = {Region::Data, static_cast<uint32_t>(i), 0, want, chip & 0xFFu};
    return false;
}

bool idMatches(uint16_t chipWord, uint16_t imageWord) {
    return (chipWord & 0x000F) == (imageWord & 0x000F);
}

bool configMatches(uint16_t chipWord, uint16_t imageWord, uint16_t mask) {
    return (chipWord & mask) == (imageWord & mask);
}

ResultCode verifyProgramAndConfig6(Workspace& workspace, OperationUi& ui, bool program,
                                   bool configuration, FirstDifference& where) {
    ProgrammerLink& link = *workspace.link;
    const DeviceDefinition& device = workspace.device;
    const MemoryImage& image = workspace.image;
    if (!link.OpenLink(false, false))
        return kResultHardwareError;

    int32_t a = device.ResetVector;
    bool configSeen = false;
    // Configuration alone, with the counter at 0 and "LoadConfig" available, needs no walk.
    const bool walk = program || a != 0 || !device.hasLoadConfig();
    if (walk) {
        ui.setStatusText(msg::kVerifyingProgram);
        for (; a != 0; a = nextAddress(device, a)) {
            if (a == device.ConfigBaseAdr && configuration) {
                // Compared under the mask on both sides: a HEX file may carry bits the
                // device does not implement.
                link.SendCommand(kCmdReadData);
                const uint16_t chip = link.ReceiveData();
                if (!configMatches(chip, image.ConfigWords[0], device.ConfigMask[0])) {
                    const uint16_t mask = device.ConfigMask[0];
                    where = {Region::Config, static_cast<uint32_t>(a), 0,
                             uint32_t{image.ConfigWords[0]} & mask, uint32_t{chip} & mask};
                    link.CloseLink();
                    ui.setStatusText("");
                    return kResultConfigError;
                }
                configSeen = true;
            }
            link.SendCommand(kCmdIncrementAddress);
        }
        ReadPipeline reads(link, [&](int32_t i, uint16_t chip) {
            const uint32_t want = imageProgramWord(image, i) & device.BlankWord;
            const uint32_t got = chip & device.BlankWord;
            if (got != want)
                where = {Region::Program, static_cast<uint32_t>(i), 0, want, got};
            return got == want;
        });
        for (int32_t i = 0; i < device.ProgSize; ++i) {
            if (cancelSeen(ui)) {
                link.CloseLink();
                return kResultCancelled;
            }
            ui.setProgress(percentOf(i, device.ProgSize));
            const bool oscCalWord = i > 0 && i == device.OscCal;
            if (program && !oscCalWord) {
                link.SendCommand(kCmdReadData);
                link.QueueReceiveData();
                if (!reads.queued(i)) {
                    link.CloseLink();
                    return kResultProgramError;
                }
            }
            link.SendCommand(kCmdIncrementAddress);
        }
        if (!reads.flush()) {
            link.CloseLink();
            return kResultProgramError;
        }
        // Without the configuration pass the device-ID word is fetched on its own.
        if (!configuration) {
            if (const ResultCode code = checkProgrammingModeFromProgramMemory6(link);
                code != kResultOk)
                return code;
        }
    }

    if (configuration) {
        ui.setStatusText(msg::kVerifyingConfig);
        const int32_t end = configPassEnd(device, configSeen);
        a = device.ProgSize;  // where the counter stands after the walk
        if (device.hasLoadConfig()) {
            a = device.IdAdr;
            link.SendCommand(kCmdLoadConfig);
            link.SendData(0);
        }
        bool idMet = false;
        uint16_t idWord = 0;
        for (; a <= end; ++a) {
            bool same = true;
            if (a == device.DeviceIDAdr && hasDeviceIdWord(device)) {
                link.SendCommand(kCmdReadData);
                idMet = true;
                idWord = link.ReceiveData();
            } else if (inIdRange(device, a) && a - device.IdAdr < idWordCount6(device)) {
                link.SendCommand(kCmdReadData);
                const uint16_t chip = link.ReceiveData();
                const uint16_t want = image.IdWords[a - device.IdAdr];
                same = idMatches(chip, want);
                if (!same)
                    where = {Region::Id, static_cast<uint32_t>(a), 0, want & 0xFu, chip & 0xFu};
            } else if (inConfigRange(device, a)) {
                const int k = a - device.ConfigBaseAdr;
                link.SendCommand(kCmdReadData);
                const uint16_t chip = link.ReceiveData();
                const uint16_t mask = device.ConfigMask[k];
                same = configMatches(chip, image.ConfigWords[k], mask);
                if (!same)
                    where = {Region::Config, static_cast<uint32_t>(a), 0,
                             uint32_t{image.ConfigWords[k]} & mask, uint32_t{chip} & mask};
            }
            if (!same) {
                link.CloseLink();
                return kResultConfigError;
            }
            link.SendCommand(kCmdIncrementAddress);
        }
        if (const ResultCode code = checkProgrammingModeWord6(link, idMet, idWord);
            code != kResultOk)
            return code;
    }
    ui.setProgress(100);
    link.CloseLink();
    return kResultOk;
}

ResultCode verifyData6(Workspace& workspace, OperationUi& ui, FirstDifference& where) {
    ProgrammerLink& link = *workspace.link;
    const DeviceDefinition& device = workspace.device;
    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    ui.setStatusText(msg::kVerifyingData);
    ReadPipeline reads(link, [&](int32_t i, uint16_t chip) {
        return dataMatches(workspace.image, i, chip, where);
    });
    for (int32_t i = 0; i < device.EpromSize; ++i) {
        if (cancelSeen(ui)) {
            link.CloseLink();
            return kResultCancelled;
        }
        ui.setProgress(percentOf(i, device.EpromSize));
        link.SendCommand(kCmdReadDataMemory);
        link.QueueReceiveData();
        if (!reads.queued(i)) {
            link.CloseLink();
            return kResultDataError;
        }
        link.SendCommand(kCmdIncrementAddress);
    }
    if (!reads.flush()) {
        link.CloseLink();
        return kResultDataError;
    }
    ui.setProgress(100);
    if (const ResultCode code = checkProgrammingModeFromProgramMemory6(link); code != kResultOk)
        return code;
    link.CloseLink();
    return kResultOk;
}

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

}  // namespace

ResultCode verifyDevice(Workspace& workspace, OperationUi& ui, bool program, bool data,
                        bool configuration, FirstDifference* firstDifference) {
    const LinkUiScope uiScope(*workspace.link, ui);
    FirstDifference unused;
    FirstDifference& where = firstDifference != nullptr ? *firstDifference : unused;
    where = {};
    const bool extended = workspace.device.isExtendedFamily();
    // A mismatch read over a failed link is the link's, not the chip's.
    if (program || configuration) {
        const ResultCode code = uiScope.checked(
            extended ? verifyProgramAndConfig16(workspace, ui, program, configuration, where)
                     : verifyProgramAndConfig6(workspace, ui, program, configuration, where));
        if (code != kResultOk)
            return uiScope.checked(confirmRegionFailure(*workspace.link, code));
    }
    if (data && workspace.device.EpromSize != 0) {
        const ResultCode code = uiScope.checked(extended ? verifyData16(workspace, ui, where)
                                                         : verifyData6(workspace, ui, where));
        return uiScope.checked(confirmRegionFailure(*workspace.link, code));
    }
    return kResultOk;
}

CheckWindowState activateVerifyWindow(const Workspace& workspace) {
    return {workspace.verifyOptions.ProgEn, workspace.verifyOptions.DataEn,
            workspace.device.EpromSize != 0};
}

FlowOutcome runVerify(Workspace& workspace, OperationUi& ui, VerifyOptions ticked) {
    const LinkUiScope uiScope(*workspace.link, ui);
    const bool program = ticked.ProgEn;
    const bool data = ticked.DataEn && workspace.device.EpromSize != 0;
    if (!checksSomething(workspace.device, program, data))
        return {WindowClose::Cancel, kResultOk};
    FirstDifference where;
    const ResultCode code = verifyDevice(workspace, ui, program, data, program, &where);
    // The difference may be the protection's zeros, not a fault of the chip.
    const bool isProtected =
        (code == kResultProgramError || code == kResultDataError) && chipIsProtected(workspace, ui);
    // The region being checked is over once the result shows.
    ui.setStatusText("");
    if (code == kResultOk) {
        ui.showMessage(msg::kVerifyNoErrors);
    } else if (isProtected) {
        ui.showMessage(std::string(code == kResultProgramError ? kMsgProgramMemoryError
                                                               : kMsgDataMemoryError) +
                       "\r" + std::string(msg::kChipProtected));
    } else if (where.known() && !regionErrorMessage(code).empty()) {
        ui.showMessage(verifyFailureText(regionErrorMessage(code), where));
    } else {
        workspace.link->ReportResult(code);
    }
    workspace.verifyOptions = ticked;
    return {WindowClose::Ok, code};
}

}  // namespace velkaro
