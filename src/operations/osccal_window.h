#pragma once

#include <string>

#include "app/workspace.h"
#include "link/operation_ui.h"
#include "link/result_code.h"
#include "operations/operation_messages.h"
#include "operations/osccal_calc.h"

namespace velkaro {

// How the calibration entry ended before its window would open.
enum class OscCalStart {
    Ready,      // the calibration program is in the buffer: open the window
    Declined,   // the user did not confirm; nothing changed
    NotLoaded,  // the program could not be loaded (reported by the loader)
};

// The calibration entry: asks whether the calibration program may be loaded, then loads
// it from the data directory by the file-name part of the device's OscCalFile, exactly as
// the open-file command does (the last file and the history follow). The window opens
// only with the program loaded, so that its update never writes some other buffer into
// the chip.
OscCalStart startOscCalibration(Workspace& workspace, OperationUi& ui);

// What the calibration window shows.
struct OscCalView {
    std::string curOsc{msg::kOscCalNoValue};   // the chip's OSCCAL word, "%04X"
    std::string oscVal{msg::kOscCalNoValue};   // measured frequency, "980.0KHz"
    std::string oscDiff{msg::kOscCalNoValue};  // error against 1 MHz, "-2.00%"
    std::string newOscCal;                     // value to write, "%04X"
    std::string status;                        // the status bar
    std::string mainOscCal;                    // the main window's OSCCAL and BG edits
    std::string mainBg;
    OscFrequency frequency = 0;  // last measurement, 0 = none
    bool okEnabled = true;
};

// Measures (the window's re-measure button, and its first activation): reads the chip's
// OSCCAL and BG words into the buffer and the view, runs the chip on its supply alone and
// asks the programmer for the frequency, then shows frequency, error and the recommended
// value with its status. Without a measurement the user is told to update. The status
// text also goes to ui.
void measureOscillator(Workspace& workspace, OperationUi& ui, OscCalView& view);

// The update button: the value field (read as hexadecimal) becomes the buffer's OSCCAL
// value, the chip is erased and the calibration program written with it, and the
// oscillator measured again. The erase and write results do not stop the update (the
// measurement shows whether the chip runs); the write's result is returned for callers
// that report it.
ResultCode updateOscCal(Workspace& workspace, OperationUi& ui, OscCalView& view);

}  // namespace velkaro
