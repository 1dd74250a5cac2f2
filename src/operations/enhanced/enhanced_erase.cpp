#include "link/icsp_commands.h"
#include "operations/enhanced/enhanced_steps.h"
#include "operations/operation_support.h"

namespace velkaro {
namespace {

using namespace ops;

// Bulk Erase Data Memory over an open link; nothing for a device without data memory, which
// does not know the command.
void eraseDataMemory(ProgrammerLink& link, const DeviceDefinition& d) {
    if (d.EpromSize == 0)
        return;
    link.SendCommand(kCmdBulkEraseData);
    link.DelayMilliseconds(waitMs(d.BulkEraseCycle));
}

// With the counter in the configuration space, Bulk Erase Program Memory takes the IDs and
// configuration words (and so the protection) with program memory; from program memory it
// would leave them.
void eraseProgramMemory(ProgrammerLink& link, const DeviceDefinition& d) {
    link.SendCommand(kCmdLoadConfig);
    link.SendData(d.BlankWord);
    link.SendCommand(kCmdBulkEraseProgram);
    link.DelayMilliseconds(waitMs(d.BulkEraseCycle));
}

}  // namespace

bool eraseEnhanced(Workspace& ws, OperationUi& ui, EraseScope scope) {
    const DeviceDefinition& d = ws.device;
    if (!d.FlashType)
        return true;
    if (scope == EraseScope::DataOnly && d.EpromSize == 0)
        return true;
    if (scope != EraseScope::DataOnly && !d.hasBulkEraseProgram())
        return false;
    ProgrammerLink& link = *ws.link;
    LinkUiScope uiScope(link, ui);
    if (!link.OpenLink(false, false))
        return false;
    if (scope != EraseScope::DataOnly)
        eraseProgramMemory(link, d);
    if (scope != EraseScope::ProgramOnly)
        eraseDataMemory(link, d);
    return link.CloseLink();  // an erase the programmer did not confirm may not have run
}

}  // namespace velkaro
