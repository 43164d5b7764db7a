// The View and NC menu commands and the transfer commands of the main window
// run their operations on the active document.
#include "core/errors.h"
#include "core/globals.h"
#include "core/sessionstate.h"
#include "core/settings.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/mainlanguage.h"
#include "mainwindowfixture.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

class NcCommandsTest : public test::MainWindowFixture {
protected:
    frmDocument *open(frmMain &w, const QByteArray &text)
    {
        const QString path = env.write("ncprog/P1.NC", text);
        return w.openDocument(path, "MILL");
    }
};

}

TEST_F(NcCommandsTest, DisabledWithoutDocumentAndLinedPaperUnchanged)
{
    frmMain w;
    for (const char *n : {"mnuViewBoldComments", "mnuViewColorNC", "mnuNcOptionsOmnum", "mnuNcOptionsToolList",
                          "mnuViewXYZ", "mnuViewClearchars", "mnuViewUppercase", "mnuViewUnPack", "mnuViewPack",
                          "mnuOptionPunktKoll", "mnuViewLines", "mnuTxd2Cnc"})
        EXPECT_FALSE(enabled(w, n)) << n;
    w.runCommand("mnuViewLines");
    EXPECT_FALSE(test::settingsNow().kollegieBlock);
    EXPECT_FALSE(w.menuAction("mnuViewLines")->isChecked());
}

TEST_F(NcCommandsTest, LinedPaperIsASettingThatObserversSeeChange)
{
    frmMain w;
    ASSERT_NE(open(w, "N10\r\n"), nullptr);
    QSignalSpy spy(&programSession().settings(), &Settings::changed);
    const bool was = test::settingsNow().kollegieBlock;
    w.runCommand("mnuViewLines");
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(programSession().settings().values().kollegieBlock, !was);
    EXPECT_EQ(w.menuAction("mnuViewLines")->isChecked(), !was);
    w.runCommand("mnuViewLines");
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(test::settingsNow().kollegieBlock, was);
}

TEST_F(NcCommandsTest, OperationsChangeTheActiveProgram)
{
    frmMain w;
    frmDocument *doc = open(w, "n10 g0 x1 (kommentar)\r\nN20 G1 Y2.\r\n");
    ASSERT_NE(doc, nullptr);
    for (const char *n : {"mnuViewBoldComments", "mnuViewColorNC", "mnuNcOptionsOmnum", "mnuNcOptionsToolList",
                          "mnuViewXYZ", "mnuViewClearchars", "mnuViewUppercase", "mnuViewUnPack", "mnuViewPack",
                          "mnuOptionPunktKoll", "mnuViewLines", "mnuTxd2Cnc"})
        EXPECT_TRUE(enabled(w, n)) << n;

    w.menuAction("mnuViewUppercase")->trigger();
    doc->txtText->setTextIndex(1);
    EXPECT_EQ(doc->txtText->Text(), "N10 G0 X1 (KOMMENTAR)");

    w.menuAction("mnuViewPack")->trigger();
    doc->txtText->setTextIndex(2);
    EXPECT_EQ(doc->txtText->Text(), "N20G1Y2.");

    w.menuAction("mnuViewUnPack")->trigger();
    doc->txtText->setTextIndex(2);
    EXPECT_EQ(doc->txtText->Text(), "N20 G1 Y2.");
    EXPECT_TRUE(doc->txtText->IsDirty());
}

TEST_F(NcCommandsTest, LinedPaperToggleFollowsTheMenu)
{
    frmMain w;
    ASSERT_NE(open(w, "N10\r\n"), nullptr);
    w.runCommand("mnuViewLines");
    EXPECT_TRUE(test::settingsNow().kollegieBlock);
    EXPECT_TRUE(w.menuAction("mnuViewLines")->isChecked());
    EXPECT_TRUE(w.toolButton("tbrShow", "Lined")->isChecked());
    w.runCommand("mnuViewLines");
    EXPECT_FALSE(test::settingsNow().kollegieBlock);
    EXPECT_FALSE(w.menuAction("mnuViewLines")->isChecked());
}

TEST_F(NcCommandsTest, ToolbarKeysRunTheSameCommands)
{
    frmMain w;
    frmDocument *doc = open(w, "N10X1\r\n");
    ASSERT_NE(doc, nullptr);
    w.tbToolBar_ButtonClick("Mellanslag"); // unpack
    doc->txtText->setTextIndex(1);
    EXPECT_EQ(doc->txtText->Text(), "N10 X1");
    // The value range window opens modally; close it as soon as it shows.
    bool shown = false;
    QTimer::singleShot(0, [&] {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->objectName() == "frmXYZ" && top->isVisible()) {
                shown = true;
                static_cast<QDialog *>(top)->reject();
            }
    });
    w.tbToolBar_ButtonClick("XYZ");
    EXPECT_TRUE(shown);
}
