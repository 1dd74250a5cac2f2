#pragma once

#include "app/workspace.h"
#include "link/operation_ui.h"
#include "operations/window_flow.h"

namespace velkaro {

// What the erase window shows when it opens: its check boxes from the remembered options,
// the data box enabled only for a device with data memory, the ID box enabled only for a
// device with a device ID, and the OSCCAL/BG box only for a device with an OSCCAL word.
// The window also hides its gauge at 0, clears its cancel flag and focuses its OK button.
struct EraseWindowState {
    EraseOptions checked;
    bool dataEnabled = false;
    bool devIdEnabled = false;
    bool oscCalVisible = false;
};
EraseWindowState activateEraseWindow(const Workspace& workspace);

// The erase window's OK with the boxes as `ticked` (boxes the window shows disabled or
// hidden count as clear whatever they hold):
// - the ID check first, when ticked: a mismatch asks whether to go on, and anything but OK
//   closes the window with Cancel before anything is erased or remembered;
// - the choices are remembered; with neither region ticked nothing else happens;
// - the 16-bit core family is erased with panelErase (all, program only or data only); a
//   failure shows "デバイスの消去に失敗しました。" and gives kResultHardwareError (a link refused
//   for its programming voltage has shown why and gives the refusal); the buffer is
//   cleared when asked either way;
// - the enhanced 14-bit core is erased with eraseEnhanced (the IDs and configuration words
//   with program memory); a failure is reported through the link (a refused programming
//   voltage as the refusal, which is the result) and closes the window with Cancel before
//   the buffer is touched;
// - otherwise program memory by the device's erase string or its erase steps (falling
//   back to erasing word by word), then data memory the same way, the buffer cleared when
//   asked, and with OscCalEn the chip's OSCCAL and BG values, read before the erase,
//   written back into the chip and the buffer.
// Closes with OK (kResultOk); with Cancel and kResultOk when the ID question was declined;
// with Cancel and kResultCancelled after a cancel, with Cancel and kResultHardwareError
// after a link that would not open or failed (its message shown). A cancelled erase leaves the
// buffer and the calibration values as they were. The caller refreshes the views.
FlowOutcome runErase(Workspace& workspace, OperationUi& ui, EraseOptions ticked);

}  // namespace velkaro
