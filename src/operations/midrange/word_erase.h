#pragma once

#include "app/workspace.h"
#include "link/operation_ui.h"
#include "link/result_code.h"

namespace velkaro {

// The erase window's fallback when a bulk erase failed: every program word (or data byte)
// is erased and programmed blank, one by one, with the gauge following. The link is opened
// with messages. kResultOk; kResultCancelled when the link would not open or Cancel was
// seen (the link then ends closed and the pass stops at once).
ResultCode eraseProgramWordByWord(Workspace& ws, OperationUi& ui);
ResultCode eraseDataWordByWord(Workspace& ws, OperationUi& ui);

}  // namespace velkaro
