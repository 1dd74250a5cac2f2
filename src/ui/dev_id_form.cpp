#include "ui/dev_id_form.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "operations/operation_messages.h"

namespace velkaro {

namespace {

QLabel* panel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumWidth(120);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

TDevIDForm::TDevIDForm(Workspace& workspace, Dialogs& dialogs, QWidget* parent)
    : OperationForm(workspace, dialogs, parent, msg::kDevIdCaption) {
    auto* grid = new QGridLayout;
    DevID = panel(this);
    RevNo = panel(this);
    DevName = panel(this);
    grid->addWidget(new QLabel(toQString(msg::kDevIdLabel), this), 0, 0);
    grid->addWidget(DevID, 0, 1);
    grid->addWidget(new QLabel(toQString(msg::kDevIdRevisionLabel), this), 1, 0);
    grid->addWidget(RevNo, 1, 1);
    grid->addWidget(new QLabel(toQString(msg::kDevIdDeviceLabel), this), 2, 0);
    grid->addWidget(DevName, 2, 1);
    mBody->addLayout(grid);
    mDeferActivation = true;

    Progress->hide();
    CancelBtn->hide();
    btnOk = OkBtn;
    btnOk->setText(QStringLiteral("OK"));
    ReCheckBtn = new QPushButton(toQString(msg::kDevIdRecheck), this);
    ReCheckBtn->setToolTip(toQString(msg::kDevIdRecheckHint));
    mButtons->insertWidget(1, ReCheckBtn);
    connect(ReCheckBtn, &QPushButton::clicked, this, [this] { FormActivate(); });
}

void TDevIDForm::FormActivate() {
    mCancel = false;
    mView = showDeviceId(mWorkspace, *this);
    DevID->setText(QString::fromStdString(mView.DevID));
    RevNo->setText(QString::fromStdString(mView.RevNo));
    DevName->setText(QString::fromStdString(mView.DevName));
    btnOk->setFocus();
}

void TDevIDForm::OkBtnClick() {
    done(QDialog::Accepted);
}

}  // namespace velkaro
