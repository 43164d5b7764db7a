// The status bar of the real main window: "Kol" and "Tecken" count
// characters in a UTF-8 program, without its byte-order mark, and the totals
// follow the text through undo and redo.
#include "core/progress.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "mainwindow/frmmain.h"
#include "omnumfixture.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

class StatusTotalsTest : public test::OmnumWindowFixture {
protected:
    void TearDown() override
    {
        OmnumWindowFixture::TearDown();
        Editor::setPieceBytesForTests(0);
    }
    static void key(frmDocument *doc, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(doc->txtText->focusProxy(), k, mods);
    }
};

}

TEST_F(StatusTotalsTest, ColumnsAndCharactersOfAUtf8ProgramAreCharacters)
{
    frmMain w;
    w.resize(1024, 768);
    w.show();
    // 54 characters, 59 bytes: «Å», «Ö» and «–» are several bytes each.
    const QByteArray line = "(FR\xC3\x85N SIDA 1 \xE2\x80\x93 \xC3\x96VRE H\xC3\x96RN) G1 X10 Y20 Z-5 F200 S1000 M3";
    ASSERT_EQ(QString::fromUtf8(line).size(), 54);
    frmDocument *doc = w.openDocument(env.write("ncprog/P2.NC", "\xEF\xBB\xBF" + line + "\r\nM30"), "MILL");
    ASSERT_NE(doc, nullptr);
    doc->txtText->setFocus();
    key(doc, Qt::Key_End);
    EXPECT_EQ(w.statusPanel(3), QStringLiteral("Rad 1 : Kol 55"));
    EXPECT_EQ(w.statusPanel(4), QStringLiteral("Totalt : 2 Rader / 59 Tecken "));
    key(doc, Qt::Key_Home);
    for (int i = 0; i < 22; ++i)
        key(doc, Qt::Key_Right); // over «(FRÅN SIDA 1 – ÖVRE HÖ»
    EXPECT_EQ(w.statusPanel(3), QStringLiteral("Rad 1 : Kol 23"));
    key(doc, Qt::Key_Backspace); // the «Ö» of «HÖRN»
    EXPECT_EQ(w.statusPanel(3), QStringLiteral("Rad 1 : Kol 22"));
    EXPECT_EQ(w.statusPanel(4), QStringLiteral("Totalt : 2 Rader / 58 Tecken "));
    // A Delete that leaves the caret where it stands changes the total too.
    key(doc, Qt::Key_Delete);
    EXPECT_EQ(w.statusPanel(4), QStringLiteral("Totalt : 2 Rader / 57 Tecken "));
    // A Windows-1252 program counts its bytes, as always.
    frmDocument *cp = w.openDocument(env.write("ncprog/P3.NC", "(FR\xC5N)\r\nM30"), "MILL");
    ASSERT_NE(cp, nullptr);
    cp->txtText->setFocus();
    key(cp, Qt::Key_End);
    EXPECT_EQ(w.statusPanel(3), QStringLiteral("Rad 1 : Kol 7"));
    EXPECT_EQ(w.statusPanel(4), QStringLiteral("Totalt : 2 Rader / 11 Tecken "));
}

TEST_F(StatusTotalsTest, TotalsAreRightAfterUndoAndRedo)
{
    frmMain w;
    w.resize(1024, 768);
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QByteArray program = "%\r\n";
    for (int i = 1; i <= 20000; ++i)
        program += "N" + QByteArray::number(i) + " G1 X" + QByteArray::number(i % 90) + "\r\n";
    program += "M30\r\n%";
    frmDocument *doc = w.openDocument(env.write("ncprog/P1.NC", program), "MILL");
    ASSERT_NE(doc, nullptr);
    doc->txtText->setFocus();
    // Edited first, so that the undo does not come back to the save point
    // (whose change of the flag would refresh the status bar by itself).
    key(doc, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(doc->txtText->focusProxy(), 'X');
    key(doc, Qt::Key_Home, Qt::ControlModifier);
    // In small pieces, put in a piece per round of the event loop.
    Editor::setPieceBytesForTests(313);
    const QString before = w.statusPanel(4);
    const QString caretBefore = w.statusPanel(3);
    answerOmnum();
    w.menuAction("mnuNcOptionsOmnum")->trigger();
    ASSERT_TRUE(test::untilLongWorkIsOver());
    const QString renumbered = w.statusPanel(4);
    ASSERT_NE(renumbered, before) << "the renumbering changed the length";
    // The dialog has closed; the window manager gives the main window back
    // its activation (the offscreen platform does not).
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    doc->txtText->setFocus();
    key(doc, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(doc->txtText->CountBytes(), program.size() + 1);
    EXPECT_EQ(w.statusPanel(4), before);
    EXPECT_EQ(w.statusPanel(3), caretBefore);
    key(doc, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(w.statusPanel(4), renumbered);
    // The Edit menu's undo, as the tool bar's button gives it.
    w.menuAction("mnuEditUndo")->trigger();
    ASSERT_EQ(doc->txtText->CountBytes(), program.size() + 1);
    EXPECT_EQ(w.statusPanel(4), before);
    EXPECT_EQ(w.statusPanel(3), caretBefore);
    EXPECT_TRUE(errors.empty());
}

// The renumbering of a program larger than one piece of the editor is
// computed off the window and goes in piece by piece; Ctrl+Z, Ctrl+Y and the
// tool bar's undo give the totals back at once, from a fresh file (the undo
// comes back to where the program was loaded) and with the caret anywhere.
TEST_F(StatusTotalsTest, TotalsFollowUndoAndRedoOfARenumberingComputedOffTheWindow)
{
    frmMain w;
    w.resize(1024, 768);
    w.show();
    // Three pieces and more at the editor's own piece size; every line
    // renumbered (the dialog's range covers them all), so the length changes.
    QByteArray program = "%\r\nO1000 (FRASNING)\r\n";
    int lines = 2;
    for (int i = 3; program.size() < 3 * 1024 * 1024 + 1000; ++i, ++lines)
        program += "N" + QByteArray::number(i * 10 + 5) + " G1 X" + QByteArray::number((i * 7) % 500) + ".25 Y-"
                   + QByteArray::number((i * 13) % 300) + ".5 F" + QByteArray::number(100 + i % 900) + "\r\n";
    program += "M30";
    ++lines;
    for (const Qt::Key start : {Qt::Key_Home, Qt::Key_End}) {
        const QString path = env.write(QStringLiteral("ncprog/BIG%1.NC").arg(int(start)), program);
        frmDocument *doc = w.openDocument(path, "MILL");
        ASSERT_NE(doc, nullptr);
        ASSERT_GT(doc->txtText->TextLength(), 3 * Editor::pieceBytes());
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        doc->txtText->setFocus();
        key(doc, start, Qt::ControlModifier);
        const QString before = w.statusPanel(4);
        const QString caretBefore = w.statusPanel(3);
        ASSERT_EQ(before, QStringLiteral("Totalt : %1 Rader / %2 Tecken ").arg(lines).arg(program.size()));
        answerOmnum([lines](frmOmnum *o) { o->txtOmNumTom->setText(QString::number(lines)); });
        w.menuAction("mnuNcOptionsOmnum")->trigger();
        ASSERT_TRUE(test::untilLongWorkIsOver());
        const QByteArray renumberedText = doc->txtText->TextAll();
        ASSERT_NE(renumberedText.size(), program.size()) << "every line renumbered";
        const QString renumbered = w.statusPanel(4);
        EXPECT_EQ(renumbered, QStringLiteral("Totalt : %1 Rader / %2 Tecken ").arg(lines).arg(renumberedText.size()));

        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        doc->txtText->setFocus();
        key(doc, Qt::Key_Z, Qt::ControlModifier);
        ASSERT_EQ(doc->txtText->TextAll(), program);
        EXPECT_EQ(w.statusPanel(4), before);
        EXPECT_EQ(w.statusPanel(3), caretBefore);
        key(doc, Qt::Key_Y, Qt::ControlModifier);
        ASSERT_EQ(doc->txtText->CountBytes(), renumberedText.size());
        EXPECT_EQ(w.statusPanel(4), renumbered);
        w.toolButton("tbrEdit", "Undo")->trigger();
        ASSERT_EQ(doc->txtText->CountBytes(), program.size());
        EXPECT_EQ(w.statusPanel(4), before);
        EXPECT_EQ(w.statusPanel(3), caretBefore);

        doc->txtText->setIsDirty(false);
    }
    EXPECT_TRUE(errors.empty());
}
