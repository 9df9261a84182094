#include "Modules/DemoServices/uDemoIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// Draws the picture in white in a square of side 1 (the painter is scaled to the icon).
void drawPicture(QPainter &painter, TDemoPicture picture)
{
    const QPen line(Qt::white, 0.07, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(line);
    painter.setBrush(Qt::NoBrush);
    switch (picture) {
    case TDemoPicture::Document: // a sheet with lines
        painter.drawRect(QRectF(0.27, 0.18, 0.46, 0.64));
        for (double y : {0.35, 0.5, 0.65})
            painter.drawLine(QPointF(0.36, y), QPointF(0.64, y));
        break;
    case TDemoPicture::Invoice: // a sheet with a total line and a mark
        painter.drawRect(QRectF(0.27, 0.18, 0.46, 0.64));
        painter.drawLine(QPointF(0.36, 0.34), QPointF(0.64, 0.34));
        painter.drawLine(QPointF(0.36, 0.47), QPointF(0.64, 0.47));
        painter.drawLine(QPointF(0.45, 0.66), QPointF(0.64, 0.66));
        break;
    case TDemoPicture::Person: // head and shoulders
        painter.setBrush(Qt::white);
        painter.drawEllipse(QPointF(0.5, 0.36), 0.14, 0.14);
        painter.drawChord(QRectF(0.24, 0.56, 0.52, 0.44), 0, 180 * 16);
        break;
    case TDemoPicture::People: // two persons
        painter.setBrush(Qt::white);
        for (double x : {0.36, 0.64}) {
            painter.drawEllipse(QPointF(x, 0.38), 0.1, 0.1);
            painter.drawChord(QRectF(x - 0.17, 0.54, 0.34, 0.34), 0, 180 * 16);
        }
        break;
    case TDemoPicture::Box: { // a crate seen from the front, with its lid
        painter.drawRect(QRectF(0.22, 0.36, 0.56, 0.42));
        painter.drawLine(QPointF(0.22, 0.36), QPointF(0.3, 0.22));
        painter.drawLine(QPointF(0.3, 0.22), QPointF(0.7, 0.22));
        painter.drawLine(QPointF(0.7, 0.22), QPointF(0.78, 0.36));
        painter.drawLine(QPointF(0.5, 0.36), QPointF(0.5, 0.78));
        break;
    }
    case TDemoPicture::Chart: // three bars on a base line
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(0.26, 0.5, 0.12, 0.28));
        painter.drawRect(QRectF(0.44, 0.3, 0.12, 0.48));
        painter.drawRect(QRectF(0.62, 0.42, 0.12, 0.36));
        break;
    case TDemoPicture::Coin: // a coin with a stroke
        painter.drawEllipse(QPointF(0.5, 0.5), 0.27, 0.27);
        painter.drawLine(QPointF(0.5, 0.34), QPointF(0.5, 0.66));
        break;
    }
}

} // namespace

QIcon DemoIcon(const QColor &colour, TDemoPicture picture)
{
    QIcon icon;
    for (int size : {16, 24, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(colour);
        painter.setPen(colour.darker(140));
        painter.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size / 5.0, size / 5.0);
        painter.scale(size, size);
        drawPicture(painter, picture);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
