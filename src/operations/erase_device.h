#pragma once

#include <cstdint>
#include <vector>

#include "app/workspace.h"
#include "link/operation_ui.h"

namespace velkaro {

// What eraseDevice erases.
enum class EraseScope { All = 0, ProgramOnly = 1, DataOnly = 2 };

// The erase entry of the write path, the automatic sequence and the calibration window.
// A device whose FlashType is false needs no erase (true, nothing sent). The 16-bit core
// family (Algorithm not 0) is erased with panelErase. Otherwise All erases program and data
// memory, ProgramOnly program memory (with IDs and
// configuration), DataOnly data memory. True when the erase was carried out; false when the
// link would not open or the device has no erase method. Requires workspace.link.
bool eraseDevice(Workspace& ws, OperationUi& ui, EraseScope scope);

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

// Programs `value` into the OSCCAL word (a blank location after an erase). False, with
// nothing sent, for a device without an OSCCAL word, and when the link would not open.
bool writeOscCalWord(Workspace& ws, OperationUi& ui, uint16_t value);

// The erase window's fallback when a bulk erase failed: every program word (or data byte)
// is erased and programmed blank, one by one, with the gauge following. The link is opened
// with messages. kResultOk; kResultCancelled when the link would not open or Cancel was
// seen (the link then ends closed and the pass stops at once).
ResultCode eraseProgramWordByWord(Workspace& ws, OperationUi& ui);
ResultCode eraseDataWordByWord(Workspace& ws, OperationUi& ui);

}  // namespace velkaro
