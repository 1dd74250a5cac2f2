#include "ui/info_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/workspace.h"
#include "catalogue/device_details.h"
#include "catalogue/ini_number.h"

namespace velkaro {

namespace {

QLabel* valuePanel(QWidget* parent, const QString& name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setMinimumWidth(70);
    label->setContentsMargins(3, 0, 3, 0);
    return label;
}

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

TInfoForm::TInfoForm(Workspace& workspace, QWidget* parent)
    : QDialog(parent), mWorkspace(workspace) {
    setWindowTitle(QStringLiteral("デバイス詳細情報"));
    auto* layout = new QVBoxLayout(this);

    // The configuration explorer.
    auto* explorer = new QGroupBox(QStringLiteral("コンフィグレーション"), this);
    auto* explorerLayout = new QGridLayout(explorer);
    ChipName = valuePanel(explorer, QStringLiteral("ChipName"));
    ConfigItem = new QComboBox(explorer);
    ConfigItem->setObjectName(QStringLiteral("ConfigItem"));
    ConfigItem->setMinimumWidth(120);
    ConfigValue = new QComboBox(explorer);
    ConfigValue->setObjectName(QStringLiteral("ConfigValue"));
    ConfigValue->setMinimumWidth(120);
    ConfigName = new QLabel(explorer);
    ConfigName->setObjectName(QStringLiteral("ConfigName"));
    explorerLayout->addWidget(ChipName, 0, 0);
    explorerLayout->addWidget(ConfigItem, 0, 1);
    explorerLayout->addWidget(ConfigValue, 0, 2);
    explorerLayout->addWidget(ConfigName, 0, 3);
    auto* bits = new QHBoxLayout;
    bits->setSpacing(1);
    for (int i = 15; i >= 0; --i) {
        auto* bit = new QLabel(explorer);
        bit->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        bit->setFrameShape(QFrame::Panel);
        bit->setFrameShadow(QFrame::Raised);
        bit->setAlignment(Qt::AlignCenter);
        bit->setFixedSize(22, 20);
        bit->setAutoFillBackground(true);
        bit->setToolTip(QStringLiteral("bit %1").arg(i));
        Panel[i] = bit;
        bits->addWidget(bit);
    }
    bits->addStretch(1);
    explorerLayout->addLayout(bits, 1, 0, 1, 4);
    layout->addWidget(explorer);
    connect(ConfigItem, &QComboBox::currentIndexChanged, this, [this] { ConfigItemChange(); });
    connect(ConfigValue, &QComboBox::currentIndexChanged, this, [this] { ConfigValueChange(); });

    auto* lower = new QHBoxLayout;
    // Every parameter of the device, in two columns.
    auto* info = new QGroupBox(QStringLiteral("デバイス情報"), this);
    auto* infoLayout = new QGridLayout(info);
    infoLayout->setVerticalSpacing(2);
    const std::vector<DeviceDetailRow> rows = deviceDetailRows(DeviceDefinition{});
    const int half = static_cast<int>(rows.size() + 1) / 2;
    for (int k = 0; k < static_cast<int>(rows.size()); ++k) {
        const int column = k < half ? 0 : 2;
        const int row = k < half ? k : k - half;
        infoLayout->addWidget(new QLabel(fromStd(rows[k].label), info), row, column);
        QLabel* value = valuePanel(info, fromStd(rows[k].panel));
        mValuePanels.push_back(value);
        infoLayout->addWidget(value, row, column + 1);
    }
    lower->addWidget(info);

    // The command set, shown but never editable.
    auto* commands = new QGroupBox(QStringLiteral("コマンドセット"), this);
    auto* commandLayout = new QGridLayout(commands);
    commandLayout->setVerticalSpacing(2);
    for (int bit = 0; bit < 12; ++bit) {
        commandSet[bit] = new QCheckBox(kCommandSetBoxes[bit].caption, commands);
        commandSet[bit]->setObjectName(kCommandSetBoxes[bit].name);
        commandLayout->addWidget(commandSet[bit], bit, 0, 1, 2);
    }
    ProgOnlyCmd = valuePanel(commands, QStringLiteral("ProgOnlyCmd"));
    EndProgCmd = valuePanel(commands, QStringLiteral("EndProgCmd"));
    LoadCnt = valuePanel(commands, QStringLiteral("LoadCnt"));
    commandLayout->addWidget(new QLabel(QStringLiteral("ProgOnlyコマンド"), commands), 12, 0);
    commandLayout->addWidget(ProgOnlyCmd, 12, 1);
    commandLayout->addWidget(new QLabel(QStringLiteral("EndProgコマンド"), commands), 13, 0);
    commandLayout->addWidget(EndProgCmd, 13, 1);
    commandLayout->addWidget(new QLabel(QStringLiteral("ロードカウント"), commands), 14, 0);
    commandLayout->addWidget(LoadCnt, 14, 1);
    commands->setEnabled(false);
    lower->addWidget(commands);
    layout->addLayout(lower);

    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QLabel* TInfoForm::panel(const QString& name) const {
    for (QLabel* value : mValuePanels) {
        if (value->objectName() == name)
            return value;
    }
    return nullptr;
}

bool TInfoForm::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        ShowDeviceDetails();
    return QDialog::event(event);
}

void TInfoForm::ShowDeviceDetails() {
    const DeviceDefinition& device = mWorkspace.device;
    ChipName->setText(fromStd(device.DeviceName));
    const std::vector<DeviceDetailRow> rows = deviceDetailRows(device);
    for (size_t k = 0; k < rows.size() && k < mValuePanels.size(); ++k)
        mValuePanels[k]->setText(fromStd(rows[k].value));
    for (int bit = 0; bit < 12; ++bit)
        commandSet[bit]->setChecked((device.CmdSet >> bit & 1) != 0);
    ProgOnlyCmd->setText(fromStd(commandCodeText(device.ProgOnlyCmd)));
    EndProgCmd->setText(fromStd(commandCodeText(device.EndProgCmd)));
    LoadCnt->setText(QString::number(device.LoadCnt));

    for (int bit = 0; bit < 16; ++bit)
        Panel[bit]->setVisible(bit < device.BitWidth);
    const ConfigFieldTable& table = mWorkspace.configFields;
    {
        const QSignalBlocker blocker(ConfigItem);
        ConfigItem->clear();
        for (int row = 0; row < table.count(); ++row)
            ConfigItem->addItem(fromStd(table.row(row).label));
    }
    if (ConfigItem->count() > 0) {
        ConfigItem->setCurrentIndex(0);
        ConfigItemChange();
    }
}

void TInfoForm::ConfigItemChange() {
    const int item = ConfigItem->currentIndex();
    if (item < 0 || item >= mWorkspace.configFields.count())
        return;
    const ConfigField& field = mWorkspace.configFields.row(item);
    {
        const QSignalBlocker blocker(ConfigValue);
        ConfigValue->clear();
        for (const std::string& name : field.optionNames)
            ConfigValue->addItem(fromStd(name));
    }
    if (ConfigValue->count() > 0) {
        ConfigValue->setCurrentIndex(0);
        ConfigValueChange();
    }
}

void TInfoForm::ConfigValueChange() {
    const int item = ConfigItem->currentIndex();
    const int choice = ConfigValue->currentIndex();
    if (item < 0 || item >= mWorkspace.configFields.count() || choice < 0)
        return;
    const ConfigField& field = mWorkspace.configFields.row(item);
    ConfigName->setText(fromStd(configWordAddressText(mWorkspace.device, field.word)));
    const int32_t value = choice < static_cast<int>(field.optionValues.size())
                              ? ParseIniNumber(field.optionValues[choice], 0)
                              : 0;
    ShowConfigBits(field.mask, value);
}

void TInfoForm::ShowConfigBits(uint16_t mask, int32_t value) {
    for (int bit = 0; bit < 16; ++bit) {
        QLabel* p = Panel[bit];
        p->setText(fromStd(configBitText(mask, value, bit)));
        QPalette palette = p->palette();
        palette.setColor(QPalette::Window, (mask >> bit & 1) != 0
                                               ? palette.color(QPalette::ToolTipBase)
                                               : palette.color(QPalette::Button));
        p->setPalette(palette);
    }
}

}  // namespace velkaro
