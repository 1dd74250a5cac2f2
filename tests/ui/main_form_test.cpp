#include "ui/main_form.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

#include "app/app_settings.h"
#include "app/simulated_socket.h"
#include "app/workspace.h"
#include "scripted_dialogs.h"
#include "support/paths.h"
#include "ui/about_form.h"
#include "ui/config_panel.h"
#include "ui/operation_windows.h"

namespace velkaro {
namespace {

// One Intel HEX record with its checksum.
std::string record(uint16_t address, const std::vector<uint8_t>& bytes) {
    unsigned sum = bytes.size() + (address >> 8) + (address & 0xFF);
    char text[16];
    std::snprintf(text, sizeof text, ":%02X%04X00", unsigned(bytes.size()), address);
    std::string line = text;
    for (uint8_t b : bytes) {
        std::snprintf(text, sizeof text, "%02X", b);
        line += text;
        sum += b;
    }
    std::snprintf(text, sizeof text, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + text;
}

// A main window on a private copy of the data folder and settings file, with the
// simulated programmer behind it and every box answered by script.
class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"device.ini", "Config.ini", "velkaro.ini"})
            std::filesystem::copy_file(test::binDir() + "/" + name, dir.file(name));
    }

    TMainForm& start(QStringList arguments = {}) {
        form.reset();
        workspace.reset();
        std::string error;
        socket = SimulatedSocket::create("", error);
        workspace = std::make_unique<Workspace>(dir.path());
        workspace->attachProgrammer(socket->library(), socket->clock());
        TMainForm::Options options;
        options.arguments = std::move(arguments);
        options.settingsPath = QString::fromStdString(dir.file("velkaro.ini"));
        options.socket = socket.get();
        form = std::make_unique<TMainForm>(*workspace, dialogs, options);
        form->FormActivate();
        return *form;
    }

    QString hexFile(const std::string& name, const std::string& records = {}) {
        std::ofstream(dir.file(name)) << records << ":00000001FF\n";
        return QString::fromStdString(dir.file(name));
    }

    void selectDevice(const QString& name) {
        form->DevListBox->setCurrentIndex(form->DevListBox->findText(name));
    }

    test::TempDir dir;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<SimulatedSocket> socket;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<TMainForm> form;
};

TEST_F(MainWindow, DeviceSwitchOnTheCommandLineSelectsBeforeTheFileLoads) {
    // EEPROM byte 100 exists on the PIC12F675 (128 bytes), not on the PIC16F84A (64).
    const QString path = hexFile("eeprom.hex", record(0x4200 + 2 * 100, {0x5A, 0x00}));
    TMainForm& window = start({QStringLiteral("/pPIC12F675"), path});
    EXPECT_EQ(window.DevListBox->currentText(), QStringLiteral("PIC12F675"));
    ASSERT_EQ(workspace->image.DataMemory.size(), 128u);
    EXPECT_EQ(workspace->image.DataMemory[100], 0x5A);
    EXPECT_EQ(workspace->LastFile, path.toStdString());
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(socket->programmer().chip()->name(), "PIC12F675");
}

// A desktop user sees what the command line would print to stderr: a port mapping the
// program cannot use, with the file and line, and that the simulator serves meanwhile.
TEST_F(MainWindow, HardwareSettingsProblemsAreShownAtStartWithTheirLine) {
    // The shipped file's [Port] section, with a mapping that is no device path.
    std::string text;
    int lines = 0;
    int mappingLine = 0;
    {
        std::ifstream in(dir.file("velkaro.ini"));
        for (std::string line; std::getline(in, line);) {
            text += line + "\n";
            ++lines;
            if (line == "[Port]") {
                text += "COM2=ttyUSB1\n";
                mappingLine = ++lines;
            }
        }
    }
    ASSERT_GT(mappingLine, 0);
    std::ofstream(dir.file("velkaro.ini")) << text;
    start();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    const QString shown = dialogs.shown[0].text;
    EXPECT_TRUE(shown.contains(QString::fromStdString(dir.file("velkaro.ini"))));
    EXPECT_TRUE(shown.contains(QStringLiteral("シミュレータ")));
    EXPECT_TRUE(shown.contains(QStringLiteral("line %1: [Port] COM2=ttyUSB1").arg(mappingLine)))
        << shown.toStdString();
}

TEST_F(MainWindow, CapitalSwitchIsIgnoredAndTheLastOfTwoFilesOpens) {
    const QString first = hexFile("first.hex");
    const QString second = hexFile("second.hex");
    TMainForm& window = start({QStringLiteral("/PPIC12F675"), first, second});
    EXPECT_EQ(window.DevListBox->currentText(), QStringLiteral("PIC16F84A"));
    EXPECT_EQ(workspace->LastFile, second.toStdString());
    EXPECT_EQ(workspace->FileHistory.size(), 1u);
}

TEST_F(MainWindow, DeviceSelectionSetsEnablingMasksAndStatusPanels) {
    std::ofstream(dir.file("device.ini")) << "[FLASH-ISP]\nFlashType=1\nDeviceID=0x0560\n"
                                             "Position=0\nPackage=8\nProgSize=64\nEpromSize=16\n"
                                             "IdCount=2\nOscCalFile=osc.hex\nComment=test part\n"
                                             "[PLAIN]\nProgSize=32\nEpromSize=0\nIdCount=0\n";
    TMainForm& window = start();
    struct Expected {
        const char* device;
        bool erase, devId, oscCal;
        const char* idMask;
        QStringList panels;  // 1, 3, 5, 7, 8, 9
        bool eeprom;
    };
    const Expected table[] = {
        {"FLASH-ISP",
         true,
         true,
         true,
         "NN;_",
         {"FLASH-ISP", "8", "64", "16", "*ISP", "test part"},
         true},
        {"PLAIN", false, false, false, "", {"PLAIN", "18", "32", "0", "", ""}, false},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(e.device);
        selectDevice(QString::fromLatin1(e.device));
        EXPECT_EQ(window.mnDevErase->isEnabled(), e.erase);
        EXPECT_EQ(window.ChipEraseBtn->isEnabled(), e.erase);
        EXPECT_EQ(window.mnDevIdChk->isEnabled(), e.devId);
        EXPECT_EQ(workspace->DevIdChkEnabled(), e.devId);
        EXPECT_EQ(window.mnOscCalc->isEnabled(), e.oscCal);
        EXPECT_EQ(window.edID->inputMask(), QString::fromLatin1(e.idMask));
        const int panels[] = {1, 3, 5, 7, 8, 9};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(window.statusPanelText(panels[i]), e.panels[i]) << panels[i];
        EXPECT_EQ(window.epPanelActive(), e.eeprom);
        EXPECT_EQ(window.DataDisp->toPlainText().isEmpty(), !e.eeprom);
    }
    // The calibration item needs the first programmer type as well.
    selectDevice(QStringLiteral("FLASH-ISP"));
    window.cbProgrammer->setCurrentIndex(1);
    EXPECT_FALSE(window.mnOscCalc->isEnabled());
    window.cbProgrammer->setCurrentIndex(0);
    EXPECT_TRUE(window.mnOscCalc->isEnabled());
}

TEST_F(MainWindow, TypingIntoTheDataListingEditsTheBufferOnlyWhileEnabled) {
    TMainForm& window = start();
    auto typeAt = [&](int row, int col, const QString& key) {
        QTextCursor cursor(window.DataDisp->document()->findBlockByNumber(row));
        cursor.setPosition(cursor.position() + col);
        window.DataDisp->setTextCursor(cursor);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, key);
        QApplication::sendEvent(window.DataDisp, &press);
    };
    typeAt(1, 12, QStringLiteral("a"));
    EXPECT_EQ(workspace->image.DataMemory[0x12], 0xFF);

    window.mnDataEdit->trigger();
    ASSERT_TRUE(window.dataEditing());
    typeAt(1, 12, QStringLiteral("a"));
    EXPECT_EQ(workspace->image.DataMemory[0x12], 0xAF);
    const QString line = window.DataDisp->document()->findBlockByNumber(1).text();
    EXPECT_EQ(line, QStringLiteral("0010: FF FF AF FF FF FF FF FF FF FF FF FF FF FF FF FF"));
    EXPECT_EQ(window.DataDisp->textCursor().positionInBlock(), 13);
    typeAt(1, 12, QStringLiteral("g"));
    EXPECT_EQ(workspace->image.DataMemory[0x12], 0xAF);
}

// Where the listings colour values: the starts of the marked stretches of one line.
std::vector<int> markedColumns(const QPlainTextEdit* listing, int row) {
    std::vector<int> starts;
    const QTextBlock block = listing->document()->findBlockByNumber(row);
    for (const QTextLayout::FormatRange& range : block.layout()->formats())
        starts.push_back(range.start);
    return starts;
}

// Words and bytes that differ from the file last loaded (or saved) are coloured, in both
// listings, and nothing else.
TEST_F(MainWindow, ValuesChangedSinceTheLastLoadOrSaveAreColoured) {
    TMainForm& window = start({hexFile("loaded.hex", record(0, {0x05, 0x28}))});
    EXPECT_EQ(markedColumns(window.ProgDisp, 0), std::vector<int>{});

    workspace->image.ProgMemory[9] = 0x1234;
    window.RefreshImageView();
    window.mnDataEdit->trigger();
    QTextCursor cursor(window.DataDisp->document()->findBlockByNumber(1));
    cursor.setPosition(cursor.position() + 12);
    window.DataDisp->setTextCursor(cursor);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(window.DataDisp, &press);
    EXPECT_EQ(markedColumns(window.ProgDisp, 0), std::vector<int>{});
    EXPECT_EQ(markedColumns(window.ProgDisp, 1), std::vector<int>{11});  // word 9
    EXPECT_EQ(markedColumns(window.DataDisp, 1), std::vector<int>{12});  // byte 0x12

    dialogs.fileNames = {QString::fromStdString(dir.file("saved.hex"))};
    window.mnSaveAs->trigger();
    EXPECT_EQ(markedColumns(window.ProgDisp, 1), std::vector<int>{});
    EXPECT_EQ(markedColumns(window.DataDisp, 1), std::vector<int>{});
}

TEST_F(MainWindow, LeavingTheHexEditsStoresTheirValues) {
    TMainForm& window = start({QStringLiteral("/pPIC12F675")});
    ASSERT_TRUE(window.edOscCal->isVisibleTo(&window));
    auto leave = [](QLineEdit* edit) {
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(edit, &out);
    };
    // An unchanged ID edit keeps only the low digit of each blank ID word.
    EXPECT_EQ(window.edID->text(), QStringLiteral("FFFF"));
    leave(window.edID);
    EXPECT_EQ(workspace->image.IdWords[0], 0x000F);
    EXPECT_EQ(workspace->image.IdWords[3], 0x000F);

    window.edOscCal->setText(QStringLiteral("3ff"));
    leave(window.edOscCal);
    EXPECT_EQ(workspace->image.OscCalValue, 0x03FF);
    window.edBG->setText(QStringLiteral("2"));
    leave(window.edBG);
    EXPECT_EQ(workspace->image.BGValue, 0x0002);
}

// The menu's keys reach the menu while the caret is in a hex edit; the edit keeps the
// keys no menu item has.
TEST_F(MainWindow, MenuShortcutsWorkFromTheHexEdits) {
    TMainForm& window = start({QStringLiteral("/pPIC12F675")});
    const auto claimedByEdit = [](QLineEdit* edit, Qt::Key key) {
        QKeyEvent override(QEvent::ShortcutOverride, key, Qt::ControlModifier);
        override.ignore();
        QApplication::sendEvent(edit, &override);
        return override.isAccepted();
    };
    for (QLineEdit* edit : {window.edID, window.edOscCal, window.configPanel->edConfig[0]}) {
        SCOPED_TRACE(edit->objectName().toStdString());
        for (Qt::Key key : {Qt::Key_V, Qt::Key_C, Qt::Key_E})
            EXPECT_FALSE(claimedByEdit(edit, key)) << key;
        EXPECT_TRUE(claimedByEdit(edit, Qt::Key_Z));  // undo stays the edit's
    }
}

TEST_F(MainWindow, HistoryKeepsFiveEntriesAcrossARestartAndMovesReopenedFilesFirst) {
    TMainForm* window = &start();
    QStringList files;
    for (int i = 1; i <= 6; ++i) {
        files << hexFile("f" + std::to_string(i) + ".hex");
        ASSERT_TRUE(window->openImage(files.back()));
    }
    EXPECT_EQ(window->mnHist[0]->text(), QStringLiteral("&1 ") + files[5]);
    EXPECT_TRUE(window->mnLastFile->isEnabled());
    EXPECT_EQ(socket->programmer().ledPosition(), 1);
    window->FormClose();
    EXPECT_EQ(socket->programmer().ledPosition(), 0);

    window = &start();
    EXPECT_TRUE(window->mnSep1->isVisible());
    EXPECT_EQ(window->mnHist[4]->text(), QStringLiteral("&5 ") + files[1]);
    EXPECT_EQ(workspace->FileHistory.size(), 5u);
    window->mnHist[2]->trigger();  // f4
    EXPECT_EQ(window->mnHist[0]->text(), QStringLiteral("&1 ") + files[3]);
    EXPECT_EQ(window->mnHist[1]->text(), QStringLiteral("&2 ") + files[5]);
    EXPECT_EQ(workspace->LastFile, files[3].toStdString());
}

TEST_F(MainWindow, ADropOfThreeFilesOpensTheFirst) {
    TMainForm& window = start();
    QList<QUrl> urls;
    for (const char* name : {"a.hex", "b.hex", "c.hex"})
        urls << QUrl::fromLocalFile(hexFile(name));
    window.openDroppedFiles(urls);
    EXPECT_EQ(workspace->LastFile, dir.file("a.hex"));
    EXPECT_EQ(workspace->FileHistory.size(), 1u);
}

TEST_F(MainWindow, SavingAsksBeforeOverwritingAndClearingAsksFirst) {
    TMainForm& window = start();
    const QString target = hexFile("target.hex");
    workspace->image.ProgMemory[0] = 0x2805;

    dialogs.fileNames = {target};
    dialogs.answers = {false};
    window.mnSaveAs->trigger();
    EXPECT_EQ(dialogs.shown.back().text, QStringLiteral("ファイル ") + target +
                                             QStringLiteral("が存在します。上書きしますか？"));
    EXPECT_EQ(std::filesystem::file_size(target.toStdString()), 12u);

    // A name without extension gets ".hex".
    dialogs.fileNames = {QString::fromStdString(dir.file("saved"))};
    window.mnSaveAs->trigger();
    EXPECT_TRUE(std::filesystem::exists(dir.file("saved.hex")));

    dialogs.answers = {false};
    window.ClearBtn->click();
    EXPECT_EQ(workspace->image.ProgMemory[0], 0x2805);
    dialogs.answers = {true};
    window.ClearBtn->click();
    EXPECT_EQ(dialogs.shown.back().text,
              QStringLiteral("バッファをクリアします。よろしいですか？"));
    EXPECT_EQ(workspace->image.ProgMemory[0], 0x3FFF);
    EXPECT_TRUE(window.ProgDisp->toPlainText().startsWith(QStringLiteral("0000: 3FFF")));
}

// Presses OK in the next modal window that opens, and records which window it was.
void pressOkInNextModal(QWidget** opened) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, opened] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr)
            return;
        timer->stop();
        timer->deleteLater();
        *opened = modal;
        if (auto* form = dynamic_cast<OperationForm*>(modal))
            form->OkBtn->click();
    });
    timer->start(1);
}

const QString kDiscardQuestion =
    QStringLiteral("バッファに保存されていない変更があります。変更を破棄してよろしいですか？");

// Every way the buffer can be replaced asks first while it holds changes not saved since
// the last load, save or read; No leaves buffer and window as they were.
TEST_F(MainWindow, UnsavedChangesAreAskedAboutBeforeTheBufferIsReplaced) {
    const QString first = hexFile("first.hex", record(0, {0x05, 0x28}));
    const QString other = hexFile("other.hex", record(0, {0x06, 0x28}));
    TMainForm& window = start({first});
    // Unchanged since the load: nothing to ask.
    ASSERT_TRUE(window.openImage(other));
    EXPECT_TRUE(dialogs.shown.empty());

    TChipEraseForm& erase = window.operations().eraseForm();
    struct Loss {
        const char* name;
        std::function<void()> act;
        std::function<bool()> done;
    };
    const Loss losses[] = {
        {"device switch", [&] { selectDevice(QStringLiteral("PIC12F675")); },
         [&] { return window.DevListBox->currentText() == QStringLiteral("PIC12F675"); }},
        {"another file", [&] { window.openImage(first); },
         [&] { return workspace->LastFile == first.toStdString(); }},
        {"erase that clears the buffer",
         [&] {
             erase.FormActivate();
             erase.BuffClear->setChecked(true);
             erase.DevIdChk->setChecked(false);
             erase.OkBtnClick();
         },
         [&] { return workspace->image.DataMemory[0] == 0xFF; }},
        {"closing", [&] { window.close(); },
         [&] { return LoadSettings(dir.file("velkaro.ini")).LastFile == first.toStdString(); }},
    };
    for (const Loss& loss : losses) {
        SCOPED_TRACE(loss.name);
        workspace->image.DataMemory[0] = 0x12;  // as an edit in the listing leaves it
        ASSERT_TRUE(workspace->bufferModified());
        dialogs.shown.clear();
        dialogs.answers = {false};
        loss.act();
        ASSERT_FALSE(dialogs.shown.empty());
        EXPECT_EQ(dialogs.shown[0].kind, QStringLiteral("yesNo"));
        EXPECT_EQ(dialogs.shown[0].text, kDiscardQuestion);
        EXPECT_FALSE(loss.done());
        EXPECT_EQ(workspace->image.DataMemory[0], 0x12);

        dialogs.answers = {true};
        loss.act();
        EXPECT_TRUE(loss.done());
    }
}

// With no port mapped to hardware nothing looks like hardware: the status bar, the About
// window and (once) the first operation say that the simulator served.
TEST_F(MainWindow, TheSimulatorIsNeverTakenForHardware) {
    TMainForm& window = start();
    EXPECT_FALSE(window.simulatorPanel()->isHidden());
    EXPECT_EQ(window.simulatorPanel()->text(), QStringLiteral("シミュレータ"));
    window.aboutForm().FormActivate();
    EXPECT_TRUE(window.aboutForm().FrmVer->text().contains(QStringLiteral("シミュレータ")));

    const auto simulatorNotes = [&] {
        int n = 0;
        for (const auto& shown : dialogs.shown)
            n += shown.text.contains(QStringLiteral("シミュレータで行いました")) ? 1 : 0;
        return n;
    };
    for (int round = 0; round < 2; ++round) {
        QWidget* opened = nullptr;
        pressOkInNextModal(&opened);
        window.ReadBtn->click();
        EXPECT_EQ(opened, &window.operations().readForm());
        EXPECT_EQ(simulatorNotes(), 1) << round;
    }

    // A port mapped to a device is hardware: no panel there.
    form.reset();
    workspace.reset();
    HardwareSettings hardware;
    hardware.portPaths[1] = "/dev/ttyUSB7";
    std::string error;
    socket = SimulatedSocket::create("", error, hardware, false);
    workspace = std::make_unique<Workspace>(dir.path());
    workspace->attachProgrammer(socket->library(), socket->clock());
    TMainForm::Options options;
    options.settingsPath = QString::fromStdString(dir.file("velkaro.ini"));
    options.socket = socket.get();
    form = std::make_unique<TMainForm>(*workspace, dialogs, options);
    form->FormActivate();
    EXPECT_FALSE(form->simulatorPanel()->isHidden());
    form->ComPort->setCurrentIndex(1);
    EXPECT_TRUE(form->simulatorPanel()->isHidden());
}

// The title names the file the buffer came from; the file dialogs start beside it, Save
// proposes its name; a relative path is kept absolute.
TEST_F(MainWindow, TheWindowSaysWhichFileItHoldsAndTheDialogsStartThere) {
    hexFile("rel.hex", record(0, {0x05, 0x28}));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir.path())));
    TMainForm& window = start({QStringLiteral("rel.hex")});
    QDir::setCurrent(previous);
    const QString absolute = QString::fromStdString(dir.file("rel.hex"));
    EXPECT_EQ(workspace->LastFile, absolute.toStdString());
    EXPECT_EQ(workspace->FileHistory, std::vector<std::string>{absolute.toStdString()});
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Velkaro - rel.hex"));

    window.mnLoadProg->trigger();
    EXPECT_EQ(dialogs.shown.back().dir, QString::fromStdString(dir.path()));
    window.mnSaveAs->trigger();
    EXPECT_EQ(dialogs.shown.back().dir, absolute);

    dialogs.answers = {true};
    window.ClearBtn->click();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Velkaro"));
}

// Both programmer types: the simulated PRO, and the bit-banged JDM whose backend clocks
// every bit over simulated serial lines into the chip's pins.
// A port chosen in the list is the one every following opening uses, without a device
// selection in between: here only COM3 has a programmer.
TEST_F(MainWindow, TheChosenPortIsUsedAtOnceByTheFirmwareQuery) {
    TMainForm& main = start();
    main.cbProgrammer->setCurrentIndex(0);  // "VKR-20 PRO": the About window asks it
    socket->programmer().setAvailablePorts({3});
    socket->programmer().setCallLogEnabled(true);
    main.ComPort->setCurrentIndex(2);
    EXPECT_EQ(workspace->link->portIndex(), 2);
    main.aboutForm().FormActivate();
    EXPECT_FALSE(main.aboutForm().FrmVer->text().isEmpty());
    ASSERT_FALSE(socket->programmer().callsNamed("SOpen").empty());
    EXPECT_EQ(socket->programmer().callsNamed("SOpen").back().args, std::vector<int32_t>{3});
}

TEST_F(MainWindow, ToolbarWritesTheBufferToTheChipAndReadsItBackOnEitherProgrammer) {
    TMainForm& window = start({hexFile("prog.hex", record(0, {0x83, 0x16, 0x05, 0x28}))});
    const MemoryImage loaded = workspace->image;
    for (int type : {1, 0}) {
        SCOPED_TRACE(type);
        window.cbProgrammer->setCurrentIndex(type);
        workspace->image = loaded;
        QWidget* opened = nullptr;
        pressOkInNextModal(&opened);
        window.WriteBtn->click();
        EXPECT_EQ(opened, &window.operations().writeForm());

        dialogs.answers = {true};
        window.ClearBtn->click();
        ASSERT_EQ(workspace->image.ProgMemory[0], 0x3FFF);

        pressOkInNextModal(&opened);
        window.ReadBtn->click();
        EXPECT_EQ(opened, &window.operations().readForm());
        EXPECT_TRUE(
            window.ProgDisp->toPlainText().startsWith(QStringLiteral("0000: 1683 2805 3FFF")));
        EXPECT_EQ(socket->hub().checkLeftSafe(), "");
        ASSERT_NE(socket->hub().chip(), nullptr);
        EXPECT_TRUE(socket->hub().chip()->notes().empty()) << socket->hub().chip()->notes().front();
        // Erase it for the other type's round.
        socket->hub().chip()->poke(0, 0x3FFF);
        socket->hub().chip()->poke(1, 0x3FFF);
    }
}

}  // namespace
}  // namespace velkaro
