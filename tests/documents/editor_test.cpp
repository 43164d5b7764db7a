// The editor component on real text: lines, selection, modes, the modified
// flag, files and bytes, search and character attributes.
#include "core/errors.h"
#include "documents/editor.h"
#include "testsupport.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

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
    EXPECT_TRUE(keys.contains(int(Qt::CTRL | Qt::Key_L)));
    EXPECT_FALSE(Editor::isEditingKey(int(Qt::CTRL | Qt::Key_L)));
    EXPECT_FALSE(Editor::isEditingKey(int(Qt::CTRL | Qt::SHIFT | Qt::Key_L)));
    int pressed = 0;
    for (int k : keys) {
        // The Edit menu's keys are the menu's (the editor alone does the same).
        if (Editor::isEditingKey(k) || k == int(Qt::CTRL | Qt::Key_X) || k == int(Qt::CTRL | Qt::Key_C)
            || k == int(Qt::CTRL | Qt::Key_V))
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
    QApplication::processEvents();
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

TEST(Editor, LineEndsFollowTextType)
{
    TempEnv env;
    Editor ed;
    ed.setTextType(2);
    ed.FileLoad(env.write("mixed.nc", "A\r\nB\nC\rD\r\n"));
    EXPECT_EQ(ed.TextAll(), QByteArray("A\nB\nC\rD\n")); // a lone CR is no line end of the file
    EXPECT_EQ(ed.TextLength(), 8);
    ed.setTextType(1);
    EXPECT_EQ(ed.TextAll(), QByteArray("A\r\nB\r\nC\rD\r\n"));
    ed.FileSave(env.path("crlf.nc"));
    EXPECT_EQ(readFile(env.path("crlf.nc")), QByteArray("A\r\nB\r\nC\rD\r\n"));
    ed.setTextType(2);
    ed.FileInsert(env.write("ins.nc", "X\r\n"));
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
    QApplication::processEvents();
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
    QApplication::processEvents();
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
    if (clipboard->supportsSelection())
        EXPECT_EQ(clipboard->text(QClipboard::Selection).size(), ed.TextLength());
    ed.setSelectionOffsets(ed.TextLength(), 3);
    EXPECT_EQ(ed.anchorOffset(), ed.TextLength());
    EXPECT_EQ(ed.caretOffset(), 3);
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
