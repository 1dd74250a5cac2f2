#pragma once

#include "app/workspace.h"
#include "link/operation_ui.h"
#include "link/result_code.h"
#include "operations/first_difference.h"
#include "operations/window_flow.h"

namespace velkaro {

// Checks that the chip holds its erased values: with `program` the program memory, the ID
// locations and the configuration words, with `data` the data memory. With the
// "VKR-20 PRO" programmer and a device whose counter starts at 0 the programmer tests
// program memory itself in blocks of 1024 words. Stops at the first location that is not
// blank. Results: kResultOk (blank), kResultProgramError, kResultDataError,
// kResultConfigError (an ID or configuration word), kResultHardwareError (link would not
// open, or on a device with a device ID the chip did not answer like one in programming
// mode, its reason recorded on the link; no message shown), kResultCancelled. The link ends
// closed. Requires workspace.link. With `firstDifference`, the first location found not
// blank is described there (and it is reset otherwise).
ResultCode blankCheck(Workspace& workspace, OperationUi& ui, bool program, bool data,
                      FirstDifference* firstDifference = nullptr);

// The blank-check window opening: its check boxes from workspace.blankOptions.
CheckWindowState activateBlankCheckWindow(const Workspace& workspace);

// The blank-check window's OK: when the boxes leave nothing to check (checksSomething: neither
// ticked, or only data on a device without any) the window closes with Cancel and nothing
// is read. Otherwise remembers the boxes, runs blankCheck, shows "デバイスはブランク
// です。" or the result's message (with the first location not blank below it), and closes
// with OK.
FlowOutcome runBlankCheck(Workspace& workspace, OperationUi& ui, BlankOptions ticked);

}  // namespace velkaro
