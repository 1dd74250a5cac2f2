#include "ui/operation_form.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
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
    setMinimumWidth(320);

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
    mOutcome = action();
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

QWidget* OperationForm::boxParent() {
    return isVisible() ? this : parentWidget();
}

void OperationForm::showMessage(std::string_view text) {
    mDialogs.information(boxParent(), QGuiApplication::applicationDisplayName(), toQString(text));
}

void OperationForm::setProgress(int percent) {
    Progress->setValue(percent);
}

void OperationForm::setStatusText(std::string_view text) {
    if (text.empty())
        StatusBar->clearMessage();
    else
        StatusBar->showMessage(toQString(text));
}

void OperationForm::pumpEvents() {
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
