#pragma once

#include "ui/operation_form.h"

namespace velkaro {

// Compares the chip with the image.
class TVerifyForm : public OperationForm {
    Q_OBJECT
public:
    TVerifyForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent = nullptr);

    QCheckBox* ProgEn = nullptr;
    QCheckBox* DataEn = nullptr;

    void FormActivate() override;
    void OkBtnClick() override;

protected:
    std::vector<TimedRegion> timingPlan() const override;
};

}  // namespace velkaro
