#include "ui/hex_key_filter.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace velkaro {

bool HexKeyFilter::rejects(QChar typed, QChar& upper) {
    upper = typed.unicode() < 0x80 ? typed.toUpper() : typed;
    return upper.unicode() >= 0x47 && upper.unicode() <= 0x7F;
}

bool HexKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->text().size() != 1)
        return false;
    QChar upper;
    if (rejects(key->text().at(0), upper))
        return true;
    if (upper == key->text().at(0))
        return false;
    // Hand the edit the upper-case character instead.
    QKeyEvent replaced(QEvent::KeyPress, key->key(), key->modifiers() & ~Qt::ShiftModifier,
                       QString(upper), key->isAutoRepeat(), key->count());
    QCoreApplication::sendEvent(watched, &replaced);
    return true;
}

}  // namespace velkaro
