#pragma once

#include "app/workspace.h"
#include "link/operation_ui.h"

namespace velkaro {

// What eraseDevice erases.
enum class EraseScope { All = 0, ProgramOnly = 1, DataOnly = 2 };

// The erase entry of the write path, the automatic sequence and the calibration window.
// A device whose FlashType is false needs no erase (true, nothing sent); the others are
// erased by their family's step (the 16-bit core with panelErase, the 12/14-bit cores with
// eraseDevice6: All program and data memory, ProgramOnly program memory with IDs and
// configuration, DataOnly data memory). True when the erase was carried out; false when the
// link would not open or the device has no erase method. Requires workspace.link.
bool eraseDevice(Workspace& ws, OperationUi& ui, EraseScope scope);

}  // namespace velkaro
