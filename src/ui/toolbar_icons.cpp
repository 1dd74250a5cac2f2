#include "ui/toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace velkaro {

namespace {

constexpr int kSize = 24;

// A chip seen from above: dark body with four legs on each side.
void drawChip(QPainter& p, const QColor& body) {
    p.setPen(QPen(QColor(0x88, 0x88, 0x88), 1.4));
    for (int y : {7, 10, 13, 16}) {
        p.drawLine(QPointF(4.5, y), QPointF(7, y));
        p.drawLine(QPointF(17, y), QPointF(19.5, y));
    }
    p.setPen(QPen(QColor(0x11, 0x11, 0x11), 1));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(7, 4, 10, 16), 1, 1);
    p.setBrush(Qt::NoBrush);
}

void drawArrow(QPainter& p, bool down, const QColor& color) {
    p.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const qreal tip = down ? 17 : 8;
    const qreal tail = down ? 8 : 17;
    const qreal wing = down ? 13.5 : 11.5;
    p.drawLine(QPointF(12, tail), QPointF(12, tip));
    p.drawPolyline(QPolygonF({QPointF(8.5, wing), QPointF(12, tip), QPointF(15.5, wing)}));
}

void draw(QPainter& p, const QString& name) {
    if (name == QLatin1String("open")) {
        p.setPen(QPen(QColor(0x8a, 0x65, 0x12), 1.2));
        p.setBrush(QColor(0xf2, 0xc1, 0x4e));
        p.drawPolygon(QPolygonF({QPointF(2, 6), QPointF(9, 6), QPointF(11, 8), QPointF(21, 8),
                                 QPointF(21, 19), QPointF(2, 19)}));
        p.setBrush(QColor(0xf7, 0xd7, 0x79));
        p.drawPolygon(
            QPolygonF({QPointF(2, 19), QPointF(5, 11), QPointF(23, 11), QPointF(20, 19)}));
    } else if (name == QLatin1String("read")) {
        drawChip(p, QColor(0x3b, 0x3b, 0x3b));
        drawArrow(p, true, QColor(0x4f, 0xc3, 0xf7));
    } else if (name == QLatin1String("write")) {
        drawChip(p, QColor(0x3b, 0x3b, 0x3b));
        drawArrow(p, false, QColor(0xe5, 0x73, 0x73));
    } else if (name == QLatin1String("verify")) {
        drawChip(p, QColor(0x3b, 0x3b, 0x3b));
        p.setPen(QPen(QColor(0x81, 0xc7, 0x84), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(8.5, 12.5), QPointF(11, 15), QPointF(15.5, 10)}));
    } else if (name == QLatin1String("blank")) {
        drawChip(p, QColor(0xf4, 0xf4, 0xf4));
        p.setPen(QPen(QColor(0x1e, 0x88, 0xe5), 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawEllipse(QPointF(12.5, 12), 3.5, 3.5);
        p.drawLine(QPointF(15, 14.5), QPointF(19, 18.5));
    } else if (name == QLatin1String("erase")) {
        drawChip(p, QColor(0x3b, 0x3b, 0x3b));
        p.setPen(QPen(QColor(0xff, 0x8a, 0x65), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9, 9), QPointF(15, 15));
        p.drawLine(QPointF(15, 9), QPointF(9, 15));
    } else if (name == QLatin1String("clear")) {
        p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1.2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 3, 13, 17));
        p.setPen(QPen(QColor(0xaa, 0xaa, 0xaa), 1.2));
        for (int y : {7, 10, 13})
            p.drawLine(QPointF(7, y), QPointF(y == 13 ? 11 : 14, y));
        p.setPen(QPen(QColor(0xad, 0x14, 0x57), 1.1));
        p.setBrush(QColor(0xf4, 0x8f, 0xb1));
        p.drawPolygon(
            QPolygonF({QPointF(13, 21), QPointF(21, 13), QPointF(18, 10), QPointF(10, 18)}));
    } else if (name == QLatin1String("program")) {
        drawChip(p, QColor(0x3b, 0x3b, 0x3b));
        p.setPen(QPen(QColor(0xff, 0xd5, 0x4f), 1));
        p.setBrush(QColor(0xff, 0xd5, 0x4f));
        p.drawPolygon(QPolygonF({QPointF(10, 8), QPointF(15, 12), QPointF(10, 16)}));
    }
}

}  // namespace

QIcon toolbarIcon(const QString& name) {
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(kSize * scale, kSize * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        draw(painter, name);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace velkaro
