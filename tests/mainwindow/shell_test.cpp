// The main window's message hook (the wheel scrolls the active editor,
// activation gives it the focus and colours the menu bar) and the commands
// that installShellCommands makes available.
#include "core/errors.h"
#include "core/globals.h"
#include "core/settings.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "mainwindow/commands_shell.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/mainlanguage.h"
#include "mainwindowfixture.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMdiArea>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <QLineEdit>
#include <QSpontaneKeyEvent>
#include <QStatusBar>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

class ShellTest : public test::MainWindowFixture {
protected:
    ShellTest() { settleRounds = 0; }

    // A document of `lines` lines, shown in a window of a few lines' height.
    frmDocument *longDocument(frmMain &w, int lines)
    {
        QByteArray text;
        for (int i = 1; i <= lines; ++i)
            text += "N" + QByteArray::number(i * 10) + " G1 X" + QByteArray::number(i) + ".\r\n";
        const QString path = env.write("LONG.NC", text);
        frmDocument *d = w.openDocument(path, "MILL");
        return d;
    }
    static void wheel(QWidget *target, int delta)
    {
        const QPointF pos(target->width() / 2.0, target->height() / 2.0);
        QWheelEvent e(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        // As from the desktop: an event nobody takes is passed on to the parents.
        QSpontaneKeyEvent::setSpontaneous(&e);
        QApplication::instance()->notify(target, &e);
    }
};

}

TEST_F(ShellTest, WheelScrollsTheActiveEditorByTheWheelSetting)
{
    frmMain w;
    w.resize(800, 600);
    w.show();
    frmDocument *d = longDocument(w, 300);
    ASSERT_TRUE(d);
    Editor *e = d->txtText;
    ASSERT_EQ(w.wheelLines(), QApplication::wheelScrollLines());
    const int lines = w.wheelLines();
    ASSERT_GT(lines, 0);
    test::activeNow().setEditor(e->hWnd());
    QWidget *area = w.mdiArea->viewport();

    e->setTopY(10);
    wheel(area, -120); // toward the user: down the program
    EXPECT_EQ(e->TopY(), 10 + lines);
    wheel(area, -360); // one step whatever the delta
    EXPECT_EQ(e->TopY(), 10 + 2 * lines);
    wheel(area, 120);
    EXPECT_EQ(e->TopY(), 10 + lines);
    // Never above the first line.
    e->setTopY(2);
    wheel(area, 120);
    EXPECT_EQ(e->TopY(), 1);
    // A fine-grained wheel gathers a whole notch first.
    e->setTopY(20);
    wheel(area, -40);
    wheel(area, -40);
    EXPECT_EQ(e->TopY(), 20);
    wheel(area, -40);
    EXPECT_EQ(e->TopY(), 20 + lines);
    // Over a toolbar as well.
    wheel(w.tbrFile, 120);
    EXPECT_EQ(e->TopY(), 20);

    // Without an active editor the wheel does nothing here.
    test::activeNow().setEditor(0);
    wheel(area, -120);
    EXPECT_EQ(e->TopY(), 20);
    e->setIsDirty(false);
}

TEST_F(ShellTest, ActivationGivesTheFocusToTheActiveEditor)
{
    frmMain w;
    auto *field = new QLineEdit(&w); // some other control of the window
    w.sbStatusBar->addPermanentWidget(field);
    w.resize(700, 500);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    // No document: activation leaves the focus where it is.
    field->setFocus();
    ASSERT_EQ(w.focusWidget(), field);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&w, &activate);
    EXPECT_EQ(w.focusWidget(), field);
    // The menu bar takes the desktop's button colour.
    const QColor colour = QGuiApplication::palette().color(QPalette::Button);
    EXPECT_EQ(w.menuBar()->palette().color(QPalette::Window), colour);
    EXPECT_EQ(w.menu("mnuEdit")->palette().color(QPalette::Window), colour);

    w.mnuFileNew_Click();
    frmDocument *d = w.activeDocument();
    ASSERT_TRUE(d);
    auto onEditor = [&](QWidget *f) { return f && (f == d->txtText || d->txtText->isAncestorOf(f)); };
    field->setFocus();
    ASSERT_EQ(w.focusWidget(), field);
    QApplication::sendEvent(&w, &activate);
    EXPECT_TRUE(onEditor(w.focusWidget()));
}

TEST_F(ShellTest, InstalledCommandsAreEnabled)
{
    frmMain w;
    installShellCommands(&w);
    for (const char *n : {"mnuHelpContents", "mnuHelpSearch", "mnuHelpHowToDo", "mnuHelpWeb", "mnuHelpUpdates",
                          "mnuHelpAbout"})
        EXPECT_TRUE(w.menuAction(n)->isEnabled()) << n;
    // Compare needs exactly two documents; the calculation program its program.
    EXPECT_FALSE(w.menuAction("mnuCompare")->isEnabled());
    EXPECT_EQ(w.menuAction("mnuOptionKalmero")->isEnabled(), test::settingsNow().useKalmero);
    // "Info" and "findinfo" are buttons only (hidden in the layout): they run the command.
    EXPECT_TRUE(w.hasCommand("mnuFindDB"));
    EXPECT_TRUE(w.hasCommand("mnuInfo"));
    w.mnuFileNew_Click();
    w.tbToolBar_ButtonClick("Info");
    EXPECT_TRUE(boxes.saw(QString::fromUtf8("Programmet måste vara sparat först.")));
    w.mnuFileNew_Click();
    EXPECT_TRUE(w.menuAction("mnuCompare")->isEnabled());
    EXPECT_TRUE(w.toolButton("tbrOptions", "Fix")->isEnabled());
}
