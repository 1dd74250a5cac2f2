#pragma once

#include "operations/osccal_window.h"
#include "ui/operation_form.h"

class QLabel;
class QLineEdit;

namespace velkaro {

// Measures the chip's internal oscillator with the calibration program and writes a new
// OSCCAL value.
class TOscCalcForm : public OperationForm {
    Q_OBJECT
public:
    TOscCalcForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent = nullptr);

    QLabel* CurOsc = nullptr;
    QLabel* OscVal = nullptr;
    QLabel* OscDiff = nullptr;
    QLineEdit* newOSCCAL = nullptr;
    QPushButton* btnCalc = nullptr;
    QPushButton* btnWriteOSCCAL = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;  // hidden

    // Lets the window appear, then measures.
    void FormActivate() override;
    void OkBtnClick() override;
    void btnCalcClick();
    void btnWriteOSCCALClick();
    const OscCalView& view() const { return mView; }

private:
    void showView();
    // The buttons stay off while the chip is measured or written.
    void setBusy(bool busy);
    OscCalView mView;
};

}  // namespace velkaro
