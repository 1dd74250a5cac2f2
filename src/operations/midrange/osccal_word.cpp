#include "operations/midrange/osccal_word.h"

#include "link/icsp_commands.h"
#include "operations/operation_support.h"

namespace velkaro {

using ops::LinkUiScope;
using ops::nextAddress;

bool writeOscCalWord(Workspace& ws, OperationUi& ui, uint16_t value) {
    const DeviceDefinition& d = ws.device;
    if (d.OscCal == 0)
        return false;
    ProgrammerLink& link = *ws.link;
    LinkUiScope uiScope(link, ui);
    if (!link.OpenLink(false, false))
        return false;
    for (int32_t a = d.ResetVector; a != 0; a = nextAddress(d, a))
        link.SendCommand(kCmdIncrementAddress);
    for (int32_t a = 0; a < d.ProgSize; ++a) {
        if (a == d.OscCal) {
            link.SendCommand(kCmdLoadData);
            link.SendData(value);
            link.StartProgrammingCycle(false, true, false);
            break;
        }
        link.SendCommand(kCmdIncrementAddress);
    }
    return link.CloseLink();
}

}  // namespace velkaro
