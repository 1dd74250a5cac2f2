#pragma once

#include "app/workspace.h"
#include "link/operation_ui.h"
#include "link/result_code.h"

namespace velkaro {

// How an operation window closes after one of its actions.
enum class WindowClose {
    Ok,         // closed with the OK result
    Cancel,     // closed with the Cancel result
    StaysOpen,  // stays open (its OK button stays disabled; the user closes it with Cancel)
};

// What a window action did: how the window closes and the operation's result code
// (kResultOk when nothing ran). The caller refreshes the image views afterwards.
struct FlowOutcome {
    WindowClose close = WindowClose::Ok;
    ResultCode result = kResultOk;
};

// What a window with program and data check boxes shows when it opens: the boxes'
// states from the remembered options, and whether the data box is enabled (only for a
// device with data memory). The window also sets its gauge to 0, clears its cancel flag
// and enables and focuses its OK button.
struct CheckWindowState {
    bool progChecked = true;
    bool dataChecked = true;
    bool dataEnabled = false;
};

// Whether the ticked boxes of a blank-check or verify window leave anything to check:
// program memory, or data memory on a device that has some. Checking nothing is no
// success, so those windows keep OK disabled otherwise and their flows show nothing.
inline bool checksSomething(const DeviceDefinition& device, bool program, bool data) {
    return program || (data && device.EpromSize != 0);
}

// The Cancel button of the read, blank-check and verify windows, after the window has set
// its cancel flag (which the running loop sees at its next word): clears the status text,
// closes the link (target unpowered) and closes the window with the Cancel result.
FlowOutcome cancelOperationWindow(Workspace& workspace, OperationUi& ui);

}  // namespace velkaro
