#pragma once

#include "app/workspace.h"
#include "link/operation_ui.h"
#include "link/result_code.h"
#include "operations/first_difference.h"
#include "operations/window_flow.h"

namespace velkaro {

// Compares the chip with workspace.image: with `program` the program memory (the OSCCAL
// word excepted on the 6-bit family), with `configuration` the ID locations (low four
// bits) and configuration words (under their masks), with `data` the data memory (only for
// a device that has some). Stops at the first difference. Results: kResultOk,
// kResultProgramError, kResultDataError, kResultConfigError, kResultHardwareError (link
// would not open, or on a device with a device ID the chip did not answer like one in
// programming mode, its reason recorded on the link; no message shown), kResultCancelled.
// The link ends closed. Requires workspace.link. With `firstDifference`, a difference found
// is described there (and it is reset otherwise).
ResultCode verifyDevice(Workspace& workspace, OperationUi& ui, bool program, bool data,
                        bool configuration, FirstDifference* firstDifference = nullptr);

// The verify window opening: its check boxes from workspace.verifyOptions.
CheckWindowState activateVerifyWindow(const Workspace& workspace);

// The verify window's OK: verifies program and configuration together when the program box
// is ticked and data when the data box is ticked (and the device has data memory), shows
// "ベリファイでエラーは見つかりませんでした。" or the result's message (with the first
// difference below it), remembers the boxes and closes with OK. When the boxes leave nothing
// to compare (checksSomething) nothing is read or shown and the window closes with Cancel.
FlowOutcome runVerify(Workspace& workspace, OperationUi& ui, VerifyOptions ticked);

}  // namespace velkaro
