// Texts with lines too long for the editor component: the rows they are shown
// in, and the editor doing with such a text exactly what it does with any
// other, key for key, byte for byte, undo and redo included.
#include "core/globals.h"
#include "documents/editor.h"
#include "documents/syntax.h"
#include "documents/textrows.h"
#include "testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace lumrik;
using namespace lumrik::test;

namespace {

// The shown text without its row breaks.
QByteArray withoutBreaks(const QByteArray &shown, const TextRows &rows)
{
    QByteArray out = shown;
    const auto &breaks = rows.breaks();
    for (qsizetype i = qsizetype(breaks.size()) - 1; i >= 0; --i) {
        const qint64 at = breaks[size_t(i)] + i;
        EXPECT_EQ(out.at(at), '\n') << "break " << i;
        out.remove(at, 1);
    }
    return out;
}

// No row of the shown text is longer than a row may be.
qsizetype longestRow(const QByteArray &shown)
{
    qsizetype longest = 0, row = 0;
    for (char c : shown) {
        if (c == '\r' || c == '\n')
            row = 0;
        else
            longest = std::max(longest, ++row);
    }
    return longest;
}

QByteArray randomText(std::mt19937 &rnd, int lines)
{
    QByteArray text;
    for (int i = 0; i < lines; ++i) {
        const int length = (rnd() % 4 == 0) ? int(rnd() % 3000) : int(rnd() % 40);
        for (int k = 0; k < length; ++k)
            text += "NXG01 .-"[rnd() % 8];
        text += (rnd() % 5 == 0) ? "\n" : (rnd() % 9 == 0 ? "\r" : "\r\n");
    }
    return text;
}

}

TEST(TextRows, LongLinesAreShownInRowsAndChangesKeepThemShort)
{
    std::mt19937 rnd(11);
    QByteArray text = randomText(rnd, 60);
    TextRows rows;
    QByteArray shown = rows.layOut(text);
    EXPECT_EQ(withoutBreaks(shown, rows), text);
    EXPECT_LE(longestRow(shown), TextRows::kRowBytes);
    EXPECT_FALSE(rows.breaks().empty());

    for (int round = 0; round < 400; ++round) {
        const qint64 from = qint64(rnd() % (text.size() + 1));
        const qint64 to = std::min<qint64>(text.size(), from + qint64(rnd() % (round % 7 == 0 ? 2000 : 5)));
        QByteArray bytes;
        const int length = int(rnd() % (round % 11 == 0 ? 900 : 4));
        for (int k = 0; k < length; ++k)
            bytes += "AB1\r\n "[rnd() % 6];
        const TextRows::Change c = rows.change(text, from, to, bytes);
        text.replace(from, to - from, bytes);
        shown.replace(c.shownFrom, c.shownTo - c.shownFrom, c.shown);
        ASSERT_EQ(withoutBreaks(shown, rows), text) << "round " << round;
        ASSERT_LE(longestRow(shown), 2 * TextRows::kRowBytes) << "round " << round;
    }
    // Positions go back and forth; a break is no position of the text.
    for (qint64 d = 0; d <= text.size(); d += 7) {
        EXPECT_EQ(rows.textAt(rows.shownAfter(d)), d);
        EXPECT_EQ(rows.textAt(rows.shownBefore(d)), d);
    }
}

// Typing byte after byte into a row, or deleting, leaves rows of about the
// row length: no run of short rows.
TEST(TextRows, TypingAndDeletingLeaveNoShortRows)
{
    QByteArray text(20 * TextRows::kRowBytes, 'X');
    TextRows rows;
    QByteArray shown = rows.layOut(text);
    auto apply = [&](qint64 from, qint64 to, QByteArrayView bytes) {
        const TextRows::Change c = rows.change(text, from, to, bytes);
        text.replace(from, to - from, bytes.toByteArray());
        shown.replace(c.shownFrom, c.shownTo - c.shownFrom, c.shown);
    };
    for (int i = 0; i < 1000; ++i)
        apply(3 * TextRows::kRowBytes + 10 + i, 3 * TextRows::kRowBytes + 10 + i, "A");
    for (int i = 0; i < 700; ++i)
        apply(5 * TextRows::kRowBytes, 5 * TextRows::kRowBytes + 1, {});
    ASSERT_EQ(withoutBreaks(shown, rows), text);
    const QList<QByteArray> shownRows = shown.split('\n');
    for (qsizetype i = 0; i + 1 < shownRows.size(); ++i)
        EXPECT_GE(shownRows[i].size(), TextRows::kRowBytes / 2) << "row " << i;
    EXPECT_LE(longestRow(shown), 2 * TextRows::kRowBytes);
}

TEST(TextRows, OnlyLinesLongerThanTheLimitNeedRows)
{
    EXPECT_FALSE(TextRows::needed(QByteArray(TextRows::kLongLine, 'X') + "\r\n" + QByteArray(TextRows::kLongLine, 'Y')));
    EXPECT_TRUE(TextRows::needed("N10\r\n" + QByteArray(TextRows::kLongLine + 1, 'X')));
    EXPECT_TRUE(TextRows::needed(QByteArray(TextRows::kLongLine + 1, 'X') + "\r"));
    EXPECT_FALSE(TextRows::needed(""));
}

// The rule as it reads: some line, from its start to its first CR or LF,
// longer than the limit.
static bool longLineByLines(const QByteArray &text)
{
    qsizetype run = 0;
    for (char c : text) {
        run = (c == '\r' || c == '\n') ? 0 : run + 1;
        if (run > TextRows::kLongLine)
            return true;
    }
    return false;
}

TEST(TextRows, LongLinesAreFoundWhereverTheyStandAndWhateverEndsThem)
{
    const qsizetype limit = TextRows::kLongLine;
    // A line of the limit and one more byte, at every kind of place.
    for (const char *end : {"\r\n", "\n", "\r", "\n\r"}) {
        for (qsizetype lead : {qsizetype(0), qsizetype(1), limit - 1, limit, limit + 1, 3 * limit + 7}) {
            QByteArray before;
            while (before.size() < lead)
                before += QByteArray(std::min<qsizetype>(40, lead - before.size()), 'N') + end;
            before.truncate(lead);
            for (qsizetype length : {limit - 1, limit, limit + 1}) {
                const QByteArray text = before + end + QByteArray(length, 'X') + end + "M30";
                EXPECT_EQ(TextRows::needed(text), longLineByLines(text)) << "lead " << lead << " length " << length;
                EXPECT_EQ(TextRows::needed(before + end + QByteArray(length, 'X')), length > limit);
            }
        }
    }
    // Random texts whose line ends are scarce enough for lines near the limit.
    quint32 seed = 2026;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 300; ++round) {
        QByteArray text(qsizetype(next() % (6 * limit)), 'G');
        const quint32 ends = next() % 12;
        for (quint32 i = 0; i < ends && !text.isEmpty(); ++i)
            text[qsizetype(next() % text.size())] = (next() & 1) ? '\r' : '\n';
        ASSERT_EQ(TextRows::needed(text), longLineByLines(text)) << "round " << round;
    }
}

namespace {

// Two editors with the same text: one holds it as it is (put in as a
// selection's replacement, which never shows a text in rows), the other was
// given it from a file and shows it in rows.
struct Pair {
    TempEnv env;
    Editor plain, rows;
    explicit Pair(const QByteArray &text)
    {
        plain.setSelText(text);
        plain.setCaret(1, 1);
        plain.emptyUndoBuffer();
        plain.setIsDirty(false);
        rows.FileLoad(env.write("LONG.NC", text));
    }
    template <class F> void both(F f)
    {
        f(plain);
        f(rows);
    }
    static void key(Editor &ed, int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(ed.focusProxy(), Qt::Key(key), mods);
    }
    void expectSame(const char *what)
    {
        ASSERT_EQ(rows.TextAll(), plain.TextAll()) << what;
        ASSERT_EQ(rows.Count(), plain.Count()) << what;
        ASSERT_EQ(rows.caretOffset(), plain.caretOffset()) << what;
        ASSERT_EQ(rows.anchorOffset(), plain.anchorOffset()) << what;
        ASSERT_EQ(rows.CaretY(), plain.CaretY()) << what;
        ASSERT_EQ(rows.CaretX(), plain.CaretX()) << what;
        ASSERT_EQ(rows.IsDirty(), plain.IsDirty()) << what;
    }
};

QByteArray longLineProgram()
{
    QByteArray text = "%\r\nO1000 (LANG RAD)\r\n";
    for (int i = 1; text.size() < 3 * TextRows::kLongLine; ++i)
        text += "N" + QByteArray::number(i * 10) + "G1X" + QByteArray::number(i % 500) + ".5F100";
    text += "\r\nM30\r\n";
    return text;
}

}

TEST(LongLines, LinesPositionsAndViewsAreThoseOfTheText)
{
    const QByteArray text = longLineProgram();
    Pair p(text);
    EXPECT_EQ(p.rows.TextAll(), text);
    EXPECT_EQ(p.rows.textView(), QByteArrayView(text));
    ASSERT_EQ(p.rows.Count(), p.plain.Count());
    for (int line = 1; line <= p.rows.Count(); ++line) {
        EXPECT_EQ(p.rows.lineView(line), p.plain.lineView(line)) << line;
        EXPECT_EQ(p.rows.lineOffset(line), p.plain.lineOffset(line)) << line;
        p.both([&](Editor &e) { e.setTextIndex(line); });
        EXPECT_EQ(p.rows.Text(), p.plain.Text()) << line;
    }
    for (qint64 at : {qint64(0), qint64(30), qint64(1000), qint64(text.size() - 3), qint64(text.size())}) {
        EXPECT_EQ(p.rows.lineOfOffset(at), p.plain.lineOfOffset(at)) << at;
        p.both([&](Editor &e) { e.setSelectionOffsets(at, at); });
        p.expectSame("caret");
    }
    // A selection across row breaks holds the text's bytes only.
    p.both([](Editor &e) {
        e.setCaret(200, 3);
        e.setSelMark(1);
        e.setSelEndX(900);
        e.setSelEndY(3);
    });
    EXPECT_EQ(p.rows.SelText(), p.plain.SelText());
    EXPECT_EQ(p.rows.SelText().size(), 700);
    EXPECT_FALSE(p.rows.IsDirty());
}

// Keys and commands at random places, near row breaks above all: the text,
// the caret and the changed flag are the same as without rows after every
// step; all undone the text is the one loaded, all redone the one reached.
TEST(LongLines, EditingIsTheSameKeyForKeyWithUndoAndRedo)
{
    const QByteArray text = longLineProgram();
    Pair p(text);
    const qint64 lineStart = p.plain.lineOffset(3);
    std::mt19937 rnd(5);
    auto place = [&]() -> qint64 {
        const qint64 n = p.plain.TextLength();
        qint64 at = (rnd() % 3 == 0) ? qint64(rnd() % (n + 1))
                                      : lineStart + qint64(rnd() % 40) * TextRows::kRowBytes + qint64(rnd() % 3) - 1;
        at = std::clamp<qint64>(at, 0, n);
        // Never between the CR and the LF of a line end.
        const QByteArrayView t = p.plain.textView();
        if (at > 0 && at < n && t[at - 1] == '\r' && t[at] == '\n')
            --at;
        return at;
    };
    for (int step = 0; step < 300; ++step) {
        const qint64 a = place();
        const qint64 c = (rnd() % 4 == 0) ? place() : a;
        p.both([&](Editor &e) { e.setSelectionOffsets(a, c); });
        switch (rnd() % 9) {
        case 0: case 1: case 2:
            p.both([&](Editor &e) { QTest::keyClicks(e.focusProxy(), "X1"); });
            break;
        case 3: p.both([](Editor &e) { Pair::key(e, Qt::Key_Backspace); }); break;
        case 4: p.both([](Editor &e) { Pair::key(e, Qt::Key_Delete); }); break;
        case 5: p.both([](Editor &e) { Pair::key(e, Qt::Key_Return); }); break;
        case 6:
            QApplication::clipboard()->setText(QStringLiteral("G0 Z5\r\nN7"));
            p.both([](Editor &e) { Pair::key(e, Qt::Key_V, Qt::ControlModifier); });
            break;
        case 7: p.both([](Editor &e) { e.setAction(4); }); break;
        default:
            p.both([](Editor &e) {
                e.setInsertMode(false); // overtype
                QTest::keyClicks(e.focusProxy(), "Y");
                e.setInsertMode(true);
            });
            break;
        }
        p.expectSame("step");
        if (HasFatalFailure()) {
            ADD_FAILURE() << "step " << step;
            return;
        }
    }
    const QByteArray reached = p.plain.TextAll();
    EXPECT_TRUE(p.rows.IsDirty());
    // The undo steps differ in size (typing is grouped differently), not in what they give.
    auto undoAll = [](Editor &e, int key, Qt::KeyboardModifiers mods) {
        for (int i = 0; i < 2000; ++i) {
            const QByteArray before = e.TextAll();
            Pair::key(e, key, mods);
            if (e.TextAll() == before && i > 0) {
                Pair::key(e, key, mods); // twice unchanged: nothing left
                if (e.TextAll() == before)
                    return;
            }
        }
    };
    p.both([&](Editor &e) { undoAll(e, Qt::Key_Z, Qt::ControlModifier); });
    EXPECT_EQ(p.rows.TextAll(), text);
    EXPECT_EQ(p.plain.TextAll(), text);
    EXPECT_FALSE(p.rows.IsDirty());
    p.both([&](Editor &e) { undoAll(e, Qt::Key_Y, Qt::ControlModifier); });
    EXPECT_EQ(p.rows.TextAll(), reached);
    EXPECT_EQ(p.plain.TextAll(), reached);
}

TEST(LongLines, SavedByteForByteAndChangedFlagFollowsTheSavePoint)
{
    const QByteArray text = longLineProgram();
    Pair p(text);
    p.rows.setCaret(5000, 3);
    QTest::keyClicks(p.rows.focusProxy(), "ABC");
    EXPECT_TRUE(p.rows.IsDirty());
    const QString saved = p.env.path("SAVED.NC");
    p.rows.FileSave(saved);
    QByteArray expected = text;
    expected.insert(p.plain.lineOffset(3) + 4999, "ABC");
    EXPECT_EQ(readFile(saved), expected);
    p.rows.setIsDirty(false);
    EXPECT_FALSE(p.rows.IsDirty());
    Pair::key(p.rows, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(p.rows.IsDirty());
    Pair::key(p.rows, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_FALSE(p.rows.IsDirty());
    // A read-only text takes no keys.
    p.rows.setReadOnly(true);
    EXPECT_TRUE(p.rows.ReadOnly());
    QTest::keyClicks(p.rows.focusProxy(), "Q");
    Pair::key(p.rows, Qt::Key_Backspace);
    EXPECT_EQ(p.rows.TextAll(), expected);
}

// The whole-text commands: find, replace all, a rewrite of every line and a
// new text, each one undo step, the same bytes as without rows.
TEST(LongLines, FindReplaceRewriteAndNewTextAsWithoutRows)
{
    const QByteArray text = longLineProgram();
    Pair p(text);
    p.both([](Editor &e) {
        e.SearchTarget = "N3000G1";
        e.SearchOrigin = 1;
        e.setAction(9);
    });
    EXPECT_TRUE(p.rows.SearchResult());
    EXPECT_EQ(p.rows.SelText(), "N3000G1");
    p.expectSame("find");

    p.both([](Editor &e) {
        QObject::connect(&e, &Editor::ReplaceQuery, [](int &a) { a = 4; });
        e.SearchTarget = "G1";
        e.SearchReplacement = "G01";
        e.setAction(10);
        test::untilLongWorkIsOver(); // a large program ends from the event loop
    });
    EXPECT_GT(p.rows.searchReplacedCount(), 1000);
    p.expectSame("replace all");

    auto pack = [](QByteArrayView line, int) { return line.toByteArray().replace("X", " X "); };
    p.both([&](Editor &e) { e.rewriteLines(pack); });
    p.expectSame("rewrite");
    const QByteArray rewritten = p.rows.TextAll();
    p.both([](Editor &e) { e.setAction(6); });
    p.expectSame("undo of the rewrite");
    p.both([](Editor &e) { Pair::key(e, Qt::Key_Y, Qt::ControlModifier); });
    EXPECT_EQ(p.rows.TextAll(), rewritten);

    p.both([](Editor &e) {
        e.setTextIndex(2);
        e.setInsertMode(true);
        e.setText("(NY RAD)");
        e.setInsertMode(false);
        e.setTextIndex(4);
        e.setText("M02");
    });
    p.expectSame("lines written");
    p.both([](Editor &e) { e.setTextAll("N1\r\nN2"); });
    p.expectSame("new text");
    EXPECT_EQ(p.rows.Count(), 2);
    p.both([](Editor &e) { e.setAction(6); });
    p.expectSame("undo of the new text");
}

TEST(LongLines, ColouringLandsOnTheTextsBytes)
{
    const QByteArray text = longLineProgram();
    Pair p(text);
    p.env.write("MILL.cfg", "[Settings]\nColorFile=mill\n");
    p.env.write("mill.syn", "[Context]\n1=N\n2=X\n[CColor]\n1=0000FF\n2=FF0000\n");
    p.both([](Editor &e) { ColorNC(&e, "MILL", 0, 0, 0, false); });
    const int line = 3;
    const QByteArray row = p.plain.lineView(line).toByteArray();
    for (int col = 1; col <= 3000; col += 37)
        ASSERT_EQ(p.rows.characterForeColorAt(line, col), p.plain.characterForeColorAt(line, col)) << col;
    EXPECT_EQ(p.rows.characterForeColorAt(line, row.indexOf('X', 600) + 1), QColor(0, 0, 255));
    EXPECT_EQ(p.rows.TextAll(), text);
    EXPECT_FALSE(p.rows.IsDirty());

    // Replacing all keeps the colours of what stays, across the row breaks too.
    p.both([](Editor &e) {
        QObject::connect(&e, &Editor::ReplaceQuery, [](int &a) { a = 4; });
        e.SearchTarget = "F100";
        e.SearchReplacement = "F2000";
        e.SearchOrigin = 1;
        e.setAction(10);
        test::untilLongWorkIsOver(); // a large program ends from the event loop
    });
    p.expectSame("replace all");
    const int length = int(p.plain.lineView(line).size());
    for (int col = 1; col <= length; col += 13)
        ASSERT_EQ(p.rows.characterForeColorAt(line, col), p.plain.characterForeColorAt(line, col)) << col;
}

TEST(LongLines, ANewTextWithALongLineUndoesToTheOldOne)
{
    Editor ed;
    ed.setTextAll("N10\r\nN20");
    ed.emptyUndoBuffer();
    ed.setIsDirty(false);
    const QByteArray text = longLineProgram();
    ed.setTextAll(text);
    EXPECT_EQ(ed.TextAll(), text);
    EXPECT_TRUE(ed.IsDirty());
    ed.setCaret(1, 3);
    QTest::keyClicks(ed.focusProxy(), "AB");
    EXPECT_EQ(ed.lineView(3).first(4), QByteArrayView("ABN1"));
    ed.setAction(6);
    EXPECT_EQ(ed.TextAll(), text);
    ed.setAction(6);
    EXPECT_EQ(ed.TextAll(), "N10\r\nN20");
    EXPECT_FALSE(ed.IsDirty());
    ed.setAction(6); // nothing more to undo
    EXPECT_EQ(ed.TextAll(), "N10\r\nN20");
}

// Laid out a piece at a time, the rows are the same bytes as laid out whole,
// also where a piece ends inside a long line or right at a break.
TEST(TextRows, RowsInPiecesAreTheRowsWhole)
{
    std::mt19937 rnd(5);
    for (QByteArray text : {randomText(rnd, 60), QByteArray(3 * 1024 * 1024 + 7, 'X'),
                            QByteArray(1024 * 1024, 'Y') + "\r\n" + QByteArray(2 * 1024 * 1024 + 1, 'Z')}) {
        TextRows whole, pieces;
        const QByteArray shown = whole.layOut(text);
        QByteArray joined;
        int count = 0;
        pieces.layOut(text, [&](QByteArrayView piece) {
            joined.append(piece);
            ++count;
        });
        EXPECT_EQ(joined, shown);
        EXPECT_EQ(pieces.breaks(), whole.breaks());
        EXPECT_GE(count, int(text.size() / (1024 * 1024)));
    }
}

namespace {

// The messages the editor's text store refuses while this lives.
class RefusalLog {
public:
    RefusalLog()
    {
        entries().clear();
        previous() = qInstallMessageHandler(&record);
    }
    ~RefusalLog() { qInstallMessageHandler(previous()); }
    QString text() const { return entries().join(QLatin1Char('\n')); }
    bool empty() const { return entries().isEmpty(); }

private:
    static QStringList &entries()
    {
        static QStringList list;
        return list;
    }
    static QtMessageHandler &previous()
    {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
    static void record(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (type == QtCriticalMsg && message.contains(QLatin1String("refused")))
            entries() << message;
        else if (previous())
            previous()(type, context, message);
    }
};

}

// Every member of the editor on a text in rows reaches Scintilla through the
// text store (none is refused) and gives what it gives without rows.
TEST(LongLines, EveryCallGoesThroughTheTextStore)
{
    RefusalLog log;
    const QByteArray text = longLineProgram();
    Pair p(text);
    const QString inserted = p.env.write("INS.NC", "(INSATT)\r\n");
    p.both([&](Editor &e) {
        e.resize(500, 300);
        e.setTopY(2);
        e.setLeftMargin(4);
        e.setScrollBars(2);
        e.setScrollBars(4);
        e.setFont(QStringLiteral("Monospace"));
        e.setFontSize(11);
        e.setBackColor(QColor(250, 250, 240));
        e.setForeColor(QColor(0, 0, 128));
        e.setInsertMode(false);
        e.setInsertMode(true);
        e.setCaret(500, 3);
        e.setSelMark(1);
        e.setSelEndX(800);
        e.setCharacterBold(true);
        e.setCharacterItalic(true);
        e.setCharacterForeColor(QColor(255, 0, 0));
        const char style = char(e.attributeStyle(QColor(0, 0, 255), false, false));
        e.setAttributeStyles(e.lineOffset(3) + 10, QByteArray(600, style));
        e.setAction(1); // copy
        e.setCaret(2, 4);
        e.setAction(2); // paste
        e.setCaret(3, 3);
        e.FileInsert(inserted);
        e.setSelectionOffsets(e.lineOffset(3) + 250, e.lineOffset(3) + 270);
        e.setAction(3); // cut
        e.beginUndoAction();
        e.setSelText("G4");
        e.setAction(4); // delete
        e.endUndoAction();
        e.setAction(6); // undo
        e.setRedraw(false);
        e.setTextIndex(1);
        e.setText("%%");
        e.setRedraw(true);
        e.clearCharacterAttributes();
        e.setReadOnly(true);
        e.setReadOnly(false);
    });
    p.expectSame("every call");
    EXPECT_EQ(p.rows.SelText(), p.plain.SelText());
    EXPECT_EQ(p.rows.LineHeight(), p.plain.LineHeight());
    EXPECT_EQ(p.rows.InsertMode(), p.plain.InsertMode());
    EXPECT_EQ(p.rows.characterForeColorAt(3, 20), p.plain.characterForeColorAt(3, 20));
    EXPECT_TRUE(log.empty()) << log.text().toStdString();
}

// The edit generation moves with every change of the text made by a call,
// whether Scintilla holds the text or it is shown in rows, and stands still
// for reading, moving the caret and selecting.
TEST(LongLines, EveryChangeMovesTheEditGenerationReadingDoesNot)
{
    const QByteArray text = longLineProgram();
    Pair p(text);
    QApplication::clipboard()->setText(QStringLiteral("G0 Z5"));
    const std::vector<std::pair<const char *, std::function<void(Editor &)>>> changes = {
        {"new line text", [](Editor &e) { e.setTextIndex(3); e.setText("N5G0"); }},
        {"selected text", [](Editor &e) { e.setSelectionOffsets(e.lineOffset(3) + 2, e.lineOffset(3) + 9);
                                          e.setSelText("X"); }},
        {"delete", [](Editor &e) { e.setSelectionOffsets(e.lineOffset(3) + 1, e.lineOffset(3) + 1);
                                   e.setAction(4); }},
        {"paste", [](Editor &e) { e.setAction(2); }},
        {"cut", [](Editor &e) { e.setSelectionOffsets(e.lineOffset(3) + 4, e.lineOffset(3) + 8);
                                e.setAction(3); }},
        {"undo", [](Editor &e) { e.setAction(6); }},
        {"rewrite", [](Editor &e) { e.rewriteLines([](QByteArrayView l, int) { return l.toByteArray() + "Y"; }); }},
    };
    for (const auto &[name, change] : changes) {
        SCOPED_TRACE(name);
        p.both([&, change = change](Editor &e) {
            const quint64 before = e.editGeneration();
            change(e);
            EXPECT_NE(e.editGeneration(), before);
        });
        p.expectSame(name);
    }
    p.both([](Editor &e) {
        const quint64 before = e.editGeneration();
        e.setSelectionOffsets(e.lineOffset(3) + 300, e.lineOffset(3) + 5000);
        (void)e.SelText();
        (void)e.TextAll();
        e.setCaret(4, 2);
        e.setTopY(2);
        e.setAction(1); // copy
        EXPECT_EQ(e.editGeneration(), before);
    });
}

// A selection of a text in rows is offered to the display's primary
// selection as the text's bytes, without the row breaks: set by offsets and
// made with the keys across a break.
TEST(LongLines, ThePrimarySelectionHoldsTheTextsBytes)
{
    QClipboard *clipboard = QApplication::clipboard();
    if (!clipboard->supportsSelection())
        GTEST_SKIP() << "no primary selection on this display";
    const QByteArray text = longLineProgram();
    Pair p(text);
    const qint64 at = p.rows.lineOffset(3) + TextRows::kRowBytes - 5;
    p.rows.setSelectionOffsets(at, at + 300);
    EXPECT_EQ(clipboard->text(QClipboard::Selection), QString::fromLatin1(text.mid(at, 300)));
    p.rows.setSelectionOffsets(at, at);
    for (int i = 0; i < 12; ++i)
        Pair::key(p.rows, Qt::Key_Right, Qt::ShiftModifier);
    const QByteArray selected = p.rows.SelText();
    ASSERT_GT(selected.size(), 5);
    EXPECT_EQ(selected, text.mid(at, selected.size()));
    EXPECT_EQ(clipboard->text(QClipboard::Selection), QString::fromLatin1(selected));
}
