#include "ui/blank_check_form.h"

#include <QCheckBox>
#include <QPushButton>

#include "operations/blank_check.h"
#include "operations/operation_messages.h"

namespace velkaro {

TBlankChkForm::TBlankChkForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent)
    : OperationForm(workspace, dialogs, parent, msg::kBlankCaption) {
    ProgEn = addCheckBox(msg::kBlankProgEn);
    DataEn = addCheckBox(msg::kBlankDataEn);
    enableOkOnlyWhileChecking(ProgEn, DataEn);
    OkBtn->setText(QStringLiteral("OK"));
    CancelBtn->setText(QStringLiteral("Cancel"));
}

void TBlankChkForm::FormActivate() {
    const CheckWindowState state = activateBlankCheckWindow(mWorkspace);
    ProgEn->setChecked(state.progChecked);
    DataEn->setChecked(state.dataChecked);
    DataEn->setEnabled(state.dataEnabled);
    resetForRun();
}

void TBlankChkForm::OkBtnClick() {
    runAction([this] {
        return runBlankCheck(mWorkspace, *this,
                             BlankOptions{ProgEn->isChecked(), DataEn->isChecked()});
    });
}

std::vector<TimedRegion> TBlankChkForm::timingPlan() const {
    return velkaro::timingPlan(mWorkspace.device, TimedOperation::BlankCheck, ProgEn->isChecked(),
                               DataEn->isChecked() && DataEn->isEnabled());
}

}  // namespace velkaro
