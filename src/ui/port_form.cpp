#include "ui/port_form.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/hardware_settings.h"
#include "app/port_mapping.h"

namespace velkaro {

namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

QString usbText(const SerialPortInfo& port) {
    if (port.usbVendor < 0)
        return QString();
    return QStringLiteral("%1:%2")
        .arg(port.usbVendor & 0xFFFF, 4, 16, QLatin1Char('0'))
        .arg(port.usbProduct & 0xFFFF, 4, 16, QLatin1Char('0'));
}

}  // namespace

PortForm::PortForm(std::string settingsPath, ListPorts listPorts, CheckOpen checkOpen,
                   QWidget* parent)
    : QDialog(parent),
      mSettingsPath(std::move(settingsPath)),
      mListPorts(listPorts ? std::move(listPorts) : ListPorts(&listSerialPorts)),
      mCheckOpen(checkOpen ? std::move(checkOpen) : CheckOpen(&checkPortOpens)) {
    setWindowTitle(QStringLiteral("接続ポートの設定"));
    setModal(true);

    PortList = new QTableWidget(0, 4, this);
    PortList->setObjectName(QStringLiteral("PortList"));
    PortList->setHorizontalHeaderLabels({QStringLiteral("デバイス"), QStringLiteral("USB"),
                                         QStringLiteral("説明"), QStringLiteral("割り当て")});
    PortList->setSelectionBehavior(QAbstractItemView::SelectRows);
    PortList->setSelectionMode(QAbstractItemView::SingleSelection);
    PortList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    PortList->verticalHeader()->hide();
    PortList->horizontalHeader()->setStretchLastSection(true);

    ComNumber = new QComboBox(this);
    for (int n = 1; n <= 9; ++n)
        ComNumber->addItem(QStringLiteral("COM%1").arg(n));
    CheckBtn = new QPushButton(QStringLiteral("接続を確認"), this);
    SaveBtn = new QPushButton(QStringLiteral("割り当てて保存"), this);
    ClearBtn = new QPushButton(QStringLiteral("割り当てを解除"), this);
    StatusText = new QLabel(this);
    StatusText->setWordWrap(true);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("接続ポート"), this));
    row->addWidget(ComNumber);
    row->addWidget(CheckBtn);
    row->addWidget(SaveBtn);
    row->addWidget(ClearBtn);
    row->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PortList, 1);
    layout->addLayout(row);
    layout->addWidget(StatusText);
    layout->addWidget(close);
    resize(560, 300);

    connect(CheckBtn, &QPushButton::clicked, this, &PortForm::CheckBtnClick);
    connect(SaveBtn, &QPushButton::clicked, this, &PortForm::SaveBtnClick);
    connect(ClearBtn, &QPushButton::clicked, this, &PortForm::ClearBtnClick);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void PortForm::refresh(int com) {
    const HardwareSettings mapped = loadHardwareSettings(mSettingsPath);
    const std::vector<SerialPortInfo> ports = mListPorts();
    PortList->setRowCount(static_cast<int>(ports.size()));
    for (size_t i = 0; i < ports.size(); ++i) {
        const auto r = static_cast<int>(i);
        const auto comOf = mapped.portOf(ports[i].path);
        PortList->setItem(r, 0, new QTableWidgetItem(q(ports[i].path)));
        PortList->setItem(r, 1, new QTableWidgetItem(usbText(ports[i])));
        PortList->setItem(r, 2, new QTableWidgetItem(q(ports[i].description)));
        PortList->setItem(r, 3,
                          new QTableWidgetItem(comOf ? QStringLiteral("COM%1").arg(*comOf)
                                                     : QStringLiteral("-")));
    }
    PortList->resizeColumnsToContents();
    if (!ports.empty() && PortList->currentRow() < 0)
        PortList->selectRow(0);
    if (com >= 1 && com <= 9)
        ComNumber->setCurrentIndex(com - 1);
    StatusText->setText(ports.empty() ? QStringLiteral("シリアルポートが見つかりません。")
                                      : QString());
}

std::string PortForm::selectedPath() const {
    const QTableWidgetItem* item = PortList->item(PortList->currentRow(), 0);
    return item != nullptr ? item->text().toStdString() : std::string();
}

void PortForm::CheckBtnClick() {
    const std::string path = selectedPath();
    if (path.empty())
        return;
    const std::string reason = mCheckOpen(path);
    StatusText->setText(reason.empty() ? q(path) + QStringLiteral(" を開けました。") : q(reason));
}

void PortForm::SaveBtnClick() {
    const std::string path = selectedPath();
    if (path.empty())
        return;
    // A device that does not open would only fail later, in the middle of an operation.
    if (const std::string reason = mCheckOpen(path); !reason.empty()) {
        StatusText->setText(q(reason) + QStringLiteral("割り当ては保存していません。"));
        return;
    }
    const int com = ComNumber->currentIndex() + 1;
    if (const std::string error = savePortMapping(mSettingsPath, com, path); !error.empty()) {
        StatusText->setText(q(error));
        return;
    }
    refresh(com);
    // The programs choose between real time and the simulator's time when they start.
    StatusText->setText(
        QStringLiteral("COM%1 に %2 を割り当てました。次回の起動から実機を使います。")
            .arg(com)
            .arg(q(path)));
}

void PortForm::ClearBtnClick() {
    const int com = ComNumber->currentIndex() + 1;
    if (const std::string error = savePortMapping(mSettingsPath, com, ""); !error.empty()) {
        StatusText->setText(q(error));
        return;
    }
    refresh(com);
    StatusText->setText(
        QStringLiteral("COM%1 の割り当てを解除しました。次回の起動からシミュレータを使います。")
            .arg(com));
}

}  // namespace velkaro
