#pragma once

#include <functional>
#include <memory>

#include "app/workspace.h"
#include "ui/blank_check_form.h"
#include "ui/chip_erase_form.h"
#include "ui/dev_id_form.h"
#include "ui/dialogs.h"
#include "ui/osc_calc_form.h"
#include "ui/prog_form.h"
#include "ui/read_form.h"
#include "ui/verify_form.h"
#include "ui/write_form.h"

namespace velkaro {

// The eight operation windows, created once with the main window and shown modally by
// its menu items and tool buttons. Each open…() returns the window's close result
// (QDialog::Accepted or Rejected). Destroy this before the main window's children go
// (a member of the main window does).
class OperationWindows {
public:
    OperationWindows(Workspace& workspace, Dialogs& dialogs, QWidget* mainWindow);
    ~OperationWindows();

    int openRead();
    int openWrite();
    int openErase();
    int openVerify();
    int openBlankCheck();
    int openProgram();
    int openDevIdCheck();
    // Asks whether the calibration program may be loaded, loads it as the open-file command
    // does, then shows the calibration window. Rejected when declined or not loaded.
    int openOscCalc();

    // The image may have changed (read, write, erase, calibration values, a loaded file):
    // the main window refreshes its views.
    std::function<void()> onImageChanged;
    // A file was opened (the calibration program): the main window updates its caption
    // and file history.
    std::function<void()> onFileOpened;
    // The chip was read into the buffer, which no longer holds a file.
    std::function<void()> onBufferRead;

    TReadForm& readForm() { return *mRead; }
    TWriteForm& writeForm() { return *mWrite; }
    TChipEraseForm& eraseForm() { return *mErase; }
    TVerifyForm& verifyForm() { return *mVerify; }
    TBlankChkForm& blankCheckForm() { return *mBlank; }
    TProgForm& progForm() { return *mProg; }
    TOscCalcForm& oscCalcForm() { return *mOscCalc; }
    TDevIDForm& devIdForm() { return *mDevId; }

private:
    void imageChanged();

    Workspace& mWorkspace;
    Dialogs& mDialogs;
    QWidget* mMainWindow;
    std::unique_ptr<TReadForm> mRead;
    std::unique_ptr<TWriteForm> mWrite;
    std::unique_ptr<TChipEraseForm> mErase;
    std::unique_ptr<TVerifyForm> mVerify;
    std::unique_ptr<TBlankChkForm> mBlank;
    std::unique_ptr<TProgForm> mProg;
    std::unique_ptr<TOscCalcForm> mOscCalc;
    std::unique_ptr<TDevIDForm> mDevId;
};

}  // namespace velkaro
