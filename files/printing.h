#pragma once
// The page layout of the two print engines, without a printer: the document
// print behind File > Print (header with the document's title, footer with
// page number, page total and print time, one or more text columns, comments
// in their own style) and the listing jobs of the file selector (one program
// straight from disk, and the file list as a table of boxed cells).
//
// Every position and size is in twips (1/1440 inch) from the top-left corner
// of the printable area. A layout is a list of pages, each a list of items
// (text runs with their font, and rectangles); printingpaint.h paints them on
// a printer or an image. Text is measured through PrintMetrics, so the
// layout can be computed and checked with any measuring source.
#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

namespace lumrik {

inline constexpr double kTwipsPerMm = 56.7;
inline constexpr int kTwipsPerInch = 1440;

// Texts of the listing jobs, set by each job before its first line and read
// by its header and footer.
inline QString GsPrinterHeader;
inline QString GsTotalNumberofPages;
inline QString GsPrintDate;

struct PrintFont {
    QString family;
    int size = 10;      // points
    bool bold = false;
    bool italic = false;
    bool operator==(const PrintFont &) const = default;
};

// Text measuring and the size of the printable area, in twips.
class PrintMetrics {
public:
    virtual ~PrintMetrics() = default;
    virtual double pageWidth() const = 0;
    virtual double pageHeight() const = 0;
    virtual double textWidth(const QString &text, const PrintFont &font) const = 0;
    // The height of one printed line of the text.
    virtual double textHeight(const QString &text, const PrintFont &font) const = 0;
};

// One thing on a page.
struct PrintItem {
    enum Kind { Text, Rect };
    Kind kind = Text;
    double x = 0, y = 0;     // top-left corner
    double w = 0, h = 0;     // rectangles: size (a rule has height 0)
    QString text;            // text runs
    PrintFont font;          // text runs
    int penWidth = 1;        // rectangles: outline width in printer dots (600 per inch)
    bool filled = false;     // rectangles: filled with fillColor inside the black outline
    QColor fillColor;
};

struct PrintPage {
    std::vector<PrintItem> items;
    // The text runs whose top is at `y` (within half a twip), left to right, joined.
    QString lineAt(double y) const;
    // Every text run of the page in the order they were placed.
    QStringList texts() const;
};

struct PrintLayout {
    double pageWidth = 0, pageHeight = 0;
    std::vector<PrintPage> pages;
};

// The print settings the engines read (section "Printing").
struct PrintOptions {
    QString fontName = QStringLiteral("Courier New");
    int fontSize = 10;
    int columns = 1;
    bool boldComments = false;
    bool italicComments = false;
    bool printTime = false;
    // From the session's print settings.
    static PrintOptions fromSettings();
    PrintFont plainFont() const { return {fontName, fontSize, false, false}; }
    PrintFont commentFont() const { return {fontName, fontSize, boldComments, italicComments}; }
};

// The classic printer object on a layout: a current position, a current
// font, pen width and fill; printing at the position either stays on the line
// or ends it with a line feed (y down by one line of the current font, x back
// to 0).
class PrintCanvas {
public:
    explicit PrintCanvas(const PrintMetrics &metrics);

    double CurrentX = 0, CurrentY = 0;
    PrintFont font;
    int DrawWidth = 1;
    bool FillSolid = false;
    QColor FillColor;

    double ScaleWidth() const { return metrics_.pageWidth(); }
    double ScaleHeight() const { return metrics_.pageHeight(); }
    double TextWidth(const QString &text) const { return metrics_.textWidth(text, font); }
    double TextHeight(const QString &text) const { return metrics_.textHeight(text, font); }

    // Prints at the current position; `lineFeed` ends the line afterwards.
    void print(const QString &text, bool lineFeed);
    void lineFeed();
    // A black outline from (x1, y1) to (x2, y2), filled by the fill in force.
    void rectangle(double x1, double y1, double x2, double y2);
    void NewPage();
    int Page() const { return int(layout_.pages.size()); }

    const PrintMetrics &metrics() const { return metrics_; }
    PrintLayout take();

private:
    const PrintMetrics &metrics_;
    PrintLayout layout_;
};

// A piece of text in one font, and a printed line made of such pieces.
struct PrintRun {
    QString text;
    PrintFont font;
};
using PrintLine = std::vector<PrintRun>;

// Breaks a line that is wider than `maxWidth` into printed lines that fit:
// after the last blank that fits, else after the last character that fits
// (at least one character per line). Continuation lines begin with
// `continuation` (in the font of the line's first piece). A line that fits
// comes back as it is.
std::vector<PrintLine> wrapPrintLine(const PrintLine &line, double maxWidth, const PrintMetrics &metrics,
                                     const QString &continuation = {});

// "Sida - " and "Utskrivet : ", or the language texts 671 and 670 with a blank.
QString printPageWord();
QString printDateWord();

// Millimetres to whole twips (56.7 per millimetre, halves to even). Throws
// RkError (overflow) when the result does not fit in 16 bits.
int mmToTwips(int mm);

// --- Document print ------------------------------------------------------

// The three parts of a line: the text before the first "(", the comment from
// that "(" through the first ")" after it (or through the end of the line),
// and the rest after that ")".
struct CommentParts {
    QString code, comment, rest;
};
CommentParts splitCommentParts(const QString &line);

// Header of the document print: the title ending at the right margin, a rule
// below it; returns the y at which the page's text starts.
int MnPrintHeader(PrintCanvas &c, const QString &title, int left, int top, int right);
// Footer of the document print; returns its height. Prints nothing when measuring.
int MnPrintFooter(PrintCanvas &c, const QString &pageTotal, const QDateTime &printTime, int left, int bottom,
                  int right, bool measuring);

struct DocumentMargins {
    int left = 40, top = 20, right = 20, bottom = 20; // millimetres
};

// Lays out a document: every line in the columns of the pages, headers and
// footers. Throws RkError when a margin cannot be converted or when the
// margins leave no room for a line of text. `pageTotal` receives the count.
PrintLayout layoutDocument(const QStringList &lines, const QString &title, const DocumentMargins &margins,
                           const PrintOptions &options, const QDateTime &printTime, const PrintMetrics &metrics,
                           int *pageTotal = nullptr);

// --- Listing jobs --------------------------------------------------------

// Before every printed line of a listing job: a new page when the page is
// full, and the header at the top of a fresh page.
void CheckHeaderAndFooter(PrintCanvas &c);
// The header from GsPrinterHeader.
void PrintHeader(PrintCanvas &c);
// The footer from GsTotalNumberofPages and GsPrintDate; unless this is the
// last page, a new page begins.
void PrintFooter(PrintCanvas &c, bool lastPage);

// The lines of a program file: split at CR LF, LF or CR; a last line end
// does not start another line.
QStringList programFileLines(const QByteArray &bytes);

// One program: comment lines ("'" first) in bold from the left edge, other
// lines indented by seven blanks, the comment of each line at its end in the
// comment style. Uses GsPrinterHeader, GsTotalNumberofPages and GsPrintDate.
PrintLayout layoutProgramFile(const QStringList &lines, const PrintOptions &options, const PrintMetrics &metrics);

// Column widths of the list print in characters (file name, comment when
// shown, changed, size).
std::vector<int> listColumnWidths(bool commentShown, bool printTime);
// A cell text left-aligned in `width` characters: padded with blanks or cut.
QString fitCell(const QString &text, int width);
// One cell at the current position: " " & text & " ", boxed when asked.
void PrintCell(PrintCanvas &c, const QString &text, bool boxed);

inline const QColor kListShade = QColor(238, 238, 238);

// The file list: each row's texts in the list's column order (file name,
// comment when shown, changed, size). Every other row from the third is
// shaded. Uses GsPrinterHeader, GsTotalNumberofPages and GsPrintDate.
PrintLayout layoutFileList(const std::vector<QStringList> &rows, bool commentShown, const PrintOptions &options,
                           const PrintMetrics &metrics);

// Runs a listing layout twice: once to count its pages, then with that count
// in GsTotalNumberofPages, so that every footer carries the true total.
template <class F>
PrintLayout layoutWithPageTotal(F &&layout)
{
    GsTotalNumberofPages = QStringLiteral("0");
    const PrintLayout draft = layout();
    GsTotalNumberofPages = QString::number(draft.pages.size());
    return layout();
}

}
