#pragma once

#include <array>

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;

namespace velkaro {

struct Workspace;

// "デバイス詳細情報": every parameter of the selected device, its command set, and an
// explorer showing which configuration bits each named option sets. It only shows; it is
// filled again on every activation and every device selection, even while hidden.
class TInfoForm : public QDialog {
    Q_OBJECT
public:
    explicit TInfoForm(Workspace& workspace, QWidget* parent = nullptr);

    void ShowDeviceDetails();
    void ConfigItemChange();
    void ConfigValueChange();
    void ShowConfigBits(uint16_t mask, int32_t value);

    // The value panel of a device-information row, by its name ("BitWidth", "OscCal" …).
    QLabel* panel(const QString& name) const;

    QLabel* ChipName;
    QComboBox* ConfigItem;
    QComboBox* ConfigValue;
    QLabel* ConfigName;
    std::array<QLabel*, 16> Panel{};  // Panel[i] is the panel of bit i (Panel1 .. Panel16)
    std::array<QCheckBox*, 12> commandSet{};
    QLabel* ProgOnlyCmd;
    QLabel* EndProgCmd;
    QLabel* LoadCnt;

protected:
    bool event(QEvent* event) override;

private:
    Workspace& mWorkspace;
    std::vector<QLabel*> mValuePanels;
};

}  // namespace velkaro
