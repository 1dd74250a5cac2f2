#include "ui/osc_calc_form.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "operations/osccal_calc.h"
#include "ui/hex_key_filter.h"

namespace velkaro {

namespace {

QLabel* panel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumWidth(100);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

}  // namespace

TOscCalcForm::TOscCalcForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent)
    : OperationForm(workspace, dialogs, parent, msg::kOscCalCaption) {
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    auto* grid = new QGridLayout;
    CurOsc = panel(this);
    OscVal = panel(this);
    OscDiff = panel(this);
    newOSCCAL = new QLineEdit(this);
    // Four places like the main window's hex edits; keys from "G" on never reach them.
    newOSCCAL->setInputMask(QStringLiteral(">NNNN;_"));
    newOSCCAL->setAlignment(Qt::AlignRight);
    newOSCCAL->installEventFilter(new HexKeyFilter(newOSCCAL));
    const std::pair<std::string_view, QWidget*> rows[] = {
        {msg::kOscCalCurrentLabel, CurOsc},
        {msg::kOscCalFrequencyLabel, OscVal},
        {msg::kOscCalErrorLabel, OscDiff},
        {msg::kOscCalRecommendedLabel, newOSCCAL},
    };
    int row = 0;
    for (const auto& [text, field] : rows) {
        grid->addWidget(new QLabel(toQString(text), this), row, 0);
        grid->addWidget(field, row, 1);
        ++row;
    }
    mBody->addLayout(grid);
    mDeferActivation = true;

    btnCalc = new QPushButton(toQString(msg::kOscCalRemeasure), this);
    btnWriteOSCCAL = new QPushButton(toQString(msg::kOscCalWrite), this);
    mButtons->insertWidget(0, btnCalc);
    mButtons->insertWidget(1, btnWriteOSCCAL);
    btnOk = OkBtn;
    btnOk->setText(QStringLiteral("OK"));
    btnCancel = CancelBtn;
    btnCancel->hide();
    showView();

    connect(btnCalc, &QPushButton::clicked, this, [this] { btnCalcClick(); });
    connect(btnWriteOSCCAL, &QPushButton::clicked, this, [this] { btnWriteOSCCALClick(); });
    // Upper case; anything after "F" is dropped.
    connect(newOSCCAL, &QLineEdit::textEdited, this, [this](const QString& text) {
        QString kept;
        for (QChar c : text) {
            if (c.unicode() > 0x7F)
                continue;
            if (const auto out = oscCalKeyPress(static_cast<char>(c.unicode())))
                kept += QChar(*out);
        }
        if (kept != text) {
            const int cursor =
                newOSCCAL->cursorPosition() - static_cast<int>(text.size() - kept.size());
            newOSCCAL->setText(kept);
            newOSCCAL->setCursorPosition(std::max(0, cursor));
        }
    });
    // Only the low byte is the user's.
    connect(newOSCCAL, &QLineEdit::editingFinished, this, [this] {
        newOSCCAL->setText(QString::fromStdString(
            oscCalFieldOnExit(newOSCCAL->text().toStdString(), mWorkspace.device.OscBase)));
    });
}

void TOscCalcForm::showView() {
    CurOsc->setText(QString::fromStdString(mView.curOsc));
    OscVal->setText(QString::fromStdString(mView.oscVal));
    OscDiff->setText(QString::fromStdString(mView.oscDiff));
    newOSCCAL->setText(QString::fromStdString(mView.newOscCal));
    setStatusText(mView.status);
    btnOk->setEnabled(mView.okEnabled);
}

void TOscCalcForm::FormActivate() {
    mCancel = false;
    pumpEvents();
    btnCalcClick();
}

void TOscCalcForm::setBusy(bool busy) {
    mRunning = busy;
    btnCalc->setEnabled(!busy);
    btnWriteOSCCAL->setEnabled(!busy);
    if (busy)
        btnOk->setEnabled(false);
}

void TOscCalcForm::btnCalcClick() {
    setBusy(true);
    measureOscillator(mWorkspace, *this, mView);
    setBusy(false);
    showView();
    imageChanged();  // the chip's OSCCAL and BG values are in the buffer now
    btnOk->setFocus();
}

void TOscCalcForm::btnWriteOSCCALClick() {
    setBusy(true);
    mView.newOscCal = newOSCCAL->text().toStdString();
    mOutcome.result = updateOscCal(mWorkspace, *this, mView);
    setBusy(false);
    Progress->setValue(0);
    showView();
    imageChanged();
}

void TOscCalcForm::OkBtnClick() {
    done(QDialog::Accepted);
}

}  // namespace velkaro
