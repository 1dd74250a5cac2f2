#pragma once

#include <QObject>

namespace velkaro {

// The key filter of the hexadecimal edits (ID, OSCCAL, BG, configuration words): a typed
// letter is taken in upper case, and letters from G on (codes 0x47 to 0x7F once upper-cased)
// are discarded. Digits, A to F, control keys and characters from 0x80 on pass to the
// edit's input mask.
class HexKeyFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Whether the character is discarded; `upper` receives the upper-case form.
    static bool rejects(QChar typed, QChar& upper);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace velkaro
