#pragma once

#include "ui/operation_form.h"

namespace velkaro {

// Writes the image into the chip.
class TWriteForm : public OperationForm {
    Q_OBJECT
public:
    TWriteForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent = nullptr);

    QCheckBox* ProgEn = nullptr;
    QCheckBox* DataEn = nullptr;
    QCheckBox* OscCalChk = nullptr;
    QCheckBox* DevIdChk = nullptr;

    void FormActivate() override;
    void OkBtnClick() override;
    void CancelBtnClick() override;

protected:
    std::string_view partlyDoneMessage() const override { return kPartlyWrittenMessage; }
    std::vector<TimedRegion> timingPlan() const override;
};

}  // namespace velkaro
