#pragma once

#include "app/workspace.h"

namespace velkaro {

// Baseline (12-bit core) parts with an OSCCAL word keep a factory copy of it right after
// their four ID words. The erase string of these parts erases from the ID area, which
// takes that copy too (the IDs can be erased no other way), so the copy is read before
// the erase and programmed back after it.
bool hasBackupOscCal(const DeviceDefinition& device);

// Runs the device's erase string in a link session of its own, opened with messages when
// `showMessages`; on a part with a backup OSCCAL word the word survives. False when the
// link would not open for the erase.
bool runEraseCmdKeepingBackup(Workspace& ws, bool showMessages);

}  // namespace velkaro
