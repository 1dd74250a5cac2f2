#pragma once

// What the shared flows (read, blank check, verify, erase, write, their windows and the
// time estimate) leave to a family: one row of steps per DeviceFamily, filled in by the
// family's folder (src/operations/<family>/). The flows open the operation, check the
// link's result and report; a row's steps talk to the chip. Every member is set.

#include <array>
#include <cstdint>

#include "app/workspace.h"
#include "catalogue/device_definition.h"
#include "catalogue/device_family.h"
#include "link/operation_ui.h"
#include "link/programmer_link.h"
#include "link/result_code.h"
#include "operations/erase_device.h"
#include "operations/first_difference.h"
#include "operations/read_device.h"
#include "operations/window_flow.h"

namespace velkaro {

// The configuration words as read from a chip, one slot per word the image can hold.
using ConfigWordArray = std::array<uint16_t, DeviceDefinition::kMaxConfigWords>;

struct FamilySteps {
    // Reading (readDevice): program memory with the ID and configuration words, then data
    // memory, each in a session of its own that opens and closes the link. Results as
    // readDevice describes; the image is the caller's to restore.
    ResultCode (*readProgram)(Workspace&, OperationUi&);
    ResultCode (*readData)(Workspace&, OperationUi&);
    // How the read window closes after readDevice failed with `read`, reporting what the
    // link has not shown.
    FlowOutcome (*readFailed)(Workspace&, const ReadResult& read);

    // Blank check (blankCheck): program memory with the ID and configuration words, and
    // data memory. The first location found not blank is described in `where`; the link
    // ends closed.
    ResultCode (*blankProgram)(ProgrammerLink&, const DeviceDefinition&, OperationUi&,
                               FirstDifference& where);
    ResultCode (*blankData)(ProgrammerLink&, const DeviceDefinition&, OperationUi&,
                            FirstDifference& where);

    // Verify (verifyDevice) against workspace.image: program memory and the ID and
    // configuration words as asked, then data memory. The first difference is described
    // in `where`; the link ends closed.
    ResultCode (*verifyProgramAndConfig)(Workspace&, OperationUi&, bool program, bool configuration,
                                         FirstDifference& where);
    ResultCode (*verifyData)(Workspace&, OperationUi&, FirstDifference& where);

    // Over an open link: the chip's configuration words into `words` (ConfigCount of them,
    // capped to the image). False when the family's walk cannot reach them.
    bool (*readConfigWords)(ProgrammerLink&, const DeviceDefinition&, ConfigWordArray& words);
    // Over a freshly opened link: whether the chip answers like one in programming mode.
    // kResultOk, or the link closed, its reason recorded and kResultHardwareError.
    ResultCode (*checkProgrammingMode)(ProgrammerLink&);

    // The erase of a FlashType device (eraseDevice): true when it was carried out.
    bool (*erase)(Workspace&, OperationUi&, EraseScope);
    // The erase window's work once its question is answered and its boxes remembered, with
    // program memory (ticked.ProgEn) or data memory (eraseData) to erase: erases, clears the
    // buffer with BuffClear, and tells how the window closes.
    FlowOutcome (*eraseWindow)(Workspace&, OperationUi&, const EraseOptions& ticked,
                               bool eraseData);
    // The write of a chip erased beforehand (WriteDevice).
    ResultCode (*writeErased)(Workspace&, OperationUi&, bool writeProgram, bool writeData,
                              bool writeConfig);
    // The write window's work once its questions are answered: writes what is ticked,
    // remembers the boxes as the family does, and tells how the window closes.
    FlowOutcome (*writeWindow)(Workspace&, OperationUi&, WriteOptions ticked);

    // Whether an internal oscillator with MCLR off keeps a programmer that raises VDD
    // before VPP out of the chip (its program runs before programming mode is entered).
    bool vddFirstLocksOut;
};

// The row of `family`, and of a device's family.
const FamilySteps& familySteps(DeviceFamily family);
const FamilySteps& familySteps(const DeviceDefinition& device);

}  // namespace velkaro
