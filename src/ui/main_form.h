#pragma once

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

#include "app/app_settings.h"
#include "catalogue/message_sink.h"

class QAction;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QToolBar;
class QToolButton;
class QUrl;
class QVBoxLayout;

namespace velkaro {

class ChangedValuesHighlighter;
class ConfigPanel;
class TAboutForm;
class TInfoForm;
class Dialogs;
class OperationWindows;
class PortForm;
class SimulatedSocket;
struct Workspace;

// The program's hub: shows the edit buffer, carries the programmer, port and device
// choices, and opens every other window from its menu and toolbar. Widgets and actions are
// public under their established names so that the other windows and tests reach them.
class TMainForm : public QMainWindow, private MessageSink {
    Q_OBJECT

public:
    struct Options {
        QStringList arguments;              // command line without the program name
        QString settingsPath;               // the settings file read and written
        SimulatedSocket* socket = nullptr;  // follows the device list when set
    };

    // `workspace` has its programmer attached; its delay calibration is measured here.
    TMainForm(Workspace& workspace, Dialogs& dialogs, Options options, QWidget* parent = nullptr);
    ~TMainForm() override;

    Workspace& workspace() { return mWorkspace; }
    // The eight operation windows behind the tool menu and the toolbar.
    OperationWindows& operations() { return *mOperations; }
    TAboutForm& aboutForm() { return *mAbout; }
    // The port dialog, filled afresh (created on first use).
    PortForm& portForm();

    // Life cycle. The first activation loads the settings, reads the command line, selects
    // the device and opens the named file; later calls do nothing.
    void FormActivate();
    void FormClose();

    void LoadSettings();
    void SaveSettings();
    void RebuildHistoryMenu();

    // Rebuilds every view of the image; call after changing the image from code.
    void RefreshImageView();
    // Loads the device selected in DevListBox and applies it to the window.
    void DevListBoxChange();
    void cbProgrammerChange();

    // The one way the window loads a file (dialog, drop, history, last file, command line).
    bool openImage(const QString& path);

    // Files dropped on the window: only the first is opened.
    void openDroppedFiles(const QList<QUrl>& urls);

    void mnLoadProgClick();
    void mnSaveAsClick();
    void mnLastFileClick();
    void mnHist1Click(QAction* item);
    void mnClearClick();
    void mnDataEditClick();

    void edIDExit();
    void edOscCalExit();
    void edBGExit();

    // Text of status-bar panel 0..9.
    QString statusPanelText(int panel) const;
    // The panel beside them that says the selected port is served by the simulator.
    QLabel* simulatorPanel() const { return mSimPanel; }
    // True when the selected port is served by the simulator, not by hardware.
    bool portSimulated() const;
    bool epPanelActive() const { return mEpPanelActive; }
    bool dataEditing() const;

    // Menu items.
    QMenu* mnFile;
    QAction* mnLoadProg;
    QAction* mnSaveAs;
    QAction* mnLastFile;
    QAction* mnSep1;
    QAction* mnHist[5];  // mnHist1..mnHist5
    QAction* mnSep2;
    QAction* mnExit;
    QMenu* mnTool;
    QAction* mnReadDev;
    QAction* mnWrite;
    QAction* mnVerify;
    QAction* mnBlankChk;
    QAction* N1;
    QAction* mnProgram;
    QAction* mnDevErase;
    QAction* mnClear;
    QAction* N2;
    QAction* mnDevIdChk;
    QAction* mnOscCalc;
    QAction* N3;
    QAction* mnDataEdit;
    QAction* N4;
    QAction* mnPortSetting;  // the port dialog
    QMenu* mnHelp;
    QAction* mnHtmlHelp;
    QAction* mnDeviceInfo;
    QAction* mnAbout;

    // Tool buttons.
    QToolButton* LoadBtn;
    QToolButton* ReadBtn;
    QToolButton* WriteBtn;
    QToolButton* VerifyBtn;
    QToolButton* BlankChkBtn;
    QToolButton* ChipEraseBtn;
    QToolButton* ClearBtn;
    QToolButton* ProgBtn;
    QToolButton* PortBtn;  // beside the port list: the port dialog

    // Views and the right-hand column.
    QPlainTextEdit* ProgDisp;
    QLabel* EpPanel;
    QPlainTextEdit* DataDisp;
    QComboBox* cbProgrammer;
    QComboBox* ComPort;
    QComboBox* DevListBox;
    QLineEdit* edID;
    QLabel* OscCalLbl;
    QLineEdit* edOscCal;
    QLabel* BGLbl;
    QLineEdit* edBG;
    // The configuration-word rows and the configuration-bit editors.
    ConfigPanel* configPanel;

signals:
    // A device was selected and applied (the details window refreshes; the operation
    // windows read Workspace::DevIdChkEnabled()).
    void deviceApplied();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showMessage(std::string_view text) override;

    void createActions();
    void createMenus();
    void createToolBar();
    void createCentralWidgets();
    void createStatusBar();
    void createOperationWindows();
    QToolButton* addToolButton(QToolBar* bar, QAction* action, const QString& caption,
                               const QString& icon, int width);
    void applyDeviceToWindow();
    // Shows an operation window; the first one the simulator served says so, once.
    void runOperationWindow(const std::function<int()>& open);
    void updateSimulatorPanel();
    // "Velkaro", with the name of the file the buffer came from while it holds one.
    void setShownFile(const QString& path);
    void refreshChangeMarks();
    QString fileDialogStart() const;
    void setEpPanelActive(bool active);
    void syncPort();
    bool dataDispKeyPress(const QString& text);
    bool isMenuShortcut(const QKeyEvent& key) const;

    Workspace& mWorkspace;
    Dialogs& mDialogs;
    Options mOptions;
    bool mActivated = false;
    bool mClosed = false;
    AppSettings mLoadedSettings;  // as read at start: a save writes only what changed since
    bool mEpPanelActive = false;
    bool mToldSimulated = false;
    int mDeviceIndex = -1;  // the device applied last; a declined switch returns to it
    QLabel* mPanels[10] = {};
    QLabel* mSimPanel = nullptr;
    // Destroyed before the window's child widgets, as it must be.
    std::unique_ptr<OperationWindows> mOperations;
    // Values that differ from the buffer as last loaded, saved or read, in colour.
    ChangedValuesHighlighter* mProgMarks = nullptr;
    ChangedValuesHighlighter* mDataMarks = nullptr;
    TAboutForm* mAbout = nullptr;
    TInfoForm* mInfo = nullptr;
    PortForm* mPortForm = nullptr;
};

}  // namespace velkaro
