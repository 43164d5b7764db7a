// The editor on the document model: the byte-order mark is no character of
// the text, text the encoding cannot hold is refused, and a UTF-8 program with
// a line too long to lay out is edited by characters.
#include "core/ncdocument.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/textrows.h"
#include "testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {

const QByteArray kMark("\xEF\xBB\xBF");
const QByteArray kRing("\xC3\x85");        // «Å»
const QByteArray kDash("\xE2\x80\x93");    // «–»

void key(Editor &e, int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::keyClick(e.focusProxy(), Qt::Key(k), mods);
}

// A UTF-8 program whose line 2 is `bytes` long: words, «Å» and «–» mixed.
QByteArray giantLineProgram(qsizetype bytes)
{
    QByteArray line = "(";
    for (int i = 0; line.size() < bytes; ++i)
        line += "X" + QByteArray::number(i) + (i % 3 ? kRing : kDash) + " ";
    return "%\r\n" + line + ")\r\nM30\r\n";
}

}

TEST(NcDocumentEditor, TheMarkIsNoCharacterOfTheText)
{
    TempEnv env;
    Editor ed;
    const QByteArray program = kMark + "(FR" + kRing + "N)\r\nN10 G1\r\n";
    const QString path = env.write("P.NC", program);
    ed.FileLoad(path);
    EXPECT_EQ(ed.TextAll(), program.mid(3));
    EXPECT_EQ(ed.textView(), QByteArrayView(program).sliced(3));
    EXPECT_TRUE(ed.document().hasByteOrderMark());
    EXPECT_EQ(ed.CountBytes(), 6 + 2 + 6 + 2); // «Å» once, no mark
    ed.setCaret(1, 1);
    EXPECT_EQ(ed.caretColumn(), 1);
    ed.setTextAll("N20 G0\r\n");
    ed.FileSave(path);
    EXPECT_EQ(readFile(path), kMark + "N20 G0\r\n");
    // Text set with a mark in front: the mark goes to the document.
    ed.setTextAll(kMark + "N30");
    EXPECT_EQ(ed.TextAll(), "N30");
    ed.FileSave(path);
    EXPECT_EQ(readFile(path), kMark + "N30");
}

TEST(NcDocumentEditor, PasteOfCharactersTheProgramCannotHoldIsRefused)
{
    Editor ed;
    ed.resize(400, 200);
    ed.show();
    ed.setTextAll("(FR\xC5N)\r\nG1\r\n");
    ASSERT_EQ(ed.encoding(), TextEncoding::Windows1252);
    ed.setIsDirty(false);
    ed.setCaret(1, 2);
    for (const QString &text : {QStringLiteral("ş"), QStringLiteral("G0 日"), QStringLiteral("ÅşÅ")}) {
        QApplication::clipboard()->setText(text);
        key(ed, Qt::Key_V, Qt::ControlModifier);
        ed.setAction(2);
        EXPECT_EQ(ed.TextAll(), "(FR\xC5N)\r\nG1\r\n") << text.toStdString();
        EXPECT_FALSE(ed.IsDirty());
    }
    // A drop of such text is refused as well.
    QMimeData data;
    data.setText(QStringLiteral("ş"));
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(ed.viewport(), &drop);
    EXPECT_EQ(ed.TextAll(), "(FR\xC5N)\r\nG1\r\n");
    // What the encoding holds goes in, as before.
    QApplication::clipboard()->setText(QStringLiteral("Ö–"));
    key(ed, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ed.TextAll(), "(FR\xC5N)\r\n\xD6\x96G1\r\n");
    // In a UTF-8 program every character goes in.
    ed.setTextAll("(FR" + kRing + "N)");
    ed.setCaret(1, 1);
    QApplication::clipboard()->setText(QStringLiteral("ş"));
    key(ed, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ed.TextAll(), QStringLiteral("ş(FRÅN)").toUtf8());
}

// A UTF-8 program with a 40 KB line is shown in rows; the keys still work on
// characters, and the text stays UTF-8 whatever they do.
TEST(NcDocumentEditor, AGiantUtf8LineIsEditedByCharacters)
{
    TempEnv env;
    const QByteArray program = giantLineProgram(40 * 1024);
    ASSERT_TRUE(TextRows::needed(program));
    const QString path = env.write("LONG.NC", program);
    Editor ed;
    ed.resize(600, 300);
    ed.show();
    ed.FileLoad(path);
    ASSERT_EQ(ed.encoding(), TextEncoding::Utf8);
    EXPECT_EQ(ed.CountBytes(), QString::fromUtf8(program).size());
    ed.setFocus();
    QByteArray expected = program;

    // Somewhere past the first rows: each «Å» and «–» there, in turn.
    const QByteArrayView text = ed.textView();
    qint64 ring = text.toByteArray().indexOf(kRing, 20000);
    qint64 dash = text.toByteArray().indexOf(kDash, 30000);
    ASSERT_GT(ring, 0);
    ASSERT_GT(dash, ring);

    // Backspace after «Å» takes both its bytes.
    ed.setSelectionOffsets(ring + 2, ring + 2);
    key(ed, Qt::Key_Backspace);
    expected.remove(ring, 2);
    dash -= 2;
    ASSERT_EQ(ed.TextAll(), expected);
    EXPECT_EQ(ed.caretOffset(), ring);

    // Delete before «–» takes its three.
    ed.setSelectionOffsets(dash, dash);
    key(ed, Qt::Key_Delete);
    expected.remove(dash, 3);
    ASSERT_EQ(ed.TextAll(), expected);

    // Shift+Right and Shift+Left select whole characters; cut takes them.
    const qint64 next = expected.indexOf(kRing, dash);
    ed.setSelectionOffsets(next, next);
    key(ed, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(ed.SelText(), kRing);
    key(ed, Qt::Key_Right, Qt::ShiftModifier);
    key(ed, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(ed.SelText(), kRing);
    key(ed, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Å"));
    expected.remove(next, 2);
    ASSERT_EQ(ed.TextAll(), expected);

    // Pasted back after the next «–», with a «–» of its own.
    const qint64 after = expected.indexOf(kDash, next) + 3;
    ed.setSelectionOffsets(after, after);
    QApplication::clipboard()->setText(QStringLiteral("Å–"));
    key(ed, Qt::Key_V, Qt::ControlModifier);
    expected.insert(after, kRing + kDash);
    ASSERT_EQ(ed.TextAll(), expected);

    // Plain arrows step over whole characters too: a Backspace after one
    // Left from behind the pasted «–» takes the «Å».
    key(ed, Qt::Key_Left);
    EXPECT_EQ(ed.caretOffset(), after + 2);
    key(ed, Qt::Key_Backspace);
    expected.remove(after, 2);
    ASSERT_EQ(ed.TextAll(), expected);

    // Never a byte on its own, whatever Backspace, Delete and Shift do in a row.
    for (int i = 0; i < 40; ++i) {
        key(ed, i % 3 ? Qt::Key_Backspace : Qt::Key_Delete);
        key(ed, Qt::Key_Right, Qt::ShiftModifier);
    }
    key(ed, Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(isValidUtf8(ed.textView()));
    ed.FileSave(path);
    const QByteArray saved = readFile(path);
    EXPECT_TRUE(isValidUtf8(saved));
    Editor again;
    again.FileLoad(path);
    EXPECT_EQ(again.encoding(), TextEncoding::Utf8);

    // Undo all the way gives the program back.
    for (int i = 0; i < 200 && ed.TextAll() != program; ++i)
        key(ed, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ed.TextAll(), program);
}

// The dump shows the file's bytes, the mark included, and is no longer a
// program with a mark: nothing puts the mark in front of the dump's text.
TEST(NcDocumentEditor, AHexDumpShowsTheMarksBytes)
{
    frmDocument doc;
    doc.show();
    doc.txtText->setTextAll(kMark + "(" + kRing + ")");
    ASSERT_TRUE(doc.txtText->document().hasByteOrderMark());
    doc.txtText->setIsDirty(false);
    ASSERT_TRUE(doc.HexDump(3));
    ASSERT_TRUE(untilLongWorkIsOver());
    EXPECT_TRUE(doc.txtText->TextAll().startsWith("00000 | EF BB BF 28 C3 85 29 "));
    EXPECT_FALSE(doc.txtText->document().hasByteOrderMark());
    EXPECT_EQ(doc.txtText->document().fileBytes("AB"), "AB");
}
