#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QDialog>

#include "link/serial_port_lines.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace velkaro {

// "接続ポートの設定": the system's serial ports with their USB identity, and which COM
// number each is mapped to; the user maps one to a COM number after it was opened once,
// and the mapping is saved in the settings file for the next start.
class PortForm : public QDialog {
    Q_OBJECT
public:
    using ListPorts = std::function<std::vector<SerialPortInfo>()>;
    // Why a device cannot be opened; empty when it can.
    using CheckOpen = std::function<std::string(const std::string& path)>;

    // Empty functions stand for the system's ports (listSerialPorts, checkPortOpens).
    PortForm(std::string settingsPath, ListPorts listPorts = {}, CheckOpen checkOpen = {},
             QWidget* parent = nullptr);

    // Lists the ports again, with the mappings the settings file holds now; `com` (1..9)
    // is the COM number offered first.
    void refresh(int com);
    // Opens the selected device once and says whether it can be used.
    void CheckBtnClick();
    // Checks the selected device opens, then maps it to the chosen COM number.
    void SaveBtnClick();
    // Unmaps the chosen COM number.
    void ClearBtnClick();

    QTableWidget* PortList;
    QComboBox* ComNumber;
    QPushButton* CheckBtn;
    QPushButton* SaveBtn;
    QPushButton* ClearBtn;
    QLabel* StatusText;

private:
    std::string selectedPath() const;

    std::string mSettingsPath;
    ListPorts mListPorts;
    CheckOpen mCheckOpen;
};

}  // namespace velkaro
