#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace velkaro {

// Every modal box and file dialog the windows show goes through this, so tests answer
// them instead of a user (a test must never block on a modal box).
// The button an OK/Cancel box gives the focus to (Enter presses it).
enum class DefaultButton { Ok, Cancel };

class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual void information(QWidget* parent, const QString& caption, const QString& text) = 0;
    virtual void error(QWidget* parent, const QString& caption, const QString& text) = 0;
    // OK/Cancel box; true for OK.
    virtual bool okCancel(QWidget* parent, const QString& caption, const QString& text,
                          DefaultButton defaultButton) = 0;
    // Yes/No box; true for Yes.
    virtual bool yesNo(QWidget* parent, const QString& caption, const QString& text) = 0;
    // File dialogs; an empty result means the user cancelled. `filters` are Qt name
    // filters ("HEXファイル (*.hex)"), the first one selected.
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QStringList& filters) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QStringList& filters) = 0;
};

// The real boxes: QMessageBox and QFileDialog.
class QtDialogs : public Dialogs {
public:
    void information(QWidget* parent, const QString& caption, const QString& text) override;
    void error(QWidget* parent, const QString& caption, const QString& text) override;
    bool okCancel(QWidget* parent, const QString& caption, const QString& text,
                  DefaultButton defaultButton) override;
    bool yesNo(QWidget* parent, const QString& caption, const QString& text) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QStringList& filters) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QStringList& filters) override;
};

}  // namespace velkaro
