// The pictures of the plug-in toolbar: 31 pictures of 20 x 20 pixels, eight
// pictograms in four colours, drawn here so that they look the same on every
// desktop.
#include "mainwindow/pluginhost.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>
#include <cmath>

namespace lumrik {

namespace {

void drawPictogram(QPainter &p, int kind, const QColor &c)
{
    const QPen pen(c.darker(140), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(c);
    switch (kind) {
    case 0: { // gear
        QPainterPath gear;
        for (int i = 0; i < 8; ++i) {
            const double a = i * M_PI / 4;
            gear.addEllipse(QPointF(10 + 6.5 * std::cos(a), 10 + 6.5 * std::sin(a)), 1.8, 1.8);
        }
        gear.addEllipse(QPointF(10, 10), 6, 6);
        p.drawPath(gear.simplified());
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(10, 10), 2.2, 2.2);
        break;
    }
    case 1: { // arrow to the right
        QPainterPath a;
        a.moveTo(3, 8); a.lineTo(11, 8); a.lineTo(11, 4); a.lineTo(17, 10);
        a.lineTo(11, 16); a.lineTo(11, 12); a.lineTo(3, 12); a.closeSubpath();
        p.drawPath(a);
        break;
    }
    case 2: { // arrow to the left
        QPainterPath a;
        a.moveTo(17, 8); a.lineTo(9, 8); a.lineTo(9, 4); a.lineTo(3, 10);
        a.lineTo(9, 16); a.lineTo(9, 12); a.lineTo(17, 12); a.closeSubpath();
        p.drawPath(a);
        break;
    }
    case 3: // plus
        p.drawRoundedRect(QRectF(8, 3, 4, 14), 1, 1);
        p.drawRoundedRect(QRectF(3, 8, 14, 4), 1, 1);
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(8.5, 8.5, 3, 3));
        break;
    case 4: // sheet of paper with lines
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 2.5, 12, 15));
        p.setPen(QPen(c, 1.5));
        for (int y = 6; y <= 14; y += 3)
            p.drawLine(QPointF(6.5, y), QPointF(13.5, y));
        break;
    case 5: { // diamond
        QPainterPath d;
        d.moveTo(10, 2); d.lineTo(18, 10); d.lineTo(10, 18); d.lineTo(2, 10); d.closeSubpath();
        p.drawPath(d);
        break;
    }
    case 6: // check mark
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(c, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(3.5, 10.5), QPointF(8, 15), QPointF(16.5, 4.5)}));
        break;
    default: { // star
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const double r = (i % 2) ? 3.4 : 8.0;
            const double a = -M_PI / 2 + i * M_PI / 5;
            star << QPointF(10 + r * std::cos(a), 10.5 + r * std::sin(a));
        }
        p.drawPolygon(star);
        break;
    }
    }
}

}

QIcon pluginPicture(int number)
{
    if (number < 1 || number > 31)
        return {};
    static std::array<QIcon, 31> cache;
    QIcon &icon = cache[size_t(number - 1)];
    if (icon.isNull()) {
        static const QColor colours[] = {QColor(40, 110, 180), QColor(40, 140, 70), QColor(200, 120, 30),
                                         QColor(170, 50, 60)};
        QPixmap pm(20, 20);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        drawPictogram(p, (number - 1) % 8, colours[(number - 1) / 8]);
        p.end();
        icon = QIcon(pm);
    }
    return icon;
}

}
