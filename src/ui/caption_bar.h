#pragma once

#include <QFont>
#include <QLabel>
#include <QPalette>

namespace velkaro {

// A bold caption bar in the active-caption colours above a view or a group of controls.
inline QLabel* captionBar(const QString& text, QWidget* parent) {
    auto* bar = new QLabel(text, parent);
    bar->setAutoFillBackground(true);
    bar->setContentsMargins(4, 2, 4, 2);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::WindowText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    bar->setPalette(palette);
    QFont font = bar->font();
    font.setBold(true);
    bar->setFont(font);
    return bar;
}

}  // namespace velkaro
