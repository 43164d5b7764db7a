// The find and replace commands of the main window: the Edit menu items, the
// toolbar key "Search", the pop-up's Find and Find Next, and the replace
// question in a real document window.
#include "core/errors.h"
#include "core/globals.h"
#include "core/settings.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/frmfind.h"
#include "documents/frmreplace.h"
#include "documents/frmreplaceconfirm.h"
#include "mainwindow/commands_find.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/mainlanguage.h"
#include "mainwindowfixture.h"
#include "modaldialog.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QTest>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <deque>
#include <functional>

using namespace lumrik;

namespace {

class FindCommandsTest : public test::MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        test::SessionScope::search([](SearchValues &v) { v.target.clear(); });
    }
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        frmDocument::setReplaceConfirm({});
        test::SessionScope::search([](SearchValues &v) { v.target.clear(); });
    }
    frmDocument *open(frmMain &w, const QString &name, const QByteArray &text)
    {
        return w.openDocument(env.write("ncprog/" + name, text), "MILL");
    }
    // Runs `inside` on the modal dialog of type D once it shows; counts the showings.
    template <class D> static void whenShown(std::function<void(D *)> inside, int *shown)
    {
        test::whenModalShown<D>([=](D *d) {
            ++*shown;
            inside(d);
        });
    }
};

// Answers the replace questions with the buttons of the given answers.
void answerConfirms(QObject *dialog, std::deque<int> answers, int *asked)
{
    test::answerEachModal<frmReplaceConfirm>(dialog, [answers, asked](frmReplaceConfirm *dlg) mutable {
        ++*asked;
        const int a = answers.empty() ? 0 : answers.front();
        if (!answers.empty())
            answers.pop_front();
        (a == 1 ? dlg->cmdYes : a == 2 ? dlg->cmdNo : a == 4 ? dlg->cmdAll : dlg->cmdCancel)->click();
    });
}

}

TEST_F(FindCommandsTest, EnabledOnlyWithADocument)
{
    frmMain w;
    installFindCommands(&w);
    for (const char *n : {"mnuEditFind", "mnuEditReplace"})
        EXPECT_FALSE(w.menuAction(n)->isEnabled()) << n;
    EXPECT_FALSE(w.toolButton("tbrEdit", "Search")->isEnabled());
    int shown = 0;
    whenShown<frmFind>([](frmFind *d) { d->cmdCancel->click(); }, &shown);
    w.runCommand("mnuEditFind");
    w.runCommand("mnuPopSearch");
    w.runCommand("mnuPopSearchNext");
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, 0);
    EXPECT_TRUE(boxes.calls().empty());

    ASSERT_NE(open(w, "P1.NC", "N10 G1\r\n"), nullptr);
    for (const char *n : {"mnuEditFind", "mnuEditReplace", "mnuPopSearch", "mnuPopSearchNext"})
        EXPECT_TRUE(w.menuAction(n)->isEnabled()) << n;
    EXPECT_TRUE(w.toolButton("tbrEdit", "Search")->isEnabled());
}

TEST_F(FindCommandsTest, FindFromTheMenuAndTheSearchKeyThenFindNext)
{
    frmMain w;
    installFindCommands(&w);
    frmDocument *doc = open(w, "P1.NC", "N10 G01 X1\r\nN20 G01 X2\r\nN30 G01 X3\r\n");
    ASSERT_NE(doc, nullptr);
    Editor *ed = doc->txtText;
    ed->setCaret(6, 1);

    int shown = 0;
    whenShown<frmFind>(
        [&](frmFind *d) {
            EXPECT_EQ(d->parentWidget(), &w);
            EXPECT_EQ(d->comboText->currentText(), QStringLiteral("G01"));
            d->cmdFind->click(); // from the caret: line 2
            d->cmdCancel->click();
        },
        &shown);
    w.menuAction("mnuEditFind")->trigger();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(ed->SelStartY(), 2);
    EXPECT_EQ(test::searchNow().target, QStringLiteral("G01"));

    // The toolbar key runs the same command: the same dialog, its history kept.
    whenShown<frmFind>(
        [&](frmFind *d) {
            EXPECT_EQ(d->comboText->itemText(0), QStringLiteral("G01"));
            d->comboText->setEditText("x3");
            d->optOrigin[0]->setChecked(true);
            d->cmdFind->click();
            d->cmdCancel->click();
        },
        &shown);
    w.toolButton("tbrEdit", "Search")->trigger();
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(ed->SelStartY(), 3);
    EXPECT_EQ(ed->SelText(), QByteArray("X3"));

    // Find next: nothing further.
    w.runCommand("mnuPopSearchNext");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, QStringLiteral("Kan ej hitta \"X3\""));
    EXPECT_EQ(boxes.calls()[0].title, QStringLiteral("FINNS EJ !!!"));
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Information);

    // After a search for G01, find next walks on.
    whenShown<frmFind>(
        [&](frmFind *d) {
            d->comboText->setEditText("g01");
            d->cmdFind->click();
            d->cmdCancel->click();
        },
        &shown);
    w.runCommand("mnuPopSearch");
    EXPECT_EQ(ed->SelStartY(), 1);
    w.runCommand("mnuPopSearchNext");
    EXPECT_EQ(ed->SelStartY(), 2);
    EXPECT_EQ(boxes.calls().size(), 1u);
}

// Ctrl+F over a selection of several lines (a whole program after a
// renumbering, say) proposes the selected text, not its first line.
TEST_F(FindCommandsTest, CtrlFProposesASelectionOfSeveralLinesWhole)
{
    frmMain w;
    installFindCommands(&w);
    w.resize(1000, 700);
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    frmDocument *doc = open(w, "P1.NC", "%\r\nN10 G01 X1\r\nN20 G01 X2\r\n");
    ASSERT_NE(doc, nullptr);
    Editor *ed = doc->txtText;
    ed->setSelectionOffsets(0, 13); // "%", its line end and "N10 G01 X1"
    ed->setFocus();
    QWidget *editor = QApplication::focusWidget();
    ASSERT_TRUE(editor && (editor == ed || ed->isAncestorOf(editor)));
    int shown = 0;
    QString proposed;
    whenShown<frmFind>(
        [&](frmFind *d) {
            proposed = d->comboText->currentText();
            d->cmdCancel->click();
        },
        &shown);
    QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(proposed, QStringLiteral("%\r\nN10 G01 X1"));
    EXPECT_EQ(test::searchNow().findString, QStringLiteral("%\r\nN10 G01 X1"));
}

TEST_F(FindCommandsTest, FindNextRepeatsTheLastSearchInAnotherDocument)
{
    frmMain w;
    installFindCommands(&w);
    frmDocument *first = open(w, "P1.NC", "N10 T1 M6\r\n");
    ASSERT_NE(first, nullptr);
    int shown = 0;
    whenShown<frmFind>(
        [&](frmFind *d) {
            d->comboText->setEditText("m6");
            d->cmdFind->click();
            d->cmdCancel->click();
        },
        &shown);
    w.runCommand("mnuEditFind");
    EXPECT_EQ(first->txtText->SelText(), QByteArray("M6"));

    frmDocument *second = open(w, "P2.NC", "N10 G0\r\nN20 T2 M6\r\n");
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(w.activeDocument(), second);
    w.runCommand("mnuPopSearchNext");
    EXPECT_EQ(second->txtText->SelStartY(), 2);
    EXPECT_EQ(second->txtText->SelText(), QByteArray("M6"));
    EXPECT_TRUE(boxes.calls().empty());
}

TEST_F(FindCommandsTest, FindNextMessageWithALanguageFile)
{
    frmMain w;
    installFindCommands(&w);
    frmDocument *doc = open(w, "P1.NC", "N10 G1\r\n");
    ASSERT_NE(doc, nullptr);
    gsLanguageFile = env.write("Lumrik32.LNG", "[LANGUAGE]\r\n1001=not found\r\n");
    gbNotSwedish = true;
    test::SessionScope::search([](SearchValues &v) { v.target = "N20"; });
    doc->txtText->SearchTarget = "N20";
    w.runCommand("mnuPopSearchNext");
    gbNotSwedish = false;
    gsLanguageFile.clear();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, QStringLiteral("\"N20\" not found"));
    EXPECT_EQ(boxes.calls()[0].title, QStringLiteral("FINNS EJ !!!"));
}

TEST_F(FindCommandsTest, ReplaceAsksPerMatchAndUndoesInOneStep)
{
    frmMain w;
    installFindCommands(&w);
    const QByteArray text = "N10 G1 X1\r\nN20 G1 X2\r\nN30 G1 X3\r\nN40 G1 X4\r\n";
    frmDocument *doc = open(w, "P1.NC", text);
    ASSERT_NE(doc, nullptr);
    int shown = 0, asked = 0;
    whenShown<frmReplace>(
        [&](frmReplace *d) {
            EXPECT_FALSE(d->cmdOk->isEnabled());
            d->comboText->setEditText("g1");
            d->comboNewText->setEditText("g01");
            d->optOrigin[0]->setChecked(true);
            answerConfirms(d, {2, 1, 4}, &asked);
            d->cmdOk->click();
        },
        &shown);
    w.menuAction("mnuEditReplace")->trigger();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(doc->txtText->TextAll(), QByteArray("N10 G1 X1\r\nN20 G01 X2\r\nN30 G01 X3\r\nN40 G01 X4\r\n"));
    EXPECT_TRUE(doc->txtText->IsDirty());
    EXPECT_TRUE(boxes.calls().empty());

    w.runCommand("mnuEditUndo");
    EXPECT_EQ(doc->txtText->TextAll(), text);
}

TEST_F(FindCommandsTest, AfterANotFoundMessageTheKeysGoToTheSearchBoxAgain)
{
    frmMain w;
    installFindCommands(&w);
    ASSERT_NE(open(w, "P1.NC", "N10 G01 X1\r\n"), nullptr);
    int shown = 0;
    whenShown<frmFind>(
        [&](frmFind *d) {
            d->comboText->setEditText("X99");
            d->cmdFind->setFocus(); // as a click on the button leaves it
            d->cmdFind->click();
            EXPECT_TRUE(boxes.saw(QStringLiteral("Kan ej hitta")));
            EXPECT_EQ(d->focusWidget(), static_cast<QWidget *>(d->comboText));
            EXPECT_EQ(d->comboText->lineEdit()->selectedText(), QStringLiteral("X99"));
            d->cmdCancel->click();
        },
        &shown);
    w.runCommand("mnuEditFind");
    EXPECT_EQ(shown, 1);
}
