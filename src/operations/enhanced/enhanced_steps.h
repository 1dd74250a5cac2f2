#pragma once

// The enhanced 14-bit core's steps (PIC12F1xxx, PIC16F1xxx): the row familySteps() gives
// for DeviceFamily::EnhancedMidrange. Reading, verifying and the blank check are the 6-bit
// family's (the same 04/05/06 and Load Configuration walks); the erase and the writes are
// this core's own, since it has no set-up erase commands, writes program memory by rows and
// keeps IDs and configuration words in a configuration space of their own from 0x8000.

#include "operations/family_steps.h"

namespace velkaro {

// The family's row.
const FamilySteps& enhancedMidrangeSteps();

// The erase entry of eraseDevice: All erases program memory with the IDs and configuration
// words and then data memory, ProgramOnly the former, DataOnly the latter (true at once for
// a device without data memory). Program memory is erased from the configuration space
// (Load Configuration, Bulk Erase Program Memory), which also lifts code protection. True
// when the erase ran; false when the link would not open or the device names no bulk erase
// in CmdSet. Opens and closes the link silently.
bool eraseEnhanced(Workspace& ws, OperationUi& ui, EraseScope scope);

// Writes workspace.image into a chip of this core, one link phase per section:
// - with writeProgram, program memory row by row (LoadCnt words loaded into the latches,
//   then one internally timed cycle at the row's last word, ProgOnlyCycle ms), and then the
//   four ID locations one word per cycle (EraseProgCycle ms). With `erased` the chip is known
//   to be blank and rows that hold only blank words are skipped;
// - with writeData (for a device with data memory), data memory byte by byte
//   (DataEraseProgCycle ms each);
// - with writeConfig, the configuration words one per cycle (EraseProgCycle ms), after a
//   full verify of what this call wrote when they turn protection on.
// Everything written is read back on devices with ProgramRead. Results as WriteSequence
// gives them (write_device.h); the link always ends closed.
ResultCode writeEnhanced(Workspace& ws, OperationUi& ui, bool writeProgram, bool writeData,
                         bool writeConfig, bool erased);

FlowOutcome eraseWindowEnhanced(Workspace& workspace, OperationUi& ui, const EraseOptions& ticked,
                                bool eraseData);
FlowOutcome writeWindowEnhanced(Workspace& workspace, OperationUi& ui, WriteOptions ticked);

}  // namespace velkaro
