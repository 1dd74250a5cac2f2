#include "scripted_dialogs.h"

namespace velkaro::test {

void ScriptedDialogs::information(QWidget*, const QString& caption, const QString& text) {
    shown.push_back({"information", caption, text, false, {}});
}

void ScriptedDialogs::error(QWidget*, const QString& caption, const QString& text) {
    shown.push_back({"error", caption, text, false, {}});
}

bool ScriptedDialogs::okCancel(QWidget*, const QString& caption, const QString& text,
                               DefaultButton defaultButton) {
    shown.push_back({"okCancel", caption, text, defaultButton == DefaultButton::Cancel, {}});
    return nextAnswer();
}

bool ScriptedDialogs::yesNo(QWidget*, const QString& caption, const QString& text) {
    shown.push_back({"yesNo", caption, text, false, {}});
    return nextAnswer();
}

QString ScriptedDialogs::openFileName(QWidget*, const QString& caption, const QString& dir,
                                      const QStringList& filters) {
    shown.push_back({"open", caption, filters.join(";;"), false, dir});
    return nextFileName();
}

QString ScriptedDialogs::saveFileName(QWidget*, const QString& caption, const QString& dir,
                                      const QStringList& filters) {
    shown.push_back({"save", caption, filters.join(";;"), false, dir});
    return nextFileName();
}

QStringList ScriptedDialogs::texts() const {
    QStringList result;
    for (const Shown& s : shown)
        result << s.text;
    return result;
}

bool ScriptedDialogs::nextAnswer() {
    if (answers.empty())
        return false;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
}

QString ScriptedDialogs::nextFileName() {
    if (fileNames.empty())
        return {};
    QString name = fileNames.front();
    fileNames.pop_front();
    return name;
}

}  // namespace velkaro::test
