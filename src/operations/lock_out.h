#pragma once

#include "app/workspace.h"
#include "link/operation_ui.h"

namespace velkaro {

// A 12/14-bit chip set to its internal oscillator with MCLR off starts its own program as
// soon as VDD is there; a programmer that raises VDD before VPP (the device's power-on
// order, or a "VKR-20 JDM" that takes VDD from the port) then cannot bring it into
// programming mode again. These tell whether writing the buffer's configuration would
// leave the chip so, and ask before such a write.

// True when workspace.image's configuration words select an internal oscillator (a FOSC or
// OSC field of the device's Config.ini section whose option starts with "INT" or "IRC") with
// MCLRE OFF, on a 12/14-bit device, and workspace.link raises VDD first.
bool configurationLocksOut(const Workspace& workspace);

// True when workspace.link enters by the low-voltage key and workspace.image's configuration
// clears the device's LVP bit: once written, the chip takes no key any more and only a
// programmer with a VPP level it accepts can reach it again.
bool configurationClearsLvp(const Workspace& workspace);

// Before a write of the configuration: when configurationLocksOut or
// configurationClearsLvp, asks why (OK/Cancel, Cancel the default), each once. True when
// the write may go on.
bool confirmLockOutRisk(const Workspace& workspace, OperationUi& ui);

}  // namespace velkaro
