#include "ui/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace velkaro {

void QtDialogs::information(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox::information(parent, caption, text);
}

void QtDialogs::error(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox::critical(parent, caption, text);
}

bool QtDialogs::okCancel(QWidget* parent, const QString& caption, const QString& text,
                         DefaultButton defaultButton) {
    const QMessageBox::StandardButton focused =
        defaultButton == DefaultButton::Cancel ? QMessageBox::Cancel : QMessageBox::Ok;
    return QMessageBox::information(parent, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                                    focused) == QMessageBox::Ok;
}

bool QtDialogs::yesNo(QWidget* parent, const QString& caption, const QString& text) {
    return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

QString QtDialogs::openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                const QStringList& filters) {
    return QFileDialog::getOpenFileName(parent, caption, dir, filters.join(";;"));
}

QString QtDialogs::saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                const QStringList& filters) {
    // The windows ask their own overwrite question.
    return QFileDialog::getSaveFileName(parent, caption, dir, filters.join(";;"), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

}  // namespace velkaro
