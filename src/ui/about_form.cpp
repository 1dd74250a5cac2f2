#include "ui/about_form.h"

#include <filesystem>
#include <fstream>

#include <QDesktopServices>
#include <QEvent>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "app/workspace.h"
#include "ui/dialogs.h"

// The icon is compiled into this static library; its resources need registering by hand.
static void registerIconResource() {
    Q_INIT_RESOURCE(app_icon);
}

namespace velkaro {

const char* const kManualFileName = "Velkaroユーザマニュアル.html";

namespace {

const QString kCaption = QStringLiteral("Velkaroの詳細情報");
const QString kVersion = QStringLiteral("1.00-06");
const QString kSimulatedProgrammer =
    QStringLiteral("シミュレータ（実機のプログラマではありません）");
const QString kSimulatedSuffix = QStringLiteral("（シミュレータ）");

}  // namespace

QIcon applicationIcon() {
    static const bool registered = (registerIconResource(), true);
    (void)registered;
    return QIcon(QStringLiteral(":/velkaro.png"));
}

TAboutForm::TAboutForm(Workspace& workspace, Dialogs& dialogs, std::string programDir,
                       QWidget* parent)
    : QDialog(parent),
      mWorkspace(workspace),
      mDialogs(dialogs),
      mProgramDir(std::move(programDir)) {
    setWindowTitle(kCaption);
    setWindowIcon(applicationIcon());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(applicationIcon().pixmap(32, 32));
    Image1->setFixedSize(32, 32);
    Image1->setToolTip(QStringLiteral("ﾀﾞﾌﾞﾙｸﾘｯｸでﾃﾞﾊﾞｲｽﾘｽﾄを出力します"));
    Image1->installEventFilter(this);
    Label1 = new QLabel(QStringLiteral("Velkaro ﾊﾞｰｼﾞｮﾝ "), this);
    VerText = new QLabel(this);
    VerText->setObjectName(QStringLiteral("VerText"));
    FrmVer = new QLabel(this);
    FrmVer->setObjectName(QStringLiteral("FrmVer"));
    Label2 = new QLabel(QStringLiteral("Velkaro開発チーム — PICマイコン用プログラマ"), this);
    OkBtn = new QPushButton(QStringLiteral("OK"), this);
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    OkBtn->setDefault(true);
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->addWidget(Image1, 0, 0, 3, 1, Qt::AlignTop);
    auto* versionRow = new QHBoxLayout;
    versionRow->addWidget(Label1);
    versionRow->addWidget(VerText);
    versionRow->addStretch(1);
    grid->addLayout(versionRow, 0, 1);
    grid->addWidget(FrmVer, 1, 1);
    grid->addWidget(Label2, 2, 1);
    grid->addWidget(OkBtn, 0, 2, Qt::AlignTop);
    grid->setColumnStretch(1, 1);
    setFixedSize(sizeHint().expandedTo(QSize(358, 95)));
}

int TAboutForm::mnAboutClick() {
    VerText->setText(kVersion);
    return exec();
}

void TAboutForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormActivate();
}

void TAboutForm::FormActivate() {
    FrmVer->clear();
    const bool simulated = portSimulated && portSimulated();
    if (simulated) {
        FrmVer->setText(kSimulatedProgrammer);
        setFixedSize(sizeHint().expandedTo(QSize(358, 95)));
    }
    ProgrammerLink* link = mWorkspace.link.get();
    if (link == nullptr || link->hardwareType() != 0)
        return;
    // The exchange runs with the window up; it must not be closed halfway.
    OkBtn->setEnabled(false);
    std::string date, version;
    const bool answered = link->QueryFirmware(date, version);
    OkBtn->setEnabled(true);
    if (answered)
        FrmVer->setText(QString::fromStdString(firmwareVersionText(date, version)) +
                        (simulated ? kSimulatedSuffix : QString()));
    // The window is as wide as its longest line.
    setFixedSize(sizeHint().expandedTo(QSize(358, 95)));
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image1 && event->type() == QEvent::MouseButtonDblClick) {
        Image1DblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutForm::Image1DblClick() {
    const std::filesystem::path path = std::filesystem::path(mProgramDir) / "DeviceList.txt";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::string& name : mWorkspace.deviceList)
        out << name << "\r\n";
    out.flush();
    if (!out) {
        mDialogs.error(this, kCaption,
                       QStringLiteral("%1 に書き込めませんでした。")
                           .arg(QString::fromStdString(path.string())));
        return;
    }
    mDialogs.information(this, kCaption,
                         QStringLiteral("カレントフォルダにDeviceList.txtを出力しました。"));
}

QWidget* mnHtmlHelpClick(QWidget* parent, Dialogs& dialogs, const std::string& dataDir,
                         const std::function<bool(const QString& path)>& open) {
    const QString path =
        QString::fromStdString((std::filesystem::path(dataDir) / kManualFileName).string());
    if (!std::filesystem::is_regular_file(path.toStdString())) {
        dialogs.error(parent, QStringLiteral("Velkaro"),
                      QStringLiteral("ヘルプファイルが開けませんでした。"));
        return nullptr;
    }
    if (open ? open(path) : QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return nullptr;
    // No browser could be started (a bare window manager, no desktop opener): the manual
    // is plain HTML, which the program shows itself.
    auto* viewer = new QDialog(parent);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setObjectName(QStringLiteral("ManualViewer"));
    viewer->setWindowTitle(QStringLiteral("Velkaroユーザマニュアル"));
    auto* browser = new QTextBrowser(viewer);
    browser->setObjectName(QStringLiteral("ManualBrowser"));
    browser->setSource(QUrl::fromLocalFile(path));
    auto* layout = new QVBoxLayout(viewer);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    viewer->resize(640, 560);
    viewer->show();
    return viewer;
}

}  // namespace velkaro
