#pragma once

#include "ui/operation_form.h"

namespace velkaro {

// Reads the chip into the image.
class TReadForm : public OperationForm {
    Q_OBJECT
public:
    TReadForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent = nullptr);

    QCheckBox* ProgEn = nullptr;
    QCheckBox* DataEn = nullptr;

    void FormActivate() override;
    void OkBtnClick() override;
    void CancelBtnClick() override;

protected:
    std::vector<TimedRegion> timingPlan() const override;
};

}  // namespace velkaro
