// The editor component on real text: lines, selection, modes, the modified
// flag, files and bytes, search and character attributes.
#include "core/errors.h"
#include "core/progress.h"
#include "documents/editor.h"
#include "testsupport.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <optional>

using namespace lumrik;
using namespace lumrik::test;

namespace {

const QByteArray kProgram = "%\r\nO1000\r\nN10 G0 X10 Y20\r\nN20 G1 Z-5 F100\r\nM30";

// Every byte value but CR and LF, one line per group of 16.
QByteArray allBytesButLineEnds()
{
    QByteArray b;
    for (int i = 0; i < 256; ++i) {
        if (i == '\r' || i == '\n') continue;
        b.append(char(i));
        if (i % 16 == 15) b.append("\r\n");
    }
    return b;
}

}

TEST(Editor, LinesReadWriteAndCount)
{
    Editor ed;
    ed.setTextAll(kProgram);
    EXPECT_EQ(ed.Count(), 5);
    ed.setTextIndex(3);
    EXPECT_EQ(ed.Text(), QByteArray("N10 G0 X10 Y20"));
    ed.setInsertMode(false);
    ed.setText("N10 G0 X11");
    EXPECT_EQ(ed.Text(), QByteArray("N10 G0 X11"));
    EXPECT_EQ(ed.Count(), 5);
    ed.setTextIndex(5);
    EXPECT_EQ(ed.Text(), QByteArray("M30"));
    EXPECT_EQ(ed.TextAll(), QByteArray("%\r\nO1000\r\nN10 G0 X11\r\nN20 G1 Z-5 F100\r\nM30"));

    // Insert mode: the written text goes in before the line, CR LF splitting it.
    ed.setInsertMode(true);
    ed.setTextIndex(1);
    ed.setText("(FRAME)");
    ed.setText("(A)\r\n(B)");
    EXPECT_EQ(ed.Count(), 8);
    EXPECT_EQ(ed.TextIndex(), 1);
    EXPECT_EQ(ed.Text(), QByteArray("(A)"));
    ed.setTextIndex(3);
    EXPECT_EQ(ed.Text(), QByteArray("(FRAME)"));
    ed.setTextIndex(4);
    EXPECT_EQ(ed.Text(), QByteArray("%"));
}

TEST(Editor, LineOutsideRangeIsAnError)
{
    Editor ed;
    ed.setTextAll("A\r\nB");
    EXPECT_THROW(ed.setTextIndex(0), RkError);
    EXPECT_THROW(ed.setTextIndex(3), RkError);
    try {
        ed.setTextIndex(99);
    } catch (const RkError &e) {
        EXPECT_EQ(e.number(), kErrSubscript);
    }
    EXPECT_EQ(ed.TextIndex(), 1);
    EXPECT_NO_THROW(ed.setTextIndex(2));
    EXPECT_EQ(ed.Text(), QByteArray("B"));
    EXPECT_THROW(ed.characterBoldAt(7, 1), RkError);
}

TEST(Editor, TextIndexNeverMovesCaretOrSelection)
{
    Editor ed;
    ed.setTextAll(kProgram);
    ed.setCaret(3, 2);
    ed.setSelMark(0);
    ed.setSelMark(1);
    ed.setSelStartY(3);
    ed.setSelStartX(2);
    ed.setSelEndY(4);
    ed.setSelEndX(5);
    const qint64 s = ed.SelStartOffset(), e = ed.SelEndOffset();
    QSignalSpy moved(&ed, &Editor::CaretMoved);
    for (int i = 1; i <= ed.Count(); ++i) {
        ed.setTextIndex(i);
        (void)ed.Text();
    }
    EXPECT_EQ(ed.SelStartOffset(), s);
    EXPECT_EQ(ed.SelEndOffset(), e);
    EXPECT_EQ(moved.count(), 0);
}

TEST(Editor, SelectionCornersAndCaret)
{
    Editor ed;
    ed.setTextAll(kProgram);
    ed.setCaret(4, 3);
    EXPECT_EQ(ed.CaretX(), 4);
    EXPECT_EQ(ed.CaretY(), 3);
    EXPECT_EQ(ed.SelMark(), 0);
    EXPECT_EQ(ed.SelStartOffset(), ed.SelEndOffset());

    // Corners written in the callers' order: start line before start column,
    // even while the end still lies before the new start.
    ed.setSelMark(0);
    ed.setSelMark(1);
    EXPECT_NE(ed.SelMark(), 0);
    ed.setSelStartX(1);
    ed.setSelStartY(3);
    ed.setSelEndX(4);
    ed.setSelEndY(4);
    EXPECT_EQ(ed.SelStartY(), 3);
    EXPECT_EQ(ed.SelStartX(), 1);
    EXPECT_EQ(ed.SelEndY(), 4);
    EXPECT_EQ(ed.SelEndX(), 4);
    EXPECT_EQ(ed.SelText(), QByteArray("N10 G0 X10 Y20\r\nN20"));
    EXPECT_NE(ed.SelMark(), 0);

    ed.setSelText("X");
    EXPECT_EQ(ed.TextAll(), QByteArray("%\r\nO1000\r\nX G1 Z-5 F100\r\nM30"));
    EXPECT_EQ(ed.SelMark(), 0);

    ed.setSelMark(1);
    ed.setSelMark(0);
    EXPECT_EQ(ed.SelMark(), 0);
}

TEST(Editor, InsertModeAndTyping)
{
    Editor ed;
    ed.resize(400, 200);
    ed.show();
    ed.setTextAll("ABC");
    ed.setCaret(1, 1);
    ed.setInsertMode(true);
    EXPECT_TRUE(ed.InsertMode());
    QTest::keyClicks(ed.focusProxy(), "x");
    EXPECT_EQ(ed.TextAll(), QByteArray("xABC"));
    ed.setInsertMode(false);
    EXPECT_FALSE(ed.InsertMode());
    QTest::keyClicks(ed.focusProxy(), "yz");
    EXPECT_EQ(ed.TextAll(), QByteArray("xyzC"));

    // The Insert key is the window's business: the editor does not toggle by itself.
    QTest::keyClick(ed.focusProxy(), Qt::Key_Insert);
    EXPECT_FALSE(ed.InsertMode());
}

TEST(Editor, OnlyTheEditingKeysOfTheComponentsOwnMapAreKept)
{
    Editor ed;
    ed.resize(400, 200);
    ed.show();
    ed.setFocus();
    QApplication::clipboard()->setText(QStringLiteral("KLIPP"));
    const QList<int> keys = Editor::componentDefaultKeys();
    ASSERT_GT(keys.size(), 50);
    EXPECT_TRUE(keys.contains((Qt::CTRL | Qt::Key_L).toCombined()));
    EXPECT_FALSE(Editor::isEditingKey((Qt::CTRL | Qt::Key_L).toCombined()));
    EXPECT_FALSE(Editor::isEditingKey((Qt::CTRL | Qt::SHIFT | Qt::Key_L).toCombined()));
    int pressed = 0;
    for (int k : keys) {
        // The Edit menu's keys are the menu's (the editor alone does the same).
        if (Editor::isEditingKey(k) || k == (Qt::CTRL | Qt::Key_X).toCombined() || k == (Qt::CTRL | Qt::Key_C).toCombined()
            || k == (Qt::CTRL | Qt::Key_V).toCombined())
            continue;
        // Caret inside a line, with a selection, on text with blocks above and below.
        ed.setTextAll(kProgram);
        ed.setSelectionOffsets(14, 19);
        QApplication::clipboard()->setText(QStringLiteral("KLIPP"));
        const auto key = Qt::Key(k & ~int(Qt::KeyboardModifierMask));
        const auto mods = Qt::KeyboardModifiers(k & int(Qt::KeyboardModifierMask));
        QTest::keyClick(ed.focusProxy(), key, mods);
        EXPECT_EQ(ed.TextAll(), kProgram) << QKeySequence(k).toString().toStdString();
        EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("KLIPP")) << QKeySequence(k).toString().toStdString();
        ++pressed;
    }
    EXPECT_GT(pressed, 30);
    // The editing keys still edit and move.
    ed.setTextAll("AB\r\nCD");
    ed.setCaret(2, 1);
    QTest::keyClick(ed.focusProxy(), Qt::Key_Delete);
    QTest::keyClick(ed.focusProxy(), Qt::Key_Backspace);
    EXPECT_EQ(ed.TextAll(), QByteArray("\r\nCD"));
    QTest::keyClick(ed.focusProxy(), Qt::Key_Down);
    QTest::keyClick(ed.focusProxy(), Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(ed.focusProxy(), Qt::Key_Delete);
    QTest::keyClick(ed.focusProxy(), Qt::Key_Return);
    QTest::keyClick(ed.focusProxy(), Qt::Key_Tab);
    EXPECT_EQ(ed.TextAll(), QByteArray("\r\n\r\n\t"));
}

TEST(Editor, TypedCharactersBecomeBytesAndGoThroughKeyPress)
{
    Editor ed;
    ed.show();
    int seen = 0;
    QObject::connect(&ed, &Editor::KeyPress, [&](int &code) {
        seen = code;
        if (code == 'q') code = 0;          // swallowed
        else if (code == 'a') code = 'A';   // changed
    });
    for (QChar c : QString::fromUtf8("aö€q")) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(ed.focusProxy(), &press);
    }
    EXPECT_EQ(seen, 'q');
    EXPECT_EQ(ed.TextAll(), QByteArray("A\xF6\x80"));
}

TEST(Editor, KeyDownCodesAndShiftBits)
{
    Editor ed;
    ed.show();
    QList<QPair<int, int>> keys;
    QObject::connect(&ed, &Editor::KeyDown, [&](int k, int s) {
        if (k < 16 || k > 18) keys.append({k, s}); // the modifier keys of their own
    });
    QTest::keyClick(ed.focusProxy(), Qt::Key_F3, Qt::ShiftModifier);
    QTest::keyClick(ed.focusProxy(), Qt::Key_Insert);
    QTest::keyClick(ed.focusProxy(), Qt::Key_Comma, Qt::KeypadModifier);
    QTest::keyClick(ed.focusProxy(), Qt::Key_H, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_EQ(keys.size(), 4);
    EXPECT_EQ(keys[0], qMakePair(114, 1));
    EXPECT_EQ(keys[1], qMakePair(45, 0));
    EXPECT_EQ(keys[2].first, 110);
    EXPECT_EQ(keys[3], qMakePair(72, 6));
}

TEST(Editor, DirtyFlagSticksAndSignals)
{
    Editor ed;
    ed.setTextAll("A");
    ed.setIsDirty(false);
    EXPECT_FALSE(ed.IsDirty());
    QSignalSpy spy(&ed, &Editor::ModifiedChanged);
    ed.setIsDirty(true);
    EXPECT_TRUE(ed.IsDirty());
    EXPECT_GE(spy.count(), 1);

    // Undoing every edit does not clear a flag that was set by hand.
    ed.setTextIndex(1);
    ed.setInsertMode(false);
    ed.setText("B");
    ed.setAction(6);
    EXPECT_EQ(ed.TextAll(), QByteArray("A"));
    EXPECT_TRUE(ed.IsDirty());

    ed.setIsDirty(false);
    EXPECT_FALSE(ed.IsDirty());
    spy.clear();
    ed.setText("C");
    EXPECT_TRUE(ed.IsDirty());
    EXPECT_EQ(spy.count(), 1);

    // With Redraw off the change is reported once Redraw is back on.
    ed.setIsDirty(false);
    spy.clear();
    ed.setRedraw(false);
    ed.setText("D");
    ed.setText("E");
    EXPECT_EQ(spy.count(), 0);
    ed.setRedraw(true);
    ed.setRedraw(false);
    ed.setRedraw(true);
    (void)QTest::qWaitFor([&] { return spy.count() >= 1; }, 60000);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_TRUE(ed.IsDirty());
}

TEST(Editor, AllByteValuesRoundTripThroughFilesAndTextAll)
{
    TempEnv env;
    const QByteArray bytes = allBytesButLineEnds();
    const QString in = env.write("all.nc", bytes);
    Editor ed;
    ed.setTextType(1);
    ed.FileLoad(in);
    EXPECT_EQ(ed.TextAll(), bytes);
    EXPECT_EQ(ed.CaretX(), 1);
    EXPECT_EQ(ed.CaretY(), 1);
    EXPECT_FALSE(ed.IsDirty());
    ed.setTextIndex(1);
    QByteArray first;
    for (int i = 0; i < 16; ++i) first.append(char(i));
    // Byte 0x0D and 0x0A are left out; line 1 holds 0..15 without them.
    first.remove(10, 1);
    first.remove(12, 1);
    EXPECT_EQ(ed.Text(), first);

    const QString out = env.path("out.nc");
    ed.FileSave(out);
    EXPECT_EQ(readFile(out), bytes);

    Editor other;
    other.setTextAll(ed.TextAll());
    EXPECT_EQ(other.TextAll(), bytes);

    // Through the clipboard as display text and back.
    ed.setSelStartY(1);
    ed.setSelStartX(1);
    ed.setSelEndY(ed.Count());
    ed.setSelEndX(1000);
    ed.setAction(1);
    Editor pasted;
    pasted.setAction(2);
    EXPECT_EQ(pasted.TextAll(), bytes);
    EXPECT_EQ(QApplication::clipboard()->text().left(1), QString(QChar(0)));
    EXPECT_TRUE(QApplication::clipboard()->text().contains(QChar(0x20AC)));
}

// The file's line ends stay in the text and go back to the file as they
// came; TextAll gives them as TextType says, and inserted text takes TextType's.
TEST(Editor, LineEndsFollowTextType)
{
    TempEnv env;
    Editor ed;
    ed.setTextType(2);
    const QByteArray mixed("A\r\nB\nC\rD\r\n");
    ed.FileLoad(env.write("mixed.nc", mixed));
    EXPECT_EQ(ed.textView(), mixed);
    EXPECT_EQ(ed.Count(), 5);
    EXPECT_EQ(ed.TextAll(), QByteArray("A\nB\nC\rD\n")); // a lone CR is no CR LF
    EXPECT_EQ(ed.TextLength(), 10);
    ed.setTextType(1);
    EXPECT_EQ(ed.TextAll(), QByteArray("A\r\nB\r\nC\rD\r\n"));
    ed.FileSave(env.path("crlf.nc"));
    EXPECT_EQ(readFile(env.path("crlf.nc")), mixed);
    ed.setTextType(2);
    ed.FileInsert(env.write("ins.nc", "X\r\n"));
    EXPECT_EQ(ed.textView(), "X\n" + mixed);
    EXPECT_EQ(ed.TextAll(), QByteArray("X\nA\nB\nC\rD\n"));
}

TEST(Editor, FileErrorsAndSafeSave)
{
    TempEnv env;
    Editor ed;
    EXPECT_THROW(ed.FileLoad(env.path("none.nc")), RkError);

    const QString path = env.write("keep.nc", "OLD\r\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    ed.setTextAll("NEW\r\n");
    ed.FileSave(path);
    EXPECT_EQ(readFile(path), QByteArray("NEW\r\n"));
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther),
              QFile::ReadGroup);

    // A folder that cannot be written: the old file stays whole.
    QFile::setPermissions(env.dataPath(), QFile::ReadOwner | QFile::ExeOwner);
    ed.setTextAll("NEWER\r\n");
    if (!QFileInfo(env.dataPath()).isWritable()) {
        EXPECT_THROW(ed.FileSave(path), RkError);
        EXPECT_EQ(readFile(path), QByteArray("NEW\r\n"));
    }
    QFile::setPermissions(env.dataPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_THROW(ed.FileSave(env.path("no/such/folder/x.nc")), RkError);

    // Insert at the caret.
    ed.setTextAll("AB");
    ed.setCaret(2, 1);
    ed.FileInsert(env.write("ins.nc", "xy"));
    EXPECT_EQ(ed.TextAll(), QByteArray("AxyB"));
}

TEST(Editor, CharacterAttributesAndTextAllClearsThem)
{
    Editor ed;
    ed.setTextAll("N10 G01 X5\r\nM30");
    ed.setSelStartY(1);
    ed.setSelStartX(5);
    ed.setSelEndY(1);
    ed.setSelEndX(8);
    ed.setCharacterForeColor(QColor(255, 0, 0));
    ed.setCharacterBold(true);
    ed.setSelStartX(1);
    ed.setSelEndX(6);
    ed.setCharacterItalic(true);
    EXPECT_EQ(ed.characterForeColorAt(1, 5), QColor(255, 0, 0));
    EXPECT_EQ(ed.characterForeColorAt(1, 7), QColor(255, 0, 0));
    EXPECT_EQ(ed.characterForeColorAt(1, 8), ed.ForeColor());
    EXPECT_TRUE(ed.characterBoldAt(1, 6));
    EXPECT_FALSE(ed.characterBoldAt(1, 4));
    EXPECT_TRUE(ed.characterItalicAt(1, 1));
    EXPECT_TRUE(ed.characterItalicAt(1, 5));
    EXPECT_FALSE(ed.characterItalicAt(1, 6));
    EXPECT_TRUE(ed.characterBoldAt(1, 5)); // the italic run kept the bold of its middle

    // Styles stay after painting (no lexer repaints them).
    ed.show();
    QTest::qWait(20);
    EXPECT_EQ(ed.characterForeColorAt(1, 6), QColor(255, 0, 0));

    ed.setCaret(3, 2);
    ed.setIsDirty(false);
    ed.setTextAll(ed.TextAll());
    EXPECT_EQ(ed.TextAll(), QByteArray("N10 G01 X5\r\nM30"));
    EXPECT_EQ(ed.characterForeColorAt(1, 5), ed.ForeColor());
    EXPECT_FALSE(ed.characterBoldAt(1, 6));
    EXPECT_FALSE(ed.characterItalicAt(1, 1));
    EXPECT_EQ(ed.CaretX(), 3);
    EXPECT_EQ(ed.CaretY(), 2);
    EXPECT_FALSE(ed.IsDirty());
}

TEST(Editor, FindFindNextAndReplaceWithQuery)
{
    Editor ed;
    ed.setTextAll("G0 X1\r\nG1 X2\r\ng1 X3\r\nG10");
    ed.SearchTarget = "G1";
    ed.SearchOrigin = 1;
    ed.SearchCaseSensitive = true;
    ed.SearchWholeWordsOnly = true;
    ed.setAction(9);
    EXPECT_TRUE(ed.SearchResult());
    EXPECT_EQ(ed.SelStartY(), 2);
    EXPECT_EQ(ed.SelText(), QByteArray("G1"));
    ed.setAction(11);
    EXPECT_FALSE(ed.SearchResult()); // g1 differs in case, G10 is another word

    ed.SearchCaseSensitive = false;
    ed.SearchWholeWordsOnly = false;
    ed.SearchReplacement = "G01";
    QList<int> answers = {2, 1, 4};
    int asked = 0;
    QObject::connect(&ed, &Editor::ReplaceQuery, [&](int &a) { a = answers.value(asked++, 0); });
    ed.setAction(10);
    EXPECT_TRUE(ed.SearchResult());
    EXPECT_EQ(asked, 3); // the third answer replaces the rest without asking
    EXPECT_EQ(ed.TextAll(), QByteArray("G0 X1\r\nG1 X2\r\nG01 X3\r\nG010"));

    asked = 0;
    answers = {0};
    ed.SearchTarget = "X";
    ed.setAction(10);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ed.TextAll(), QByteArray("G0 X1\r\nG1 X2\r\nG01 X3\r\nG010"));
}

TEST(Editor, RedrawOffStopsNotificationsAndRestores)
{
    Editor ed;
    ed.setTextAll("A\r\nB\r\nC");
    QSignalSpy caret(&ed, &Editor::CaretMoved);
    ed.setRedraw(false);
    EXPECT_FALSE(ed.Redraw());
    ed.setCaret(1, 3);
    EXPECT_EQ(caret.count(), 0);
    ed.setRedraw(true);
    (void)QTest::qWaitFor([&] { return caret.count() >= 1; }, 60000);
    EXPECT_EQ(caret.count(), 1);
    EXPECT_EQ(ed.CaretY(), 3);
}

TEST(Editor, LineFrameWithRedrawOffKeepsEveryRule)
{
    Editor ed;
    ed.setTextAll("%\r\nN10 G0 X1\r\nN20 G1 X2\r\nN30 M30\r\n");
    ed.setIsDirty(false);
    ed.setCaret(5, 3);
    ed.setTopY(1);
    QSignalSpy modified(&ed, &Editor::ModifiedChanged);

    ed.setRedraw(false);
    ed.setTextAll(ed.TextAll());
    ed.setInsertMode(false);
    for (int i = 1; i <= ed.Count(); ++i) {
        ed.setTextIndex(i);
        QByteArray line = ed.Text();
        line.replace("N", "N0");
        ed.setText(line);
        EXPECT_EQ(ed.Text(), line); // read back at once
    }
    EXPECT_EQ(ed.Count(), 5);
    EXPECT_TRUE(ed.IsDirty());
    ed.setTextIndex(2);
    ed.setText("N010 G00");
    ed.setTextIndex(3);
    EXPECT_EQ(ed.Text(), QByteArray("N020 G1 X2"));
    // The caret keeps its line and column.
    EXPECT_EQ(ed.CaretY(), 3);
    EXPECT_EQ(ed.CaretX(), 5);
    EXPECT_EQ(ed.TextAll(), QByteArray("%\r\nN010 G00\r\nN020 G1 X2\r\nN030 M30\r\n"));

    // A written line end splits the line at once.
    ed.setTextIndex(4);
    ed.setText("N030\r\nM30");
    EXPECT_EQ(ed.Count(), 6);
    ed.setTextIndex(5);
    EXPECT_EQ(ed.Text(), QByteArray("M30"));
    ed.setInsertMode(true);
    ed.setRedraw(true);
    (void)QTest::qWaitFor([&] { return modified.count() >= 1; }, 60000);
    EXPECT_GE(modified.count(), 1);
    EXPECT_EQ(ed.TextAll(), QByteArray("%\r\nN010 G00\r\nN020 G1 X2\r\nN030\r\nM30\r\n"));

    // Unchanged lines written back change nothing.
    ed.setIsDirty(false);
    ed.setRedraw(false);
    ed.setInsertMode(false);
    for (int i = 1; i <= ed.Count(); ++i) {
        ed.setTextIndex(i);
        ed.setText(ed.Text());
    }
    ed.setRedraw(true);
    EXPECT_FALSE(ed.IsDirty());
}

TEST(Editor, LinesWrittenWithRedrawOffUndoInOneStep)
{
    Editor ed;
    ed.setTextAll("A\r\nB\r\nC");
    ed.setRedraw(false);
    ed.setInsertMode(false);
    for (int i = 1; i <= 3; ++i) {
        ed.setTextIndex(i);
        ed.setText(ed.Text() + "1");
    }
    ed.setRedraw(true);
    EXPECT_EQ(ed.TextAll(), QByteArray("A1\r\nB1\r\nC1"));
    ed.setAction(6);
    EXPECT_EQ(ed.TextAll(), QByteArray("A\r\nB\r\nC"));
}

TEST(Editor, ViewsWorkOnTheBytes)
{
    Editor ed;
    ed.setTextAll("N10\r\nN20 (\xF6)\r\nN30\r\nM30");
    EXPECT_EQ(ed.textView(), QByteArrayView("N10\r\nN20 (\xF6)\r\nN30\r\nM30"));
    EXPECT_EQ(ed.lineView(2), QByteArrayView("N20 (\xF6)"));
    EXPECT_EQ(ed.lineView(4), QByteArrayView("M30"));
    EXPECT_THROW(ed.lineView(5), RkError);

    // Lines written with Redraw off are in the views.
    ed.setRedraw(false);
    ed.setInsertMode(false);
    ed.setTextIndex(1);
    ed.setText("N11");
    EXPECT_EQ(ed.lineView(1), QByteArrayView("N11"));
    ed.setRedraw(true);
    EXPECT_EQ(ed.textView(), QByteArrayView("N11\r\nN20 (\xF6)\r\nN30\r\nM30"));
}

// The whole-program rewrite: every line through the rule, the line ends as
// they were (also mixed ones and a lone CR), one undo step, caret and anchor
// on their lines and columns, and a stop that leaves the rest untouched.
TEST(Editor, RewriteLinesKeepsLineEndsAndUndoesInOneStep)
{
    Editor ed;
    const QByteArray original = "n10 g1\r\nn20\nn30\rn40\r\n";
    ed.setTextAll(original);
    ed.emptyUndoBuffer();
    ed.setSelectionOffsets(9, 4); // anchor on line 2, caret on line 1, column 5
    std::vector<int> seen;
    auto upper = [&](QByteArrayView line, int no) {
        seen.push_back(no);
        return line.toByteArray().toUpper() + "X";
    };
    EXPECT_EQ(ed.rewriteLines(upper), 5);
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(ed.textView(), QByteArrayView("N10 G1X\r\nN20X\nN30X\rN40X\r\nX"));
    EXPECT_EQ(ed.TextIndex(), 5);
    EXPECT_EQ(ed.CaretY(), 1);
    EXPECT_EQ(ed.CaretX(), 5);
    EXPECT_EQ(ed.SelText(), "G1X\r\nN");
    ed.setAction(6);
    EXPECT_EQ(ed.textView(), QByteArrayView(original));

    // Stopped after line 2: lines 1 and 2 done, the rest untouched.
    EXPECT_EQ(ed.rewriteLines(upper, [](int line) { return line < 2; }), 2);
    EXPECT_EQ(ed.textView(), QByteArrayView("N10 G1X\r\nN20X\nn30\rn40\r\n"));

    // An unchanged text is not touched: nothing to undo, not modified.
    Editor same;
    same.setTextAll("A\r\nB");
    same.emptyUndoBuffer();
    same.setIsDirty(false);
    same.setReadOnly(true);
    EXPECT_EQ(same.rewriteLines([](QByteArrayView line, int) { return line.toByteArray(); }), 2);
    EXPECT_FALSE(same.IsDirty());
    // A read-only editor is rewritten too.
    same.rewriteLines([](QByteArrayView line, int) { return line.toByteArray() + "1"; });
    EXPECT_EQ(same.TextAll(), "A1\r\nB1");
    EXPECT_TRUE(same.ReadOnly());
}

TEST(Editor, UndoGroupsAndEmptyUndoBuffer)
{
    Editor ed;
    ed.setTextAll("A\r\nB\r\nC");
    auto write = [&](int line, const QByteArray &text) {
        ed.setTextIndex(line);
        ed.setText(text);
    };
    ed.setInsertMode(false);
    ed.beginUndoAction();
    write(1, "A1");
    write(3, "C1");
    ed.endUndoAction();
    ed.setAction(6);
    EXPECT_EQ(ed.TextAll(), QByteArray("A\r\nB\r\nC")); // both in one step

    write(2, "B1");
    ed.emptyUndoBuffer();
    ed.setAction(6);
    EXPECT_EQ(ed.TextAll(), QByteArray("A\r\nB1\r\nC")); // nothing left to undo
}

TEST(Editor, AttributeStylesColourWithoutMovingTheSelection)
{
    Editor ed;
    ed.setTextAll("N10 G01 X5\r\nM30 (END)");
    ed.setSelectionOffsets(9, 2); // anchor after the caret
    EXPECT_EQ(ed.anchorOffset(), 9);
    EXPECT_EQ(ed.caretOffset(), 2);
    EXPECT_EQ(ed.SelStartOffset(), 2);
    EXPECT_EQ(ed.lineOffset(1), 0);
    EXPECT_EQ(ed.lineOffset(2), 12);
    EXPECT_EQ(ed.lineOffset(3), 21); // past the last line: the length
    EXPECT_THROW(ed.lineOffset(4), RkError);
    EXPECT_EQ(ed.lineOfOffset(11), 1);
    EXPECT_EQ(ed.lineOfOffset(12), 2);
    EXPECT_EQ(ed.lineOfOffset(99), 2);

    const int red = ed.attributeStyle(QColor(255, 0, 0), true, false);
    const int blue = ed.attributeStyle(QColor(0, 0, 255), false, true);
    EXPECT_NE(red, blue);
    EXPECT_EQ(ed.attributeStyle(QColor(255, 0, 0), true, false), red);
    // Line 2: "M30" red, the blank plain, "(END)" blue; styles past the end are dropped.
    QByteArray styles(3, char(red));
    styles += '\0';
    styles += QByteArray(99, char(blue));
    ed.setAttributeStyles(12, styles);
    EXPECT_EQ(ed.characterForeColorAt(2, 1), QColor(255, 0, 0));
    EXPECT_TRUE(ed.characterBoldAt(2, 3));
    EXPECT_EQ(ed.characterForeColorAt(2, 4), ed.ForeColor());
    EXPECT_TRUE(ed.characterItalicAt(2, 9));
    EXPECT_EQ(ed.characterForeColorAt(1, 1), ed.ForeColor()); // line 1 and its line end untouched
    EXPECT_EQ(ed.anchorOffset(), 9);
    EXPECT_EQ(ed.caretOffset(), 2);

    // The style numbers are those the selection members give.
    ed.setSelectionOffsets(0, 3);
    ed.setCharacterForeColor(QColor(255, 0, 0));
    ed.setCharacterBold(true);
    ed.setAttributeStyles(3, QByteArray(1, char(red)));
    EXPECT_EQ(ed.characterForeColorAt(1, 4), QColor(255, 0, 0));

    ed.clearCharacterAttributes();
    EXPECT_EQ(ed.characterForeColorAt(2, 1), ed.ForeColor());
    EXPECT_FALSE(ed.characterItalicAt(2, 9));
    EXPECT_EQ(ed.TextAll(), QByteArray("N10 G01 X5\r\nM30 (END)"));
    // Cleared once, new styling is cleared again.
    ed.clearCharacterAttributes();
    ed.setAttributeStyles(0, QByteArray(3, char(blue)));
    ed.clearCharacterAttributes();
    EXPECT_EQ(ed.characterForeColorAt(1, 1), ed.ForeColor());
}

TEST(Editor, KeyPreviewTakesAKeyBeforeEverythingElse)
{
    Editor ed;
    ed.show();
    ed.setTextAll("");
    int keyDowns = 0;
    QObject::connect(&ed, &Editor::KeyDown, [&](int, int) { ++keyDowns; });
    QObject::connect(&ed, &Editor::KeyPreview, [&](int code, int shift, bool &handled) {
        handled = code == 'Q' && shift == 0;
    });
    QTest::keyClicks(ed.focusProxy(), "aqb");
    EXPECT_EQ(ed.TextAll(), QByteArray("ab"));
    EXPECT_EQ(keyDowns, 2);
    ASSERT_NE(ed.viewport(), nullptr);
    EXPECT_TRUE(ed.isAncestorOf(ed.viewport()));
}

TEST(Editor, ClipboardKeysCarryTheBytes)
{
    Editor ed;
    ed.show();
    ed.setTextAll("A\x80\xF6Z");
    ed.setSelStartY(1);
    ed.setSelStartX(2);
    ed.setSelEndY(1);
    ed.setSelEndX(4);
    QTest::keyClick(ed.focusProxy(), Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("€ö"));
    ed.setCaret(5, 1);
    QTest::keyClick(ed.focusProxy(), Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(ed.TextAll(), QByteArray("A\x80\xF6Z\x80\xF6"));
    ed.setSelStartX(1);
    ed.setSelEndX(2);
    QTest::keyClick(ed.focusProxy(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(ed.TextAll(), QByteArray("\x80\xF6Z\x80\xF6"));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("A"));
    ed.setReadOnly(true);
    QTest::keyClick(ed.focusProxy(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ed.TextAll(), QByteArray("\x80\xF6Z\x80\xF6"));
}

// Setting the selection by offsets keeps the view where it is and, on a
// display with a primary selection, offers the selected bytes there; a
// selection set again as it stands changes nothing.
TEST(Editor, SelectionByOffsetsKeepsTheViewAndOffersTheBytes)
{
    Editor ed;
    ed.resize(400, 200);
    QByteArray text;
    for (int i = 1; i <= 2000; ++i)
        text += "N" + QByteArray::number(i) + " G1 X" + QByteArray::number(i) + "\r\n";
    ed.setTextAll(text);
    ed.setTopY(100);
    ed.setSelectionOffsets(0, ed.TextLength());
    EXPECT_EQ(ed.TopY(), 100);
    EXPECT_EQ(ed.anchorOffset(), 0);
    EXPECT_EQ(ed.caretOffset(), ed.TextLength());
    EXPECT_EQ(ed.SelText(), ed.textView().toByteArray());
    EXPECT_EQ(ed.SelStartY(), 1);
    EXPECT_EQ(ed.SelEndY(), ed.Count());
    QClipboard *clipboard = QApplication::clipboard();
    if (clipboard->supportsSelection()) {
        EXPECT_EQ(clipboard->text(QClipboard::Selection).size(), ed.TextLength());
    }
    ed.setSelectionOffsets(ed.TextLength(), 3);
    EXPECT_EQ(ed.anchorOffset(), ed.TextLength());
    EXPECT_EQ(ed.caretOffset(), 3);
}

// Attributes set far apart in a large text, the last ones at its very end,
// all go when the attributes are cleared; and the primary selection gives the
// bytes under the selection when asked, nothing once the editor is gone.
TEST(Editor, AttributesFarApartAllGoAndThePrimarySelectionReadsItsBytesWhenAsked)
{
    auto ed = std::make_unique<Editor>();
    QByteArray text;
    for (int i = 1; i <= 60000; ++i)
        text += "N" + QByteArray::number(i) + " G1 X" + QByteArray::number(i) + "\r\n";
    text += "M30";
    ed->setTextAll(text);
    const int last = ed->Count();
    const auto colour = [&](int line, int from, int to) {
        ed->setSelStartY(line);
        ed->setSelStartX(from);
        ed->setSelEndY(line);
        ed->setSelEndX(to);
        ed->setCharacterForeColor(QColor(255, 0, 0));
        ed->setCharacterBold(true);
    };
    colour(2, 1, 3);
    colour(30000, 2, 5);
    colour(last, 1, 4);
    ASSERT_EQ(ed->characterForeColorAt(last, 2), QColor(255, 0, 0));
    ed->clearCharacterAttributes();
    for (const auto &[line, column] : {std::pair(2, 1), std::pair(30000, 3), std::pair(last, 3)}) {
        EXPECT_EQ(ed->characterForeColorAt(line, column), ed->ForeColor()) << line;
        EXPECT_FALSE(ed->characterBoldAt(line, column)) << line;
    }
    EXPECT_EQ(ed->TextAll(), text);

    QClipboard *clipboard = QApplication::clipboard();
    if (!clipboard->supportsSelection())
        return;
    ed->setSelectionOffsets(3, 10);
    EXPECT_EQ(clipboard->text(QClipboard::Selection), QString::fromLatin1(text.mid(3, 7)));
    ed->setSelectionOffsets(12, 20);
    ed->setSelectionOffsets(5, 5); // the selection given up: the last one stays on offer
    EXPECT_EQ(clipboard->text(QClipboard::Selection), QString::fromLatin1(text.mid(12, 8)));
    ed->setSelectionOffsets(text.size() - 3, text.size());
    ed.reset();
    EXPECT_EQ(clipboard->text(QClipboard::Selection), QString());
}

// The editor is an editable text to assistive tools, without the
// component's own text interface (which counts the text up to the caret at
// every caret move).
TEST(Editor, AccessibleAsAnEditableWidget)
{
    Editor ed;
    ed.setTextAll("N10 G0 X1\r\nM30");
    QWidget *view = ed.viewport()->parentWidget();
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(view);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::EditableText);
    EXPECT_EQ(iface->textInterface(), nullptr);
}

// ----- whole-text changes a piece at a time ------------------------------------

namespace {

// The pieces in which large changes go into the text are this small while it
// lives; the usual size after.
class PieceBytes {
public:
    explicit PieceBytes(qsizetype bytes) { Editor::setPieceBytesForTests(bytes); }
    ~PieceBytes() { Editor::setPieceBytesForTests(0); }
    PieceBytes(const PieceBytes &) = delete;
    PieceBytes &operator=(const PieceBytes &) = delete;
};

// 0 stands for the usual piece size.
const qsizetype kPieceSizes[] = {0, 1, 7, 64};

// What a change leaves behind, for comparing the usual path with the pieces.
struct Outcome {
    QByteArray text;
    qint64 anchor = 0, caret = 0;
    int textIndex = 0, count = 0, top = 0;
    bool operator==(const Outcome &) const = default;
};

Outcome outcomeOf(const Editor &ed)
{
    return {ed.textView().toByteArray(), ed.anchorOffset(), ed.caretOffset(), ed.TextIndex(), ed.Count(), ed.TopY()};
}

std::string shown(const QByteArray &bytes)
{
    return bytes.toPercentEncoding(" ()%.,-").toStdString();
}

void PrintTo(const Outcome &o, std::ostream *os)
{
    *os << "text \"" << shown(o.text) << "\" anchor " << o.anchor << " caret " << o.caret << " index " << o.textIndex
        << " lines " << o.count << " top " << o.top;
}

QByteArray randomProgram(QRandomGenerator &rng, int size)
{
    static const QByteArray alphabet = QByteArray("NGXZ01259 .-()") + "\r\n\r\n\n\r" + "\x80\xA0\xE4\xF6\xFF";
    QByteArray text;
    for (int i = 0; i < size; ++i)
        text.append(alphabet[int(rng.bounded(alphabet.size()))]);
    return text;
}

// Texts with every kind of line end, with and without one at the end, empty
// ones and 8-bit bytes.
std::vector<QByteArray> pieceTexts()
{
    std::vector<QByteArray> texts = {
        "",
        "N10 G1 X5",
        "\r\n",
        "\n\n",
        "\r",
        "\r\r\n\n\r",
        "%\r\nN10 G1\nN20\rN30\r\n\r\n\n\r\rM30",
        "%\r\nN10 G1\nN20\rN30\r\n\r\n\n\r\rM30\r\n",
        "A\rB\r",
        allBytesButLineEnds(),
    };
    QByteArray high;
    for (int i = 0x80; i <= 0xFF; ++i) {
        high.append(char(i));
        if (i % 9 == 0) high.append(i % 2 ? "\r" : "\n");
    }
    texts.push_back(high);
    QRandomGenerator rng(20261209);
    for (int size : {40, 300, 301}) {
        const QByteArray text = randomProgram(rng, size);
        texts.push_back(text);
        // A few bytes changed in its middle: the shared start and end stay.
        QByteArray changed = text;
        changed.replace(size / 2, 3, "\r\nG\x90\x91\n");
        texts.push_back(changed);
    }
    return texts;
}

// Scintilla's lines with their line ends (CR LF, LF or a lone CR).
std::vector<std::pair<QByteArray, QByteArray>> linesOf(const QByteArray &text)
{
    std::vector<std::pair<QByteArray, QByteArray>> lines;
    qsizetype at = 0;
    for (;;) {
        qsizetype end = at;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        qsizetype next = end;
        if (next < text.size())
            next += text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n' ? 2 : 1;
        lines.emplace_back(text.mid(at, end - at), text.mid(end, next - end));
        if (end == text.size())
            return lines;
        at = next;
    }
}

// The change just made is one undo step: undo gives `before` back, a second
// undo `earlier` (the step before it), and redo walks the same way forward.
void expectOneStepBetween(Editor &ed, const QByteArray &earlier, const QByteArray &before, const QByteArray &after,
                          const std::string &what)
{
    ed.setAction(6);
    EXPECT_EQ(ed.textView(), QByteArrayView(before)) << what << ": first undo";
    ed.setAction(6);
    EXPECT_EQ(ed.textView(), QByteArrayView(earlier)) << what << ": second undo";
    QTest::keyClick(ed.focusProxy(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(ed.textView(), QByteArrayView(before)) << what << ": first redo";
    QTest::keyClick(ed.focusProxy(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(ed.textView(), QByteArrayView(after)) << what << ": second redo";
}

}

// Where the old and the new text first differ, and how long a stretch they
// share at their ends after that.
std::pair<qsizetype, qsizetype> sharedEnds(const QByteArray &old, const QByteArray &now)
{
    const qsizetype most = qMin(old.size(), now.size());
    qsizetype pre = 0, suf = 0;
    while (pre < most && old[pre] == now[pre])
        ++pre;
    while (suf < most - pre && old[old.size() - 1 - suf] == now[now.size() - 1 - suf])
        ++suf;
    return {pre, suf};
}

// A whole text set in pieces of any size: the same bytes and text index as
// set whole, a caret and an anchor outside the changed stretch where they
// would be, and one undo step that gives every byte back.
TEST(EditorPieces, SetTextAllGivesWhatTheWholeChangeGives)
{
    const std::vector<QByteArray> texts = pieceTexts();
    Editor ed;
    ed.resize(300, 120);
    ed.show();
    for (const QByteArray &old : texts) {
        for (const QByteArray &now : texts) {
            const auto [pre, suf] = sharedEnds(old, now);
            const qint64 n = old.size();
            // At the start of the text and of the changed stretch, past its
            // end and at the end of the text when that is past it.
            std::vector<std::pair<qint64, qint64>> selections = {{0, 0}, {pre, 0}, {0, pre}};
            if (suf > 0)
                selections.insert(selections.end(), {{n, n - suf + 1}, {n - suf + 1, pre}, {pre, n}});
            for (const auto &[anchor, caret] : selections) {
                const QByteArray earlier = "(EARLIER)\r\n" + old;
                Outcome usual;
                for (qsizetype piece : kPieceSizes) {
                    const std::string what = "piece " + std::to_string(piece) + " from \"" + shown(old) + "\" to \""
                                             + shown(now) + "\" anchor " + std::to_string(anchor) + " caret "
                                             + std::to_string(caret);
                    PieceBytes size(piece);
                    ed.setTextAll(earlier);
                    ed.emptyUndoBuffer();
                    ed.setTextAll(old);
                    ed.setSelectionOffsets(anchor, caret);
                    ed.setTextIndex(ed.Count());
                    ed.setTopY(3);
                    ed.setTextAll(now);
                    const Outcome got = outcomeOf(ed);
                    ASSERT_EQ(got.text, now) << what;
                    if (piece == 0) {
                        usual = got;
                    } else {
                        EXPECT_EQ(got.anchor, usual.anchor) << what;
                        EXPECT_EQ(got.caret, usual.caret) << what;
                        EXPECT_EQ(got.textIndex, usual.textIndex) << what;
                    }
                    if (old != now)
                        expectOneStepBetween(ed, earlier, old, now, what);
                    if (HasFailure())
                        return;
                }
            }
        }
    }
}

// A caret inside the changed stretch or at its end goes to its start, also
// when the text goes in a piece at a time: never where a piece boundary
// carried it, between the CR and the LF of a line end.
TEST(EditorPieces, SetTextAllPutsACaretInsideTheChangeAtItsStart)
{
    Editor ed;
    for (qsizetype piece : kPieceSizes) {
        PieceBytes size(piece);
        ed.setTextAll("N10 G1 X5");
        ed.setSelectionOffsets(3, 6);
        ed.setTextAll("\r\n");
        EXPECT_EQ(ed.anchorOffset(), 0) << "piece " << piece;
        EXPECT_EQ(ed.caretOffset(), 0) << "piece " << piece;
        EXPECT_EQ(ed.CaretX(), 1) << "piece " << piece;

        ed.setTextAll("%\r\nABCDEFGH\r\n");
        ed.setSelectionOffsets(9, 9);
        ed.setTextAll("%\r\nabcdefgh\r\n");
        EXPECT_EQ(ed.caretOffset(), 3) << "piece " << piece;

        // At the end of a text that is set anew from its first byte on.
        ed.setTextAll("ABCDEFGH");
        ed.setSelectionOffsets(8, 8);
        ed.setTextAll("abcdefgh");
        EXPECT_EQ(ed.caretOffset(), 0) << "piece " << piece;
    }
}

// The top line after a text set anew in pieces stands where it stands when
// the text is set whole.
TEST(EditorPieces, SetTextAllLeavesTheTopLineAsTheWholeChange)
{
    QByteArray old, now;
    for (int i = 1; i <= 20; ++i)
        old += "L" + QByteArray::number(i) + "\r\n";
    for (int i = 1; i <= 40; ++i)
        now += "M" + QByteArray::number(i) + "\r\n";
    Editor ed;
    ed.resize(300, 120);
    ed.show();
    int usual = 0;
    for (qsizetype piece : kPieceSizes) {
        PieceBytes size(piece);
        ed.setTextAll(old);
        ed.setSelectionOffsets(0, 0);
        ed.setTopY(3);
        ed.setTextAll(now);
        if (piece == 0)
            usual = ed.TopY();
        EXPECT_EQ(ed.TopY(), usual) << "piece " << piece;
    }
}

// The whole-program rewrite in pieces of any size: each line through the
// rule once and in order, without its line end; the same text, lines done,
// text index, caret, anchor and top line as in one piece; one undo step.
TEST(EditorPieces, RewriteLinesGivesWhatOnePieceGives)
{
    const std::vector<QByteArray> texts = pieceTexts();
    const std::vector<Editor::LineRule> rules = {
        [](QByteArrayView line, int) { return line.toByteArray().toUpper() + "X"; },
        [](QByteArrayView line, int no) {
            // Longer, gone and shorter lines by turns.
            return no % 3 == 0 ? QByteArray() : no % 3 == 1 ? line.toByteArray().repeated(2)
                                                            : line.first(line.size() / 2).toByteArray();
        },
    };
    Editor ed;
    ed.resize(300, 120);
    ed.show();
    for (const QByteArray &text : texts) {
        const auto lines = linesOf(text);
        for (size_t r = 0; r < rules.size(); ++r) {
            QByteArray expected;
            for (size_t i = 0; i < lines.size(); ++i)
                expected += rules[r](lines[i].first, int(i) + 1) + lines[i].second;
            const QByteArray earlier = "(EARLIER)\r\n" + text;
            Outcome usual;
            for (qsizetype piece : kPieceSizes) {
                const std::string what = "piece " + std::to_string(piece) + " rule " + std::to_string(r) + " on \""
                                         + shown(text) + "\"";
                PieceBytes size(piece);
                ed.setTextAll(earlier);
                ed.emptyUndoBuffer();
                ed.setTextAll(text);
                ed.setSelectionOffsets(text.size() / 2, text.size() / 3);
                ed.setTopY(2);
                int expectNo = 1;
                bool wellCut = true;
                auto rule = [&](QByteArrayView line, int no) {
                    wellCut = wellCut && no == expectNo++ && !line.contains('\r') && !line.contains('\n');
                    return rules[r](line, no);
                };
                EXPECT_EQ(ed.rewriteLines(rule), int(lines.size())) << what;
                EXPECT_TRUE(wellCut) << what;
                const Outcome got = outcomeOf(ed);
                ASSERT_EQ(got.text, expected) << what;
                if (piece == 0)
                    usual = got;
                else
                    EXPECT_EQ(got, usual) << what;
                if (expected != text)
                    expectOneStepBetween(ed, earlier, text, expected, what);
                if (HasFailure())
                    return;
            }
        }
    }
}

// Stopped after any line, in the middle of a piece or where one ends: the
// lines done rewritten, every byte after them as it was, one undo step; the
// same as a stop in one piece. Asking may move the text's bytes (reading the
// whole text does), and the rewrite reads on from where they are.
TEST(EditorPieces, RewriteStoppedAnywhereLeavesTheRestAsItWas)
{
    const std::vector<QByteArray> texts = pieceTexts();
    const auto rule = [](QByteArrayView line, int no) { return "N" + QByteArray::number(no) + line.toByteArray(); };
    Editor ed;
    ed.show();
    for (const QByteArray &text : texts) {
        const auto lines = linesOf(text);
        for (int stop = 1; stop < int(lines.size()); ++stop) {
            QByteArray expected;
            for (int i = 0; i < int(lines.size()); ++i)
                expected += (i < stop ? rule(lines[size_t(i)].first, i + 1) : lines[size_t(i)].first)
                            + lines[size_t(i)].second;
            Outcome usual;
            for (qsizetype piece : kPieceSizes) {
                const std::string what = "piece " + std::to_string(piece) + " stop after " + std::to_string(stop)
                                         + " on \"" + shown(text) + "\"";
                PieceBytes size(piece);
                ed.setTextAll("(EARLIER)");
                ed.emptyUndoBuffer();
                ed.setTextAll(text);
                ed.setSelectionOffsets(text.size(), 0);
                int asked = 0;
                auto goOn = [&](int line) {
                    EXPECT_EQ(line, ++asked) << what;
                    (void)ed.textView(); // moves Scintilla's gap to the end
                    return line < stop;
                };
                EXPECT_EQ(ed.rewriteLines(rule, goOn), stop) << what;
                EXPECT_EQ(asked, stop) << what;
                const Outcome got = outcomeOf(ed);
                ASSERT_EQ(got.text, expected) << what;
                EXPECT_EQ(got.textIndex, stop) << what;
                if (piece == 0)
                    usual = got;
                else
                    EXPECT_EQ(got, usual) << what;
                expectOneStepBetween(ed, "(EARLIER)", text, expected, what);
                if (HasFailure())
                    return;
            }
        }
    }
}

// The rule's pieces put in as they are made, whole or stopped after any line:
// the same text, places, TextIndex and one undo step as rewriteLines makes.
TEST(EditorPieces, PiecesPutInAsTheyComeEndAsRewriteLines)
{
    const std::vector<QByteArray> texts = pieceTexts();
    const std::vector<Editor::LineRule> rules = {
        [](QByteArrayView line, int no) { return "N" + QByteArray::number(no) + line.toByteArray(); },
        [](QByteArrayView line, int no) { return no % 2 ? QByteArray() : line.toByteArray(); },
        [](QByteArrayView line, int) { return line.toByteArray(); },
    };
    Editor ed;
    ed.show();
    for (const QByteArray &text : texts) {
        const int count = int(linesOf(text).size());
        for (size_t r = 0; r < rules.size(); ++r) {
            for (int stop = 1; stop <= count; ++stop) {
                for (qsizetype piece : kPieceSizes) {
                    const std::string what = "rule " + std::to_string(r) + " piece " + std::to_string(piece)
                                             + " stop after " + std::to_string(stop) + " on \"" + shown(text) + "\"";
                    PieceBytes size(piece);
                    const auto goOn = [stop](int line) { return line < stop; };
                    const auto start = [&] {
                        ed.setTextAll("(EARLIER)");
                        ed.emptyUndoBuffer();
                        ed.setTextAll(text);
                        ed.setSelectionOffsets(text.size(), text.size() / 2);
                    };
                    start();
                    EXPECT_EQ(ed.rewriteLines(rules[r], goOn), stop) << what;
                    const Outcome usual = outcomeOf(ed);
                    start();
                    {
                        Editor::PieceRewrite rewrite(&ed);
                        int pieces = 0;
                        bool last = false;
                        Editor::rewriteTextInPieces(ed.textView().toByteArray(), rules[r], goOn,
                                                    [&](Editor::RewrittenPiece p) {
                                                        ++pieces;
                                                        last = p.last;
                                                        rewrite.put(p);
                                                    });
                        EXPECT_TRUE(last) << what;
                        EXPECT_EQ(rewrite.lines(), stop) << what;
                        if (piece == 1) {
                            EXPECT_EQ(pieces, stop) << what; // a line a piece
                        }
                    }
                    EXPECT_EQ(outcomeOf(ed), usual) << what;
                    if (usual.text != text) // an unchanged text leaves no step
                        expectOneStepBetween(ed, "(EARLIER)", text, usual.text, what);
                    if (HasFailure())
                        return;
                }
            }
        }
    }
}

// A rewrite that changes nothing leaves no undo step and no modified flag,
// however many pieces it took.
TEST(EditorPieces, UnchangedRewriteInPiecesLeavesNoTrace)
{
    QRandomGenerator rng(77);
    const QByteArray text = randomProgram(rng, 500);
    for (qsizetype piece : kPieceSizes) {
        PieceBytes size(piece);
        Editor ed;
        ed.setTextAll("(EARLIER)");
        ed.emptyUndoBuffer();
        ed.setTextAll(text);
        ed.setIsDirty(false);
        EXPECT_EQ(ed.rewriteLines([](QByteArrayView line, int) { return line.toByteArray(); }),
                  int(linesOf(text).size()));
        EXPECT_FALSE(ed.IsDirty()) << "piece " << piece;
        ed.setAction(6);
        EXPECT_EQ(ed.textView(), QByteArrayView("(EARLIER)")) << "piece " << piece;
    }
}

// Replace-all in pieces: the same text, count, selection and character
// attributes as in one piece, and one undo step.
TEST(EditorPieces, ReplaceAllGivesWhatOnePieceGives)
{
    QRandomGenerator rng(4711);
    QByteArray text;
    for (int i = 0; i < 60; ++i)
        text += randomProgram(rng, 6) + "G1 X" + QByteArray::number(i) + "\x80" + (i % 3 ? "\r\n" : "\n");
    const std::pair<QByteArray, QByteArray> changes[] = {
        {"G1", "G01"}, {"X", ""}, {"\x80", "\xFF\xFE"}, {"N", "M"}, {"\r\n", "\n"}};
    Editor ed;
    ed.show();
    QObject::connect(&ed, &Editor::ReplaceQuery, [](int &answer) { answer = 4; });
    for (const auto &[target, replacement] : changes) {
        for (bool coloured : {false, true}) {
            Outcome usual;
            qsizetype usualCount = 0;
            std::vector<QColor> usualColours;
            for (qsizetype piece : kPieceSizes) {
                const std::string what = "piece " + std::to_string(piece) + " \"" + shown(target) + "\" to \""
                                         + shown(replacement) + "\"" + (coloured ? " coloured" : "");
                PieceBytes size(piece);
                ed.setTextAll("(EARLIER)");
                ed.emptyUndoBuffer();
                ed.setTextAll(text);
                if (coloured) {
                    ed.setSelectionOffsets(30, 200);
                    ed.setCharacterForeColor(QColor(255, 0, 0));
                    ed.setSelectionOffsets(150, 151);
                    ed.setCharacterBold(true);
                }
                ed.setSelectionOffsets(5, 5);
                ed.SearchTarget = target;
                ed.SearchReplacement = replacement;
                ed.SearchOrigin = 1;
                ed.SearchCaseSensitive = true;
                ed.setAction(10);
                ASSERT_TRUE(test::untilLongWorkIsOver()); // in small pieces it ends from the event loop
                EXPECT_TRUE(ed.SearchResult()) << what;
                const Outcome got = outcomeOf(ed);
                std::vector<QColor> colours;
                for (int line = 1; line <= ed.Count(); ++line)
                    for (int column = 1; column <= ed.lineView(line).size(); ++column)
                        colours.push_back(ed.characterForeColorAt(line, column));
                QByteArray expected = text;
                expected.replace(target, replacement);
                ASSERT_EQ(got.text, expected) << what;
                if (piece == 0) {
                    usual = got;
                    usualCount = ed.searchReplacedCount();
                    usualColours = colours;
                } else {
                    EXPECT_EQ(got, usual) << what;
                    EXPECT_EQ(ed.searchReplacedCount(), usualCount) << what;
                    EXPECT_TRUE(colours == usualColours) << what;
                }
                expectOneStepBetween(ed, "(EARLIER)", text, expected, what);
                if (HasFailure())
                    return;
            }
        }
    }
}

// Replace all in a program larger than a piece ends from the event loop:
// setAction(10) returns with the text as it was, long work under way; an
// action asked meanwhile waits for the end. Then the new text is in, in one
// undo step, and ChangeDone came once. A change of the text between its
// pieces (anything but the replace itself) stops it before it writes where the
// text no longer is: the rest stays, the undo group is closed, and the end
// still comes.
TEST(EditorPieces, ReplaceAllOfALargeProgramEndsFromTheEventLoop)
{
    PieceBytes size(64);
    QRandomGenerator rng(99);
    QByteArray text;
    for (int i = 0; i < 200; ++i)
        text += randomProgram(rng, 3) + "G1 X" + QByteArray::number(i) + "\r\n";
    const QByteArray expected = QByteArray(text).replace("G1", "G01");
    for (bool interfere : {false, true}) {
        SCOPED_TRACE(interfere);
        Editor ed;
        QObject::connect(&ed, &Editor::ReplaceQuery, [](int &answer) { answer = 4; });
        int done = 0;
        QObject::connect(&ed, &Editor::ChangeDone, [&] { ++done; });
        ed.setTextAll(text);
        ed.emptyUndoBuffer();
        ed.SearchTarget = "G1";
        ed.SearchReplacement = "G01";
        ed.SearchOrigin = 1;
        ed.SearchCaseSensitive = true;
        ed.setAction(10);
        EXPECT_TRUE(ed.changeUnderWay());
        EXPECT_TRUE(LongWork::underWay());
        EXPECT_EQ(ed.textView(), QByteArrayView(text)) << "nothing is in before the event loop runs";
        ed.SearchTarget = "X5";
        ed.setAction(9); // a find asked meanwhile
        if (interfere) {
            // A call that changes the text as soon as the first piece is in.
            auto *watch = new QTimer(&ed);
            QObject::connect(watch, &QTimer::timeout, [&ed, watch] {
                if (ed.TextAll().contains("G01")) {
                    watch->stop();
                    ed.setSelectionOffsets(0, 0);
                    ed.setTextIndex(1);
                    ed.setText("CHANGED");
                }
            });
            watch->start(0);
        }
        ASSERT_TRUE(test::untilLongWorkIsOver());
        EXPECT_FALSE(ed.changeUnderWay());
        EXPECT_EQ(done, 1);
        if (!interfere) {
            EXPECT_EQ(ed.textView(), QByteArrayView(expected));
            EXPECT_EQ(ed.searchReplacedCount(), qsizetype(text.count("G1")));
            QCoreApplication::processEvents();
            EXPECT_EQ(ed.SelText(), "X5") << "the find came after the replace";
            ed.setAction(6);
            EXPECT_EQ(ed.textView(), QByteArrayView(text)) << "one undo step";
        } else {
            EXPECT_TRUE(ed.TextAll().startsWith("CHANGED"));
            EXPECT_TRUE(ed.textView().endsWith(QByteArrayView(text).last(200))) << "the rest was not written";
            // The editor takes edits and undoes them one at a time again.
            const QByteArray now = ed.TextAll();
            ed.setTextIndex(2);
            ed.setText("N2");
            EXPECT_NE(ed.TextAll(), now);
            ed.setAction(6);
            EXPECT_EQ(ed.TextAll(), now);
        }
    }
}

// A rewrite in pieces is one editing transaction: nothing that waits in the
// event loop runs between its pieces, under long work or not, and it comes
// once the rewrite is done, on the finished text.
TEST(EditorPieces, NothingRunsBetweenThePiecesOfARewrite)
{
    PieceBytes size(7);
    QRandomGenerator rng(5);
    const QByteArray text = randomProgram(rng, 400);
    const auto lines = linesOf(text);
    ASSERT_GT(lines.size(), 20u);
    auto upper = [](QByteArrayView line, int) { return line.toByteArray().toUpper() + "X"; };
    QByteArray expected;
    for (const auto &[line, end] : lines)
        expected += upper(line, 0) + end;
    for (bool longWork : {true, false}) {
        SCOPED_TRACE(longWork);
        Editor ed;
        ed.setTextAll(text);
        int line = 0, ranAt = -1;
        QByteArray seen;
        QMetaObject::invokeMethod(
            &ed, [&] {
                ranAt = line;
                seen = ed.textView().toByteArray();
            },
            Qt::QueuedConnection);
        {
            std::optional<LongWork> work;
            if (longWork)
                work.emplace();
            EXPECT_EQ(ed.rewriteLines([&](QByteArrayView l, int no) {
                line = no;
                return upper(l, no);
            }),
                      int(lines.size()));
        }
        EXPECT_EQ(ed.textView(), QByteArrayView(expected));
        EXPECT_EQ(ranAt, -1);
        QCoreApplication::processEvents();
        EXPECT_EQ(ranAt, int(lines.size()));
        EXPECT_EQ(seen, expected);
    }
}

// A change of the text by anything but the rewrite itself (a call or a key
// that comes while it asks whether to go on) stops the rewrite with an error
// instead of writing at offsets that no longer hold: the change stays as it
// was made, the pieces after it are not written, and the editor works on
// (its undo group is closed).
TEST(EditorPieces, AChangeBetweenThePiecesStopsTheRewriteLoudly)
{
    PieceBytes size(7);
    QRandomGenerator rng(11);
    const QByteArray text = randomProgram(rng, 400);
    const auto lines = linesOf(text);
    auto upper = [](QByteArrayView line, int) { return line.toByteArray().toUpper() + "X"; };
    const std::vector<std::pair<const char *, std::function<void(Editor &)>>> changes = {
        {"a call", [](Editor &ed) { ed.setTextIndex(1); ed.setText("CHANGED"); }},
        {"a typed key", [](Editor &ed) { QTest::keyClick(ed.focusProxy(), Qt::Key_Q, Qt::NoModifier); }},
    };
    for (const auto &[name, change] : changes) {
        SCOPED_TRACE(name);
        Editor ed;
        ed.setTextAll(text);
        const quint64 before = ed.editGeneration();
        bool changed = false;
        int rewritten = 0;
        EXPECT_THROW(ed.rewriteLines(
                         [&](QByteArrayView l, int no) {
                             rewritten = no;
                             return upper(l, no);
                         },
                         [&, change = change](int no) {
                             if (no == 30 && !changed) {
                                 change(ed);
                                 changed = true;
                             }
                             return true;
                         }),
                     RkError);
        EXPECT_TRUE(changed);
        EXPECT_NE(ed.editGeneration(), before);
        EXPECT_LT(rewritten, int(lines.size()));
        // The last lines were never written.
        EXPECT_TRUE(ed.textView().endsWith(QByteArrayView(text).last(40)));
        // The editor takes edits and undoes them one at a time again.
        const QByteArray now = ed.TextAll();
        ed.setTextIndex(2);
        ed.setText("N2");
        EXPECT_NE(ed.TextAll(), now);
        ed.setAction(6);
        EXPECT_EQ(ed.TextAll(), now);
    }
}
