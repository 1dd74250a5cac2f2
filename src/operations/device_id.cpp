#include "operations/device_id.h"

#include <cstdio>

#include "operations/operation_messages.h"
#include "operations/operation_support.h"

namespace velkaro {
namespace {

using namespace ops;

std::string hexText(unsigned value, const char* format) {
    char text[16];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

uint16_t readDeviceId16(ProgrammerLink& link, const DeviceDefinition& device) {
    link.SetTablePointer(static_cast<uint32_t>(device.DeviceIDAdr));
    const uint16_t word = tableReadWord(link);
    link.CloseLink();
    return word;
}

uint16_t readDeviceId6(ProgrammerLink& link, const DeviceDefinition& device) {
    int32_t a = device.ResetVector;
    for (; a != 0; a = nextAddress(device, a)) {
        if (a == device.DeviceIDAdr) {
            link.SendCommand(kCmdReadData);
            const uint16_t word = link.ReceiveData() & device.BlankWord;
            link.CloseLink();
            return word;
        }
        link.SendCommand(kCmdIncrementAddress);
    }
    if (device.hasLoadConfig()) {
        link.SendCommand(kCmdLoadConfig);
        link.SendData(0);
        a = device.IdAdr;
    }
    uint16_t result = 0;
    for (; a < device.ConfigBaseAdr + device.ConfigCount; ++a) {
        if (a == device.DeviceIDAdr) {
            link.SendCommand(kCmdReadData);
            result = link.ReceiveData() & device.BlankWord;
        }
        link.SendCommand(kCmdIncrementAddress);
    }
    link.CloseLink();
    return result;
}

}  // namespace

uint16_t readDeviceId(Workspace& workspace) {
    const DeviceDefinition& device = workspace.device;
    if (device.DeviceIDAdr == 0 || device.DeviceIDMask == 0 || device.DeviceID == 0)
        return 0;
    ProgrammerLink& link = *workspace.link;
    if (!link.OpenLink(false, false))
        return 0;
    return device.BitWidth == 16 ? readDeviceId16(link, device) : readDeviceId6(link, device);
}

DeviceIdCheck checkDeviceId(Workspace& workspace) {
    const DeviceDefinition& device = workspace.device;
    if (device.DeviceID == 0 || device.DeviceIDMask == 0)
        return DeviceIdCheck::NoId;
    const uint16_t raw = readDeviceId(workspace);
    if (raw == 0 || !workspace.link->linkFault().empty())
        return DeviceIdCheck::NoId;
    return (raw & device.DeviceIDMask) == device.DeviceID ? DeviceIdCheck::Match
                                                          : DeviceIdCheck::Mismatch;
}

std::string mismatchQuestion(std::string_view question, std::string_view found, uint16_t raw) {
    std::string foundLine(msg::kDevIdFoundLabel);
    foundLine += found.empty() ? msg::kDevIdFoundUnknown : found;
    foundLine += " (";
    foundLine += msg::kDevIdFoundIdLabel;
    foundLine += hexText(raw, "%04X");
    foundLine += ")";
    const size_t lineEnd = question.find('\r');
    if (lineEnd == std::string_view::npos)
        return std::string(question) + "\r" + foundLine;
    std::string text(question.substr(0, lineEnd + 1));
    text += foundLine;
    text += question.substr(lineEnd);
    return text;
}

bool confirmDeviceId(Workspace& workspace, OperationUi& ui, std::string_view question) {
    const LinkUiScope uiScope(*workspace.link, ui);
    const DeviceDefinition& device = workspace.device;
    if (device.DeviceID == 0 || device.DeviceIDMask == 0)
        return true;
    const uint16_t raw = readDeviceId(workspace);
    if (raw == 0 || (raw & device.DeviceIDMask) == device.DeviceID)
        return true;
    const std::string found =
        workspace.catalogue.LookupDeviceById(raw, workspace.deviceList, device.traits().family);
    // Going on writes over a chip that is not the selected device: Enter must not do it.
    return ui.askOkCancelDefaultCancel(mismatchQuestion(question, found, raw));
}

DeviceIdView showDeviceId(Workspace& workspace, OperationUi& ui) {
    const DeviceDefinition& device = workspace.device;
    const LinkUiScope uiScope(*workspace.link, ui);
    ui.pumpEvents();
    DeviceIdView view;
    view.raw = readDeviceId(workspace);
    view.linkFault = workspace.link->linkFault();
    if (!view.linkFault.empty()) {
        view.raw = 0;  // a word read over a failed link is nobody's ID
        workspace.link->ReportResult(kResultHardwareError);
    }
    if (view.raw != 0) {
        view.DevID = hexText(view.raw, "%04X");
        view.RevNo = hexText(view.raw & static_cast<uint16_t>(~device.DeviceIDMask), "%02X");
        if ((view.raw & device.DeviceIDMask) == device.DeviceID) {
            view.check = DeviceIdCheck::Match;
            view.status = msg::kDevIdMatched;
            view.DevName = device.DeviceName;
        } else {
            view.check = DeviceIdCheck::Mismatch;
            view.status = msg::kDevIdNotMatched;
            view.DevName = workspace.catalogue.LookupDeviceById(view.raw, workspace.deviceList,
                                                                device.traits().family);
        }
    } else {
        view.status = msg::kDevIdUnavailable;
        view.DevID = view.RevNo = view.DevName = msg::kDevIdNoValue;
    }
    ui.setStatusText(view.status);
    ui.pumpEvents();
    return view;
}

}  // namespace velkaro
