#include "programicon.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace tv {

namespace {

// The sixteen colours of the classic display palette.
QList<QRgb> sixteenColours()
{
    return {qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
            qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
            qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
            qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
}

} // namespace

QPixmap programIcon()
{
    QImage img(64, 64, QImage::Format_ARGB32);
    img.fill(qRgb(192, 192, 192));
    {
        QPainter p(&img);
        // The vault body.
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(0, 0, 128));
        p.drawRect(6, 8, 51, 47);
        p.setBrush(QColor(0, 128, 128));
        p.drawRect(10, 12, 43, 39);
        // Hinges.
        p.setBrush(QColor(128, 128, 128));
        p.drawRect(7, 16, 3, 7);
        p.drawRect(7, 40, 3, 7);
        // The dial.
        p.setBrush(QColor(192, 192, 192));
        p.drawEllipse(QPoint(31, 31), 13, 13);
        p.setBrush(QColor(255, 255, 0));
        p.drawEllipse(QPoint(31, 31), 8, 8);
        p.setPen(QPen(QColor(128, 0, 0), 2));
        p.drawLine(31, 31, 31, 24);
        p.drawLine(31, 31, 37, 34);
        // Feet.
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::black);
        p.drawRect(10, 55, 6, 3);
        p.drawRect(47, 55, 6, 3);
        // A highlight on the door.
        p.setPen(QPen(Qt::white, 1));
        p.drawLine(11, 13, 52, 13);
        p.drawLine(11, 13, 11, 50);
    }
    return QPixmap::fromImage(img.convertToFormat(QImage::Format_Indexed8, sixteenColours(), Qt::ThresholdDither));
}

} // namespace tv
