#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "app/workspace.h"
#include "link/operation_ui.h"
#include "operations/erase_device.h"
#include "operations/window_flow.h"

namespace velkaro {

// The steps of the automatic program sequence, in the order they run.
enum class ProgStep {
    DeviceId,
    OscCal,
    Erase,
    BlankCheck,
    Write,
    Verify,       // program and data memory, before the configuration is written
    ConfigWrite,  // only with verify: the configuration goes last
    ConfigCheck,
};

// The text a step appends to the window caption while it runs.
std::string_view progStepText(ProgStep step);

// Pause after the ID check, the OSCCAL read, the erase, the blank check and the first
// write and verify (a plain sleep on the link's clock; no events are processed).
inline constexpr uint32_t kProgStepPauseMs = 500;

// What the sequence works on, from its program and data boxes and whether the data box is
// enabled (a device with data memory): the two write flags and the erase scope, or no
// scope when there is nothing to do.
struct ProgWork {
    bool program = false;
    bool data = false;
    std::optional<EraseScope> scope;
};
ProgWork progWork(bool progTicked, bool dataTicked, bool dataEnabled);

// What the automatic program window shows when it opens: its six boxes from
// workspace.progOptions, the data box enabled only for a device with data memory, the
// OSCCAL/BG box shown only for a device with an OSCCAL word. The window also sets its gauge
// to 0, clears its cancel flag and enables and focuses its OK button.
struct ProgWindowState {
    ProgOptions checked;
    bool dataEnabled = false;
    bool oscCalVisible = false;
};
ProgWindowState activateProgWindow(const Workspace& workspace);

// The automatic program window's OK with the boxes as `ticked` (a disabled data box or a
// hidden OSCCAL box counts as clear). `caption` is the window caption when OK was pressed;
// each step shows it followed by two blanks and the step text, and it is put back at the
// end. In order, each step opening and closing the link itself:
// - nothing to do (neither region): closes with OK, nothing touched or remembered;
// - with ProgEn, a configuration that would lock the chip out of this programmer
//   (configurationLocksOut) is asked about; declined, as a declined ID question;
// - with DevIdChk, the ID check: a mismatch asks whether to write anyway; declined, the
//   window closes with Cancel and kResultOk and nothing is remembered;
// - with OscCalEn, the chip's OSCCAL and BG values are read into the image (the write puts
//   them back);
// - erase of the scope; a failure shows "データの消去でエラーが発生しました。" alone;
// - with BlankEn, a blank check of the regions written;
// - with VerifyEn: program and data memory written, verified, then the configuration words
//   written and checked; otherwise one write of everything. The configuration words (and
//   the IDs) go only with program memory: a data-only sequence leaves the chip's;
// with a 500 ms pause after each step but the last. The first failure ends the sequence:
// its result is reported through the link (nothing for a cancel), a success shows
// "プログラムは正常に終了しました。", and the boxes are remembered. Closes with OK and the
// result (kResultHardwareError for a failed erase), or with Cancel and kResultCancelled
// when a step saw Cancel. The caller refreshes the views (OSCCAL and BG included).
// Requires workspace.link.
FlowOutcome runAutoProgram(Workspace& workspace, OperationUi& ui, ProgOptions ticked,
                           std::string_view caption);

}  // namespace velkaro
