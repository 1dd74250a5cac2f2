#include "operations/programming_mode.h"

#include "operations/family_steps.h"
#include "operations/operation_messages.h"
#include "operations/operation_support.h"

namespace velkaro::ops {

bool hasDeviceIdWord(const DeviceDefinition& device) {
    return device.DeviceIDAdr != 0 && device.DeviceIDMask != 0 && device.DeviceID != 0;
}

bool answersLikeDeviceId(const DeviceDefinition& device, uint16_t word) {
    const uint16_t all = device.traits().readsWholeWord ? 0xFFFF : device.BlankWord;
    word &= all;
    return word != 0 && word != all;
}

ResultCode notInProgrammingMode(ProgrammerLink& link) {
    link.CloseLink();
    // By the key, the usual cause is a chip whose LVP bit is clear: it keeps running.
    link.setFailureReason(std::string(link.usesLowVoltageEntry() ? msg::kNotInProgrammingModeLvp
                                                                 : msg::kNotInProgrammingMode));
    return kResultHardwareError;
}

ResultCode checkProgrammingModeWord6(ProgrammerLink& link, bool met, uint16_t word) {
    if (!met || !hasDeviceIdWord(link.device()) || answersLikeDeviceId(link.device(), word))
        return kResultOk;
    return notInProgrammingMode(link);
}

ResultCode checkProgrammingModeFromProgramMemory6(ProgrammerLink& link) {
    const DeviceDefinition& device = link.device();
    if (!hasDeviceIdWord(device) || !device.hasLoadConfig() || device.DeviceIDAdr < device.IdAdr)
        return kResultOk;
    link.SendCommand(kCmdLoadConfig);
    link.SendData(0);
    for (int32_t a = device.IdAdr; a < device.DeviceIDAdr; ++a)
        link.SendCommand(kCmdIncrementAddress);
    link.SendCommand(kCmdReadData);
    return checkProgrammingModeWord6(link, true, link.ReceiveData());
}

ResultCode checkProgrammingMode16(ProgrammerLink& link) {
    const DeviceDefinition& device = link.device();
    if (!hasDeviceIdWord(device))
        return kResultOk;
    link.SetTablePointer(static_cast<uint32_t>(device.DeviceIDAdr));
    if (answersLikeDeviceId(device, tableReadWord(link)))
        return kResultOk;
    return notInProgrammingMode(link);
}

ResultCode confirmRegionFailure(ProgrammerLink& link, ResultCode code) {
    const bool regionFailure =
        code == kResultProgramError || code == kResultDataError || code == kResultConfigError;
    const DeviceDefinition& device = link.device();
    if (!regionFailure || !hasDeviceIdWord(device) || !link.OpenLink(false, false))
        return code;
    const ResultCode answered = familySteps(device).checkProgrammingMode(link);
    if (answered != kResultOk)
        return answered;
    link.CloseLink();
    return code;
}

}  // namespace velkaro::ops
