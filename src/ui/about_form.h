#pragma once

#include <functional>
#include <string>

#include <QDialog>
#include <QIcon>

class QLabel;
class QPushButton;

namespace velkaro {

class Dialogs;
struct Workspace;

// "Velkaroの詳細情報": the program version, the intelligent programmer's firmware date and
// version, and (on a double-click of the icon) the device list written to DeviceList.txt
// in the program's folder.
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    // `programDir` is where DeviceList.txt goes.
    TAboutForm(Workspace& workspace, Dialogs& dialogs, std::string programDir,
               QWidget* parent = nullptr);

    // Sets the version and shows the window modally.
    int mnAboutClick();
    // Fills the firmware line: only programmer type 0 is asked, on the selected port.
    void FormActivate();
    void Image1DblClick();

    QLabel* Image1;
    QLabel* Label1;
    QLabel* VerText;
    QLabel* FrmVer;
    QLabel* Label2;
    QPushButton* OkBtn;

    // True while the selected port is served by the simulator; the firmware line says so.
    std::function<bool()> portSimulated;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Workspace& mWorkspace;
    Dialogs& mDialogs;
    std::string mProgramDir;
};

// Opens the manual beside the program's data files in the desktop's browser, `open`
// standing for it (QDesktopServices::openUrl when empty). When no browser can be started
// the manual opens in a viewer window of the program's own, which is returned (it deletes
// itself on close); a missing manual keeps its message. Null when no viewer was needed.
QWidget* mnHtmlHelpClick(QWidget* parent, Dialogs& dialogs, const std::string& dataDir,
                         const std::function<bool(const QString& path)>& open = {});

// The program's icon (window icon and the About window's picture).
QIcon applicationIcon();

// File name of the manual.
extern const char* const kManualFileName;

}  // namespace velkaro
