#include "ui/read_form.h"

#include <QCheckBox>
#include <QPushButton>

#include "operations/operation_messages.h"
#include "operations/read_device.h"

namespace velkaro {

TReadForm::TReadForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent)
    : OperationForm(workspace, dialogs, parent, msg::kReadCaption) {
    ProgEn = addCheckBox(msg::kReadProgEn);
    DataEn = addCheckBox(msg::kReadDataEn);
}

void TReadForm::FormActivate() {
    const CheckWindowState state = activateReadWindow(mWorkspace);
    ProgEn->setChecked(state.progChecked);
    DataEn->setChecked(state.dataChecked);
    DataEn->setEnabled(state.dataEnabled);
    resetForRun();
}

void TReadForm::OkBtnClick() {
    runAction([this] {
        return runRead(mWorkspace, *this, ReadOptions{ProgEn->isChecked(), DataEn->isChecked()});
    });
    imageChanged();
}

// The words read before Cancel stay in the image; show them once the link has closed, as
// closing it takes the reads still queued.
void TReadForm::CancelBtnClick() {
    mCancel = true;
    setStatusText("");
    OperationForm::CancelBtnClick();
    imageChanged();
}

std::vector<TimedRegion> TReadForm::timingPlan() const {
    return velkaro::timingPlan(mWorkspace.device, TimedOperation::Read, ProgEn->isChecked(),
                               DataEn->isChecked() && DataEn->isEnabled());
}

}  // namespace velkaro
