#include "ui/main_form.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include "app/app_settings.h"
#include "app/file_history.h"
#include "app/hardware_settings.h"
#include "app/open_image_file.h"
#include "app/save_image_file.h"
#include "app/simulated_socket.h"
#include "app/start_arguments.h"
#include "app/workspace.h"
#include "image/data_edit.h"
#include "image/listing.h"
#include "ui/buffer_question.h"
#include "ui/changed_values_highlighter.h"
#include "ui/config_panel.h"
#include "ui/dialogs.h"
#include "ui/operation_windows.h"
#include "ui/port_form.h"

namespace velkaro {

namespace {

const QString kTitle = QStringLiteral("Velkaro");
const QString kSimulatorPanel = QStringLiteral("シミュレータ");
const QString kSimulatorUsed = QStringLiteral(
    "この操作はシミュレータで行いました。実際のプログラマとデバイスは使用していません。\n"
    "実機を使うには、「ツール」→「接続ポートの設定」でシリアルデバイスを割り当ててください。");
const QString kClearCaption = QStringLiteral("バッファのクリア");
const QString kClearQuestion = QStringLiteral("バッファをクリアします。よろしいですか？");
const QString kOverwriteCaption = QStringLiteral("上書きの確認");
const QString kOpenFilter =
    QStringLiteral("インテルHEXデータ(*.HEX,*.OBJ) (*.hex *.obj *.HEX *.OBJ)");
const QString kSaveFilter = QStringLiteral("インテルHEXデータ(*.HEX) (*.hex *.HEX)");

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

QString joinedLines(const std::vector<std::string>& lines) {
    std::string text;
    size_t size = 0;
    for (const auto& line : lines)
        size += line.size() + 1;
    text.reserve(size);
    for (const auto& line : lines) {
        if (!text.empty())
            text += '\n';
        text += line;
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TMainForm::TMainForm(Workspace& workspace, Dialogs& dialogs, Options options, QWidget* parent)
    : QMainWindow(parent), mWorkspace(workspace), mDialogs(dialogs), mOptions(std::move(options)) {
    // The busy-wait calibration: tick reads per millisecond on the link's clock.
    if (mWorkspace.link)
        mWorkspace.link->measureCallsPerMillisecond();

    setWindowTitle(kTitle);
    resize(700, 575);
    createActions();
    createMenus();
    createToolBar();
    createCentralWidgets();
    createStatusBar();
    connect(ComPort, &QComboBox::currentIndexChanged, this, [this] { updateSimulatorPanel(); });
    ComPort->setCurrentIndex(0);
    // The port chosen is the one every following link opening uses, the About window's
    // firmware query included.
    connect(ComPort, &QComboBox::currentIndexChanged, this, [this] {
        if (mWorkspace.link)
            syncPort();
    });
    setAcceptDrops(true);
    createOperationWindows();
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->installEventFilter(this);
}

TMainForm::~TMainForm() = default;

// ---- Life cycle -----------------------------------------------------------------

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!mActivated)
        QTimer::singleShot(0, this, &TMainForm::FormActivate);
}

void TMainForm::FormActivate() {
    if (mActivated)
        return;
    mActivated = true;
    LoadSettings();
    updateSimulatorPanel();

    std::vector<std::string> args;
    for (const QString& arg : mOptions.arguments)
        args.push_back(arg.toStdString());
    const StartArguments start = parseStartArguments(args, mWorkspace.deviceList);
    if (start.deviceIndex >= 0) {
        const QSignalBlocker blocker(DevListBox);
        DevListBox->setCurrentIndex(start.deviceIndex);
    }
    DevListBoxChange();
    if (!start.file.empty())
        openImage(fromStd(start.file));
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!mClosed && mActivated && !confirmDiscardBuffer(mWorkspace, mDialogs, this)) {
        event->ignore();
        return;
    }
    FormClose();
    QMainWindow::closeEvent(event);
}

void TMainForm::FormClose() {
    if (mClosed)
        return;
    mClosed = true;
    if (mWorkspace.link) {
        syncPort();
        mWorkspace.link->SwitchLedOff();
    }
    if (mActivated && !mOptions.settingsPath.isEmpty())
        SaveSettings();
}

// ---- Settings and history -------------------------------------------------------

void TMainForm::LoadSettings() {
    const AppSettings settings = velkaro::LoadSettings(mOptions.settingsPath.toStdString());
    mLoadedSettings = settings;
    {
        const QSignalBlocker programmerBlocker(cbProgrammer);
        const QSignalBlocker deviceBlocker(DevListBox);
        cbProgrammer->clear();
        for (const auto& name : settings.ProgrammerTypes)
            cbProgrammer->addItem(fromStd(name));
        mWorkspace.deviceList = mWorkspace.catalogue.FillDeviceList();
        DevListBox->clear();
        for (const auto& name : mWorkspace.deviceList)
            DevListBox->addItem(fromStd(name));

        cbProgrammer->setCurrentIndex(settings.HardwareType);
        cbProgrammer->setEnabled(true);
        setWindowTitle(kTitle);
        settings.applyTo(mWorkspace);
        mnLastFile->setEnabled(!mWorkspace.LastFile.empty());

        int device = 0;
        for (size_t i = 0; i < mWorkspace.deviceList.size(); ++i) {
            if (samePathIgnoringCase(mWorkspace.deviceList[i], settings.Device)) {
                device = static_cast<int>(i);
                break;
            }
        }
        DevListBox->setCurrentIndex(DevListBox->count() > 0 ? device : -1);
        // A port beyond COM9 leaves none selected.
        ComPort->setCurrentIndex(settings.Port <= ComPort->count() ? settings.Port - 1 : -1);
    }
    RebuildHistoryMenu();
    // A refused settings file is kept as it is (SaveSettings leaves it alone).
    for (const std::string& error :
         {mWorkspace.catalogue.fileError(), settings.fileError, settings.entryProblem})
        if (!error.empty())
            showMessage(error);
    // A file that was refused has said so already; one that was read may still map ports
    // or lines wrongly, and then no real port is used.
    if (settings.fileError.empty()) {
        const std::string path = mOptions.settingsPath.toStdString();
        if (const std::string problems = hardwareProblemsMessage(path, loadHardwareSettings(path));
            !problems.empty())
            showMessage(problems);
    }
}

void TMainForm::SaveSettings() {
    AppSettings settings;
    settings.takeFrom(mWorkspace);
    settings.HardwareType = cbProgrammer->currentIndex() < 0 ? 0 : cbProgrammer->currentIndex();
    settings.Device = DevListBox->currentText().toStdString();
    settings.Port = ComPort->currentIndex() + 1;
    // Failure stays silent: the old file is kept as it was.
    // Only what changed here: another program's changes meanwhile are kept.
    velkaro::SaveSettings(mOptions.settingsPath.toStdString(), settings, &mLoadedSettings);
}

void TMainForm::RebuildHistoryMenu() {
    const auto& history = mWorkspace.FileHistory;
    mnSep1->setVisible(!history.empty());
    for (size_t k = 0; k < 5; ++k) {
        if (k < history.size()) {
            mnHist[k]->setText(QStringLiteral("&%1 ").arg(k + 1) + fromStd(history[k]));
            mnHist[k]->setVisible(true);
        } else {
            mnHist[k]->setVisible(false);
        }
    }
}

void TMainForm::mnHist1Click(QAction* item) {
    // The caption is "&k " followed by the path.
    openImage(item->text().mid(3));
}

void TMainForm::mnLastFileClick() {
    if (!mWorkspace.LastFile.empty())
        openImage(fromStd(mWorkspace.LastFile));
}

// ---- Device and programmer ------------------------------------------------------

void TMainForm::DevListBoxChange() {
    const int index = DevListBox->currentIndex();
    if (mDeviceIndex >= 0 && index != mDeviceIndex &&
        !confirmDiscardBuffer(mWorkspace, mDialogs, this)) {
        const QSignalBlocker blocker(DevListBox);
        DevListBox->setCurrentIndex(mDeviceIndex);
        return;
    }
    mDeviceIndex = index;
    const size_t progWords = mWorkspace.image.ProgMemory.size();
    const size_t dataBytes = mWorkspace.image.DataMemory.size();
    const std::string name = DevListBox->currentText().toStdString();
    if (mOptions.socket != nullptr)
        mOptions.socket->followDevice(name);
    mWorkspace.SelectDevice(name, *this);
    // A change of size blanks the buffer: it no longer holds the file.
    if (mWorkspace.image.ProgMemory.size() != progWords ||
        mWorkspace.image.DataMemory.size() != dataBytes)
        setShownFile(QString());
    applyDeviceToWindow();
    emit deviceApplied();
}

PortForm& TMainForm::portForm() {
    if (mPortForm == nullptr)
        mPortForm = new PortForm(mOptions.settingsPath.toStdString(), {}, {}, this);
    mPortForm->refresh(ComPort->currentIndex() + 1);
    return *mPortForm;
}

bool TMainForm::portSimulated() const {
    if (mOptions.socket == nullptr || ComPort->currentIndex() < 0)
        return false;
    return !mOptions.socket->hub().isHardwarePort(ComPort->currentIndex() + 1);
}

void TMainForm::updateSimulatorPanel() {
    mSimPanel->setText(kSimulatorPanel);
    mSimPanel->setVisible(portSimulated());
}

void TMainForm::runOperationWindow(const std::function<int()>& open) {
    const int before = mOptions.socket ? mOptions.socket->hub().simulatedOpens() : 0;
    open();
    if (mToldSimulated || mOptions.socket == nullptr ||
        mOptions.socket->hub().simulatedOpens() == before)
        return;
    mToldSimulated = true;
    mDialogs.information(this, kTitle, kSimulatorUsed);
}

void TMainForm::applyDeviceToWindow() {
    const DeviceDefinition& device = mWorkspace.device;
    mnDevErase->setEnabled(device.FlashType);
    ChipEraseBtn->setEnabled(device.FlashType);
    mnOscCalc->setEnabled(oscCalibrationAvailable(cbProgrammer->currentIndex(), device));
    mnDevIdChk->setEnabled(mWorkspace.DevIdChkEnabled());
    edID->setInputMask(device.IdCount > 0
                           ? QString(device.IdCount, QLatin1Char('N')) + QStringLiteral(";_")
                           : QString());

    mPanels[1]->setText(fromStd(device.DeviceName));
    mPanels[3]->setText(QString::number(device.Package));
    mPanels[5]->setText(QString::number(device.ProgSize));
    mPanels[7]->setText(QString::number(device.EpromSize));
    mPanels[8]->setText(device.Position == 0 ? QStringLiteral("*ISP") : QString());
    mPanels[9]->setText(fromStd(device.Comment));
    mPanels[9]->setToolTip(fromStd(device.Comment));

    configPanel->rebuildRows();
    RefreshImageView();
    if (mWorkspace.link) {
        syncPort();
        mWorkspace.link->ShowSocketLed();
    }
}

void TMainForm::cbProgrammerChange() {
    const int type = cbProgrammer->currentIndex();
    if (mWorkspace.link)
        mWorkspace.link->setHardwareType(type < 0 ? 0 : type);
    mnOscCalc->setEnabled(oscCalibrationAvailable(type, mWorkspace.device));
}

void TMainForm::syncPort() {
    // Every use of the link takes the port selected at that moment.
    mWorkspace.link->setPortIndex(ComPort->currentIndex());
}

// ---- Files ----------------------------------------------------------------------

void TMainForm::showMessage(std::string_view text) {
    mDialogs.information(this, kTitle, QString::fromUtf8(text.data(), qsizetype(text.size())));
}

bool TMainForm::openImage(const QString& given) {
    if (!confirmDiscardBuffer(mWorkspace, mDialogs, this))
        return false;
    // The history and LastFile must still find the file from another working folder.
    const QString path = given.isEmpty() || QDir::isAbsolutePath(given)
                             ? given
                             : QDir::cleanPath(QDir::current().absoluteFilePath(given));
    const OpenImageResult result = OpenImageFile(mWorkspace, path.toStdString(), *this);
    if (!result.loaded())
        return false;
    setShownFile(path);
    RefreshImageView();
    if (result.historyChanged)
        RebuildHistoryMenu();
    mnLastFile->setEnabled(!mWorkspace.LastFile.empty());
    return true;
}

void TMainForm::setShownFile(const QString& path) {
    setWindowTitle(path.isEmpty() ? kTitle
                                  : kTitle + QStringLiteral(" - ") + QFileInfo(path).fileName());
}

// The dialogs start where the last file lies, and Save proposes its name.
QString TMainForm::fileDialogStart() const {
    if (mWorkspace.LastFile.empty())
        return {};
    const QFileInfo last(fromStd(mWorkspace.LastFile));
    return last.dir().exists() ? last.absoluteFilePath() : QString();
}

void TMainForm::mnLoadProgClick() {
    const QString start = fileDialogStart();
    const QString path = mDialogs.openFileName(
        this, QStringLiteral("ファイルを開く"),
        start.isEmpty() ? start : QFileInfo(start).absolutePath(), {kOpenFilter});
    if (!path.isEmpty())
        openImage(path);
}

void TMainForm::mnSaveAsClick() {
    QString path = mDialogs.saveFileName(this, QStringLiteral("名前を付けて保存"),
                                         fileDialogStart(), {kSaveFilter});
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".hex");
    if (QFileInfo::exists(path) &&
        !mDialogs.yesNo(
            this, kOverwriteCaption,
            QStringLiteral("ファイル ") + path + QStringLiteral("が存在します。上書きしますか？")))
        return;
    if (SaveImageFile(path.toStdString(), mWorkspace.device, mWorkspace.image, *this).ok()) {
        mWorkspace.markBufferSaved();
        setShownFile(path);
        refreshChangeMarks();
    }
}

void TMainForm::refreshChangeMarks() {
    mProgMarks->rehighlight();
    mDataMarks->rehighlight();
}

void TMainForm::mnClearClick() {
    if (!mDialogs.yesNo(this, kClearCaption, kClearQuestion))
        return;
    mWorkspace.image.ClearImage(mWorkspace.device, true, true);
    // Asked and agreed: nothing left to lose.
    mWorkspace.markBufferSaved();
    setShownFile(QString());
    RefreshImageView();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls())
        return;
    event->acceptProposedAction();
    openDroppedFiles(event->mimeData()->urls());
}

void TMainForm::openDroppedFiles(const QList<QUrl>& urls) {
    if (!urls.isEmpty())
        openImage(urls.first().toLocalFile());
}

// ---- Views and edits ------------------------------------------------------------

void TMainForm::setEpPanelActive(bool active) {
    mEpPanelActive = active;
    QPalette palette = EpPanel->palette();
    const QPalette base = QApplication::palette();
    palette.setColor(QPalette::Window, active ? base.color(QPalette::Active, QPalette::Highlight)
                                              : base.color(QPalette::Inactive, QPalette::Mid));
    palette.setColor(QPalette::WindowText,
                     active ? base.color(QPalette::Active, QPalette::HighlightedText)
                            : base.color(QPalette::Disabled, QPalette::WindowText));
    EpPanel->setPalette(palette);
}

void TMainForm::RefreshImageView() {
    const DeviceDefinition& device = mWorkspace.device;
    const MemoryImage& image = mWorkspace.image;
    ProgDisp->setUpdatesEnabled(false);
    DataDisp->setUpdatesEnabled(false);

    ProgDisp->setPlainText(joinedLines(programListing(image.ProgMemory)));
    const bool hasData = !image.DataMemory.empty();
    setEpPanelActive(hasData);
    DataDisp->setPlainText(hasData ? joinedLines(dataListing(image.DataMemory)) : QString());

    edID->setText(fromStd(idText(device, image)));
    configPanel->refresh();

    ProgDisp->setUpdatesEnabled(true);
    DataDisp->setUpdatesEnabled(true);

    const bool oscCal = device.OscCal != 0;
    OscCalLbl->setVisible(oscCal);
    edOscCal->setVisible(oscCal);
    if (oscCal)
        edOscCal->setText(fromStd(wordText(image.OscCalValue)));
    const bool bg = device.BGMask != 0;
    BGLbl->setVisible(bg);
    edBG->setVisible(bg);
    if (bg)
        edBG->setText(fromStd(wordText(image.BGValue)));
}

bool TMainForm::dataEditing() const {
    return mnDataEdit->isChecked();
}

void TMainForm::mnDataEditClick() {
    // The action toggled its own check mark; the listing's background follows it.
    QPalette palette = DataDisp->palette();
    palette.setColor(QPalette::Base,
                     dataEditing() ? QColor(Qt::white) : palette.color(QPalette::Button));
    DataDisp->setPalette(palette);
}

bool TMainForm::dataDispKeyPress(const QString& text) {
    if (!dataEditing())
        return false;
    // While editing, every typed character is taken here; none reaches the listing.
    if (text.size() != 1 || text.at(0).unicode() > 0x7F)
        return true;
    QTextCursor cursor = DataDisp->textCursor();
    const ListingCaret caret{static_cast<size_t>(cursor.blockNumber()),
                             static_cast<size_t>(cursor.positionInBlock())};
    const DataEditStep step =
        dataEditKey(mWorkspace.image.DataMemory, caret, text.at(0).toLatin1());
    QTextDocument* document = DataDisp->document();
    if (step.changed) {
        mWorkspace.image.DataMemory[step.byteIndex] = step.byteValue;
        const QTextBlock block = document->findBlockByNumber(static_cast<int>(step.patchAt.row));
        QTextCursor patch(document);
        patch.setPosition(block.position() + static_cast<int>(step.patchAt.col));
        patch.setPosition(patch.position() + 1, QTextCursor::KeepAnchor);
        patch.insertText(QString(QLatin1Char(step.patchChar)));
    }
    if (step.moveCaret) {
        const QTextBlock block = document->findBlockByNumber(static_cast<int>(step.caret.row));
        QTextCursor moved(document);
        moved.setPosition(block.position() + static_cast<int>(step.caret.col));
        DataDisp->setTextCursor(moved);
    }
    return true;
}

// A line edit claims Ctrl+V, Ctrl+C, Ctrl+E and others for itself; in this window those
// keys are the menu's, wherever the caret is.
bool TMainForm::isMenuShortcut(const QKeyEvent& key) const {
    const QKeySequence pressed(key.keyCombination());
    const QList<QAction*> all = findChildren<QAction*>();
    return std::any_of(all.begin(), all.end(), [&](const QAction* action) {
        return action->isEnabled() && !action->shortcut().isEmpty() &&
               action->shortcut().matches(pressed) == QKeySequence::ExactMatch;
    });
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && qobject_cast<QLineEdit*>(watched) &&
        isMenuShortcut(*static_cast<QKeyEvent*>(event))) {
        event->ignore();
        return true;
    }
    if (watched == DataDisp && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->text().isEmpty() && key->text().at(0).isPrint())
            return dataDispKeyPress(key->text());
    }
    if (event->type() == QEvent::FocusOut) {
        if (watched == edID)
            edIDExit();
        else if (watched == edOscCal)
            edOscCalExit();
        else if (watched == edBG)
            edBGExit();
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::edIDExit() {
    idWordsFromText(edID->text().toStdString(), mWorkspace.device, mWorkspace.image);
}

void TMainForm::edOscCalExit() {
    mWorkspace.image.OscCalValue = static_cast<uint16_t>(ParseHex(edOscCal->text().toStdString()));
}

void TMainForm::edBGExit() {
    mWorkspace.image.BGValue = static_cast<uint16_t>(ParseHex(edBG->text().toStdString()));
}

QString TMainForm::statusPanelText(int panel) const {
    return panel >= 0 && panel < 10 ? mPanels[panel]->text() : QString();
}

}  // namespace velkaro
