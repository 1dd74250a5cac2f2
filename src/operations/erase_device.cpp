#include "operations/erase_device.h"

#include "operations/family_steps.h"

namespace velkaro {

bool eraseDevice(Workspace& ws, OperationUi& ui, EraseScope scope) {
    const DeviceDefinition& d = ws.device;
    if (!d.FlashType)
        return true;
    return familySteps(d).erase(ws, ui, scope);
}

}  // namespace velkaro
