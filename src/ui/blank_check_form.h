#pragma once

#include "ui/operation_form.h"

namespace velkaro {

// Checks that the chip is erased.
class TBlankChkForm : public OperationForm {
    Q_OBJECT
public:
    TBlankChkForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent = nullptr);

    QCheckBox* ProgEn = nullptr;
    QCheckBox* DataEn = nullptr;

    void FormActivate() override;
    void OkBtnClick() override;

protected:
    std::vector<TimedRegion> timingPlan() const override;
};

}  // namespace velkaro
