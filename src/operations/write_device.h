#pragma once

#include "app/workspace.h"
#include "link/operation_ui.h"
#include "link/result_code.h"

namespace velkaro {

// Writes workspace.image into a 12/14-bit core chip, one link phase per section:
// - program memory (with writeProgram), then the four ID locations in the same phase.
//   Words are loaded in latch groups of LoadCnt counted from address 0; the last address
//   of a group, and the last address of program memory, starts the group's programming
//   cycle and is read back. With `erased` the chip is known to be blank: blank words are
//   skipped (a group with nothing loaded sends no cycle) and program-only cycles may be
//   used. The OSCCAL word comes from image.OscCalValue on flash parts, and on other parts
//   when workspace.writeOptions.OscCal is clear;
// - data memory (with writeData, for a device that has some), byte by byte, unverified;
// - the configuration words (with writeConfig), the first one ORed with image.BGValue on
//   devices with band-gap bits; unverified.
// Results: kResultOk; kResultProgramError when a program word still differs after its
// retries (nothing after it is written); kResultHardwareError when the link would not open
// or the target lost power during a section; kResultCancelled when ui reported Cancel
// before a program word or data byte. The link always ends closed. Requires
// workspace.link; shows no message.
ResultCode WriteSequence(Workspace& ws, OperationUi& ui, bool writeProgram, bool writeData,
                         bool writeConfig, bool erased);

// The write used by the erase, automatic and calibration windows: WriteSequence on a chip
// erased beforehand. Writing 16-bit core devices is not available yet: for them the chip is
// not touched, ui is told so, and the result is kResultHardwareError.
ResultCode WriteDevice(Workspace& ws, OperationUi& ui, bool writeProgram, bool writeData,
                       bool writeConfig);

}  // namespace velkaro
