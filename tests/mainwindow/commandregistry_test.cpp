#include "core/globals.h"
#include "documents/frmdocument.h"
#include "mainwindow/commandregistry.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/mainlanguage.h"
#include "mainwindowfixture.h"
#include "testsupport.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace lumrik;

TEST(CommandRegistry, AnActionIsEnabledWhileAllowedAndItsCommandHasAHandler)
{
    CommandRegistry r;
    QAction item, other;
    CommandRegistry::setCommandOf(&item, "mnuX");
    r.insert("mnuX", &item);
    r.insert("tbr:X", &item);   // a second place of the same action
    r.insert("mnuX", &other);   // a taken id keeps its action
    EXPECT_EQ(r.action("mnuX"), &item);
    EXPECT_EQ(r.action("tbr:X"), &item);
    EXPECT_EQ(r.actions().size(), 1);

    r.updateAllEnabled();
    EXPECT_FALSE(item.isEnabled()) << "no handler yet";
    int runs = 0;
    r.setHandler("mnuX", [&](int) { ++runs; });
    EXPECT_TRUE(item.isEnabled());
    r.setAllowed(&item, false);
    EXPECT_FALSE(item.isEnabled());
    r.setAllowed(&item, true);
    EXPECT_TRUE(item.isEnabled());
    r.setHandler("mnuX", {});
    EXPECT_FALSE(item.isEnabled());
    r.run("mnuX");
    EXPECT_EQ(runs, 0);
}

TEST(CommandRegistry, AHandlerMayReplaceItselfWhileItRuns)
{
    CommandRegistry r;
    QString seen;
    r.setHandler("c", [&](int i) {
        seen += QString::number(i);
        r.setHandler("c", [&](int) { seen += "new"; });
        seen += "done";
    });
    r.run("c", 7);
    r.run("c");
    EXPECT_EQ(seen, "7donenew");
}

namespace {
class CommandPlacesTest : public test::MainWindowFixture {};
}

// A band's button that behaves like its menu item is that item: a click on
// the button runs the command once, and the state of one is the other's.
TEST_F(CommandPlacesTest, ABandButtonIsItsMenuItemAndRunsTheCommandOnce)
{
    frmMain w;
    QAction *item = w.menuAction("mnuEditPaste");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(w.toolButton("tbrEdit", "Paste"), item);
    EXPECT_FALSE(item->isIconVisibleInMenu());
    EXPECT_EQ(item->text(), "Klistra &In");
    EXPECT_EQ(item->toolTip(), "Klistra in");

    auto *button = w.findChild<QToolButton *>("tbrEdit_Paste");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->defaultAction(), item);

    int runs = 0;
    w.setCommand("mnuEditPaste", [&] { ++runs; });
    item->setEnabled(true);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(runs, 1);
    item->trigger();
    EXPECT_EQ(runs, 2);
    item->setEnabled(false);
    EXPECT_FALSE(button->isEnabled());
}

// Buttons with a state of their own stay actions of their own, and the
// hidden main toolbar's buttons are never the bands'.
TEST_F(CommandPlacesTest, ButtonsWithAStateOfTheirOwnAreActionsOfTheirOwn)
{
    frmMain w;
    EXPECT_NE(w.toolButton("tbrEdit", "Cut"), w.menuAction("mnuEditCut"));
    EXPECT_NE(w.toolButton("tbrEdit", "Cut"), w.toolButton("tbToolBar", "Cut"));
    EXPECT_NE(w.toolButton("tbrFile", "Save"), w.menuAction("mnuFileSave"));
    EXPECT_NE(w.toolButton("tbrShow", "Lined"), w.menuAction("mnuViewLines"));
    EXPECT_NE(w.toolButton("tbrOptions", "Fix"), w.menuAction("mnuCompare"));
    EXPECT_EQ(w.toolButton("tbrEdit", "Cut")->objectName(), "tbrEdit_Cut");

    // Saving follows unsaved changes on the buttons only.
    w.setSaveButtonsEnabled(false);
    EXPECT_FALSE(w.toolButton("tbrFile", "Save")->isEnabled());
    EXPECT_FALSE(w.toolButton("tbToolBar", "Save")->isEnabled());
    // The menu item is not a toolbar button, and a button id is no menu item.
    EXPECT_EQ(w.menuAction("tbrFile:Save"), nullptr);
}

TEST_F(CommandPlacesTest, TheLanguageFileTranslatesTheMainToolbarAndNotTheBands)
{
    const QString lng = env.write("Lumrik32.LNG", "[LANGUAGE]\r\n122=Save it\r\n128=Receive\r\n");
    frmMain w;
    gsLanguageFile = lng;
    gbNotSwedish = true;
    w.applyTexts();
    gbNotSwedish = false;
    EXPECT_EQ(w.toolButton("tbToolBar", "Save")->toolTip(), "Save it");
    EXPECT_EQ(w.toolButton("tbToolBar", "RxdFromCnc")->toolTip(), "Receive");
    EXPECT_EQ(w.toolButton("tbrFile", "Save")->toolTip(), "Spara aktivt program");
    EXPECT_EQ(w.toolButton("tbrComm", "RxdFromCnc")->toolTip(), QString::fromUtf8("Hämta prog från CNC"));
    setBuiltInWords();
}

// The command state sets each flag of an action once: the Cut menu item, which
// the table first sets from the mark and then from the open document, does
// not flicker, and a shared button changes with its item in one step.
TEST_F(CommandPlacesTest, TheCommandStateSetsEachFlagOnce)
{
    frmMain w;
    ASSERT_NE(w.LoadNewDoc(), nullptr);
    QAction *cut = w.menuAction("mnuEditCut");
    QAction *paste = w.menuAction("mnuEditPaste");
    ASSERT_TRUE(cut->isEnabled());
    ASSERT_TRUE(paste->isEnabled());
    QSignalSpy cutChanges(cut, &QAction::enabledChanged);
    w.RkUpdateValidSelections();
    EXPECT_TRUE(cut->isEnabled());
    EXPECT_EQ(cutChanges.count(), 0);

    QSignalSpy pasteChanges(paste, &QAction::enabledChanged);
    w.mnuFileClose_Click();
    QTRY_VERIFY(w.documents().isEmpty());
    w.RkUpdateValidSelections();
    EXPECT_FALSE(paste->isEnabled());
    EXPECT_FALSE(w.toolButton("tbrEdit", "Paste")->isEnabled());
    EXPECT_EQ(pasteChanges.count(), 1);
}
