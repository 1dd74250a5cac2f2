#pragma once

#include <cstdint>

#include "app/workspace.h"
#include "link/operation_ui.h"

namespace velkaro {

// Programs `value` into the OSCCAL word (a blank location after an erase). False, with
// nothing sent, for a device without an OSCCAL word, and when the link would not open.
bool writeOscCalWord(Workspace& ws, OperationUi& ui, uint16_t value);

}  // namespace velkaro
