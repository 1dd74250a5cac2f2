#pragma once

#include "operations/device_id.h"
#include "ui/operation_form.h"

class QLabel;

namespace velkaro {

// Shows the chip's device ID, its revision and the device it belongs to.
class TDevIDForm : public OperationForm {
    Q_OBJECT
public:
    TDevIDForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent = nullptr);

    QLabel* DevID = nullptr;
    QLabel* RevNo = nullptr;
    QLabel* DevName = nullptr;
    QPushButton* btnOk = nullptr;  // the OK button
    QPushButton* ReCheckBtn = nullptr;

    // Reads the ID (also the recheck button).
    void FormActivate() override;
    void OkBtnClick() override;
    const DeviceIdView& view() const { return mView; }

private:
    DeviceIdView mView;
};

}  // namespace velkaro
