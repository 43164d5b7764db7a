#include "files/printing.h"

#include "core/codepage.h"
#include "core/errors.h"
#include "core/fonts.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/nctext.h"
#include "core/ncdocument.h"
#include "core/sessionstate.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace lumrik {

namespace {

// Whole twips as the classic integer assignment rounds them (halves to even).
int whole(double v) { return int(std::nearbyint(v)); }

const PrintFont kHeaderFont{QStringLiteral("Verdana"), 12, true, false};
const PrintFont kFooterFont{QStringLiteral("Arial"), 10, false, false};

// Measuring texts.
const QString kDocLineSample = QStringLiteral("ÅMWgq.");
const QString kListLineSample = QStringLiteral("KLONDE");

// A title that does not fit in `room` keeps its end (the file name) and
// loses its beginning, marked by "...".
QString fitTitle(const PrintCanvas &c, const QString &title, double room)
{
    if (room <= 0 || c.TextWidth(title) <= room)
        return title;
    const QString dots = QStringLiteral("...");
    QString t = title;
    while (!t.isEmpty() && c.TextWidth(dots + t) > room)
        t.remove(0, 1);
    return dots + t;
}

}

// ---------------------------------------------------------------------------
// Pages and the canvas

QString PrintPage::lineAt(double y) const
{
    std::vector<const PrintItem *> hits;
    for (const PrintItem &i : items)
        if (i.kind == PrintItem::Text && std::abs(i.y - y) < 0.5)
            hits.push_back(&i);
    std::stable_sort(hits.begin(), hits.end(), [](const PrintItem *a, const PrintItem *b) { return a->x < b->x; });
    QString out;
    for (const PrintItem *i : hits)
        out += i->text;
    return out;
}

QStringList PrintPage::texts() const
{
    QStringList out;
    for (const PrintItem &i : items)
        if (i.kind == PrintItem::Text)
            out << i.text;
    return out;
}

PrintOptions PrintOptions::fromSettings()
{
    PrintOptions o;
    const PrintValues &p = programSession().print().values();
    o.fontName = RkFixedFontFamily(p.font.isEmpty() ? QStringLiteral("Courier New") : p.font);
    o.fontSize = p.fontSize > 0 ? p.fontSize : 10;
    o.columns = p.columns;
    o.boldComments = p.boldComments;
    o.italicComments = p.italicComments;
    o.printTime = p.time;
    return o;
}

PrintCanvas::PrintCanvas(const PrintMetrics &metrics) : metrics_(metrics)
{
    layout_.pageWidth = metrics.pageWidth();
    layout_.pageHeight = metrics.pageHeight();
    layout_.pages.emplace_back();
}

void PrintCanvas::print(const QString &text, bool feed)
{
    if (!text.isEmpty()) {
        PrintItem item;
        item.kind = PrintItem::Text;
        item.x = CurrentX;
        item.y = CurrentY;
        item.text = text;
        item.font = font;
        layout_.pages.back().items.push_back(std::move(item));
    }
    if (feed)
        lineFeed();
    else
        CurrentX += TextWidth(text);
}

void PrintCanvas::lineFeed()
{
    CurrentY += TextHeight(QStringLiteral("X"));
    CurrentX = 0;
}

void PrintCanvas::rectangle(double x1, double y1, double x2, double y2)
{
    PrintItem item;
    item.kind = PrintItem::Rect;
    item.x = std::min(x1, x2);
    item.y = std::min(y1, y2);
    item.w = std::abs(x2 - x1);
    item.h = std::abs(y2 - y1);
    item.penWidth = DrawWidth;
    item.filled = FillSolid;
    item.fillColor = FillColor;
    layout_.pages.back().items.push_back(std::move(item));
}

void PrintCanvas::NewPage()
{
    layout_.pages.emplace_back();
    CurrentX = 0;
    CurrentY = 0;
}

PrintLayout PrintCanvas::take()
{
    PrintLayout out = std::move(layout_);
    layout_ = {};
    layout_.pageWidth = metrics_.pageWidth();
    layout_.pageHeight = metrics_.pageHeight();
    layout_.pages.emplace_back();
    return out;
}

// ---------------------------------------------------------------------------
// Shared helpers

std::vector<PrintLine> wrapPrintLine(const PrintLine &line, double maxWidth, const PrintMetrics &metrics,
                                     const QString &continuation)
{
    double total = 0;
    for (const PrintRun &r : line)
        total += metrics.textWidth(r.text, r.font);
    if (total <= maxWidth + 0.5 || line.empty())
        return {line};

    struct Ch {
        QChar c;
        int run;
        double w;
    };
    std::vector<Ch> chars;
    for (int r = 0; r < int(line.size()); ++r)
        for (QChar c : line[size_t(r)].text)
            chars.push_back({c, r, metrics.textWidth(QString(c), line[size_t(r)].font)});

    const PrintFont &firstFont = line.front().font;
    const double prefixWidth = continuation.isEmpty() ? 0 : metrics.textWidth(continuation, firstFont);
    std::vector<PrintLine> out;
    size_t pos = 0;
    const size_t n = chars.size();
    while (pos < n) {
        const bool first = out.empty();
        const double room = maxWidth - (first ? 0 : prefixWidth);
        double w = 0;
        size_t k = pos;
        size_t lastBlank = SIZE_MAX;
        while (k < n) {
            if (w + chars[k].w > room + 0.5 && k > pos)
                break;
            w += chars[k].w;
            if (chars[k].c == QLatin1Char(' '))
                lastBlank = k;
            ++k;
        }
        size_t end = k;
        if (k < n && lastBlank != SIZE_MAX && lastBlank >= pos)
            end = lastBlank + 1;

        PrintLine printed;
        if (!first && !continuation.isEmpty())
            printed.push_back({continuation, firstFont});
        for (size_t i = pos; i < end; ++i) {
            const PrintFont &f = line[size_t(chars[i].run)].font;
            if (printed.empty() || i == pos || chars[i].run != chars[i - 1].run)
                printed.push_back({QString(), f});
            printed.back().text += chars[i].c;
        }
        out.push_back(std::move(printed));
        pos = end;
    }
    return out;
}

QString printPageWord()
{
    return gbNotSwedish ? RkGetLanguage(671) + QLatin1Char(' ') : QStringLiteral("Sida - ");
}

QString printDateWord()
{
    return gbNotSwedish ? RkGetLanguage(670) + QLatin1Char(' ') : QStringLiteral("Utskrivet : ");
}

int mmToTwips(int mm)
{
    const double t = std::nearbyint(double(mm) * kTwipsPerMm);
    if (t > 32767 || t < -32768)
        throw RkExpected(kErrOverflow,
                      QStringLiteral("Marginalen %1 mm är för stor för utskriften (högst 577 mm).").arg(mm));
    return int(t);
}

// ---------------------------------------------------------------------------
// Document print

CommentParts splitCommentParts(const QString &line)
{
    CommentParts p;
    const qsizetype a = line.indexOf(QLatin1Char('('));
    if (a < 0) {
        p.code = line;
        return p;
    }
    p.code = line.left(a);
    const qsizetype b = line.indexOf(QLatin1Char(')'), a + 1);
    if (b < 0) {
        p.comment = line.mid(a);
    } else {
        p.comment = line.mid(a, b - a + 1);
        p.rest = line.mid(b + 1);
    }
    return p;
}

int MnPrintHeader(PrintCanvas &c, const QString &title, int left, int top, int right)
{
    c.font = kHeaderFont;
    const QString shown = fitTitle(c, title, c.ScaleWidth() - left - right);
    c.CurrentX = c.ScaleWidth() - c.TextWidth(shown) - right;
    c.CurrentY = top;
    c.print(shown, true);
    c.lineFeed();
    c.DrawWidth = 5;
    c.rectangle(left, c.CurrentY, c.ScaleWidth() - right, c.CurrentY);
    c.CurrentX = 0;
    c.lineFeed();
    return whole(c.CurrentY);
}

int MnPrintFooter(PrintCanvas &c, const QString &pageTotal, const QDateTime &printTime, int left, int bottom,
                  int right, bool measuring)
{
    c.font = kFooterFont;
    const QString pageLine = printPageWord() + QString::number(c.Page()) + QStringLiteral(" / ") + pageTotal
                             + QLatin1Char(' ');
    const double lineHeight = c.TextHeight(pageLine);
    const int height = whole(3 * lineHeight);
    c.CurrentX = c.ScaleWidth() - c.TextWidth(pageLine) - right;
    c.CurrentY = c.ScaleHeight() - height - bottom;
    if (!measuring)
        c.print(pageLine, true);
    const QString dateLine = printDateWord() + RkGeneralDate(printTime);
    c.CurrentX = (c.ScaleWidth() - c.TextWidth(dateLine)) / 2;
    c.CurrentY = c.ScaleHeight() - height + lineHeight - bottom;
    if (!measuring) {
        c.print(dateLine, true);
        const double y = c.ScaleHeight() - height - bottom;
        c.rectangle(left, y, c.ScaleWidth() - right, y);
    }
    return height;
}

PrintLayout layoutDocument(const QStringList &lines, const QString &title, const DocumentMargins &margins,
                           const PrintOptions &options, const QDateTime &printTime, const PrintMetrics &metrics,
                           int *pageTotal)
{
    const int left = mmToTwips(margins.left);
    const int top = mmToTwips(margins.top);
    const int right = mmToTwips(margins.right);
    const int bottom = mmToTwips(margins.bottom);
    // A setting below one column prints as one column.
    const int columns = std::max(1, options.columns);

    PrintCanvas c(metrics);
    const PrintFont plain = options.plainFont();
    const PrintFont comment = options.commentFont();
    const int lineHeight = whole(metrics.textHeight(kDocLineSample, plain));
    const int textWidth = whole(c.ScaleWidth()) - left - right;
    const int bottomLimit = whole(c.ScaleHeight()) - bottom;

    const int headerBottom = MnPrintHeader(c, title, left, top, right);
    const int footerHeight = MnPrintFooter(c, QStringLiteral("0"), printTime, left, bottom, right, true);

    // Margins that leave no room would put every line on a page of its own.
    if (textWidth <= 0 || headerBottom + lineHeight > bottomLimit - lineHeight - footerHeight)
        throw RkExpected(kErrInvalidCall,
                      QStringLiteral("Marginalerna är för stora för papperet: ingen textrad får plats på sidan.\n"
                                     "Minska marginalerna under Skrivare inställningar."));

    // Each editor line becomes one printed line, or several when it is wider
    // than its column.
    const double columnWidth = double(textWidth) / columns;
    std::vector<PrintLine> printed;
    printed.reserve(size_t(lines.size()));
    for (const QString &text : lines) {
        const CommentParts p = splitCommentParts(text);
        PrintLine line;
        if (!p.code.isEmpty())
            line.push_back({p.code, plain});
        if (!p.comment.isEmpty())
            line.push_back({p.comment, comment});
        if (!p.rest.isEmpty())
            line.push_back({p.rest, plain});
        for (PrintLine &l : wrapPrintLine(line, columnWidth, metrics, QStringLiteral("    ")))
            printed.push_back(std::move(l));
    }

    auto breaks = [&](double y) { return y + lineHeight > bottomLimit - lineHeight - footerHeight; };

    // Pass 1: the page total.
    int total = 1;
    {
        int column = 1;
        double y = headerBottom;
        for (size_t i = 0; i < printed.size(); ++i) {
            if (breaks(y)) {
                if (++column > columns) {
                    column = 1;
                    ++total;
                }
                y = headerBottom;
            }
            y += lineHeight;
        }
    }
    const QString totalText = QString::number(total);

    // Pass 2: the pages.
    int column = 1;
    double x = left;
    double y = headerBottom;
    for (const PrintLine &line : printed) {
        if (breaks(y)) {
            if (++column > columns) {
                column = 1;
                MnPrintFooter(c, totalText, printTime, left, bottom, right, false);
                c.NewPage();
                MnPrintHeader(c, title, left, top, right);
                x = left;
            } else {
                x = whole(left + double(textWidth) / columns * (column - 1));
            }
            y = headerBottom;
        }
        c.CurrentX = x;
        c.CurrentY = y;
        for (const PrintRun &run : line) {
            c.font = run.font;
            c.print(run.text, false);
        }
        y += lineHeight;
    }
    MnPrintFooter(c, totalText, printTime, left, bottom, right, false);
    if (pageTotal)
        *pageTotal = total;
    return c.take();
}

// ---------------------------------------------------------------------------
// Listing jobs

void CheckHeaderAndFooter(PrintCanvas &c)
{
    if (c.CurrentY + 1640 > c.ScaleHeight())
        PrintFooter(c, false);
    if (c.CurrentY == 0)
        PrintHeader(c);
}

void PrintHeader(PrintCanvas &c)
{
    c.font = kHeaderFont;
    const QString shown = fitTitle(c, GsPrinterHeader, c.ScaleWidth());
    c.CurrentX = c.ScaleWidth() - c.TextWidth(shown);
    c.CurrentY = 0;
    c.print(shown, true);
    c.lineFeed();
    c.DrawWidth = 5;
    c.rectangle(0, c.CurrentY - 30, c.ScaleWidth(), c.CurrentY);
    c.lineFeed();
    c.CurrentX = 0;
}

void PrintFooter(PrintCanvas &c, bool lastPage)
{
    c.font = kFooterFont;
    const QString pageLine = printPageWord() + QString::number(c.Page()) + QStringLiteral(" / ")
                             + GsTotalNumberofPages + QLatin1Char(' ');
    const double level = c.ScaleHeight() - (720 - c.TextHeight(kListLineSample));
    c.CurrentX = c.ScaleWidth() - c.TextWidth(pageLine);
    c.CurrentY = level;
    c.print(pageLine, true);
    const QString dateLine = printDateWord() + GsPrintDate;
    c.CurrentX = (c.ScaleWidth() - c.TextWidth(dateLine)) / 2;
    c.CurrentY = level;
    c.print(dateLine, true);
    c.rectangle(0, c.ScaleHeight() - 750, c.ScaleWidth(), c.ScaleHeight() - 720);
    if (!lastPage)
        c.NewPage();
}

QStringList programFileLines(const QByteArray &bytes)
{
    // In the program's encoding (Windows-1252: one character per byte), read
    // as the editor reads it, its byte-order mark set apart; the line ends
    // stand where they stood.
    NcDocument program;
    const QByteArrayView text = program.load(bytes);
    return splitTextLines(program.toText(text));
}

PrintLayout layoutProgramFile(const QStringList &lines, const PrintOptions &options, const PrintMetrics &metrics)
{
    PrintCanvas c(metrics);
    const PrintFont plain = options.plainFont();
    const PrintFont bold{options.fontName, options.fontSize, true, false};
    const PrintFont comment = options.commentFont();
    const QString indent(7, QLatin1Char(' '));
    // The rest of a line too long for the page goes on deeper than any line
    // begins, so that it is never read as a block (or a comment line) of its own.
    const QString continued(4, QLatin1Char(' '));
    for (QString line : lines) {
        const QString lineComment = RkClipComment(line);
        PrintLine printed;
        const bool commentLine = line.startsWith(QLatin1Char('\''));
        if (commentLine)
            printed.push_back({line, bold});
        else
            printed.push_back({indent + line, plain});
        if (!lineComment.isEmpty())
            printed.push_back({lineComment, comment});
        for (const PrintLine &part :
             wrapPrintLine(printed, c.ScaleWidth(), metrics, commentLine ? continued : indent + continued)) {
            CheckHeaderAndFooter(c);
            for (const PrintRun &run : part) {
                c.font = run.font;
                c.print(run.text, false);
            }
            c.font = comment;
            c.lineFeed();
        }
    }
    PrintFooter(c, true);
    return c.take();
}

std::vector<int> listColumnWidths(bool commentShown, bool printTime)
{
    if (!commentShown)
        return {56, 17, 7};
    return printTime ? std::vector<int>{26, 30, 17, 7} : std::vector<int>{26, 36, 11, 7};
}

QString fitCell(const QString &text, int width)
{
    return text.left(width).leftJustified(width, QLatin1Char(' '));
}

void PrintCell(PrintCanvas &c, const QString &text, bool boxed)
{
    const QString cell = QLatin1Char(' ') + text + QLatin1Char(' ');
    if (boxed) {
        const double x = whole(c.CurrentX);
        const double y = whole(c.CurrentY);
        c.rectangle(x, y, x + c.TextWidth(cell), y + c.TextHeight(cell));
        c.CurrentX = x;
        c.CurrentY = y;
    }
    c.print(cell, false);
}

PrintLayout layoutFileList(const std::vector<QStringList> &rows, bool commentShown, const PrintOptions &options,
                           const PrintMetrics &metrics)
{
    const std::vector<int> widths = listColumnWidths(commentShown, options.printTime);
    PrintCanvas c(metrics);
    c.font = options.plainFont();
    int counter = 0;
    for (const QStringList &row : rows) {
        CheckHeaderAndFooter(c);
        c.font = options.plainFont();
        c.DrawWidth = 1;
        PrintCell(c, QStringLiteral("  "), false);
        for (size_t col = 0; col < widths.size(); ++col)
            PrintCell(c, fitCell(col < size_t(row.size()) ? row.at(qsizetype(col)) : QString(), widths[col]), true);
        ++counter;
        c.FillSolid = counter % 2 == 0;
        c.FillColor = kListShade;
        c.lineFeed();
    }
    PrintFooter(c, true);
    return c.take();
}

}
