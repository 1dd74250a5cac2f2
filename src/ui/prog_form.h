#pragma once

#include "ui/operation_form.h"

namespace velkaro {

// The automatic sequence: ID check, erase, blank check, write and verify in one go.
class TProgForm : public OperationForm {
    Q_OBJECT
public:
    TProgForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent = nullptr);

    QCheckBox* DevIdChk = nullptr;
    QCheckBox* ProgEn = nullptr;
    QCheckBox* DataEn = nullptr;
    QCheckBox* BlankEn = nullptr;
    QCheckBox* VerifyEn = nullptr;
    QCheckBox* OscCalEn = nullptr;

    void FormActivate() override;
    void OkBtnClick() override;
    // Only asks the running step to stop (it closes the link itself).
    void CancelBtnClick() override;

protected:
    std::string_view partlyDoneMessage() const override { return kPartlyWrittenMessage; }
    std::vector<TimedRegion> timingPlan() const override;
};

}  // namespace velkaro
