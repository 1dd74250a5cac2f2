#pragma once

#include "app/workspace.h"
#include "link/operation_ui.h"
#include "link/result_code.h"
#include "operations/window_flow.h"

namespace velkaro {

// Outcome of readDevice: the result code and, for a failure, whether it came in the data
// section (the windows react differently).
struct ReadResult {
    ResultCode code = kResultOk;
    bool inDataSection = false;
};

// Reads the chip in the socket into workspace.image: with `program` the program memory,
// the ID words, the configuration words and (6-bit family) OSCCAL and BG; with `data` the
// data memory (only for a device that has some), with the steps of the device's family
// (familySteps). Each section opens and closes the link. Results: kResultOk;
// kResultHardwareError when the link would not open (the 16-bit family shows the link's own
// message first) or, on a device with a device ID, the chip did not answer like one in
// programming mode (the reason recorded on the link); the image is then as it was before;
// kResultCancelled when ui reported Cancel before a word (words read so far stay in the
// image, the link ends closed). The chip's answers are stored as they come.
// Requires workspace.link.
ReadResult readDevice(Workspace& workspace, OperationUi& ui, bool program, bool data);

// The read window opening: its check boxes from workspace.readOptions.
CheckWindowState activateReadWindow(const Workspace& workspace);

// The read window's OK: runs readDevice with the ticked boxes, reports a failure, and
// remembers the boxes when the read completes. How the window closes: Cancel after a link
// failure in the program section (6-bit family) or a cancel; stays open after a link
// failure in the data section (6-bit family); OK otherwise (the 16-bit family closes with OK
// even after a failure or a cancel).
FlowOutcome runRead(Workspace& workspace, OperationUi& ui, ReadOptions ticked);

}  // namespace velkaro
