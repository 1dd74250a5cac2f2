#include "ui/operation_windows.h"

#include "operations/osccal_window.h"
#include "ui/buffer_question.h"

namespace velkaro {

OperationWindows::OperationWindows(Workspace& workspace, Dialogs& dialogs, QWidget* mainWindow)
    : mWorkspace(workspace),
      mDialogs(dialogs),
      mMainWindow(mainWindow),
      mRead(std::make_unique<TReadForm>(workspace, dialogs, mainWindow)),
      mWrite(std::make_unique<TWriteForm>(workspace, dialogs, mainWindow)),
      mErase(std::make_unique<TChipEraseForm>(workspace, dialogs, mainWindow)),
      mVerify(std::make_unique<TVerifyForm>(workspace, dialogs, mainWindow)),
      mBlank(std::make_unique<TBlankChkForm>(workspace, dialogs, mainWindow)),
      mProg(std::make_unique<TProgForm>(workspace, dialogs, mainWindow)),
      mOscCalc(std::make_unique<TOscCalcForm>(workspace, dialogs, mainWindow)),
      mDevId(std::make_unique<TDevIDForm>(workspace, dialogs, mainWindow)) {
    const auto refresh = [this] { imageChanged(); };
    for (OperationForm* form : std::initializer_list<OperationForm*>{
             mRead.get(), mWrite.get(), mErase.get(), mVerify.get(), mBlank.get(), mProg.get(),
             mOscCalc.get(), mDevId.get()})
        form->onImageChanged = refresh;
}

OperationWindows::~OperationWindows() = default;

void OperationWindows::imageChanged() {
    if (onImageChanged)
        onImageChanged();
}

int OperationWindows::openRead() {
    const int close = mRead->exec();
    // What was read is on the chip: the buffer's changes count from here.
    if (close == QDialog::Accepted && mRead->lastOutcome().result == kResultOk) {
        mWorkspace.markBufferSaved();
        if (onBufferRead)
            onBufferRead();
    }
    return close;
}
int OperationWindows::openWrite() {
    return mWrite->exec();
}
int OperationWindows::openErase() {
    return mErase->exec();
}
int OperationWindows::openVerify() {
    return mVerify->exec();
}
int OperationWindows::openBlankCheck() {
    return mBlank->exec();
}
int OperationWindows::openProgram() {
    return mProg->exec();
}
int OperationWindows::openDevIdCheck() {
    return mDevId->exec();
}

int OperationWindows::openOscCalc() {
    // The calibration program replaces the buffer.
    if (!confirmDiscardBuffer(mWorkspace, mDialogs, mMainWindow))
        return QDialog::Rejected;
    const OscCalStart start = startOscCalibration(mWorkspace, *mOscCalc);
    if (start == OscCalStart::Declined)
        return QDialog::Rejected;
    imageChanged();
    if (start != OscCalStart::Ready)
        return QDialog::Rejected;
    if (onFileOpened)
        onFileOpened();
    return mOscCalc->exec();
}

}  // namespace velkaro
