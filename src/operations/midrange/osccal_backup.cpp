#include "operations/midrange/osccal_backup.h"

#include <optional>

#include "link/icsp_commands.h"
#include "operations/midrange/device_erase_cmd.h"
#include "operations/operation_support.h"

namespace velkaro {
namespace {

using namespace ops;

constexpr int32_t kBackupOffset = 4;  // after the four ID words

// From the power-up address round to 0, then on to the backup word.
void walkToBackup(ProgrammerLink& link, const DeviceDefinition& d) {
    for (int32_t a = d.ResetVector; a != 0; a = nextAddress(d, a))
        link.SendCommand(kCmdIncrementAddress);
    for (int32_t a = 0; a < d.IdAdr + kBackupOffset; ++a)
        link.SendCommand(kCmdIncrementAddress);
}

std::optional<uint16_t> readBackup(ProgrammerLink& link, const DeviceDefinition& d) {
    if (!link.OpenLink(false, false))
        return std::nullopt;
    walkToBackup(link, d);
    link.SendCommand(kCmdReadData);
    const auto word = static_cast<uint16_t>(link.ReceiveData() & d.BlankWord);
    if (!link.CloseLink())
        return std::nullopt;  // a word read over a failed link is not the chip's
    return word;
}

// Programs the word back where the erase took it (an erase string that stays out of the
// ID area leaves it in place).
void restoreBackup(ProgrammerLink& link, const DeviceDefinition& d, uint16_t word) {
    if (!link.OpenLink(false, false))
        return;
    walkToBackup(link, d);
    link.SendCommand(kCmdReadData);
    if ((link.ReceiveData() & d.BlankWord) == d.BlankWord) {
        link.SendCommand(kCmdLoadData);
        link.SendData(word);
        link.StartProgrammingCycle(false, true, false);
    }
    link.CloseLink();
}

}  // namespace

bool hasBackupOscCal(const DeviceDefinition& device) {
    return !device.isExtendedFamily() && device.BitWidth == 12 && device.OscCal != 0 &&
           device.IdCount > 0;
}

bool runEraseCmdKeepingBackup(Workspace& ws, bool showMessages) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    std::optional<uint16_t> backup;
    if (hasBackupOscCal(d))
        backup = readBackup(link, d);
    if (!link.OpenLink(showMessages, false))
        return false;
    runDeviceEraseCmd(link, d.DeviceEraseCmd, 0);
    if (!link.CloseLink())
        return false;
    // An erased copy (lost before) is left erased.
    if (backup && *backup != d.BlankWord)
        restoreBackup(link, d, *backup);
    return link.linkFault().empty();
}

}  // namespace velkaro
