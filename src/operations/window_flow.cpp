#include "operations/window_flow.h"

namespace velkaro {

FlowOutcome cancelOperationWindow(Workspace& workspace, OperationUi& ui) {
    ui.setStatusText("");
    if (workspace.link)
        workspace.link->CloseLink();
    return {WindowClose::Cancel, kResultCancelled};
}

}  // namespace velkaro
