#include "operations/midrange/midrange_steps.h"

#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/programming_mode.h"

namespace velkaro {

using namespace ops;
using Region = FirstDifference::Region;

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
                const uint16_t mask = device.traits().idVerifyMask;
                same = idMatches(chip, want, mask);
                if (!same)
                    where = {Region::Id, static_cast<uint32_t>(a), 0, uint32_t{want} & mask,
                             uint32_t{chip} & mask};
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

}  // namespace velkaro
