#include "ui/chip_erase_form.h"

#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>

#include "operations/erase_window.h"
#include "operations/operation_messages.h"
#include "ui/buffer_question.h"

namespace velkaro {

TChipEraseForm::TChipEraseForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent)
    : OperationForm(workspace, dialogs, parent, msg::kEraseCaption) {
    ProgEn = addCheckBox(msg::kEraseProgEn);
    DataEn = addCheckBox(msg::kEraseDataEn);
    BuffClear = addCheckBox(msg::kEraseBuffClear);
    DevIdChk = addCheckBox(msg::kDevIdCheckOption);
    OscCalEn = addCheckBox(msg::kEraseOscCalEn);
}

void TChipEraseForm::FormActivate() {
    const EraseWindowState state = activateEraseWindow(mWorkspace);
    resetForRun();
    Progress->hide();
    adjustSize();
    ProgEn->setChecked(state.checked.ProgEn);
    DataEn->setChecked(state.checked.DataEn);
    BuffClear->setChecked(state.checked.BuffClear);
    DevIdChk->setChecked(state.checked.DevIdChk);
    OscCalEn->setChecked(state.checked.OscCalEn);
    ProgEn->setEnabled(true);
    DataEn->setEnabled(state.dataEnabled);
    DevIdChk->setEnabled(state.devIdEnabled);
    OscCalEn->setVisible(state.oscCalVisible);
}

void TChipEraseForm::OkBtnClick() {
    const bool clearsBuffer = BuffClear->isChecked();
    // No erase starts while the user may still want the buffer; the window stays open.
    if (clearsBuffer && !confirmDiscardBuffer(mWorkspace, mDialogs, this))
        return;
    runAction([this] {
        return runErase(
            mWorkspace, *this,
            EraseOptions{ProgEn->isChecked(), DataEn->isChecked(), BuffClear->isChecked(),
                         DevIdChk->isChecked(), OscCalEn->isChecked()});
    });
    // The buffer may have been cleared, the OSCCAL and BG values read back.
    if (clearsBuffer && lastOutcome().close == WindowClose::Ok)
        mWorkspace.markBufferSaved();
    imageChanged();
}

std::string_view TChipEraseForm::partlyDoneMessage() const {
    return kPartlyErasedMessage;
}

void TChipEraseForm::setProgress(int percent) {
    // The gauge takes no room until a pass needs it; the window grows to hold it.
    if (Progress->isHidden()) {
        Progress->show();
        adjustSize();
    }
    OperationForm::setProgress(percent);
}

std::vector<TimedRegion> TChipEraseForm::timingPlan() const {
    return velkaro::timingPlan(mWorkspace.device, TimedOperation::Erase, ProgEn->isChecked(),
                               DataEn->isChecked() && DataEn->isEnabled());
}

}  // namespace velkaro
