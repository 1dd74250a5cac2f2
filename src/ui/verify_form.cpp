#include "ui/verify_form.h"

#include <QCheckBox>
#include <QPushButton>

#include "operations/operation_messages.h"
#include "operations/verify_device.h"

namespace velkaro {

TVerifyForm::TVerifyForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent)
    : OperationForm(workspace, dialogs, parent, msg::kVerifyCaption) {
    ProgEn = addCheckBox(msg::kVerifyProgEn);
    DataEn = addCheckBox(msg::kVerifyDataEn);
    enableOkOnlyWhileChecking(ProgEn, DataEn);
}

void TVerifyForm::FormActivate() {
    const CheckWindowState state = activateVerifyWindow(mWorkspace);
    ProgEn->setChecked(state.progChecked);
    DataEn->setChecked(state.dataChecked);
    DataEn->setEnabled(state.dataEnabled);
    resetForRun();
}

void TVerifyForm::OkBtnClick() {
    runAction([this] {
        return runVerify(mWorkspace, *this,
                         VerifyOptions{ProgEn->isChecked(), DataEn->isChecked()});
    });
}

std::vector<TimedRegion> TVerifyForm::timingPlan() const {
    return velkaro::timingPlan(mWorkspace.device, TimedOperation::Verify, ProgEn->isChecked(),
                               DataEn->isChecked() && DataEn->isEnabled());
}

}  // namespace velkaro
