#include "ui/operation_form.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace velkaro {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

OperationForm::OperationForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent,
                             std::string_view caption)
    : QDialog(parent), mWorkspace(workspace), mDialogs(dialogs) {
    setWindowTitle(toQString(caption));
    setModal(true);
    setMinimumWidth(360);  // room for the status text beside the run's times

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* inner = new QVBoxLayout;
    inner->setContentsMargins(12, 12, 12, 8);
    mBody = new QVBoxLayout;
    inner->addLayout(mBody);

    Progress = new QProgressBar(this);
    Progress->setRange(0, 100);
    Progress->setValue(0);
    inner->addWidget(Progress);

    mButtons = new QHBoxLayout;
    mButtons->addStretch();
    OkBtn = new QPushButton(QStringLiteral("&OK"), this);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("&Cancel"), this);
    mButtons->addWidget(OkBtn);
    mButtons->addWidget(CancelBtn);
    inner->addLayout(mButtons);
    outer->addLayout(inner);

    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    TimeLbl = new QLabel(StatusBar);
    StatusBar->addPermanentWidget(TimeLbl);
    outer->addWidget(StatusBar);

    connect(OkBtn, &QPushButton::clicked, this, [this] { OkBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
}

QCheckBox* OperationForm::addCheckBox(std::string_view text) {
    auto* box = new QCheckBox(toQString(text), this);
    mBody->addWidget(box);
    return box;
}

void OperationForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (mDeferActivation)
        QTimer::singleShot(0, this, [this] { FormActivate(); });
    else
        FormActivate();
}

void OperationForm::resetForRun() {
    mCancel = false;
    mOutcome = {};
    TimeLbl->clear();
    Progress->setValue(0);
    OkBtn->setEnabled(true);
    OkBtn->setFocus();
    updateOkForChecks();
}

void OperationForm::enableOkOnlyWhileChecking(QCheckBox* prog, QCheckBox* data) {
    mCheckProg = prog;
    mCheckData = data;
    connect(prog, &QCheckBox::toggled, this, &OperationForm::updateOkForChecks);
    connect(data, &QCheckBox::toggled, this, &OperationForm::updateOkForChecks);
}

void OperationForm::updateOkForChecks() {
    if (mCheckProg == nullptr || mRunning)
        return;
    OkBtn->setEnabled(checksSomething(mWorkspace.device, mCheckProg->isChecked(),
                                      mCheckData->isChecked() && mCheckData->isEnabled()));
}

void OperationForm::runAction(const std::function<FlowOutcome()>& action) {
    OkBtn->setEnabled(false);
    mRunning = true;
    mTimer.start(nowUs(), timingPlan());
    showTimes();
    mOutcome = action();
    mTimer.stop(nowUs());
    showTimes();
    mRunning = false;
    if (mCancel && mOutcome.result != kResultOk && !partlyDoneMessage().empty())
        showMessage(partlyDoneMessage());
    closeWith(mOutcome.close);
}

void OperationForm::closeWith(WindowClose close) {
    switch (close) {
        case WindowClose::Ok:
            done(QDialog::Accepted);
            break;
        case WindowClose::Cancel:
            done(QDialog::Rejected);
            break;
        case WindowClose::StaysOpen:
            break;
    }
}

void OperationForm::imageChanged() {
    if (onImageChanged)
        onImageChanged();
}

// Sets the cancel flag (a running loop stops at its next word), clears the status text,
// powers the target down and closes with Cancel.
void OperationForm::CancelBtnClick() {
    mCancel = true;
    mOutcome = cancelOperationWindow(mWorkspace, *this);
    done(QDialog::Rejected);
}

void OperationForm::reject() {
    CancelBtnClick();
}

uint64_t OperationForm::nowUs() const {
    // The link's own time: simulated waits count as they do for the chip, and an
    // intelligent programmer's queued delays count when they are sent.
    return mWorkspace.link ? mWorkspace.link->clock().nowMicroseconds() : 0;
}

void OperationForm::showTimes() {
    const uint64_t now = nowUs();
    QString text = QStringLiteral("経過 ") + toQString(durationText(mTimer.elapsedUs(now)));
    if (const auto left = mTimer.remainingUs(now))
        text += QStringLiteral("  残り約 ") + toQString(durationText(*left));
    // Set only on a change: the operation reports every word.
    if (TimeLbl->text() != text)
        TimeLbl->setText(text);
}

QWidget* OperationForm::boxParent() {
    return isVisible() ? this : parentWidget();
}

void OperationForm::showMessage(std::string_view text) {
    mDialogs.information(boxParent(), QGuiApplication::applicationDisplayName(), toQString(text));
}

void OperationForm::setProgress(int percent) {
    Progress->setValue(percent);
    if (mTimer.running()) {
        mTimer.progressShown(percent, nowUs());
        showTimes();
    }
}

void OperationForm::setStatusText(std::string_view text) {
    if (text.empty())
        StatusBar->clearMessage();
    else
        StatusBar->showMessage(toQString(text));
    if (mTimer.running()) {
        mTimer.statusShown(text, nowUs());
        showTimes();
    }
}

void OperationForm::pumpEvents() {
    if (mTimer.running())
        showTimes();
    QCoreApplication::processEvents();
}

bool OperationForm::askOkCancel(std::string_view text) {
    return mDialogs.okCancel(boxParent(), QGuiApplication::applicationDisplayName(),
                             toQString(text), DefaultButton::Ok);
}

bool OperationForm::askOkCancelDefaultCancel(std::string_view text) {
    return mDialogs.okCancel(boxParent(), QGuiApplication::applicationDisplayName(),
                             toQString(text), DefaultButton::Cancel);
}

bool OperationForm::askYesNo(std::string_view text, std::string_view caption) {
    return mDialogs.yesNo(boxParent(), toQString(caption), toQString(text));
}

void OperationForm::setCaption(std::string_view text) {
    setWindowTitle(toQString(text));
}

}  // namespace velkaro
