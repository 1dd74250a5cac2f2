#include "ui/prog_form.h"

#include <QCheckBox>
#include <QPushButton>

#include "operations/auto_program.h"
#include "operations/operation_messages.h"

namespace velkaro {

TProgForm::TProgForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent)
    : OperationForm(workspace, dialogs, parent, msg::kProgCaption) {
    DevIdChk = addCheckBox(msg::kDevIdCheckOption);
    ProgEn = addCheckBox(msg::kWriteProgEn);
    DataEn = addCheckBox(msg::kWriteDataEn);
    BlankEn = addCheckBox(msg::kProgBlankEn);
    VerifyEn = addCheckBox(msg::kProgVerifyEn);
    OscCalEn = addCheckBox(msg::kWriteOscCal);
}

void TProgForm::FormActivate() {
    const ProgWindowState state = activateProgWindow(mWorkspace);
    OscCalEn->setVisible(state.oscCalVisible);
    resetForRun();
    DevIdChk->setChecked(state.checked.DevIdChk);
    ProgEn->setChecked(state.checked.ProgEn);
    DataEn->setChecked(state.checked.DataEn);
    BlankEn->setChecked(state.checked.BlankEn);
    VerifyEn->setChecked(state.checked.VerifyEn);
    OscCalEn->setChecked(state.checked.OscCalEn);
    DataEn->setEnabled(state.dataEnabled);
    DevIdChk->setEnabled(mWorkspace.device.DeviceID != 0);
}

void TProgForm::OkBtnClick() {
    const std::string caption = windowTitle().toStdString();
    runAction([this, &caption] {
        return runAutoProgram(
            mWorkspace, *this,
            ProgOptions{ProgEn->isChecked(), DataEn->isChecked(), OscCalEn->isChecked(),
                        BlankEn->isChecked(), VerifyEn->isChecked(), DevIdChk->isChecked()},
            caption);
    });
    imageChanged();
}

void TProgForm::CancelBtnClick() {
    mCancel = true;
    if (!running())
        mOutcome = {WindowClose::Cancel, kResultOk};
    done(QDialog::Rejected);
}

std::vector<TimedRegion> TProgForm::timingPlan() const {
    return autoProgramPlan(mWorkspace.device, ProgEn->isChecked(),
                           DataEn->isChecked() && DataEn->isEnabled(), BlankEn->isChecked(),
                           VerifyEn->isChecked());
}

}  // namespace velkaro
