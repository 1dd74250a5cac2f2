#include "ui/write_form.h"

#include <QCheckBox>
#include <QPushButton>

#include "operations/operation_messages.h"
#include "operations/write_device.h"

namespace velkaro {

TWriteForm::TWriteForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent)
    : OperationForm(workspace, dialogs, parent, msg::kWriteCaption) {
    ProgEn = addCheckBox(msg::kWriteProgEn);
    DataEn = addCheckBox(msg::kWriteDataEn);
    OscCalChk = addCheckBox(msg::kWriteOscCal);
    DevIdChk = addCheckBox(msg::kDevIdCheckOption);
}

void TWriteForm::FormActivate() {
    const WriteWindowState state = activateWriteWindow(mWorkspace);
    ProgEn->setChecked(state.checked.ProgEn);
    DataEn->setChecked(state.checked.DataEn);
    OscCalChk->setChecked(state.checked.OscCal);
    DevIdChk->setChecked(state.checked.DevIdChk);
    DataEn->setEnabled(state.dataEnabled);
    OscCalChk->setVisible(state.oscCalVisible);
    DevIdChk->setEnabled(mWorkspace.device.DeviceID != 0);
    resetForRun();
}

void TWriteForm::OkBtnClick() {
    runAction([this] {
        return runWrite(mWorkspace, *this,
                        WriteOptions{ProgEn->isChecked(), DataEn->isChecked(),
                                     OscCalChk->isChecked(), DevIdChk->isChecked()});
    });
    // The chip's OSCCAL and BG values may have been read into the image.
    imageChanged();
}

void TWriteForm::CancelBtnClick() {
    const bool started = !OkBtn->isEnabled();
    mCancel = true;
    setStatusText("");
    if (mWorkspace.link)
        mWorkspace.link->CloseLink();
    if (started)
        imageChanged();
    mOutcome = {WindowClose::Cancel, kResultCancelled};
    done(QDialog::Rejected);
}

std::vector<TimedRegion> TWriteForm::timingPlan() const {
    return velkaro::timingPlan(mWorkspace.device, TimedOperation::Write, ProgEn->isChecked(),
                               DataEn->isChecked() && DataEn->isEnabled());
}

}  // namespace velkaro
