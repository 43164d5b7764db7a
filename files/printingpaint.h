#pragma once
// Painting of print layouts (printing.h) on a printer or an image, and text
// measuring with the fonts of such a device. The same paint code serves the
// printer and the page images, so what an image shows is what is printed.
#include "files/printing.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QSizeF>
#include <memory>
#include <vector>

class QPainter;
class QPaintDevice;
class QPrinter;

namespace lumrik {

// The font of a print font, with a fallback of the right kind when the
// family is not installed (fixed pitch for the program text).
QFont toQFont(const PrintFont &font);

// Measures with the fonts as a paint device renders them; the page is the
// printable area given in twips.
class DeviceMetrics : public PrintMetrics {
public:
    DeviceMetrics(QPaintDevice *device, const QSizeF &pageTwips);
    double pageWidth() const override { return page_.width(); }
    double pageHeight() const override { return page_.height(); }
    double textWidth(const QString &text, const PrintFont &font) const override;
    double textHeight(const QString &text, const PrintFont &font) const override;

private:
    const QFontMetricsF &metricsOf(const PrintFont &font) const;
    QPaintDevice *device_;
    QSizeF page_;
    double dpiX_, dpiY_;
    mutable std::vector<std::pair<PrintFont, QFontMetricsF>> cache_;
};

// The printable area of the printer in twips.
QSizeF printableTwips(const QPrinter &printer);

// Paints one page with the painter; its device has the given dots per inch
// and its origin at the corner of the printable area.
void paintPrintPage(QPainter &painter, const PrintPage &page, double dpiX, double dpiY);

// A page as an image: white paper of the layout's page size at `dpi`.
// `pageIndex` counts from 0.
QImage renderPrintPage(const PrintLayout &layout, int pageIndex, int dpi);
// An empty image of a printable area at `dpi` (for measuring before a layout exists).
QImage printImage(const QSizeF &pageTwips, int dpi);

// A print on the printer a page at a time, so that the window's event loop
// can run between the pages. The layout must outlive it; a job left
// unfinished is abandoned (QPrinter::abort) when it goes.
class PrinterPages {
public:
    PrinterPages(QPrinter &printer, const PrintLayout &layout);
    ~PrinterPages();
    PrinterPages(const PrinterPages &) = delete;
    PrinterPages &operator=(const PrinterPages &) = delete;

    // Starts the job: "" when it started, else why not.
    QString begin();
    int pageCount() const { return int(layout_.pages.size()); }
    // The page painted next (from 0); pageCount() when all are painted.
    int next() const { return next_; }
    bool allPainted() const { return next_ >= pageCount(); }
    // Paints the next page: "" or why the job stopped there (it is over then).
    QString paintNext();
    // Ends the job once every page is painted: "" when it went to the
    // printer whole, else why it may be incomplete.
    QString finish();
    // Stops the job before page next(): the message of the abort.
    QString abort();

private:
    QPrinter &printer_;
    const PrintLayout &layout_;
    std::unique_ptr<QPainter> painter_;
    QString where_;
    double dpiX_ = 0, dpiY_ = 0;
    int next_ = 0;
};

}
