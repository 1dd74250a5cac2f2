#include "operations/erase_device.h"

#include "operations/midrange/bulk_erase.h"
#include "operations/operation_support.h"
#include "operations/pic18/panel_erase.h"

namespace velkaro {

using ops::LinkUiScope;

bool eraseDevice(Workspace& ws, OperationUi& ui, EraseScope scope) {
    const DeviceDefinition& d = ws.device;
    if (!d.FlashType)
        return true;
    if (d.isExtendedFamily())
        return panelErase(ws, ui, scope);
    LinkUiScope uiScope(*ws.link, ui);
    switch (scope) {
        case EraseScope::All:
            return bulkEraseProgram(ws, ui, true);
        case EraseScope::ProgramOnly:
            return bulkEraseProgram(ws, ui, false);
        case EraseScope::DataOnly:
            return bulkEraseData(ws, ui);
    }
    return false;
}

}  // namespace velkaro
