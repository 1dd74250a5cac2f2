#pragma once

#include <functional>
#include <string_view>

#include <QDialog>

#include "app/workspace.h"
#include "link/operation_ui.h"
#include "operations/operation_time.h"
#include "operations/window_flow.h"
#include "ui/dialogs.h"

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QVBoxLayout;

namespace velkaro {

QString toQString(std::string_view text);

// Said after a write or an erase was stopped halfway, so that nobody trusts the chip.
inline constexpr std::string_view kPartlyWrittenMessage =
    "書き込みを中止しました。デバイスは一部だけ書き込まれた状態です。";
inline constexpr std::string_view kPartlyErasedMessage =
    "消去を中止しました。デバイスは一部だけ消去された状態です。";

// What every operation window shares: a gauge, a status bar, OK and Cancel, a cancel flag
// that the running loop reads after each pump, and the boxes of the core's questions
// shown through Dialogs. The window is created once and shown modally again and again;
// each showing runs FormActivate().
class OperationForm : public QDialog, public OperationUi {
    Q_OBJECT
public:
    OperationForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent,
                  std::string_view caption);

    QProgressBar* Progress = nullptr;
    QStatusBar* StatusBar = nullptr;
    QPushButton* OkBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    // Right of the status text: the run's elapsed time and, while it runs, the estimate of
    // what is left ("経過 0:12  残り約 0:30").
    QLabel* TimeLbl = nullptr;

    // Called whenever the image may have changed (the main window refreshes its views).
    std::function<void()> onImageChanged;

    // The opening: states from the core, gauge reset, cancel flag cleared, OK focused.
    virtual void FormActivate() = 0;
    virtual void OkBtnClick() = 0;
    virtual void CancelBtnClick();

    // How the last action ended (also after Cancel); kResultOk until something ran.
    const FlowOutcome& lastOutcome() const { return mOutcome; }
    bool running() const { return mRunning; }

    // OperationUi
    void showMessage(std::string_view text) override;
    void setProgress(int percent) override;
    void setStatusText(std::string_view text) override;
    void pumpEvents() override;
    bool cancelRequested() const override { return mCancel; }
    bool askOkCancel(std::string_view text) override;
    bool askOkCancelDefaultCancel(std::string_view text) override;
    bool askYesNo(std::string_view text, std::string_view caption) override;
    void setCaption(std::string_view text) override;

    // Escape and the title bar's close button act as Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    QCheckBox* addCheckBox(std::string_view text);
    // Enables and focuses OK, sets the gauge to 0 and clears the cancel flag.
    void resetForRun();
    // Windows that check the chip: from now on OK is enabled only while `prog` and `data`
    // leave something to check (checksSomething), so checking nothing never looks like a
    // success.
    void enableOkOnlyWhileChecking(QCheckBox* prog, QCheckBox* data);
    // Runs one window action with OK disabled, then closes the window as it says.
    void runAction(const std::function<FlowOutcome()>& action);
    void closeWith(WindowClose close);
    void imageChanged();
    QWidget* boxParent();
    uint64_t nowUs() const;
    void showTimes();
    void updateOkForChecks();
    // What an action stopped by Cancel (or by closing the window) leaves the chip as, said
    // once it has stopped; empty for windows that only read.
    virtual std::string_view partlyDoneMessage() const { return {}; }
    // The regions the window's action goes through with the options as ticked now; empty
    // (elapsed time only) for windows without a plan.
    virtual std::vector<TimedRegion> timingPlan() const { return {}; }

    Workspace& mWorkspace;
    Dialogs& mDialogs;
    QVBoxLayout* mBody = nullptr;     // check boxes and other contents, top to bottom
    QHBoxLayout* mButtons = nullptr;  // OK and Cancel, right-aligned
    // A window whose opening talks to the chip opens first and activates from the event
    // loop: its links pump events, and a Cancel handled during show() could not end exec().
    bool mDeferActivation = false;
    QCheckBox* mCheckProg = nullptr;  // set by enableOkOnlyWhileChecking
    QCheckBox* mCheckData = nullptr;
    bool mCancel = false;
    bool mRunning = false;
    OperationTimer mTimer;
    FlowOutcome mOutcome;
};

}  // namespace velkaro
