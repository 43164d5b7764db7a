// The print engines: the layout of the document print and of the listing
// jobs measured with fixed metrics, painting on images and on a PDF printer,
// and the jobs' dialog, failure and cancel paths.
#include "core/errors.h"
#include "core/globals.h"
#include "core/language.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "files/printing.h"
#include "files/printingjobs.h"
#include "files/printingpaint.h"
#include "qtprint.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace lumrik;
using lumrik::test::MsgBoxRecorder;
using lumrik::test::TempEnv;

namespace {

// Every character is 120 twips wide in the print font (10 pt), 100 in the
// header and footer fonts; a line is 12 twips per point.
class FixedMetrics : public PrintMetrics {
public:
    FixedMetrics(double w = 11000, double h = 15000) : w_(w), h_(h) {}
    double pageWidth() const override { return w_; }
    double pageHeight() const override { return h_; }
    double textWidth(const QString &text, const PrintFont &f) const override
    {
        const double perChar = (f.family == "Verdana" || f.family == "Arial") ? 100 : 12.0 * f.size;
        return text.size() * perChar;
    }
    double textHeight(const QString &, const PrintFont &f) const override { return 24.0 * f.size; }

private:
    double w_, h_;
};

const QDateTime kWhen(QDate(2024, 3, 5), QTime(14, 3, 22));

QStringList numberedLines(int n)
{
    QStringList out;
    for (int i = 1; i <= n; ++i)
        out << QStringLiteral("N%1 G1 X%1").arg(i * 10);
    return out;
}

const PrintItem *findText(const PrintPage &page, const QString &text)
{
    for (const PrintItem &i : page.items)
        if (i.kind == PrintItem::Text && i.text == text)
            return &i;
    return nullptr;
}

int rectCount(const PrintPage &page, bool filled)
{
    int n = 0;
    for (const PrintItem &i : page.items)
        if (i.kind == PrintItem::Rect && i.filled == filled && i.h > 0 && i.penWidth == 1)
            ++n;
    return n;
}

// The number of pages of a PDF file.
int pdfPages(const QString &path)
{
    const QByteArray pdf = test::readFile(path);
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    return int(QString::fromLatin1(pdf).count(page));
}

class PrintSettingsScope {
public:
    PrintSettingsScope() : notSwedish_(gbNotSwedish), langFile_(gsLanguageFile)
    {
        test::SessionScope::print([](PrintValues &p) {
            p.font = "Courier New";
            p.fontSize = 10;
            p.columns = 1;
            p.boldComments = p.italicComments = p.time = false;
            p.leftMargin = 40;
            p.topMargin = p.rightMargin = p.bottomMargin = 20;
        });
        gbNotSwedish = false;
    }
    ~PrintSettingsScope()
    {
        gbNotSwedish = notSwedish_;
        gsLanguageFile = langFile_;
    }

private:
    test::SessionScope session_;
    bool notSwedish_;
    QString langFile_;
};

}

// ---------------------------------------------------------------------------
// Text pieces

TEST(PrintText, CommentPartsOfADocumentLine)
{
    CommentParts p = splitCommentParts("N10 G1 (FAST) X5");
    EXPECT_EQ(p.code, "N10 G1 ");
    EXPECT_EQ(p.comment, "(FAST)");
    EXPECT_EQ(p.rest, " X5");

    p = splitCommentParts("N20 (OPEN");
    EXPECT_EQ(p.code, "N20 ");
    EXPECT_EQ(p.comment, "(OPEN");
    EXPECT_EQ(p.rest, "");

    p = splitCommentParts("N30 X1) Y2");
    EXPECT_EQ(p.code, "N30 X1) Y2");
    EXPECT_TRUE(p.comment.isEmpty() && p.rest.isEmpty());

    // Only the first comment has the comment style; a later one is rest.
    p = splitCommentParts("(A)(B)");
    EXPECT_EQ(p.code, "");
    EXPECT_EQ(p.comment, "(A)");
    EXPECT_EQ(p.rest, "(B)");
}

TEST(PrintText, ProgramLinesEndWithCrLfLfOrCr)
{
    EXPECT_EQ(programFileLines("A\r\nB\r\n"), (QStringList{"A", "B"}));
    // LF alone is a line end too (files saved the Unix way).
    EXPECT_EQ(programFileLines("A\nB\n\nC"), (QStringList{"A", "B", "", "C"}));
    EXPECT_EQ(programFileLines("A\rB"), (QStringList{"A", "B"}));
    EXPECT_TRUE(programFileLines("").isEmpty());
    // One character per byte; 0x80-0x9F as their Windows-1252 glyphs.
    EXPECT_EQ(programFileLines("(SP\xC5N \x80)"), (QStringList{QString::fromUtf8("(SPÅN €)")}));
    // A UTF-8 program prints as UTF-8, without its byte-order mark.
    EXPECT_EQ(programFileLines("\xEF\xBB\xBF(SP\xC3\x85N \xE2\x82\xAC)\r\n(\xC4\xB1)"),
              (QStringList{QString::fromUtf8("(SPÅN €)"), QString::fromUtf8("(ı)")}));
}

TEST(PrintText, MillimetresToTwips)
{
    EXPECT_EQ(mmToTwips(20), 1134);
    EXPECT_EQ(mmToTwips(40), 2268);
    // Halves go to the even neighbour.
    EXPECT_EQ(mmToTwips(5), 284);
    EXPECT_EQ(mmToTwips(15), 850);
    EXPECT_EQ(mmToTwips(577), 32716);
    EXPECT_THROW(mmToTwips(578), RkError);
    EXPECT_THROW(mmToTwips(-600), RkError);
}

TEST(PrintText, WrapKeepsEveryCharacterAndTheStyles)
{
    const FixedMetrics m;
    const PrintFont plain{"Courier New", 10, false, false};
    const PrintFont bold{"Courier New", 10, true, false};
    const PrintLine line{{"N10 G1 X100 ", plain}, {"(A LONG COMMENT)", bold}};
    // 10 characters per printed line.
    const std::vector<PrintLine> out = wrapPrintLine(line, 1200, m, "  ");
    QString joined;
    QStringList printed;
    for (size_t i = 0; i < out.size(); ++i) {
        QString text;
        for (size_t r = 0; r < out[i].size(); ++r) {
            text += out[i][r].text;
            if (i > 0 && r == 0) {
                EXPECT_EQ(out[i][r].text, "  ");
                continue;
            }
            joined += out[i][r].text;
            // Every piece keeps the style of the text it came from.
            const bool isComment = out[i][r].text.contains('(') || out[i][r].text.contains(')')
                                   || out[i][r].text.contains("LONG");
            if (isComment) {
                EXPECT_EQ(out[i][r].font, bold) << out[i][r].text.toStdString();
            }
        }
        EXPECT_LE(m.textWidth(text, plain), 1200) << text.toStdString();
        printed << text;
    }
    EXPECT_EQ(joined, "N10 G1 X100 (A LONG COMMENT)");
    // Breaks after blanks where it can.
    EXPECT_EQ(printed.front(), "N10 G1 ");

    // A line that fits comes back as it is; a blank-free one breaks hard.
    EXPECT_EQ(wrapPrintLine({{"N10", plain}}, 1200, m).size(), 1u);
    const auto hard = wrapPrintLine({{QString(25, 'X'), plain}}, 1200, m);
    ASSERT_EQ(hard.size(), 3u);
    EXPECT_EQ(hard[0][0].text, QString(10, 'X'));
    // Even a column narrower than one character makes progress.
    EXPECT_EQ(wrapPrintLine({{"ABC", plain}}, 50, m).size(), 3u);
}

// ---------------------------------------------------------------------------
// Document print layout

TEST(DocumentLayout, OnePageWithHeaderFooterAndCommentStyle)
{
    PrintSettingsScope scope;
    const FixedMetrics m;
    PrintOptions o;
    o.boldComments = true;
    int total = 0;
    const PrintLayout l = layoutDocument({"N10 G1 (FAST) X5", "N20 (OPEN", "N30 X1)"}, "/nc/O1000.NC", {}, o,
                                         kWhen, m, &total);
    ASSERT_EQ(l.pages.size(), 1u);
    EXPECT_EQ(total, 1);
    const PrintPage &p = l.pages[0];
    const int left = 2268, top = 1134, right = 1134, bottom = 1134;

    // Header: the title ends at the right margin at the top margin; three
    // header lines (288 twips each) below the top margin the text starts.
    const PrintItem *title = findText(p, "/nc/O1000.NC");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->y, top);
    EXPECT_EQ(title->x + 12 * 100, 11000 - right);
    EXPECT_TRUE(title->font.bold);
    const int headerBottom = top + 3 * 288;

    // Lines: code plain, the comment bold, the rest plain again.
    const PrintItem *code = findText(p, "N10 G1 ");
    const PrintItem *comment = findText(p, "(FAST)");
    const PrintItem *rest = findText(p, " X5");
    ASSERT_TRUE(code && comment && rest);
    EXPECT_EQ(code->x, left);
    EXPECT_EQ(code->y, headerBottom);
    EXPECT_FALSE(code->font.bold || code->font.italic);
    EXPECT_TRUE(comment->font.bold);
    EXPECT_FALSE(comment->font.italic);
    EXPECT_EQ(comment->x, left + 7 * 120);
    EXPECT_FALSE(rest->font.bold);
    EXPECT_EQ(rest->x, left + 13 * 120);
    EXPECT_EQ(p.lineAt(headerBottom + 240), "N20 (OPEN");
    EXPECT_TRUE(findText(p, "(OPEN")->font.bold);
    EXPECT_FALSE(findText(p, "N30 X1)")->font.bold);

    // Footer: page line ending at the right margin, date line below it.
    const PrintItem *pageLine = findText(p, "Sida - 1 / 1 ");
    ASSERT_NE(pageLine, nullptr);
    const int footerHeight = 3 * 240;
    EXPECT_EQ(pageLine->y, 15000 - footerHeight - bottom);
    EXPECT_EQ(pageLine->x + pageLine->text.size() * 100, 11000 - right);
    const QString dateLine = "Utskrivet : " + RkGeneralDate(kWhen);
    const PrintItem *date = findText(p, dateLine);
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->y, 15000 - footerHeight + 240 - bottom);
    EXPECT_TRUE(dateLine.contains("22")); // seconds are shown
}

TEST(DocumentLayout, ColumnsThenPagesAndTheTotalOfPassOne)
{
    PrintSettingsScope scope;
    const FixedMetrics m;
    PrintOptions o;
    o.columns = 2;
    const int left = 2268, right = 1134, top = 1134, bottom = 1134;
    const int headerBottom = top + 3 * 288;
    const int footerHeight = 720;
    const int bottomLimit = 15000 - bottom;
    // Lines per column: y + 240 > bottomLimit - 240 - footerHeight breaks.
    int perColumn = 0;
    for (int y = headerBottom; !(y + 240 > bottomLimit - 240 - footerHeight); y += 240)
        ++perColumn;
    ASSERT_GT(perColumn, 5);

    int total = 0;
    const PrintLayout l = layoutDocument(numberedLines(2 * perColumn + 1), "T", {}, o, kWhen, m, &total);
    ASSERT_EQ(l.pages.size(), 2u);
    EXPECT_EQ(total, 2);
    const int textWidth = 11000 - left - right;
    const QString first2 = numberedLines(perColumn + 1).back();
    const PrintItem *top2 = findText(l.pages[0], first2);
    ASSERT_NE(top2, nullptr);
    EXPECT_EQ(top2->x, std::nearbyint(left + textWidth / 2.0));
    EXPECT_EQ(top2->y, headerBottom);
    const PrintItem *page2 = findText(l.pages[1], numberedLines(2 * perColumn + 1).back());
    ASSERT_NE(page2, nullptr);
    EXPECT_EQ(page2->x, left);
    EXPECT_EQ(page2->y, headerBottom);
    // Both pages carry header and the same total; the page number is the page's own.
    EXPECT_NE(findText(l.pages[0], "Sida - 1 / 2 "), nullptr);
    EXPECT_NE(findText(l.pages[1], "Sida - 2 / 2 "), nullptr);
    EXPECT_NE(findText(l.pages[1], "T"), nullptr);

    // One column fewer lines: exactly one page; a setting of 0 columns prints as one.
    o.columns = 0;
    EXPECT_EQ(layoutDocument(numberedLines(perColumn), "T", {}, o, kWhen, m).pages.size(), 1u);
    EXPECT_EQ(layoutDocument(numberedLines(perColumn + 1), "T", {}, o, kWhen, m).pages.size(), 2u);
}

TEST(DocumentLayout, LongLinesWrapInsideTheirColumn)
{
    PrintSettingsScope scope;
    const FixedMetrics m;
    PrintOptions o;
    o.columns = 2;
    // Column width (11000 - 2268 - 1134) / 2 = 3799 twips: 31 characters.
    const QString longLine = "N10 G1 X100. Y200. Z-5. F500 (A VERY LONG COMMENT ABOUT THIS CUT)";
    const PrintLayout l = layoutDocument({longLine, "N20 M30"}, "T", {}, o, kWhen, m);
    const int headerBottom = 1134 + 3 * 288;
    const QString first = l.pages[0].lineAt(headerBottom);
    const QString second = l.pages[0].lineAt(headerBottom + 240);
    const QString third = l.pages[0].lineAt(headerBottom + 480);
    EXPECT_LE(first.size(), 31);
    EXPECT_TRUE(second.startsWith("    "));
    EXPECT_EQ(first + second.mid(4) + third.mid(4), longLine);
    EXPECT_EQ(l.pages[0].lineAt(headerBottom + 720), "N20 M30");
}

TEST(DocumentLayout, MarginsThatCannotBeUsed)
{
    PrintSettingsScope scope;
    const FixedMetrics m;
    EXPECT_THROW(layoutDocument({"N10"}, "T", {578, 20, 20, 20}, {}, kWhen, m), RkError);
    // Margins wider than the paper, or higher than it, leave no room for text.
    EXPECT_THROW(layoutDocument({"N10"}, "T", {100, 20, 100, 20}, {}, kWhen, m), RkError);
    EXPECT_THROW(layoutDocument({"N10"}, "T", {40, 200, 20, 100}, {}, kWhen, m), RkError);
    EXPECT_NO_THROW(layoutDocument({"N10"}, "T", {0, 0, 0, 0}, {}, kWhen, m));
}

TEST(DocumentLayout, AnEmptyDocumentIsOnePageAndLanguageWordsAreUsed)
{
    PrintSettingsScope scope;
    TempEnv env;
    gsLanguageFile = env.write("lang.lng", "[LANGUAGE]\r\n670=Printed:\r\n671=Page\r\n");
    gbNotSwedish = true;
    const FixedMetrics m;
    const PrintLayout l = layoutDocument({}, "T", {}, {}, kWhen, m);
    ASSERT_EQ(l.pages.size(), 1u);
    EXPECT_NE(findText(l.pages[0], "Page 1 / 1 "), nullptr);
    EXPECT_NE(findText(l.pages[0], "Printed: " + RkGeneralDate(kWhen)), nullptr);
}

TEST(DocumentLayout, ATitleWiderThanTheMarginsKeepsItsEnd)
{
    PrintSettingsScope scope;
    const FixedMetrics m;
    const QString title = "/home/user/ncprog/" + QString(100, 'D') + "/O1000.NC";
    const PrintLayout l = layoutDocument({"N10"}, title, {}, {}, kWhen, m);
    const PrintItem &shown = l.pages[0].items.front();
    ASSERT_EQ(shown.kind, PrintItem::Text);
    EXPECT_TRUE(shown.text.startsWith("..."));
    EXPECT_TRUE(shown.text.endsWith("/O1000.NC"));
    EXPECT_GE(shown.x, 2268);
}

// ---------------------------------------------------------------------------
// Listing jobs

TEST(ListingLayout, ProgramLinesCommentsAndBoldCommentLines)
{
    PrintSettingsScope scope;
    const FixedMetrics m;
    PrintOptions o;
    o.italicComments = true;
    GsPrinterHeader = "[exedir]\\O1.NC";
    GsPrintDate = "2024-03-05 14:03:22";
    const PrintLayout l = layoutWithPageTotal(
        [&] { return layoutProgramFile({"N10 (TOOL 1) G0 X0", "'KOMMENTAR", " 'INDRAGEN"}, o, m); });
    ASSERT_EQ(l.pages.size(), 1u);
    const PrintPage &p = l.pages[0];
    // Header: the title ends at the right edge; lines start three header lines down.
    const PrintItem *title = findText(p, "[exedir]\\O1.NC");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->x + title->text.size() * 100, 11000);
    EXPECT_EQ(title->y, 0);
    const double y0 = 3 * 288;

    const PrintItem *code = findText(p, "       N10  G0 X0");
    const PrintItem *comment = findText(p, "(TOOL 1)");
    ASSERT_TRUE(code && comment);
    EXPECT_EQ(code->x, 0);
    EXPECT_EQ(code->y, y0);
    EXPECT_FALSE(code->font.bold || code->font.italic);
    EXPECT_EQ(comment->x, 17 * 120);
    EXPECT_TRUE(comment->font.italic);

    const PrintItem *bold = findText(p, "'KOMMENTAR");
    ASSERT_NE(bold, nullptr);
    EXPECT_EQ(bold->x, 0);
    EXPECT_TRUE(bold->font.bold);
    const PrintItem *indented = findText(p, "        'INDRAGEN");
    ASSERT_NE(indented, nullptr);
    EXPECT_FALSE(indented->font.bold);

    // Footer on the text level below the bar, with the true total.
    const PrintItem *pageLine = findText(p, "Sida - 1 / 1 ");
    ASSERT_NE(pageLine, nullptr);
    EXPECT_EQ(pageLine->y, 15000 - (720 - 240));
    EXPECT_EQ(pageLine->x + pageLine->text.size() * 100, 11000);
    EXPECT_NE(findText(p, "Utskrivet : 2024-03-05 14:03:22"), nullptr);
}

TEST(ListingLayout, PagesBreakBeforeTheReserveAndEveryFooterHasTheTotal)
{
    PrintSettingsScope scope;
    const FixedMetrics m;
    GsPrinterHeader = "H";
    // Lines from 864 on, 240 apart; a page takes lines while y + 1640 <= 15000.
    int perPage = 0;
    for (double y = 864; y + 1640 <= 15000; y += 240)
        ++perPage;
    const PrintLayout l =
        layoutWithPageTotal([&] { return layoutProgramFile(numberedLines(2 * perPage + 1), {}, m); });
    ASSERT_EQ(l.pages.size(), 3u);
    EXPECT_EQ(GsTotalNumberofPages, "3");
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(findText(l.pages[size_t(i)], QStringLiteral("Sida - %1 / 3 ").arg(i + 1)), nullptr);
        EXPECT_NE(findText(l.pages[size_t(i)], "H"), nullptr) << "header on page " << i + 1;
    }
    EXPECT_EQ(l.pages[1].lineAt(864), "       " + numberedLines(perPage + 1).back());
    EXPECT_EQ(l.pages[2].lineAt(864), "       " + numberedLines(2 * perPage + 1).back());
}

TEST(ListingLayout, AnEmptyFileIsOneFooterOnlyPage)
{
    PrintSettingsScope scope;
    const FixedMetrics m;
    GsPrinterHeader = "HEADER";
    const PrintLayout l = layoutWithPageTotal([&] { return layoutProgramFile({}, {}, m); });
    ASSERT_EQ(l.pages.size(), 1u);
    EXPECT_EQ(findText(l.pages[0], "HEADER"), nullptr);
    EXPECT_NE(findText(l.pages[0], "Sida - 1 / 1 "), nullptr);
}

TEST(ListingLayout, LongProgramLinesGoOnDeeperThanABlock)
{
    PrintSettingsScope scope;
    const FixedMetrics m(3600, 15000); // 30 characters
    GsPrinterHeader = "H";
    const PrintLayout l = layoutWithPageTotal([&] {
        return layoutProgramFile({"N10 G1 X1 Y2 Z3 F400 S2000", "N20 M30", "'KOMMENTAR SOM BLIR FOR LANG FOR RADEN"}, {},
                                 m);
    });
    const QString a = l.pages[0].lineAt(864), b = l.pages[0].lineAt(1104), next = l.pages[0].lineAt(1344);
    // A block begins after seven blanks; the rest of a wrapped one after eleven.
    EXPECT_TRUE(a.startsWith("       N10"));
    EXPECT_TRUE(b.startsWith("           ") && !b.startsWith("            ")) << b.toStdString();
    EXPECT_EQ(next, "       N20 M30");
    EXPECT_EQ((a + b.mid(11)).trimmed(), "N10 G1 X1 Y2 Z3 F400 S2000");
    // A comment line begins at the edge with its "'"; its rest after four blanks.
    const QString c = l.pages[0].lineAt(1584), d = l.pages[0].lineAt(1824);
    EXPECT_TRUE(c.startsWith("'KOMMENTAR"));
    EXPECT_TRUE(d.startsWith("    ") && !d.startsWith("       ")) << d.toStdString();
}

TEST(ListingLayout, ListCellsWidthsAndShading)
{
    PrintSettingsScope scope;
    EXPECT_EQ(listColumnWidths(true, true), (std::vector<int>{26, 30, 17, 7}));
    EXPECT_EQ(listColumnWidths(true, false), (std::vector<int>{26, 36, 11, 7}));
    EXPECT_EQ(listColumnWidths(false, true), (std::vector<int>{56, 17, 7}));
    EXPECT_EQ(fitCell("AB", 4), "AB  ");
    EXPECT_EQ(fitCell("ABCDEF", 4), "ABCD");

    const FixedMetrics m(12000, 15000);
    GsPrinterHeader = "/nc/";
    std::vector<QStringList> rows;
    for (int i = 1; i <= 5; ++i)
        rows.push_back({QStringLiteral("O%1.NC").arg(i) + QString(30, 'X'), "SHAFT", "2024-03-05  14:03", "123"});
    PrintOptions o;
    const PrintLayout l = layoutWithPageTotal([&] { return layoutFileList(rows, true, o, m); });
    ASSERT_EQ(l.pages.size(), 1u);
    const PrintPage &p = l.pages[0];
    const double y0 = 3 * 288;
    // Four blanks of indent, each cell framed by blanks; names cut to 26, the
    // changed column to the date and one blank.
    auto cell = [](const QString &t, int w) { return " " + fitCell(t, w) + " "; };
    EXPECT_EQ(p.lineAt(y0), "    " + cell("O1.NC" + QString(21, 'X'), 26) + cell("SHAFT", 36) + cell("2024-03-05 ", 11)
                                + cell("123", 7));
    EXPECT_EQ(fitCell("2024-03-05  14:03", 11), "2024-03-05 ");
    // Rows 3 and 5 are shaded; rows 1, 2 and 4 are not.
    std::vector<bool> shaded;
    for (int r = 0; r < 5; ++r) {
        bool any = false;
        for (const PrintItem &i : p.items)
            if (i.kind == PrintItem::Rect && i.penWidth == 1 && i.h > 30 && std::abs(i.y - (y0 + 240 * r)) < 0.5)
                any = any || i.filled;
        shaded.push_back(any);
    }
    EXPECT_EQ(shaded, (std::vector<bool>{false, false, true, false, true}));
    for (const PrintItem &i : p.items)
        if (i.filled) {
            EXPECT_EQ(i.fillColor, QColor(238, 238, 238));
        }
    // Four boxed cells per row.
    EXPECT_EQ(rectCount(p, false) + rectCount(p, true), 5 * 4 + 1 /* footer bar */);

    // Without the comment column: name 56, changed 17, size 7.
    std::vector<QStringList> rows3{{"A.NC", "2024-03-05  14:03", "9"}};
    const PrintLayout l3 = layoutWithPageTotal([&] { return layoutFileList(rows3, false, o, m); });
    EXPECT_EQ(l3.pages[0].lineAt(y0), "    " + cell("A.NC", 56) + cell("2024-03-05  14:03", 17) + cell("9", 7));
}

// ---------------------------------------------------------------------------
// Painting and the jobs

namespace {

class PrintJobTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setErrorBoxHook([this](const QString &t) {
            errors << t;
            return true;
        });
        setPrinterDialogHook([this](QPrinter &printer, QWidget *) {
            ++dialogs;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setPageSize(QPageSize(QPageSize::A4));
            printer.setOutputFileName(outputFile);
            return !cancel;
        });
        outputFile = out.filePath("out.pdf");
    }
    void TearDown() override
    {
        setPrinterDialogHook({});
        setErrorBoxHook({});
    }

    PrintSettingsScope scope;
    TempEnv env;
    MsgBoxRecorder boxes;
    QTemporaryDir out;
    QString outputFile;
    QStringList errors;
    bool cancel = false;
    int dialogs = 0;
};

}

TEST_F(PrintJobTest, PageImageShowsTheLayout)
{
    const QSizeF a4(11906 - 720, 16838 - 720);
    QImage probe = printImage(a4, 100);
    const DeviceMetrics metrics(&probe, a4);
    // Real fonts: a line of the print font is a few hundred twips.
    const PrintFont font{"Courier New", 10, false, false};
    EXPECT_GT(metrics.textHeight("ÅMWgq.", font), 150);
    EXPECT_LT(metrics.textHeight("ÅMWgq.", font), 400);
    EXPECT_NEAR(metrics.textWidth("MMMMMMMMMM", font), metrics.textWidth("iiiiiiiiii", font), 1.0); // fixed pitch

    PrintOptions o;
    o.boldComments = true;
    o.columns = 2;
    const PrintLayout l =
        layoutDocument(numberedLines(120) << "N9999 G0 X0 (END OF PROGRAM)", "/home/nc/O1000.NC", {}, o, kWhen,
                       metrics);
    const QImage page = renderPrintPage(l, 0, 100);
    EXPECT_EQ(page.size(), probe.size());
    int dark = 0;
    for (int y = 0; y < page.height(); y += 2)
        for (int x = 0; x < page.width(); x += 2)
            if (qGray(page.pixel(x, y)) < 128)
                ++dark;
    EXPECT_GT(dark, 500);
    // The paper outside the margins stays white.
    for (int y = 0; y < page.height(); ++y)
        ASSERT_GT(qGray(page.pixel(2, y)), 250);
    if (qEnvironmentVariableIsSet("LUMRIK_PRINT_PNG"))
        page.save(qEnvironmentVariable("LUMRIK_PRINT_PNG"));
}

TEST_F(PrintJobTest, DocumentPrintsToThePrinterAndLeavesTheEditor)
{
    frmDocument doc;
    doc.setCaption("/nc/O1000.NC");
    QByteArray text;
    for (int i = 1; i <= 200; ++i)
        text += "N" + QByteArray::number(i * 10) + " G1 X" + QByteArray::number(i) + " (CUT)\r\n";
    doc.txtText->setTextAll(text);
    doc.txtText->setIsDirty(false);
    doc.txtText->setTextIndex(5);

    // Cancel: nothing printed, nothing said, the current line stays.
    cancel = true;
    PrintDocument(&doc, 40, 20, 20, 20);
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(QFile::exists(outputFile));
    EXPECT_EQ(doc.txtText->TextIndex(), 5);
    EXPECT_TRUE(doc.txtText->Redraw());
    EXPECT_TRUE(boxes.calls().empty());

    cancel = false;
    PrintDocument(&doc, 40, 20, 20, 20);
    ASSERT_TRUE(test::untilLongWorkIsOver());
    ASSERT_TRUE(QFile::exists(outputFile));
    EXPECT_GE(pdfPages(outputFile), 2);
    EXPECT_TRUE(doc.txtText->Redraw());
    EXPECT_EQ(doc.txtText->TextIndex(), doc.txtText->Count());
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(errors.isEmpty());
    // Printing changes nothing in the document.
    EXPECT_FALSE(doc.txtText->IsDirty());
}

TEST_F(PrintJobTest, PrinterFailuresAndBadMarginsAreTold)
{
    frmDocument doc;
    doc.setCaption("T");
    doc.txtText->setTextAll("N10\r\n");

    // A margin that cannot be converted: told before any printer dialog.
    PrintDocument(&doc, 600, 20, 20, 20);
    EXPECT_EQ(dialogs, 0);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Critical);
    EXPECT_TRUE(boxes.saw("600"));

    // A printer that cannot start.
    boxes.clear();
    outputFile = out.filePath("missing/folder/out.pdf");
    PrintDocument(&doc, 40, 20, 20, 20);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Critical);
    EXPECT_TRUE(boxes.saw("kunde inte startas"));
    EXPECT_TRUE(doc.txtText->Redraw());
    EXPECT_EQ(doc.txtText->TextAll(), QByteArray("N10\r\n"));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(PrintJobTest, ProgramFileJob)
{
    const QString path = env.write("ncprog/O1000.NC", "%\nO1000 (SHAFT)\n'COMMENT LINE\nN10 G0 X0\n");
    RkPrintFile(path, nullptr);
    ASSERT_TRUE(test::untilLongWorkIsOver());
    ASSERT_TRUE(QFile::exists(outputFile));
    EXPECT_EQ(pdfPages(outputFile), 1);
    EXPECT_EQ(GsPrinterHeader, path);
    EXPECT_EQ(GsTotalNumberofPages, "1");
    EXPECT_FALSE(GsPrintDate.isEmpty());
    EXPECT_TRUE(boxes.calls().empty());

    // A missing file: told at once, no printer dialog.
    dialogs = 0;
    RkPrintFile(env.path("ncprog/NOPE.NC"), nullptr);
    EXPECT_EQ(dialogs, 0);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Critical);
    EXPECT_TRUE(boxes.saw("NOPE.NC"));
}

// ---------------------------------------------------------------------------
// The pages going out from the event loop

#include "core/progress.h"
#include "files/printingrun.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

frmProgress *shownProgressDialog()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *p = qobject_cast<frmProgress *>(w); p && p->isVisible())
            return p;
    return nullptr;
}

class LongPrintTest : public PrintJobTest {
protected:
    LongPrintTest()
    {
        doc.setCaption("/nc/O2000.NC");
        QByteArray text;
        for (int i = 1; i <= 3000; ++i)
            text += "N" + QByteArray::number(i * 10) + " G1 X" + QByteArray::number(i) + " (CUT)\r\n";
        doc.txtText->setTextAll(text);
        doc.txtText->setIsDirty(false);
    }
    void TearDown() override
    {
        abortRunsAtForTests(0);
        gRkAbort = false;
        PrintJobTest::TearDown();
    }
    // Prints the document and lets the event loop run to the end of the job.
    bool printWhole()
    {
        PrintDocument(&doc, 40, 20, 20, 20);
        return test::untilLongWorkIsOver();
    }
    frmDocument doc;
};

}

// The call returns with the job under way; the event loop runs between the
// pages with the progress dialog up, and the document is free meanwhile: a
// change to it does not reach the pages, and every page goes out.
TEST_F(LongPrintTest, ManyPagesGoOutWhileTheEventLoopRuns)
{
    ASSERT_TRUE(printWhole());
    const int pages = pdfPages(outputFile);
    ASSERT_GE(pages, 20);
    QFile::remove(outputFile);

    QWidget window;
    auto *edit = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    edit->setFocus();
    QCoreApplication::processEvents();
    const bool focused = QApplication::focusWidget() == edit;

    int rounds = 0;
    bool dialogSeen = false;
    test::EveryRound tick([&] {
        if (!printRunUnderWay())
            return;
        ++rounds;
        dialogSeen = dialogSeen || shownProgressDialog();
        doc.txtText->setTextAll("N1\r\n"); // the pages are laid out already
    });
    PrintDocument(&doc, 40, 20, 20, 20);
    EXPECT_TRUE(printRunUnderWay());
    EXPECT_TRUE(LongWork::underWay());
    ASSERT_TRUE(test::untilLongWorkIsOver());
    EXPECT_FALSE(printRunUnderWay());
    EXPECT_GE(rounds, pages - 1);
    EXPECT_TRUE(dialogSeen);
    EXPECT_EQ(shownProgressDialog(), nullptr);
    EXPECT_EQ(pdfPages(outputFile), pages);
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(errors.isEmpty());
    if (focused) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == edit; }, 60000));
    }
}

// "Avbryt" ends the job before the page it comes at; the box tells from
// which page on nothing was printed, when the job has ended.
TEST_F(LongPrintTest, AbortEndsTheJobAndIsToldAtTheEnd)
{
    abortRunsAtForTests(5);
    PrintDocument(&doc, 40, 20, 20, 20);
    EXPECT_TRUE(boxes.calls().empty());
    ASSERT_TRUE(test::untilLongWorkIsOver());
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Information);
    EXPECT_EQ(boxes.calls()[0].text, "Utskriften avbröts. Sidorna från och med sida 6 skrevs inte ut.");
    EXPECT_TRUE(errors.isEmpty());
    abortRunsAtForTests(0);

    // The dialog's own button, pressed between two pages.
    boxes.clear();
    bool pressed = false;
    test::EveryRound tick([&] {
        if (frmProgress *dialog = shownProgressDialog(); dialog && !pressed) {
            pressed = true;
            dialog->btnProgessAbort->click();
        }
    });
    PrintDocument(&doc, 40, 20, 20, 20);
    ASSERT_TRUE(test::untilLongWorkIsOver());
    EXPECT_TRUE(pressed);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Information);
    EXPECT_TRUE(boxes.saw("Utskriften avbröts."));
    EXPECT_EQ(shownProgressDialog(), nullptr);
}

// A print asked for while a job goes out is refused before its printer
// dialog, and leaves the job alone; once it has ended, printing works again.
TEST_F(LongPrintTest, ASecondPrintMeanwhileIsRefused)
{
    ASSERT_TRUE(printWhole());
    const int pages = pdfPages(outputFile);
    QFile::remove(outputFile);
    const QString program = env.write("ncprog/O1000.NC", "%\nO1000 (SHAFT)\nN10 G0 X0\n");
    GsPrinterHeader = "before";

    int refusedTwice = 0;
    test::EveryRound tick([&] {
        if (!printRunUnderWay() || refusedTwice == 2)
            return;
        ++refusedTwice;
        if (refusedTwice == 1)
            RkPrintFile(program, nullptr);
        else
            PrintFileList({{"O1000.NC", "SHAFT", "2024-03-05", "40"}}, true, "/nc", nullptr);
    });
    dialogs = 0;
    PrintDocument(&doc, 40, 20, 20, 20);
    ASSERT_TRUE(test::untilLongWorkIsOver());
    EXPECT_EQ(refusedTwice, 2);
    EXPECT_EQ(dialogs, 1);
    ASSERT_EQ(boxes.calls().size(), 2u);
    for (const MsgBoxCall &call : boxes.calls()) {
        EXPECT_EQ(call.text, "En utskrift pågår redan. Vänta tills den är klar och försök sedan igen.");
        EXPECT_EQ(call.icon, MbIcon::Exclamation);
    }
    EXPECT_EQ(GsPrinterHeader, "before");
    EXPECT_EQ(pdfPages(outputFile), pages);
    EXPECT_TRUE(errors.isEmpty());

    boxes.clear();
    RkPrintFile(program, nullptr);
    ASSERT_TRUE(test::untilLongWorkIsOver());
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(pdfPages(outputFile), 1);
    EXPECT_TRUE(boxes.calls().empty());
}
