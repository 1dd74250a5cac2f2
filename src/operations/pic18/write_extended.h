#pragma once

// Writing the 16-bit core family: program memory in write blocks through the table pointer
// (on the FXX2 parts optionally on every panel at once), the user IDs and configuration
// bytes, and the data memory through EEADR/EEDATA/EECON1.

#include <vector>

#include "app/workspace.h"
#include "link/operation_ui.h"
#include "link/result_code.h"

namespace velkaro {

// Program memory of an erased chip. The first 256 words go in single-panel mode, then the
// rest (with MultiPanel: every panel at once, PanelSize words each). Blocks of LoadCnt words
// (4 when LoadCnt < 1) that are blank everywhere they would be written are skipped; a block
// never reaches past the program buffer (missing words are blank). Words are not read back.
// kResultOk, kResultHardwareError (link would not open, target lost power), kResultCancelled
// (between blocks after the first 256 words).
ResultCode WriteProgramExtended(Workspace& ws, OperationUi& ui);

// The eight user ID bytes (low bytes of the ID words) and the configuration words, each
// configuration word's two bytes with one pulse each. The order is the family's
// (configuration words 0 to 5, 7 and up, then 6), except that word 5, which holds the
// configuration write protection, always comes last: once it is written, the chip takes no
// further configuration writes. The ID bytes the device has (IdCount) are read back after
// their pulse: IDs left from an earlier write that the erase did not reach (a write of
// program memory alone keeps them) give kResultConfigError once the configuration is
// written. The configuration words are read back too, under their masks: a difference (a
// chip whose configuration was write-protected before refuses every byte until an erase
// that takes the configuration) gives kResultConfigError, with the reason set on the link
// for the message's second line.
ResultCode WriteIdConfigExtended(Workspace& ws, OperationUi& ui);

// The configuration words in the order WriteIdConfigExtended writes them.
std::vector<int> extendedConfigOrder(const DeviceDefinition& device);

// Data memory, byte by byte. The device key "DataShiftOut" chooses how the end of each write
// is found: 0 waits BulkEraseCycle ms, anything else (or no key) polls EECON1.WR up to 100
// times 1 ms apart. Algorithm 1 parts get the EECON2 unlock sequence before each write,
// Algorithm 2 parts a NOP before each poll's shift-out. kResultDataError when a byte is
// still being written after its polls; otherwise as WriteProgramExtended, cancelled before
// any byte.
ResultCode WriteDataExtended(Workspace& ws, OperationUi& ui);

// What WriteDevice runs for the family: program, data, then IDs and configuration, each
// when asked for; the first failure ends the chain and is returned. With the configuration
// asked for, the program and data just written are verified before it (its mismatch is the
// chain's result); without it the caller is expected to verify.
ResultCode WriteExtendedChain(Workspace& ws, OperationUi& ui, bool writeProgram, bool writeData,
                              bool writeConfig);

// The write window's path for the family: erases what is ticked with panelErase (all,
// program only or data only; a failed erase shows its message and writes nothing), then
// program memory and data memory as ticked, verifies them, then the IDs and configuration,
// and reports the result through the link. Nothing happens when neither box is ticked.
ResultCode WriteExtendedFromWindow(Workspace& ws, OperationUi& ui, bool progEn, bool dataEn);

}  // namespace velkaro
