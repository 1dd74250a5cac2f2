#pragma once

#include <QIcon>
#include <QString>

namespace velkaro {

// The toolbar's glyphs, drawn here so that no image plug-in is needed: "open", "read",
// "write", "verify", "blank", "erase", "clear", "program".
QIcon toolbarIcon(const QString& name);

}  // namespace velkaro
