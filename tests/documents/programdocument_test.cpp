// The program document apart from its views: the text, its undo and its
// changed state stay when a view goes, a second view shows the same text, the
// window's save and status bar read the program, and the changed signal
// comes once for every change of the state.
#include "core/errors.h"
#include "core/globals.h"
#include "core/lineends.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/programdocument.h"
#include "documents/saving.h"
#include "documents/statusbar.h"
#include "documenthost_fake.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using namespace lumrik;
using namespace lumrik::test;

namespace {

const QByteArray kMark("\xEF\xBB\xBF");
// «Å» and «Ö» are two bytes each in UTF-8.
const QByteArray kUtf8Program("(FR\xC3\x85N \xC3\x96VRE)\r\nN10 G1 X5\r\nM30\r\n");

void key(Editor &e, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::keyClick(e.focusProxy(), k, mods);
}

void type(Editor &e, const char *text) { QTest::keyClicks(e.focusProxy(), text); }

}

TEST(ProgramDocument, TheTextItsUndoAndItsChangedStateOutliveTheView)
{
    ProgramDocument program;
    {
        Editor view(&program);
        EXPECT_EQ(view.program(), &program);
        view.setTextAll("N10 G0\r\nN20 M30\r\n");
        view.emptyUndoBuffer();
        view.setIsDirty(false);
        view.setCaret(1, 2);
        type(view, "X1 ");
        ASSERT_EQ(view.TextAll(), QByteArray("N10 G0\r\nX1 N20 M30\r\n"));
    }
    // No view shows it now: the program still has its text and its changes.
    EXPECT_EQ(program.text(), QByteArray("N10 G0\r\nX1 N20 M30\r\n"));
    EXPECT_EQ(program.lineCount(), 3);
    EXPECT_EQ(program.line(2), QByteArray("X1 N20 M30"));
    EXPECT_TRUE(program.isModified());

    // A new view shows it, and Ctrl+Z in it undoes what was typed in the
    // view that is gone, back to the save point.
    Editor again(&program);
    EXPECT_EQ(again.TextAll(), QByteArray("N10 G0\r\nX1 N20 M30\r\n"));
    EXPECT_TRUE(again.IsDirty());
    for (int i = 0; i < 3 && program.text() != QByteArray("N10 G0\r\nN20 M30\r\n"); ++i)
        key(again, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(program.text(), QByteArray("N10 G0\r\nN20 M30\r\n"));
    EXPECT_FALSE(program.isModified());
    EXPECT_FALSE(again.IsDirty());
    key(again, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_NE(program.text(), QByteArray("N10 G0\r\nN20 M30\r\n"));
    EXPECT_TRUE(program.isModified());
}

TEST(ProgramDocument, TwoViewsShowOneTextAndOneChangedState)
{
    ProgramDocument program;
    Editor first(&program), second(&program);
    first.setTextAll("N10\r\nN20\r\n");
    first.setIsDirty(false);
    EXPECT_EQ(second.TextAll(), QByteArray("N10\r\nN20\r\n"));

    QSignalSpy firstTold(&first, &Editor::ModifiedChanged);
    QSignalSpy secondTold(&second, &Editor::ModifiedChanged);
    second.setCaret(4, 2);
    type(second, " M3");
    EXPECT_EQ(first.TextAll(), QByteArray("N10\r\nN20 M3\r\n"));
    EXPECT_EQ(first.Count(), 3);
    EXPECT_TRUE(first.IsDirty());
    // Each view tells its own window that the state changed.
    EXPECT_EQ(firstTold.count(), 1);
    EXPECT_EQ(secondTold.count(), 1);

    // A whole change through the program is one undo step in either view.
    program.setText("O1000\r\n");
    EXPECT_EQ(second.TextAll(), QByteArray("O1000\r\n"));
    key(first, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(second.TextAll(), QByteArray("N10\r\nN20 M3\r\n"));

    // Saved: no view has changes now.
    program.setModified(false);
    EXPECT_FALSE(first.IsDirty());
    EXPECT_FALSE(second.IsDirty());

    // A view that shows another program leaves this one as it is.
    second.setDocument(nullptr);
    EXPECT_EQ(second.TextAll(), QByteArray());
    EXPECT_NE(second.program(), &program);
    EXPECT_EQ(first.TextAll(), QByteArray("N10\r\nN20 M3\r\n"));
    second.setDocument(&program);
    EXPECT_EQ(second.TextAll(), QByteArray("N10\r\nN20 M3\r\n"));
}

TEST(ProgramDocument, AViewOutlivesItsProgramWithAnEmptyOneOfItsOwn)
{
    auto program = std::make_unique<ProgramDocument>();
    Editor view(program.get());
    view.setTextAll("N10\r\n");
    program.reset();
    EXPECT_NE(view.program(), nullptr);
    EXPECT_EQ(view.TextAll(), QByteArray());
    type(view, "N5");
    EXPECT_EQ(view.program()->text(), QByteArray("N5"));
}

TEST(ProgramDocument, TheChangedSignalComesOnceForEveryChangeOfTheState)
{
    ProgramDocument program;
    Editor view(&program);
    view.setTextAll("N10\r\n");
    view.emptyUndoBuffer();
    program.setModified(false);
    QSignalSpy told(&program, &ProgramDocument::modifiedChanged);

    type(view, "ABC"); // three changes, one change of the state
    ASSERT_EQ(told.count(), 1);
    EXPECT_TRUE(told.at(0).at(0).toBool());
    program.setModified(true);
    program.setModified(true);
    EXPECT_EQ(told.count(), 1);

    program.setModified(false);
    ASSERT_EQ(told.count(), 2);
    EXPECT_FALSE(told.at(1).at(0).toBool());
    program.setModified(false);
    EXPECT_EQ(told.count(), 2);

    // Undo back past the save point and redo to it: a change each time.
    key(view, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(told.count(), 3);
    EXPECT_TRUE(told.at(2).at(0).toBool());
    key(view, Qt::Key_Y, Qt::ControlModifier);
    ASSERT_EQ(told.count(), 4);
    EXPECT_FALSE(told.at(3).at(0).toBool());

    // With the view's notifications off nothing is told; once they are on
    // again, the one change is.
    view.setRedraw(false);
    view.setTextIndex(1);
    view.setText("N20");
    EXPECT_EQ(told.count(), 4);
    view.setRedraw(true);
    QTRY_COMPARE_WITH_TIMEOUT(told.count(), 5, 10000);
    EXPECT_TRUE(told.at(4).at(0).toBool());
}

TEST(ProgramDocument, TheMarkIsTheProgramsAndNoCharacterOfItsText)
{
    TempEnv env;
    ProgramDocument program;
    Editor view(&program);
    view.FileLoad(env.write("P.NC", kMark + kUtf8Program));
    EXPECT_TRUE(program.hasByteOrderMark());
    EXPECT_EQ(program.encoding(), TextEncoding::Utf8);
    EXPECT_EQ(program.text(), kUtf8Program);
    EXPECT_EQ(program.fileBytes(), kMark + kUtf8Program);
    EXPECT_EQ(program.lineText(1), QStringLiteral("(FRÅN ÖVRE)"));
    EXPECT_EQ(program.characters(), kUtf8Program.size() - 2);
    EXPECT_EQ(program.lines(), 4);
    EXPECT_EQ(program.text(kLineEndLf), QByteArray(kUtf8Program).replace("\r\n", "\n"));
    // A whole new text without a mark keeps the program's mark.
    program.setText("N10\r\n");
    EXPECT_EQ(program.fileBytes(), kMark + "N10\r\n");
}

TEST(ProgramDocument, TheWindowSavesAndPrintsTheProgramsBytes)
{
    TempEnv env;
    const QString path = env.write("O1000.NC", kMark + kUtf8Program);
    frmDocument doc;
    doc.txtText->FileLoad(path);
    doc.setCaption(path);
    doc.bNamed = true;
    ASSERT_EQ(doc.program(), doc.txtText->program());
    // Edited in a second view of the window's program: the save writes the
    // program, whichever view changed it.
    Editor other(doc.program());
    other.setCaret(4, 1);
    type(other, "X");
    ASSERT_TRUE(doc.program()->isModified());
    bool saveAs = false;
    int result = 0;
    test::SessionScope session;
    test::SessionScope::set(&SettingValues::saveAsUnixType, 1);
    ASSERT_TRUE(RkSaveDocument(&doc, saveAs, result));
    EXPECT_EQ(readFile(path), kMark + QByteArray(kUtf8Program).insert(3, 'X'));
    EXPECT_FALSE(doc.program()->isModified());
    EXPECT_FALSE(other.IsDirty());
    EXPECT_EQ(textForSave(*doc.program(), kLineEndLf), kMark + QByteArray(kUtf8Program).insert(3, 'X').replace("\r\n", "\n"));

    const QStringList lines = doc.printLines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], QStringLiteral("(FRXÅN ÖVRE)"));
    EXPECT_EQ(lines[2], QStringLiteral("M30"));
}

// The window's status bar takes its totals from the program: after an edit
// and its undo by the keys they are those from before, also when the undo
// puts the caret back where it stood and when another view made the change.
TEST(ProgramDocument, TheStatusBarsTotalsFollowTheProgramThroughUndo)
{
    test::SessionScope::words([](WordValues &w) {
        w.total = QStringLiteral("Totalt : ");
        w.rows = QStringLiteral(" Rader ");
        w.chars = QStringLiteral(" Tecken ");
    });
    FakeDocumentHost host;
    frmDocument doc;
    host.active = &doc;
    doc.resize(600, 400);
    doc.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&doc));
    QByteArray program;
    for (int i = 1; i <= 2000; ++i)
        program += "N" + QByteArray::number(i * 10) + " G1 X" + QByteArray::number(i % 70) + "\r\n";
    doc.txtText->FileLoad(TempEnv().write("P.NC", program));
    doc.txtText->setFocus();
    // Edited first, so that the undo below does not come back to the save
    // point (whose change of the flag would refresh the status bar by itself).
    key(*doc.txtText, Qt::Key_End, Qt::ControlModifier);
    type(*doc.txtText, "M30");
    const QString before = host.panels[3];
    ASSERT_EQ(before, QStringLiteral("Totalt : 2001 Rader / %1 Tecken ").arg(program.size() + 3));

    // A whole change of the program, one undo step; Ctrl+Z gives the caret
    // back where it stood.
    QByteArray shorter;
    for (int i = 1; i <= 1000; ++i)
        shorter += "N" + QByteArray::number(i) + "\r\n";
    doc.program()->setText(shorter);
    EXPECT_EQ(host.panels[3], QStringLiteral("Totalt : 1001 Rader / %1 Tecken ").arg(shorter.size()));
    key(*doc.txtText, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(doc.program()->text(), program + "M30");
    EXPECT_EQ(host.panels[3], before);
    key(*doc.txtText, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(host.panels[3], QStringLiteral("Totalt : 1001 Rader / %1 Tecken ").arg(shorter.size()));
    key(*doc.txtText, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(host.panels[3], before);

    // Typed and undone in a second view of the program: the window's own
    // status bar follows too.
    Editor other(doc.program());
    other.setCaret(1, 1);
    type(other, "\r");
    EXPECT_EQ(host.panels[3], QStringLiteral("Totalt : 2002 Rader / %1 Tecken ").arg(program.size() + 5));
    key(other, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(host.panels[3], before);
    doc.program()->setModified(false);
}

// A program with a line too long to lay out is shown in rows; the rows and
// their undo are the program's too.
TEST(ProgramDocument, AProgramShownInRowsKeepsItsTextAndUndoForEveryView)
{
    const QByteArray longLine = "(" + QByteArray(40 * 1024, 'A') + ")";
    const QByteArray text = "N10\r\n" + longLine + "\r\nM30\r\n";
    ProgramDocument program;
    {
        Editor view(&program);
        view.setTextAll(text);
        view.emptyUndoBuffer();
        view.setIsDirty(false);
        view.setCaret(1, 1);
        type(view, "G");
        ASSERT_EQ(view.TextAll(), "G" + text);
    }
    EXPECT_EQ(program.text(), "G" + text);
    EXPECT_EQ(program.lineCount(), 4);
    EXPECT_EQ(program.line(2), longLine);
    EXPECT_EQ(program.characters(), text.size() + 1);
    EXPECT_TRUE(program.isModified());

    Editor first(&program), second(&program);
    EXPECT_EQ(first.TextAll(), "G" + text);
    EXPECT_EQ(second.Count(), 4);
    key(second, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(first.TextAll(), text);
    EXPECT_FALSE(first.IsDirty());
    first.setCaret(1, 2);
    type(first, "X");
    EXPECT_EQ(second.TextAll(), "N10\r\nX" + longLine + "\r\nM30\r\n");
    EXPECT_TRUE(second.IsDirty());
}

// The files are the program's: a load shows in every view of it, and a save
// writes its bytes as the file brought them, the mark in front.
TEST(ProgramDocument, TheProgramLoadsAndSavesItsFileForEveryView)
{
    TempEnv env;
    const QString path = env.write("O1.NC", kMark + QByteArray("N10\nN20\r\n\rM30"));
    ProgramDocument program;
    Editor first(&program), second(&program);
    first.setTextAll("ALT\r\nTEXT\r\n");
    second.setTextIndex(2);
    program.load(path);
    EXPECT_EQ(second.TextAll(), QByteArray("N10\r\nN20\r\n\rM30"));
    EXPECT_EQ(second.textView(), QByteArrayView("N10\nN20\r\n\rM30"));
    EXPECT_EQ(second.TextIndex(), 1);
    EXPECT_FALSE(first.IsDirty());
    EXPECT_FALSE(second.IsDirty());
    type(second, "G");
    const QString copy = env.path("O2.NC");
    program.save(copy);
    EXPECT_EQ(readFile(copy), kMark + QByteArray("GN10\nN20\r\n\rM30"));
    // Nothing to undo back to before the load.
    key(first, Qt::Key_Z, Qt::ControlModifier);
    key(first, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(program.text(), QByteArray("N10\nN20\r\n\rM30"));
    EXPECT_THROW(program.load(env.path("FINNS_INTE.NC")), RkError);
    EXPECT_EQ(program.text(), QByteArray("N10\nN20\r\n\rM30"));
}
