// Syntax files and the spans they colour.
#include "core/errors.h"
#include "core/msgbox.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "documents/syntaxrules.h"
#include "testsupport.h"

#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {

// The rules the editor colouring below is tested with.
const QByteArray kSyntaxForWindows = "[Context]\n1=N\n2=X\n3=G\n[CColor]\n1=808080\n2=0000FF\n3=FF0000\n"
                                     "[CStyle]\n3=B\n[STARTSTOP]\nS1=(\nE1=)\n[SColor]\n1=008000\n[SStyle]\n1=I\n";

SyntaxRules rulesOf(const QByteArray &ini)
{
    IniFile f;
    f.loadFromBytes(ini);
    return parseSyntaxRules(f, "t.syn");
}

// The styles of a text, style index + 1 a byte (0 where no span lies).
QByteArray stylesOf(const QByteArray &text, const SyntaxRules &r)
{
    QByteArray styleOf;
    for (size_t i = 0; i < r.styles.size(); ++i)
        styleOf.append(char(i + 1));
    QByteArray out(text.size(), 'x');
    textStyles(text, r, styleOf, out.data());
    return out;
}

// The spans of a line, or the runs of one style it shows, as "start-end:style"
// text, for short expectations.
QString spansText(const QByteArray &line, const SyntaxRules &r, bool runs)
{
    std::vector<ColorSpan> out;
    if (runs) {
        const QByteArray styles = stylesOf(line, r);
        for (int i = 0; i < styles.size();) {
            int j = i + 1;
            while (j < styles.size() && styles[j] == styles[i])
                ++j;
            if (styles[i] != 0)
                out.push_back({i, j, styles[i] - 1});
            i = j;
        }
    } else {
        lineSpans(line, r, out);
    }
    QStringList parts;
    for (const ColorSpan &s : out)
        parts << QStringLiteral("%1-%2:%3").arg(s.start).arg(s.end).arg(s.style);
    return parts.join(' ');
}

}

TEST(SyntaxFile, ReadsRulesUpToTheFirstGap)
{
    const SyntaxRules r = rulesOf("[Context]\n1=X\n2=G0\n4=M\n[CColor]\n1= 0000FF \n2=FF0000\n"
                                  "[CStyle]\n1=B\n2=i\n[Len]\n2=1\n"
                                  "[STARTSTOP]\nS1=(\nE1=)\nS2=;\nS4=%\n[SColor]\n2=00FF00\n[SStyle]\n1=I\n");
    ASSERT_EQ(r.keywords.size(), 2u); // rule 4 is after the gap
    EXPECT_EQ(r.keywords[0].keyword, "X");
    EXPECT_TRUE(r.keywords[0].withNumber);
    EXPECT_EQ(r.keywords[1].keyword, "G0");
    EXPECT_FALSE(r.keywords[1].withNumber);
    const SyntaxStyle x = r.styles[size_t(r.keywords[0].style)];
    EXPECT_EQ(x.colour, 0x0000FF); // red in the low byte, as stored colours are
    EXPECT_TRUE(x.bold);
    EXPECT_FALSE(x.italic);
    const SyntaxStyle g = r.styles[size_t(r.keywords[1].style)];
    EXPECT_EQ(g.colour, 0xFF0000);
    EXPECT_FALSE(g.bold || g.italic); // lower-case "i" is plain
    ASSERT_EQ(r.ranges.size(), 2u);
    EXPECT_EQ(r.ranges[0].start, "(");
    EXPECT_EQ(r.ranges[0].end, ")");
    EXPECT_TRUE(r.ranges[1].end.isEmpty());
    const SyntaxStyle c = r.styles[size_t(r.ranges[0].style)];
    EXPECT_EQ(c.colour, 0); // a missing colour is black
    EXPECT_TRUE(c.italic);
    EXPECT_EQ(r.styles[size_t(r.ranges[1].style)].colour, 0x00FF00);
}

TEST(SyntaxFile, BadColourThrowsWithItsPlace)
{
    try {
        rulesOf("[Context]\n1=X\n2=Y\n[CColor]\n2=GRÖN\n");
        FAIL() << "no error";
    } catch (const RkError &e) {
        EXPECT_TRUE(e.description().contains("CColor"));
        EXPECT_TRUE(e.description().contains("GRÖN"));
        EXPECT_TRUE(e.description().contains("t.syn"));
    }
    EXPECT_THROW(rulesOf("[STARTSTOP]\nS1=(\n[SColor]\n1=&HFF\n"), RkError);
    EXPECT_NO_THROW(rulesOf("[Context]\n1=X\n[CColor]\n1=\n")); // "&H" alone is 0
}

TEST(SyntaxFile, ChosenByTheMachineFile)
{
    TempEnv env;
    env.write("FANUC.SYN", "[Context]\n1=N\n");
    env.write("heid.syn", "[Context]\n1=L\n2=CC\n");
    env.write("MILL.cfg", "[Settings]\nColorFile=heid\n");
    env.write("LATHE.CFG", "[Settings]\nFileExtension=*.NC\n");
    env.write("NONE.cfg", "[Settings]\nColorFile=\n");
    EXPECT_EQ(loadSyntaxRules("mill").keywords.size(), 2u);  // machine found without regard to case
    EXPECT_EQ(loadSyntaxRules("LATHE").keywords.size(), 1u); // default "fanuc", found as FANUC.SYN
    EXPECT_EQ(loadSyntaxRules("NOSUCH").keywords.size(), 1u);
    EXPECT_TRUE(loadSyntaxRules("NONE").empty());
    EXPECT_TRUE(syntaxFilePath("NONE").isEmpty());
    QFile::remove(env.path("FANUC.SYN"));
    EXPECT_TRUE(loadSyntaxRules("LATHE").empty()); // a missing file is no error
}

TEST(SyntaxSpans, KeywordWithAndWithoutNumber)
{
    const SyntaxRules x = rulesOf("[Context]\n1=X\n2=Y\n[CColor]\n2=FF\n");
    EXPECT_EQ(spansText("X-12.5Y3", x, false), "0-6:0 6-8:1");
    const SyntaxRules xAlone = rulesOf("[Context]\n1=X\n[Len]\n1=yes\n");
    EXPECT_EQ(spansText("X-12.5Y3", xAlone, false), "0-1:0");
    // Signs, points and commas belong to the number.
    EXPECT_EQ(spansText("X+1,5 ", x, false), "0-5:0");
}

TEST(SyntaxSpans, LongKeywordWithNumberColoursWordAndNumber)
{
    const SyntaxRules r = rulesOf("[Context]\n1=G0\n2=M98\n");
    EXPECT_EQ(spansText("G01 X5", r, false), "0-3:0");
    EXPECT_EQ(spansText("GO", r, false), "");
    EXPECT_EQ(spansText("M98P1000", r, false), "0-3:0");
    EXPECT_EQ(spansText("N5M98 P12", r, false), "2-5:0");
}

TEST(SyntaxSpans, EveryOccurrenceIncludingNeighbours)
{
    const SyntaxRules g = rulesOf("[Context]\n1=G\n");
    EXPECT_EQ(spansText("G1G2 G3", g, false), "0-2:0 2-4:0 5-7:0");
    const SyntaxRules xx = rulesOf("[Context]\n1=X\n[Len]\n1=1\n");
    EXPECT_EQ(spansText("XX", xx, false), "0-1:0 1-2:0");
    const SyntaxRules cs = rulesOf("[Context]\n1=x\n");
    EXPECT_EQ(spansText("X1", cs, false), ""); // case-sensitive
}

TEST(SyntaxSpans, RangesEndAfterTheirStartAndOnlyTheFirstCounts)
{
    const SyntaxRules r = rulesOf("[STARTSTOP]\nS1=(\nE1=)\nS2=;\nS3=\"\nE3=\"\n"
                                  "[SColor]\n1=1\n2=2\n3=3\n");
    EXPECT_EQ(spansText("(A) (B)", r, false), "0-3:0");
    EXPECT_EQ(spansText(") X (A)", r, false), "4-7:0"); // the ")" before the start is not the end
    EXPECT_EQ(spansText("G1 (OPEN", r, false), "");      // no end: nothing
    EXPECT_EQ(spansText("G1 ; rest", r, false), "3-9:1"); // empty end: to the end of the line
    EXPECT_EQ(spansText("A \"B\" C", r, false), "2-5:2"); // same start and end string
    const SyntaxRules multi = rulesOf("[STARTSTOP]\nS1=/*\nE1=*/\n");
    EXPECT_EQ(spansText("G1 /* A */ X", multi, false), "3-10:0"); // the whole end string
}

TEST(SyntaxSpans, RunsShowTheLastRuleOnEachCharacter)
{
    const SyntaxRules r = rulesOf("[Context]\n1=N\n2=X\n3=T\n[CColor]\n1=1\n2=2\n3=3\n"
                                  "[STARTSTOP]\nS1=(\nE1=)\n[SColor]\n1=4\n[SStyle]\n1=I\n");
    // The comment colours the X inside it; keywords outside keep theirs.
    EXPECT_EQ(spansText("N10 X5 (X1 T2) T3", r, true), "0-3:0 4-6:1 7-14:3 15-17:2");
    EXPECT_EQ(spansText("", r, true), "");
    EXPECT_EQ(spansText("G0 Y1", r, true), "");
    // Neighbouring runs of one style are one run.
    const SyntaxRules same = rulesOf("[Context]\n1=X\n2=Y\n");
    EXPECT_EQ(spansText("X1Y2", same, true), "0-4:0");
    EXPECT_EQ(same.styles.size(), 1u);
}

TEST(SyntaxFile, ShippedFanucFileColoursATypicalBlock)
{
    IniFile f;
    ASSERT_TRUE(f.load(QStringLiteral(LUMRIK_SOURCE_DIR "/resources/data/install/fanuc.syn")));
    const SyntaxRules r = parseSyntaxRules(f, "fanuc.syn");
    EXPECT_GE(r.keywords.size(), 20u);
    EXPECT_GE(r.ranges.size(), 1u);
    const QByteArray line = "N20 T1 M6 (PLANFRAS D50)";
    const QByteArray styles = stylesOf(line, r);
    EXPECT_NE(styles[0], 0);
    EXPECT_EQ(styles[2], styles[0]);              // N20
    EXPECT_EQ(styles[3], 0);
    const qsizetype open = line.indexOf('(');
    EXPECT_EQ(styles.mid(open), QByteArray(line.size() - open, styles[open])); // the comment, whole
    EXPECT_TRUE(r.styles[size_t(styles[open] - 1)].italic);
}

// A stretch of many lines shows on each line what that line's spans give,
// laid down one after the other; line ends stay plain.
TEST(SyntaxSpans, TextStylesAreTheLinesSpansOneAfterTheOther)
{
    const SyntaxRules r = rulesOf("[Context]\n1=N\n2=X\n3=G0\n4=-\n[Len]\n3=1\n[CColor]\n1=1\n2=2\n3=3\n4=4\n"
                                  "[STARTSTOP]\nS1=(\nE1=)\nS2=;\nS3=X\nE3=Y\n[SColor]\n1=5\n2=6\n3=7\n");
    const char alphabet[] = "NXYG0-1.;() \r\n";
    QByteArray text;
    unsigned seed = 7;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245 + 12345;
        text.append(alphabet[(seed >> 16) % (sizeof alphabet - 1)]);
    }
    const QByteArray styles = stylesOf(text, r);
    QByteArray expected(text.size(), 0);
    std::vector<ColorSpan> spans;
    for (qsizetype at = 0; at <= text.size();) {
        qsizetype end = at;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        lineSpans(QByteArrayView(text).sliced(at, end - at), r, spans);
        for (const ColorSpan &sp : spans)
            for (int k = sp.start; k < sp.end; ++k)
                expected[at + k] = char(sp.style + 1);
        at = end + ((end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ? 2 : 1);
    }
    ASSERT_EQ(styles.size(), expected.size());
    for (qsizetype i = 0; i < text.size(); ++i)
        ASSERT_EQ(int(styles[i]), int(expected[i])) << "at " << i;
}

TEST(SyntaxSpans, AStartStringHoldingALineEndEndsTheRun)
{
    // A range rule read from a file of lone CRs may begin with one; colouring
    // a text with it comes to an end and colours nothing past the line.
    SyntaxRules r = rulesOf("[STARTSTOP]\nS1=(\nE1=)\n[SColor]\n1=5\n");
    ASSERT_EQ(r.ranges.size(), 1u);
    r.ranges[0].start = "\r";
    r.ranges[0].end.clear();
    const QByteArray text = "N1\rN2\r\nN3\r";
    const QByteArray styles = stylesOf(text, r);
    EXPECT_EQ(styles.size(), text.size());
}

// Coloured a window at a time, in windows of any size from one byte to the
// whole text, a text shows what it shows coloured whole: keywords with their
// numbers, closed and unclosed ranges and end-of-line ranges that reach past
// a window, start strings holding a line end, every kind of line end. Each
// window is given a fresh copy of the text, as a text whose bytes moved.
TEST(SyntaxSpans, WindowsTogetherGiveTheWholeTextsStyles)
{
    std::vector<SyntaxRules> ruleSets = {
        rulesOf("[Context]\n1=N\n2=X\n3=G0\n4=-\n[Len]\n3=1\n[CColor]\n1=1\n2=2\n3=3\n4=4\n"
                "[STARTSTOP]\nS1=(\nE1=)\nS2=;\nS3=X\nE3=Y\n[SColor]\n1=5\n2=6\n3=7\n"),
        rulesOf("[Context]\n1=N\n2=X\n3=T\n[CColor]\n1=1\n2=2\n3=3\n"
                "[STARTSTOP]\nS1=(\nE1=)\n[SColor]\n1=4\n[SStyle]\n1=I\n"),
        rulesOf("[STARTSTOP]\nS1=(\nE1=)\nS2=;\nS3=\"\nE3=\"\n[SColor]\n1=1\n2=2\n3=3\n"),
        rulesOf("[Context]\n1=G\n2=XX\n[Len]\n2=1\n[STARTSTOP]\nS1=/*\nE1=*/\nS2=((\nE2=))\n[SColor]\n1=1\n2=2\n"),
        rulesOf(kSyntaxForWindows),
    };
    {
        IniFile f;
        ASSERT_TRUE(f.load(QStringLiteral(LUMRIK_SOURCE_DIR "/resources/data/install/fanuc.syn")));
        ruleSets.push_back(parseSyntaxRules(f, "fanuc.syn"));
    }
    // Start strings with line ends of their own, and an end string that holds one.
    SyntaxRules lineEnds = rulesOf("[Context]\n1=N\n[STARTSTOP]\nS1=(\nE1=)\nS2=;\nS3=X\n[SColor]\n1=1\n2=2\n3=3\n");
    lineEnds.ranges[0].start = "\r";
    lineEnds.ranges[1].start = "\n(";
    lineEnds.ranges[2].end = ")\r\n";
    ruleSets.push_back(lineEnds);

    QRandomGenerator rng(1209);
    const QByteArray alphabet = QByteArray("NXYTG0G01-.,+;()\"/**/ ") + "\r\n\r\n" + "\x80\xE4\xFF";
    for (size_t r = 0; r < ruleSets.size(); ++r) {
        const SyntaxRules &rules = ruleSets[r];
        QByteArray styleOf;
        for (size_t i = 0; i < rules.styles.size(); ++i)
            styleOf.append(char(i + 1));
        for (int round = 0; round < 40; ++round) {
            // Short texts with many line ends, and long lines now and then.
            const int size = int(rng.bounded(round < 20 ? 60 : 2000));
            const bool longLines = round % 3 == 2;
            QByteArray text;
            for (int i = 0; i < size; ++i) {
                char c = alphabet[int(rng.bounded(alphabet.size()))];
                if (longLines && (c == '\r' || c == '\n') && rng.bounded(20) != 0)
                    c = ' ';
                text.append(c);
            }
            const QByteArray whole = stylesOf(text, rules);
            // Windows up to a few bytes, up to a line or two, and up to the whole text.
            const qsizetype most[] = {4, 80, qMax<qsizetype>(1, text.size())};
            for (qsizetype upTo : most) {
                TextStyler styler(rules, styleOf);
                QByteArray windowed;
                QByteArray sizes;
                for (qsizetype from = 0; from < text.size();) {
                    const qsizetype to = qMin(text.size(), from + 1 + qsizetype(rng.bounded(quint32(upTo))));
                    const QByteArray copy(text.constData(), text.size()); // the bytes elsewhere
                    QByteArray out(to - from + 1, '\x7e');
                    styler.styles(copy, from, to, out.data());
                    ASSERT_EQ(out.back(), '\x7e') << "written past the window";
                    windowed += out.first(to - from);
                    sizes += QByteArray::number(to - from) + ' ';
                    from = to;
                }
                ASSERT_EQ(windowed, whole) << "rules " << r << " round " << round << " text \""
                                           << text.toPercentEncoding(" ").toStdString() << "\" windows "
                                           << sizes.toStdString();
            }
        }
    }
}

// ----- colouring an editor --------------------------------------------------------

#include "core/progress.h"
#include "core/services.h"
#include "documents/editor.h"
#include "documents/syntax.h"

namespace {

const QByteArray kSyntax = "[Context]\n1=N\n2=X\n3=G\n[CColor]\n1=808080\n2=0000FF\n3=FF0000\n"
                           "[CStyle]\n3=B\n[STARTSTOP]\nS1=(\nE1=)\n[SColor]\n1=008000\n[SStyle]\n1=I\n";

const QByteArray kText = "%\r\nN10 G1 X-12.5 (X1 G2)\r\nN20 X5\r\nN30 G0\r\nN40 M30\r\n";

struct Colouring {
    TempEnv env;
    Editor ed;
    Colouring(const QByteArray &syntax = kSyntax)
    {
        env.write("MILL.cfg", "[Settings]\nColorFile=mill\n");
        env.write("mill.syn", syntax);
        ed.setForeColor(Qt::black);
        ed.setTextAll(kText);
        ed.setIsDirty(false);
    }
    QColor at(int line, int col) const { return ed.characterForeColorAt(line, col); }
};

}

TEST(ColorNC, ColoursWholeDocumentFromLineOne)
{
    Colouring c;
    EXPECT_EQ(ColorNC(&c.ed, "MILL", 0, 0, 30000, false), c.ed.Count());
    // Line 2: N10 G1 X-12.5 (X1 G2)
    EXPECT_EQ(c.at(2, 1), rkColor(0x808080));
    EXPECT_EQ(c.at(2, 3), rkColor(0x808080));
    EXPECT_EQ(c.at(2, 4), Qt::black); // the blank
    EXPECT_EQ(c.at(2, 5), QColor(0, 0, 255)); // FF0000 is blue
    EXPECT_TRUE(c.ed.characterBoldAt(2, 5));
    EXPECT_EQ(c.at(2, 8), QColor(255, 0, 0)); // red
    EXPECT_EQ(c.at(2, 13), QColor(255, 0, 0));
    EXPECT_FALSE(c.ed.characterBoldAt(2, 8));
    EXPECT_EQ(c.at(2, 16), rkColor(0x008000)); // the comment wins over X1 and G2
    EXPECT_EQ(c.at(2, 17), rkColor(0x008000));
    EXPECT_TRUE(c.ed.characterItalicAt(2, 20));
    EXPECT_FALSE(c.ed.characterBoldAt(2, 20));
    EXPECT_EQ(c.at(2, 15), rkColor(0x008000)); // "("
    EXPECT_EQ(c.at(2, 21), rkColor(0x008000)); // ")"
    EXPECT_EQ(c.at(5, 1), rkColor(0x808080)); // the last line too
    EXPECT_EQ(c.at(5, 5), Qt::black);         // M has no rule
    EXPECT_EQ(c.ed.TextAll(), kText);         // the text itself is untouched
}

TEST(ColorNC, LineRangeAndEarlierColoursReset)
{
    Colouring c;
    ColorNC(&c.ed, "MILL", 0, 0, 0, false);
    EXPECT_EQ(ColorNC(&c.ed, "MILL", 1, 3, 3000, false), 3);
    EXPECT_EQ(c.at(3, 1), rkColor(0x808080));
    EXPECT_EQ(c.at(4, 1), Qt::black); // beyond the range: plain again
    EXPECT_EQ(ColorNC(&c.ed, "MILL", 4, 1000, 3000, false), c.ed.Count() - 3);
}

TEST(ColorNC, GivesBackCaretSelectionModesAndModifiedFlag)
{
    for (bool dirty : {false, true}) {
        Colouring c;
        c.ed.setIsDirty(dirty);
        c.ed.setCaret(2, 3);
        c.ed.setSelMark(1);
        c.ed.setCaret(6, 4); // selection from line 3 column 2 to line 4 column 6
        c.ed.setTextIndex(5);
        c.ed.setInsertMode(false);
        const int x1 = c.ed.SelStartX(), y1 = c.ed.SelStartY(), x2 = c.ed.SelEndX(), y2 = c.ed.SelEndY();
        const int caretX = c.ed.CaretX(), caretY = c.ed.CaretY();
        ColorNC(&c.ed, "MILL", 0, 0, 30000, true);
        ASSERT_TRUE(test::untilLongWorkIsOver());
        EXPECT_EQ(c.ed.IsDirty(), dirty);
        EXPECT_EQ(c.ed.SelStartX(), x1);
        EXPECT_EQ(c.ed.SelStartY(), y1);
        EXPECT_EQ(c.ed.SelEndX(), x2);
        EXPECT_EQ(c.ed.SelEndY(), y2);
        EXPECT_EQ(c.ed.CaretX(), caretX);
        EXPECT_EQ(c.ed.CaretY(), caretY);
        EXPECT_EQ(c.ed.TextIndex(), 5);
        EXPECT_FALSE(c.ed.InsertMode());
        EXPECT_TRUE(c.ed.Redraw());
    }
}

// With progress the call returns before the lines are coloured; the text is
// read-only until they are in, and the caller hears how many there were.
TEST(ColorNC, WithProgressTheLinesComeAfterTheReturn)
{
    Colouring c;
    int heard = -1;
    EXPECT_EQ(ColorNC(&c.ed, "MILL", 1, 3, 3000, true, nullptr, [&](int lines) { heard = lines; }), 0);
    EXPECT_EQ(heard, -1);
    EXPECT_TRUE(c.ed.ReadOnly());
    ASSERT_TRUE(test::untilLongWorkIsOver());
    EXPECT_EQ(heard, 3);
    EXPECT_FALSE(c.ed.ReadOnly());
    EXPECT_EQ(c.at(3, 1), rkColor(0x808080));
    EXPECT_EQ(c.at(4, 1), Qt::black);
    EXPECT_EQ(c.ed.TextAll(), kText);

    // A bad syntax file: reported, and heard at once.
    c.env.write("mill.syn", "[Context]\n1=N\n[CColor]\n1=BLÅ\n");
    setMsgBoxHook([&](const MsgBoxCall &) { return MbOk; });
    ColorNC(&c.ed, "MILL", 0, 0, 0, true, nullptr, [&](int lines) { heard = lines; });
    setMsgBoxHook({});
    EXPECT_EQ(heard, 0);
    EXPECT_FALSE(LongWork::underWay());
}

TEST(ColorNC, BadSyntaxFileIsReportedAndChangesNothing)
{
    Colouring c("[Context]\n1=N\n[CColor]\n1=BLÅ\n");
    c.ed.setInsertMode(false);
    // A bad value in the syntax file is told in a plain box naming it, never
    // in the error report.
    QString reported, report;
    setErrorBoxHook([&](const QString &text) { report = text; return true; });
    setMsgBoxHook([&](const MsgBoxCall &call) { reported = call.text; return MbOk; });
    EXPECT_EQ(ColorNC(&c.ed, "MILL", 0, 0, 0, true), 0);
    setMsgBoxHook({});
    setErrorBoxHook({});
    EXPECT_TRUE(reported.contains("BLÅ"));
    EXPECT_TRUE(report.isEmpty());
    EXPECT_TRUE(c.ed.Redraw());
    EXPECT_FALSE(c.ed.InsertMode());
    EXPECT_FALSE(c.ed.IsDirty());
}

TEST(ColorNC, MissingSyntaxFileOnlyResets)
{
    Colouring c;
    ColorNC(&c.ed, "MILL", 0, 0, 0, false);
    QFile::remove(c.env.path("mill.syn"));
    ColorNC(&c.ed, "MILL", 0, 0, 0, false);
    EXPECT_EQ(c.at(2, 1), Qt::black);
    EXPECT_TRUE(c.ed.Redraw());
}

TEST(ColorNC, TimeBudgetStopsARun)
{
    Colouring c;
    QByteArray big;
    for (int i = 0; i < 200000; ++i)
        big += "N" + QByteArray::number(i) + " G1 X1. (A)\r\n";
    c.ed.setTextAll(big);
    const int done = ColorNC(&c.ed, "MILL", 0, 0, 1, false);
    EXPECT_GT(done, 0);
    EXPECT_LT(done, c.ed.Count());
    EXPECT_EQ(c.at(c.ed.Count() - 1, 1), Qt::black);
}
