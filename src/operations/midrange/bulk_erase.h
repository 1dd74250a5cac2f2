#pragma once

// Erasing the 6-bit command family: code protection, program memory (command string, chip
// erase or bulk erase) and data memory.

#include "app/workspace.h"
#include "link/operation_ui.h"
#include "operations/erase_device.h"

namespace velkaro {

// Clears code protection before a program-memory erase (6-bit family): Load Configuration,
// a walk to the configuration word and the bulk-erase set-up sequence there (01, 07, 08,
// EraseProgCycle ms, 01, 07). Devices without Load Configuration or without the set-up
// commands (CmdSet bits 0, 10, 11) clear protection with their own bulk or chip erase, so
// nothing is sent for them. True when nothing was needed or the sequence ran; false when
// the link would not open or the configuration word lies outside the walk. Opens and
// closes the link silently.
bool clearCodeProtection(Workspace& ws, OperationUi& ui);

// Erases program memory (6-bit family): code protection first, then the device's command
// string, its chip erase (given after Load Configuration, so that it reaches the IDs, the
// configuration and its protection; it also takes data memory) or its bulk erase; with `withData`
// a bulk erase is followed by bulkEraseData. True when nothing was needed (FlashType
// false) or the erase ran; false when the device has no erase method, protection could not
// be cleared or the link would not open. Opens and closes the link silently.
bool bulkEraseProgram(Workspace& ws, OperationUi& ui, bool withData);

// Erases data memory (6-bit family); true at once for a device without any. False only
// when the link would not open.
bool bulkEraseData(Workspace& ws, OperationUi& ui);

// The family's erase entry of eraseDevice: All erases program and data memory,
// ProgramOnly program memory (with IDs and configuration), DataOnly data memory.
bool eraseDevice6(Workspace& ws, OperationUi& ui, EraseScope scope);

}  // namespace velkaro
