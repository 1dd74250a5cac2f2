#pragma once

#include <deque>

#include <QString>
#include <QStringList>

#include "ui/dialogs.h"

namespace velkaro::test {

// Answers the windows' boxes from queues and records what was shown, so no test blocks
// on a modal box. An unanswered question counts as Cancel / No; an unanswered file dialog
// as cancelled.
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        QString kind;  // "information", "error", "okCancel", "yesNo", "open", "save"
        QString caption;
        QString text;                  // message text, or the filters joined with ";;"
        bool cancelIsDefault = false;  // "okCancel" with Cancel as its default button
        QString dir;                   // file dialogs: where they start
    };

    std::deque<bool> answers;
    std::deque<QString> fileNames;
    std::vector<Shown> shown;

    void information(QWidget*, const QString& caption, const QString& text) override;
    void error(QWidget*, const QString& caption, const QString& text) override;
    bool okCancel(QWidget*, const QString& caption, const QString& text,
                  DefaultButton defaultButton) override;
    bool yesNo(QWidget*, const QString& caption, const QString& text) override;
    QString openFileName(QWidget*, const QString& caption, const QString& dir,
                         const QStringList& filters) override;
    QString saveFileName(QWidget*, const QString& caption, const QString& dir,
                         const QStringList& filters) override;

    // Texts of every box shown, in order.
    QStringList texts() const;

private:
    bool nextAnswer();
    QString nextFileName();
};

}  // namespace velkaro::test
