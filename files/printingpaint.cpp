#include "files/printingpaint.h"

#include <QFontDatabase>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <QPrinter>
#include <cmath>

namespace lumrik {

QFont toQFont(const PrintFont &font)
{
    QFont f(font.family);
    f.setPointSize(std::max(1, font.size));
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setUnderline(false);
    f.setStrikeOut(false);
    if (!QFontDatabase::hasFamily(font.family)) {
        const bool sans = font.family.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0
                          || font.family.compare(QLatin1String("Verdana"), Qt::CaseInsensitive) == 0;
        f.setStyleHint(sans ? QFont::SansSerif : QFont::TypeWriter);
        if (!sans)
            f.setFixedPitch(true);
    }
    return f;
}

DeviceMetrics::DeviceMetrics(QPaintDevice *device, const QSizeF &pageTwips)
    : device_(device), page_(pageTwips), dpiX_(device->logicalDpiX()), dpiY_(device->logicalDpiY())
{
}

const QFontMetricsF &DeviceMetrics::metricsOf(const PrintFont &font) const
{
    for (const auto &entry : cache_)
        if (entry.first == font)
            return entry.second;
    cache_.emplace_back(font, QFontMetricsF(toQFont(font), device_));
    return cache_.back().second;
}

double DeviceMetrics::textWidth(const QString &text, const PrintFont &font) const
{
    if (text.isEmpty())
        return 0;
    return metricsOf(font).horizontalAdvance(text) * kTwipsPerInch / dpiX_;
}

double DeviceMetrics::textHeight(const QString &, const PrintFont &font) const
{
    return metricsOf(font).height() * kTwipsPerInch / dpiY_;
}

QSizeF printableTwips(const QPrinter &printer)
{
    const QRectF r = printer.pageRect(QPrinter::DevicePixel);
    const double res = printer.resolution();
    return {r.width() * kTwipsPerInch / res, r.height() * kTwipsPerInch / res};
}

void paintPrintPage(QPainter &painter, const PrintPage &page, double dpiX, double dpiY)
{
    const double sx = dpiX / kTwipsPerInch;
    const double sy = dpiY / kTwipsPerInch;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    for (const PrintItem &item : page.items) {
        if (item.kind == PrintItem::Rect) {
            // Pen widths are counted in the dots of a 600 dpi printer.
            QPen pen(Qt::black);
            pen.setWidthF(std::max(1.0, item.penWidth * dpiX / 600.0));
            pen.setJoinStyle(Qt::MiterJoin);
            painter.setPen(pen);
            painter.setBrush(item.filled ? QBrush(item.fillColor) : QBrush(Qt::NoBrush));
            const QRectF r(item.x * sx, item.y * sy, item.w * sx, item.h * sy);
            if (item.h == 0 || item.w == 0)
                painter.drawLine(r.topLeft(), r.bottomRight());
            else
                painter.drawRect(r);
        }
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Qt::black);
    const PrintFont *current = nullptr;
    double ascent = 0;
    for (const PrintItem &item : page.items) {
        if (item.kind != PrintItem::Text)
            continue;
        if (!current || !(*current == item.font)) {
            painter.setFont(toQFont(item.font));
            ascent = painter.fontMetrics().ascent();
            current = &item.font;
        }
        painter.drawText(QPointF(item.x * sx, item.y * sy + ascent), item.text);
    }
    painter.restore();
}

QImage printImage(const QSizeF &pageTwips, int dpi)
{
    const int w = std::max(1, int(std::lround(pageTwips.width() * dpi / kTwipsPerInch)));
    const int h = std::max(1, int(std::lround(pageTwips.height() * dpi / kTwipsPerInch)));
    QImage image(w, h, QImage::Format_RGB32);
    const int dotsPerMeter = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    return image;
}

QImage renderPrintPage(const PrintLayout &layout, int pageIndex, int dpi)
{
    QImage image = printImage(QSizeF(layout.pageWidth, layout.pageHeight), dpi);
    if (pageIndex < 0 || pageIndex >= int(layout.pages.size()))
        return image;
    QPainter painter(&image);
    paintPrintPage(painter, layout.pages[size_t(pageIndex)], image.logicalDpiX(), image.logicalDpiY());
    painter.end();
    return image;
}

PrinterPages::PrinterPages(QPrinter &printer, const PrintLayout &layout)
    : printer_(printer), layout_(layout), painter_(std::make_unique<QPainter>())
{
    where_ = printer.outputFileName().isEmpty()
                 ? (printer.printerName().isEmpty() ? QStringLiteral("skrivaren")
                                                    : QStringLiteral("skrivaren \"%1\"").arg(printer.printerName()))
                 : QStringLiteral("filen \"%1\"").arg(printer.outputFileName());
}

PrinterPages::~PrinterPages()
{
    if (painter_->isActive()) {
        printer_.abort();
        painter_->end();
    }
}

QString PrinterPages::begin()
{
    if (!painter_->begin(&printer_))
        return QStringLiteral("Utskriften kunde inte startas på %1.\nKontrollera skrivaren och försök igen.").arg(where_);
    dpiX_ = printer_.logicalDpiX();
    dpiY_ = printer_.logicalDpiY();
    return {};
}

QString PrinterPages::paintNext()
{
    const int i = next_++;
    if (i > 0 && !printer_.newPage()) {
        painter_->end();
        return QStringLiteral("Utskriften till %1 avbröts av ett fel på sida %2.").arg(where_).arg(i + 1);
    }
    paintPrintPage(*painter_, layout_.pages[size_t(i)], dpiX_, dpiY_);
    return {};
}

QString PrinterPages::finish()
{
    if (!painter_->end() || printer_.printerState() == QPrinter::Error)
        return QStringLiteral("Utskriften till %1 kunde inte avslutas; den kan vara ofullständig.").arg(where_);
    return {};
}

QString PrinterPages::abort()
{
    printer_.abort();
    painter_->end();
    return QStringLiteral("Utskriften avbröts. Sidorna från och med sida %1 skrevs inte ut.").arg(next_ + 1);
}

}
