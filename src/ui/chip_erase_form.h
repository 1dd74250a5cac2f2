#pragma once

#include "ui/operation_form.h"

namespace velkaro {

// Erases the chip (and, when asked, the buffer).
class TChipEraseForm : public OperationForm {
    Q_OBJECT
public:
    TChipEraseForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent = nullptr);

    QCheckBox* ProgEn = nullptr;
    QCheckBox* DataEn = nullptr;
    QCheckBox* BuffClear = nullptr;
    QCheckBox* DevIdChk = nullptr;
    QCheckBox* OscCalEn = nullptr;

    void FormActivate() override;
    void OkBtnClick() override;
    // The gauge appears with the first word-by-word pass.
    void setProgress(int percent) override;

protected:
    std::string_view partlyDoneMessage() const override;
    std::vector<TimedRegion> timingPlan() const override;
};

}  // namespace velkaro
