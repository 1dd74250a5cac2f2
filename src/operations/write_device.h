#pragma once

#include "app/workspace.h"
#include "link/operation_ui.h"
#include "link/result_code.h"
#include "operations/window_flow.h"

namespace velkaro {

// Writes workspace.image into a 12/14-bit core chip, one link phase per section:
// - program memory (with writeProgram), then the four ID locations in the same phase.
//   Words are loaded in latch groups of LoadCnt counted from address 0; the last address
//   of a group, and the last address of program memory, starts the group's programming
//   cycle and is read back, the other words loaded into a group are read back in a phase
//   of their own once program memory is done. With `erased` the chip is known to be blank:
//   blank words are skipped (a group with nothing loaded sends no cycle) and program-only
//   cycles may be used. The OSCCAL word comes from image.OscCalValue on flash parts, and on
//   other parts when workspace.writeOptions.OscCal is clear;
// - data memory (with writeData, for a device that has some), byte by byte;
// - the configuration words (with writeConfig), the first one ORed with image.BGValue on
//   devices with band-gap bits. When they turn on code or data protection, what this call
//   wrote is verified first and a difference stops the write before them.
// Everything written is read back (devices with ProgramRead). Results: kResultOk;
// kResultProgramError, kResultDataError or kResultConfigError for a word of that region
// that does not read back (nothing after it is written); kResultHardwareError when the link
// would not open or the target lost power during a section; kResultCancelled when ui
// reported Cancel before a program word or data byte. The link always ends closed.
// Requires workspace.link; shows no message.
ResultCode WriteSequence(Workspace& ws, OperationUi& ui, bool writeProgram, bool writeData,
                         bool writeConfig, bool erased);

// The write used by the erase, automatic and calibration windows, on a chip erased
// beforehand: WriteSequence, or WriteExtendedChain for the 16-bit core family.
ResultCode WriteDevice(Workspace& ws, OperationUi& ui, bool writeProgram, bool writeData,
                       bool writeConfig);

// After an erase that keeps the chip's calibration (12/14-bit cores): writes the first
// configuration word as erased but for its band-gap bits, which come from `bg`. Nothing is
// written on a device without band-gap bits. kResultConfigError when the word does not read
// back, kResultHardwareError when the link fails; shows no message.
ResultCode writeBandGapBits(Workspace& ws, OperationUi& ui, uint16_t bg);

// The write driver of the 12/14-bit cores: with `writeProgram` clears code protection (when
// that fails it shows "デバイスの書き込みができません。", writes nothing and returns
// kResultProgramError) and erases program memory (and data memory with `writeData`); with
// only `writeData` erases data memory. Then WriteSequence, told whether the erase
// succeeded, with the configuration words only together with program memory; its result is
// reported through the link.
ResultCode writeChip(Workspace& ws, OperationUi& ui, bool writeProgram, bool writeData);

// What the write window shows when it opens: its four check boxes from
// workspace.writeOptions, the data box enabled only for a device with data memory, the
// OSCCAL box shown only for a device with an OSCCAL word.
struct WriteWindowState {
    WriteOptions checked;
    bool dataEnabled = false;
    bool oscCalVisible = false;
};
WriteWindowState activateWriteWindow(const Workspace& workspace);

// The write window's OK. With ProgEn ticked, a configuration that would lock the chip out
// of this programmer (configurationLocksOut) is asked about first; with DevIdChk ticked a
// device-ID mismatch asks whether to write anyway; either declined, nothing is written and
// the window closes with Cancel and kResultOk.
// 16-bit core devices: WriteExtendedFromWindow (erase, then write), the choices remembered
// unless cancelled. 12/14-bit cores: with OscCal ticked on a flash part the chip's OSCCAL and BG
// values are read into the image first (they survive the erase), then writeChip; the choices are
// remembered and the window closes with OK and the write's result.
FlowOutcome runWrite(Workspace& workspace, OperationUi& ui, WriteOptions ticked);

}  // namespace velkaro
