// Building the main window: actions, menus, toolbar, views, status bar and the windows it opens.
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/workspace.h"
#include "ui/about_form.h"
#include "ui/caption_bar.h"
#include "ui/changed_values_highlighter.h"
#include "ui/config_panel.h"
#include "ui/dialogs.h"
#include "ui/hex_key_filter.h"
#include "ui/info_form.h"
#include "ui/main_form.h"
#include "ui/operation_windows.h"
#include "ui/port_form.h"
#include "ui/toolbar_icons.h"

namespace velkaro {

namespace {

// Hex edits: four characters, upper case, "_" for an empty place.
const QString kWordMask = QStringLiteral(">NNNN;_");

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

// The listings' font: the classic Japanese fixed-pitch face where it exists, else the
// system's fixed font with a CJK face behind it for the Japanese glyphs.
QFont listingFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies({QStringLiteral("ＭＳ ゴシック"), font.family(),
                      QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("Noto Sans CJK JP")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(13);
    return font;
}

}  // namespace

void TMainForm::createOperationWindows() {
    mOperations = std::make_unique<OperationWindows>(mWorkspace, mDialogs, this);
    mOperations->onImageChanged = [this] { RefreshImageView(); };
    mOperations->onFileOpened = [this] {
        RebuildHistoryMenu();
        mnLastFile->setEnabled(!mWorkspace.LastFile.empty());
        setShownFile(fromStd(mWorkspace.LastFile));
    };
    mOperations->onBufferRead = [this] {
        setShownFile(QString());
        refreshChangeMarks();
    };
    OperationWindows& ops = *mOperations;
    const std::pair<QAction*, int (OperationWindows::*)()> windows[] = {
        {mnReadDev, &OperationWindows::openRead},
        {mnWrite, &OperationWindows::openWrite},
        {mnVerify, &OperationWindows::openVerify},
        {mnBlankChk, &OperationWindows::openBlankCheck},
        {mnProgram, &OperationWindows::openProgram},
        {mnDevErase, &OperationWindows::openErase},
        {mnDevIdChk, &OperationWindows::openDevIdCheck},
        {mnOscCalc, &OperationWindows::openOscCalc},
    };
    for (const auto& [action, open] : windows)
        connect(action, &QAction::triggered, this,
                [this, &ops, open] { runOperationWindow([&ops, open] { return (ops.*open)(); }); });

    // DeviceList.txt goes beside the program's data files.
    mAbout = new TAboutForm(mWorkspace, mDialogs, mWorkspace.catalogue.dataDir(), this);
    mAbout->portSimulated = [this] { return portSimulated(); };
    connect(mnAbout, &QAction::triggered, this, [this] { mAbout->mnAboutClick(); });
    // The details window stays beside the main window and follows the device list.
    mInfo = new TInfoForm(mWorkspace, this);
    connect(mnDeviceInfo, &QAction::triggered, this, [this] {
        mInfo->ShowDeviceDetails();
        mInfo->show();
        mInfo->raise();
        mInfo->activateWindow();
    });
    connect(this, &TMainForm::deviceApplied, mInfo, &TInfoForm::ShowDeviceDetails);
    connect(mnHtmlHelp, &QAction::triggered, this,
            [this] { mnHtmlHelpClick(this, mDialogs, mWorkspace.catalogue.dataDir()); });
}

void TMainForm::createActions() {
    auto make = [this](const char* name, const QString& caption, const char* shortcut) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
        if (shortcut != nullptr)
            action->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
        return action;
    };
    auto separator = [this](const char* name) {
        auto* action = new QAction(this);
        action->setSeparator(true);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };

    mnLoadProg = make("mnLoadProg", QStringLiteral("ファイルを開く(&O)"), "Ctrl+O");
    mnSaveAs = make("mnSaveAs", QStringLiteral("名前を付けて保存(&S)"), "Ctrl+S");
    mnLastFile = make("mnLastFile", QStringLiteral("最後に使用したファイルを開く(&L)"), "Ctrl+L");
    mnLastFile->setEnabled(false);
    mnSep1 = separator("mnSep1");
    mnSep1->setVisible(false);
    for (int k = 0; k < 5; ++k) {
        mnHist[k] =
            make(QStringLiteral("mnHist%1").arg(k + 1).toLatin1().constData(), QString(), nullptr);
        mnHist[k]->setVisible(false);
        connect(mnHist[k], &QAction::triggered, this, [this, k] { mnHist1Click(mnHist[k]); });
    }
    mnSep2 = separator("mnSep2");
    mnExit = make("mnExit", QStringLiteral("アプリケーションの終了(&X)"), nullptr);

    mnReadDev = make("mnReadDev", QStringLiteral("デバイスからの読み込み(&R)"), "Ctrl+R");
    mnWrite = make("mnWrite", QStringLiteral("デバイスへの書き込み(&W)"), "Ctrl+W");
    mnVerify = make("mnVerify", QStringLiteral("デバイスのベリファイ(&V)"), "Ctrl+V");
    mnBlankChk = make("mnBlankChk", QStringLiteral("ブランクチェック(&B)"), "Ctrl+B");
    N1 = separator("N1");
    mnProgram = make("mnProgram", QStringLiteral("プログラム（自動書き込み)(&A)"), "Ctrl+P");
    mnDevErase = make("mnDevErase", QStringLiteral("デバイスの消去(&E)"), "Ctrl+E");
    mnClear = make("mnClear", QStringLiteral("バッファのクリア(&C)"), "Ctrl+F");
    N2 = separator("N2");
    mnDevIdChk = make("mnDevIdChk", QStringLiteral("デバイスIDの確認(&D)"), "Ctrl+D");
    mnOscCalc = make("mnOscCalc", QStringLiteral("OSCCALの調整(&O)"), "Ctrl+C");
    N3 = separator("N3");
    mnDataEdit = make("mnDataEdit", QStringLiteral("データ編集を有効にする"), "Ctrl+T");
    mnDataEdit->setCheckable(true);
    N4 = separator("N4");
    mnPortSetting = make("mnPortSetting", QStringLiteral("接続ポートの設定(&P)..."), nullptr);

    mnHtmlHelp = make("mnHtmlHelp", QStringLiteral("Velkaroオンラインヘルプ(&H)"), "F1");
    mnDeviceInfo = make("mnDeviceInfo", QStringLiteral("デバイス詳細情報の表示(&I)"), "Ctrl+I");
    mnAbout = make("mnAbout", QStringLiteral("Velkaroの詳細情報(&A)"), "Ctrl+H");

    connect(mnLoadProg, &QAction::triggered, this, &TMainForm::mnLoadProgClick);
    connect(mnSaveAs, &QAction::triggered, this, &TMainForm::mnSaveAsClick);
    connect(mnLastFile, &QAction::triggered, this, &TMainForm::mnLastFileClick);
    connect(mnExit, &QAction::triggered, this, &QWidget::close);
    connect(mnClear, &QAction::triggered, this, &TMainForm::mnClearClick);
    connect(mnDataEdit, &QAction::triggered, this, &TMainForm::mnDataEditClick);
    connect(mnPortSetting, &QAction::triggered, this, [this] { portForm().exec(); });
    // The operation windows are connected in createOperationWindows(); the details
    // window, About and the manual where those are made.
}

void TMainForm::createMenus() {
    mnFile = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    mnFile->setObjectName(QStringLiteral("mnFile"));
    mnFile->addActions({mnLoadProg, mnSaveAs, mnLastFile, mnSep1});
    for (QAction* item : mnHist)
        mnFile->addAction(item);
    mnFile->addActions({mnSep2, mnExit});

    mnTool = menuBar()->addMenu(QStringLiteral("ツール(&T)"));
    mnTool->setObjectName(QStringLiteral("mnTool"));
    mnTool->addActions({mnReadDev, mnWrite, mnVerify, mnBlankChk, N1, mnProgram, mnDevErase,
                        mnClear, N2, mnDevIdChk, mnOscCalc, N3, mnDataEdit, N4, mnPortSetting});

    mnHelp = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    mnHelp->setObjectName(QStringLiteral("mnHelp"));
    mnHelp->addActions({mnHtmlHelp, mnDeviceInfo, mnAbout});
}

QToolButton* TMainForm::addToolButton(QToolBar* bar, QAction* action, const QString& caption,
                                      const QString& icon, int width) {
    auto* button = new QToolButton(bar);
    button->setText(caption);
    button->setIcon(toolbarIcon(icon));
    button->setIconSize(QSize(24, 24));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setFixedWidth(width);
    button->setAutoRaise(true);
    connect(button, &QToolButton::clicked, action, &QAction::trigger);
    bar->addWidget(button);
    return button;
}

void TMainForm::createToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("ToolBar"));
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setMovable(false);
    LoadBtn = addToolButton(bar, mnLoadProg, QStringLiteral("開く"), QStringLiteral("open"), 64);
    bar->addSeparator();
    ReadBtn = addToolButton(bar, mnReadDev, QStringLiteral("読み込み"), QStringLiteral("read"), 64);
    WriteBtn = addToolButton(bar, mnWrite, QStringLiteral("書き込み"), QStringLiteral("write"), 64);
    VerifyBtn =
        addToolButton(bar, mnVerify, QStringLiteral("ﾍﾞﾘﾌｧｲ"), QStringLiteral("verify"), 64);
    bar->addSeparator();
    BlankChkBtn =
        addToolButton(bar, mnBlankChk, QStringLiteral("ﾌﾞﾗﾝｸﾁｪｯｸ"), QStringLiteral("blank"), 75);
    ChipEraseBtn =
        addToolButton(bar, mnDevErase, QStringLiteral("ﾃﾞﾊﾞｲｽ消去"), QStringLiteral("erase"), 75);
    ClearBtn = addToolButton(bar, mnClear, QStringLiteral("ﾊﾞｯﾌｧｸﾘｱ"), QStringLiteral("clear"), 64);
    bar->addSeparator();
    ProgBtn =
        addToolButton(bar, mnProgram, QStringLiteral("ﾌﾟﾛｸﾞﾗﾑ"), QStringLiteral("program"), 64);
    const std::pair<QToolButton*, const char*> names[] = {
        {LoadBtn, "LoadBtn"},     {ReadBtn, "ReadBtn"},         {WriteBtn, "WriteBtn"},
        {VerifyBtn, "VerifyBtn"}, {BlankChkBtn, "BlankChkBtn"}, {ChipEraseBtn, "ChipEraseBtn"},
        {ClearBtn, "ClearBtn"},   {ProgBtn, "ProgBtn"}};
    for (const auto& [button, name] : names)
        button->setObjectName(QString::fromLatin1(name));
}

void TMainForm::createCentralWidgets() {
    const QFont font = listingFont();
    auto* columns = new QSplitter(Qt::Horizontal, this);
    columns->setChildrenCollapsible(false);

    // Left: program memory above, data memory below a splitter.
    auto* listings = new QSplitter(Qt::Vertical, columns);
    listings->setChildrenCollapsible(false);
    auto* progBox = new QWidget(listings);
    auto* progLayout = new QVBoxLayout(progBox);
    progLayout->setContentsMargins(0, 0, 0, 0);
    progLayout->setSpacing(0);
    progLayout->addWidget(captionBar(QStringLiteral("プログラムメモリ"), progBox));
    ProgDisp = new QPlainTextEdit(progBox);
    ProgDisp->setObjectName(QStringLiteral("ProgDisp"));
    ProgDisp->setReadOnly(true);
    ProgDisp->setLineWrapMode(QPlainTextEdit::NoWrap);
    ProgDisp->setFont(font);
    ProgDisp->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ProgDisp->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    progLayout->addWidget(ProgDisp);
    mProgMarks = new ChangedValuesHighlighter(ProgDisp->document(), mWorkspace,
                                              ChangedValuesHighlighter::Memory::Program);

    auto* dataBox = new QWidget(listings);
    auto* dataLayout = new QVBoxLayout(dataBox);
    dataLayout->setContentsMargins(0, 0, 0, 0);
    dataLayout->setSpacing(0);
    EpPanel = captionBar(QStringLiteral("EEPROM"), dataBox);
    EpPanel->setObjectName(QStringLiteral("EpPanel"));
    dataLayout->addWidget(EpPanel);
    DataDisp = new QPlainTextEdit(dataBox);
    DataDisp->setObjectName(QStringLiteral("DataDisp"));
    DataDisp->setReadOnly(true);
    // The in-place editor counts lines of the unwrapped listing.
    DataDisp->setLineWrapMode(QPlainTextEdit::NoWrap);
    DataDisp->setFont(font);
    DataDisp->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    DataDisp->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DataDisp->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DataDisp->setAutoFillBackground(true);
    DataDisp->installEventFilter(this);
    dataLayout->addWidget(DataDisp);
    mDataMarks = new ChangedValuesHighlighter(DataDisp->document(), mWorkspace,
                                              ChangedValuesHighlighter::Memory::Data);
    listings->setStretchFactor(0, 3);
    listings->setStretchFactor(1, 1);

    // Right: programmer, port, device, the small hex edits, then the configuration editors.
    auto* right = new QWidget(columns);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(2);
    rightLayout->addWidget(captionBar(QStringLiteral("コンフィグレーション"), right));
    auto* form = new QFormLayout();
    form->setContentsMargins(6, 4, 6, 4);
    form->setVerticalSpacing(3);
    cbProgrammer = new QComboBox(right);
    cbProgrammer->setObjectName(QStringLiteral("cbProgrammer"));
    form->addRow(QStringLiteral("プログラマ"), cbProgrammer);
    ComPort = new QComboBox(right);
    ComPort->setObjectName(QStringLiteral("ComPort"));
    for (int n = 1; n <= 9; ++n)
        ComPort->addItem(QStringLiteral("COM%1").arg(n));
    // Beside the list: the dialog that maps a COM number to a real serial device.
    auto* portRow = new QHBoxLayout;
    portRow->setSpacing(2);
    portRow->addWidget(ComPort, 1);
    PortBtn = new QToolButton(right);
    PortBtn->setObjectName(QStringLiteral("PortBtn"));
    PortBtn->setDefaultAction(mnPortSetting);
    PortBtn->setToolButtonStyle(Qt::ToolButtonTextOnly);
    PortBtn->setText(QStringLiteral("..."));
    portRow->addWidget(PortBtn);
    form->addRow(QStringLiteral("接続ポート"), portRow);
    DevListBox = new QComboBox(right);
    DevListBox->setObjectName(QStringLiteral("DevListBox"));
    DevListBox->setMaxVisibleItems(20);
    form->addRow(QStringLiteral("デバイス"), DevListBox);

    auto* hexKeys = new HexKeyFilter(this);
    auto hexEdit = [&](const char* name) {
        auto* edit = new QLineEdit(right);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setFont(font);
        edit->setMaximumWidth(80);
        edit->installEventFilter(this);
        edit->installEventFilter(hexKeys);
        return edit;
    };
    edID = hexEdit("edID");
    form->addRow(QStringLiteral("ユーザID"), edID);
    edOscCal = hexEdit("edOscCal");
    edOscCal->setInputMask(kWordMask);
    OscCalLbl = new QLabel(QStringLiteral("OSCCAL"), right);
    OscCalLbl->setObjectName(QStringLiteral("OscCalLbl"));
    form->addRow(OscCalLbl, edOscCal);
    edBG = hexEdit("edBG");
    edBG->setInputMask(kWordMask);
    BGLbl = new QLabel(QStringLiteral("BG"), right);
    BGLbl->setObjectName(QStringLiteral("BGLbl"));
    form->addRow(BGLbl, edBG);
    rightLayout->addLayout(form);

    configPanel = new ConfigPanel(mWorkspace, right);
    configPanel->setObjectName(QStringLiteral("configPanel"));
    rightLayout->addWidget(configPanel, 1);
    right->setMinimumWidth(230);

    columns->addWidget(listings);
    columns->addWidget(right);
    columns->setStretchFactor(0, 1);
    columns->setStretchFactor(1, 0);
    setCentralWidget(columns);

    connect(DevListBox, &QComboBox::currentIndexChanged, this, [this] { DevListBoxChange(); });
    connect(cbProgrammer, &QComboBox::currentIndexChanged, this, [this] { cbProgrammerChange(); });

    // Data editing starts switched off: the listing in the button-face colour.
    mnDataEdit->setChecked(false);
    QPalette palette = DataDisp->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    DataDisp->setPalette(palette);
}

void TMainForm::createStatusBar() {
    static const int kWidths[10] = {40, 80, 25, 30, 40, 50, 55, 50, 30, 50};
    QStatusBar* bar = statusBar();
    bar->setSizeGripEnabled(true);
    for (int i = 0; i < 10; ++i) {
        mPanels[i] = new QLabel(bar);
        mPanels[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
        mPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // The widths are the least a panel takes; a larger font widens the captions.
        mPanels[i]->setMinimumWidth(kWidths[i]);
        // The comment takes what is left of the bar.
        bar->addWidget(mPanels[i], i < 9 ? 0 : 1);
    }
    // Beyond the device's panels: whether the selected port is only simulated.
    mSimPanel = new QLabel(bar);
    mSimPanel->setObjectName(QStringLiteral("SimulatorPanel"));
    mSimPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    mSimPanel->setToolTip(QStringLiteral("接続ポートはシミュレータにつながっています"));
    bar->addPermanentWidget(mSimPanel);
    mSimPanel->hide();
    mPanels[0]->setText(QStringLiteral("Device"));
    mPanels[2]->setText(QStringLiteral("PIN"));
    mPanels[4]->setText(QStringLiteral("PROM"));
    mPanels[6]->setText(QStringLiteral("EEPROM"));
}

}  // namespace velkaro
