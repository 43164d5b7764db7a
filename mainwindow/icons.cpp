#include "mainwindow/icons.h"

#include <QFont>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace lumrik {

namespace {

QString themeNameOf(const QString &key)
{
    static const QHash<QString, QString> names = {
        {"New", "document-new"},       {"Open", "document-open"},   {"Save", "document-save"},
        {"Print", "document-print"},   {"Undo", "edit-undo"},       {"Cut", "edit-cut"},
        {"Copy", "edit-copy"},         {"Paste", "edit-paste"},     {"Search", "edit-find"},
        {"findinfo", "system-search"}, {"Info", "dialog-information"},
    };
    return names.value(key);
}

// Badge colours by group, so related buttons look alike.
QColor badgeColour(const QString &key)
{
    static const QHash<QString, QColor> c = {
        {"Txd2Cnc", QColor(40, 120, 60)},    {"RxdFromCnc", QColor(40, 90, 160)},
        {"Omnum", QColor(120, 70, 150)},     {"Tlista", QColor(120, 70, 150)},
        {"Punkter", QColor(120, 70, 150)},   {"Fix", QColor(170, 100, 30)},
        {"Kalmero", QColor(170, 100, 30)},   {"Threadmill", QColor(90, 90, 90)},
        {"Bultcirkel", QColor(90, 90, 90)},  {"Subprogram", QColor(90, 90, 90)},
        {"Skärdata", QColor(90, 90, 90)},    {"ColorIt", QColor(190, 60, 60)},
        {"ColorItIso", QColor(190, 60, 60)}, {"Mellanslag", QColor(60, 110, 130)},
        {"XYZ", QColor(60, 110, 130)},
    };
    return c.value(key, QColor(70, 90, 120));
}

QString badgeText(const QString &key)
{
    static const QHash<QString, QString> t = {
        {"Omnum", "N#"},    {"Tlista", "T"},      {"Punkter", "0."},  {"Fix", "A|B"},
        {"Kalmero", "K"},   {"Threadmill", "M"},  {"Bultcirkel", "O"}, {"Subprogram", "L"},
        {"Skärdata", "Vc"}, {"ColorIt", "( )"},   {"ColorItIso", "G"}, {"Mellanslag", "A B"},
        {"XYZ", "XYZ"},     {"Sim", "S"},         {"SimTools", "ST"},  {"SimMat", "SM"},
        {"SimMask", "SK"},  {"Info", "i"},        {"findinfo", "?"},   {"New", "+"},
        {"Open", "Ö"},      {"Save", "S"},        {"Print", "P"},      {"Undo", "<"},
        {"Cut", "X"},       {"Copy", "C"},        {"Paste", "V"},      {"Search", "S?"},
    };
    return t.value(key, key.left(2));
}

QPixmap canvas()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    return pm;
}

// A sheet of paper with an arrow, for the transfer buttons.
QIcon transferIcon(bool send)
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 6.5, 14, 20));
    for (int y = 11; y <= 22; y += 4)
        p.drawLine(QPointF(6, y), QPointF(15, y));
    const QColor c = send ? QColor(40, 130, 60) : QColor(40, 90, 170);
    p.setPen(QPen(c, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath arrow;
    if (send) {
        arrow.moveTo(19, 16); arrow.lineTo(29, 16);
        arrow.moveTo(25, 11); arrow.lineTo(29, 16); arrow.lineTo(25, 21);
    } else {
        arrow.moveTo(30, 16); arrow.lineTo(20, 16);
        arrow.moveTo(24, 11); arrow.lineTo(20, 16); arrow.lineTo(24, 21);
    }
    p.setBrush(Qt::NoBrush);
    p.drawPath(arrow);
    return QIcon(pm);
}

// The window split buttons: a pane outline with its dividing line.
QIcon splitIcon(int type)
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setPen(QPen(QColor(50, 60, 80), 2));
    p.setBrush(QColor(235, 240, 248));
    p.drawRect(4, 5, 24, 22);
    p.fillRect(5, 6, 23, 4, QColor(70, 100, 150));
    p.setPen(QPen(QColor(50, 60, 80), 2));
    if (type == 1)
        p.drawLine(16, 10, 16, 26);
    else if (type == 2)
        p.drawLine(5, 18, 27, 18);
    return QIcon(pm);
}

QIcon linedIcon()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawRect(5, 3, 22, 26);
    p.setPen(QPen(QColor(0, 0, 180), 1));
    p.drawLine(10, 4, 10, 28);
    p.drawLine(8, 4, 8, 28);
    p.setPen(QPen(QColor(120, 140, 200), 1));
    for (int y = 8; y < 28; y += 4)
        p.drawLine(6, y, 26, y);
    return QIcon(pm);
}

QIcon badgeIcon(const QString &key)
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QColor c = badgeColour(key);
    p.setPen(QPen(c.darker(130), 1.2));
    p.setBrush(c);
    p.drawRoundedRect(QRectF(2.5, 4.5, 27, 23), 5, 5);
    const QString text = badgeText(key);
    QFont f(QStringLiteral("Sans"));
    f.setBold(true);
    f.setPixelSize(text.size() >= 3 ? 10 : 14);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(2, 4, 28, 24), Qt::AlignCenter, text);
    return QIcon(pm);
}

}

QIcon documentIcon()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath sheet;
    sheet.moveTo(6.5, 2.5);
    sheet.lineTo(20.5, 2.5);
    sheet.lineTo(26.5, 8.5);
    sheet.lineTo(26.5, 29.5);
    sheet.lineTo(6.5, 29.5);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(60, 70, 90), 1.2));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    QFont f(QStringLiteral("Sans"));
    f.setBold(true);
    f.setPixelSize(9);
    p.setFont(f);
    p.setPen(QColor(40, 90, 160));
    p.drawText(QRectF(7, 9, 19, 10), Qt::AlignCenter, QStringLiteral("N10"));
    p.setPen(QColor(190, 60, 60));
    p.drawText(QRectF(7, 18, 19, 10), Qt::AlignCenter, QStringLiteral("G01"));
    return QIcon(pm);
}

QIcon toolbarIcon(const QString &key)
{
    const QString theme = themeNameOf(key);
    if (!theme.isEmpty() && QIcon::hasThemeIcon(theme))
        return QIcon::fromTheme(theme);
    if (key == QLatin1String("Txd2Cnc"))
        return transferIcon(true);
    if (key == QLatin1String("RxdFromCnc"))
        return transferIcon(false);
    if (key == QLatin1String("NoSplit"))
        return splitIcon(0);
    if (key == QLatin1String("SplitV"))
        return splitIcon(1);
    if (key == QLatin1String("SplitH"))
        return splitIcon(2);
    if (key == QLatin1String("Lined"))
        return linedIcon();
    return badgeIcon(key);
}

}
