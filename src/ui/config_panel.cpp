#include "ui/config_panel.h"

#include <algorithm>
#include <functional>

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/workspace.h"
#include "catalogue/ini_number.h"
#include "image/listing.h"
#include "ui/caption_bar.h"
#include "ui/hex_key_filter.h"

namespace velkaro {

namespace {

constexpr int kLabelWidth = 85;
constexpr int kBoxWidth = 120;
constexpr int kRowPitch = 20;

// An option list that widens its drop-down to the longest option just before it opens,
// while the closed box keeps its size.
class FieldBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> beforePopup;

    void showPopup() override {
        if (beforePopup)
            beforePopup();
        QComboBox::showPopup();
    }
};

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

ConfigPanel::ConfigPanel(Workspace& workspace, QWidget* parent)
    : QWidget(parent), mWorkspace(workspace) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    layout->addWidget(splitter);

    auto* words = new QWidget(splitter);
    auto* grid = new QGridLayout(words);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setVerticalSpacing(2);
    auto* filter = new HexKeyFilter(this);
    for (int i = 0; i < kWordRows; ++i) {
        lblCfg[i] = new QLabel(words);
        lblCfg[i]->setObjectName(QStringLiteral("lblCfg%1").arg(i + 1));
        edConfig[i] = new QLineEdit(words);
        edConfig[i]->setObjectName(QStringLiteral("edConfig%1").arg(i + 1));
        // Qt's N is a letter or digit, as the classic mask character A was.
        edConfig[i]->setInputMask(QStringLiteral(">NNNN;_"));
        edConfig[i]->setMaximumWidth(80);
        edConfig[i]->installEventFilter(this);
        edConfig[i]->installEventFilter(filter);
        lblCfg[i]->hide();
        edConfig[i]->hide();
        grid->addWidget(lblCfg[i], i, 0);
        grid->addWidget(edConfig[i], i, 1);
    }
    grid->setRowStretch(kWordRows, 1);

    auto* fields = new QWidget(splitter);
    auto* fieldsLayout = new QVBoxLayout(fields);
    fieldsLayout->setContentsMargins(0, 0, 0, 0);
    fieldsLayout->setSpacing(0);
    fieldsLayout->addWidget(captionBar(QStringLiteral("詳細設定"), fields));
    ScrollBox = new QScrollArea(fields);
    ScrollBox->setObjectName(QStringLiteral("ScrollBox"));
    fieldsLayout->addWidget(ScrollBox, 1);
    auto* rows = new QWidget(ScrollBox);
    for (int i = 0; i < kFieldRows; ++i) {
        const int top = 4 + kRowPitch * i;
        Vlabel[i] = new QLabel(rows);
        Vlabel[i]->setObjectName(QStringLiteral("Vlabel%1").arg(i + 1));
        Vlabel[i]->setGeometry(4, top, kLabelWidth, kRowPitch - 2);
        auto* box = new FieldBox(rows);
        box->setObjectName(QStringLiteral("VBox%1").arg(i + 1));
        box->setGeometry(4 + kLabelWidth, top, kBoxWidth, kRowPitch - 1);
        box->beforePopup = [this, i] { VBoxOnDropDown(i); };
        connect(box, &QComboBox::activated, this, [this, i] { VBox1Change(i); });
        VBox[i] = box;
        Vlabel[i]->hide();
        VBox[i]->hide();
    }
    rows->setMinimumSize(8 + kLabelWidth + kBoxWidth, 8 + kRowPitch * kFieldRows);
    ScrollBox->setWidget(rows);
    splitter->setStretchFactor(1, 1);
}

void ConfigPanel::rebuildRows() {
    const ConfigFieldTable& table = mWorkspace.configFields;
    if (table.builtName() == mShownTable)
        return;
    mShownTable = table.builtName();
    int used = 0;
    for (int i = 0; i < kFieldRows; ++i) {
        const bool inUse = i < table.count();
        Vlabel[i]->setVisible(inUse);
        VBox[i]->setVisible(inUse);
        VBox[i]->clear();
        if (!inUse)
            continue;
        const ConfigField& field = table.row(i);
        Vlabel[i]->setText(fromStd(field.label));
        for (const std::string& name : field.optionNames)
            VBox[i]->addItem(fromStd(name));
        VBox[i]->setCurrentIndex(VBox[i]->count() > 0 ? 0 : -1);
        used = i + 1;
    }
    ScrollBox->widget()->setMinimumHeight(8 + kRowPitch * used);
    ScrollBox->widget()->resize(ScrollBox->widget()->width(), 8 + kRowPitch * used);
}

void ConfigPanel::refresh() {
    const DeviceDefinition& device = mWorkspace.device;
    const MemoryImage& image = mWorkspace.image;
    for (int i = 0; i < kWordRows; ++i) {
        const bool used = i < device.ConfigCount && i < static_cast<int>(image.ConfigWords.size());
        lblCfg[i]->setVisible(used);
        edConfig[i]->setVisible(used);
        if (!used)
            continue;
        lblCfg[i]->setText(fromStd(configLabel(device, i)));
        edConfig[i]->setText(fromStd(wordText(image.ConfigWords[i])));
    }
    syncBoxes();
}

void ConfigPanel::syncBoxes() {
    auto& words = mWorkspace.image.ConfigWords;
    SyncConfigBoxes(mWorkspace.configFields, words.data(), static_cast<int>(words.size()));
    const ConfigFieldTable& table = mWorkspace.configFields;
    for (int i = 0; i < table.count() && i < kFieldRows; ++i) {
        const int selected = table.row(i).selected;
        if (selected >= 0 && selected < VBox[i]->count())
            VBox[i]->setCurrentIndex(selected);
    }
}

void ConfigPanel::VBox1Change(int row) {
    ConfigField& field = mWorkspace.configFields.row(row);
    const int word = field.word;
    const int choice = VBox[row]->currentIndex();
    if (word < 1 || word > kWordRows || choice < 0 ||
        choice >= static_cast<int>(field.optionValues.size()) ||
        word > static_cast<int>(mWorkspace.image.ConfigWords.size()))
        return;
    // The edit's text counts, even before the user has left it.
    const auto current = static_cast<uint16_t>(ParseHex(edConfig[word - 1]->text().toStdString()));
    const uint16_t value =
        applyConfigOption(current, field.mask, ParseIniNumber(field.optionValues[choice], 0));
    field.selected = choice;
    edConfig[word - 1]->setText(fromStd(wordText(value)));
    mWorkspace.image.ConfigWords[word - 1] = value;
    emit configWordsChanged();
}

bool ConfigPanel::eventFilter(QObject* watched, QEvent* event) {
    // Leaving an edit stores it, whether or not its mask is complete.
    if (event->type() == QEvent::FocusOut) {
        for (int i = 0; i < kWordRows; ++i) {
            if (watched == edConfig[i])
                edConfig1Exit(i);
        }
    }
    return QWidget::eventFilter(watched, event);
}

int ConfigPanel::dropDownWidth(int row) const {
    const QComboBox* box = VBox[row];
    const QFontMetrics metrics(box->font());
    int width = box->width();
    for (int k = 0; k < box->count(); ++k)
        width = std::max(width, metrics.horizontalAdvance(box->itemText(k)) + 24);
    return width;
}

void ConfigPanel::VBoxOnDropDown(int row) {
    VBox[row]->view()->setMinimumWidth(std::max(VBox[row]->width(), dropDownWidth(row)));
}

void ConfigPanel::edConfig1Exit(int index) {
    if (index >= static_cast<int>(mWorkspace.image.ConfigWords.size()))
        return;
    mWorkspace.image.ConfigWords[index] =
        static_cast<uint16_t>(ParseHex(edConfig[index]->text().toStdString()));
    // "1" typed stands as the word it became, 0001.
    edConfig[index]->setText(fromStd(wordText(mWorkspace.image.ConfigWords[index])));
    syncBoxes();
    emit configWordsChanged();
}

}  // namespace velkaro
