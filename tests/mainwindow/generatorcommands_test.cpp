// The generator commands of the main window: the helix program handed over in
// "helix.tmp" opens as a new document, the bolt-hole circle goes to the
// clipboard, the cutting-data window stays open beside the documents.
#include "core/errors.h"
#include "core/globals.h"
#include "core/settings.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "generators/frmbult.h"
#include "generators/frmhelix.h"
#include "generators/frmskardata.h"
#include "mainwindow/commands_generators.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/mainlanguage.h"
#include "mainwindowfixture.h"
#include "modaldialog.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

class GeneratorCommandsTest : public test::MainWindowFixture {
protected:
    QString helixFile() const { return env.tmpPath() + "/helix.tmp"; }

    // Answers the helix dialog once it is shown: the internal example, then
    // "&Ok" (or "&Avbryt").
    static void answerHelix(bool generate, int *shown)
    {
        test::whenModalShown<frmHelix>([generate, shown](frmHelix *dlg) {
            ++*shown;
            if (!generate) {
                dlg->btnAbort->click();
                return;
            }
            dlg->txtGx->setText("0");
            dlg->txtGy->setText("0");
            dlg->txtGdiam->setText("10");
            dlg->txtGs->setText("1.5");
            dlg->txtSafeZ->setText("5");
            dlg->txtEndZ->setText("-15");
            dlg->txtInR->setText("2");
            dlg->txtCompNo->setText("1");
            dlg->GangTyp[0]->click();
            dlg->btnOk->click();
            if (dlg->isVisible())
                dlg->reject(); // never leave the test waiting
        });
    }
    static HelixData internalExample()
    {
        HelixData d;
        d.R = 5; d.P = 1.5; d.Zs = 5; d.Ze = -15; d.r = 2; d.compNo = "1";
        return d;
    }
};

}

TEST_F(GeneratorCommandsTest, CommandsAreAvailable)
{
    frmMain w;
    installGeneratorCommands(&w);
    for (const char *name : {"mnuHelix", "mnuBult", "mnuOptionSkardata"}) {
        EXPECT_TRUE(w.hasCommand(name)) << name;
        EXPECT_TRUE(w.menuAction(name)->isEnabled()) << name;
    }
}

TEST_F(GeneratorCommandsTest, HelixProgramOpensAsANewUntitledDocument)
{
    frmMain w;
    installGeneratorCommands(&w);
    int shown = 0;
    answerHelix(true, &shown);
    w.menuAction("mnuHelix")->trigger();
    EXPECT_EQ(shown, 1);
    ASSERT_EQ(w.documents().size(), 1);
    frmDocument *doc = w.documents().front();
    EXPECT_EQ(doc->caption(), test::wordsNow().untitled);
    EXPECT_TRUE(doc->sMaskin.isEmpty());
    EXPECT_FALSE(doc->bNamed);
    EXPECT_TRUE(doc->txtText->IsDirty());
    const QByteArray expected = helixProgram(internalExample(), false);
    EXPECT_EQ(doc->txtText->TextAll(), expected);
    EXPECT_FALSE(QFile::exists(helixFile()));

    // A second run gives a second document.
    answerHelix(true, &shown);
    w.runCommand("mnuHelix");
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(w.documents().size(), 2);
    EXPECT_FALSE(QFile::exists(helixFile()));
}

TEST_F(GeneratorCommandsTest, HelixClosedWithoutProgramOpensNothing)
{
    frmMain w;
    installGeneratorCommands(&w);
    // A file left behind by an earlier run that ended early.
    test::writeFile(env.tmpPath() + "/Helix.TMP", "%\r\nG0 X0\r\n%\r\n");
    int shown = 0;
    answerHelix(false, &shown);
    w.runCommand("mnuHelix");
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(w.documents().isEmpty());
    EXPECT_FALSE(QFile::exists(env.tmpPath() + "/Helix.TMP"));
}

TEST_F(GeneratorCommandsTest, BultResultGoesToTheClipboard)
{
    frmMain w;
    installGeneratorCommands(&w);
    bool shown = false;
    test::whenModalShown<frmBult>([&](frmBult *dlg) {
        shown = dlg->parentWidget() == &w;
        dlg->txtCentrumX->setText("100");
        dlg->txtCentrumY->setText("50");
        dlg->txtRadie->setText("25");
        dlg->txtVinkel->setText("90");
        dlg->txtAntal->setText("3");
        dlg->cmdDoIt->click();
        dlg->cmdCopy->click();
        if (dlg->isVisible())
            dlg->reject();
    });
    w.tbToolBar_ButtonClick("Bultcirkel");
    EXPECT_TRUE(shown);
    EXPECT_EQ(QApplication::clipboard()->text(), "X100. Y75.\r\nX78.349 Y37.5\r\nX121.651 Y37.5\r\n");
    EXPECT_TRUE(w.documents().isEmpty());
}

TEST_F(GeneratorCommandsTest, SkardataStaysOpenBesideTheDocuments)
{
    frmMain w;
    installGeneratorCommands(&w);
    w.runCommand("mnuOptionSkardata");
    frmSkardata *calc = skardataWindow();
    ASSERT_NE(calc, nullptr);
    EXPECT_TRUE(calc->isVisible());
    EXPECT_FALSE(calc->isModal());
    EXPECT_EQ(calc->parentWidget(), &w);
    calc->txtVarvtalSH->setText("200");

    // A second choice brings the same window forward with its contents.
    w.runCommand("mnuOptionSkardata");
    EXPECT_EQ(skardataWindow(), calc);
    EXPECT_EQ(calc->txtVarvtalSH->text(), "200");

    // Closed, it is gone; the next opening starts empty.
    calc->Command1->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(skardataWindow(), nullptr);
    w.runCommand("mnuOptionSkardata");
    ASSERT_NE(skardataWindow(), nullptr);
    EXPECT_TRUE(skardataWindow()->txtVarvtalSH->text().isEmpty());
    skardataWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(GeneratorCommandsTest, UnreadableHandOffLeavesNoEmptyDocument)
{
    frmMain w;
    QDir(env.tmpPath()).mkdir("helix.tmp"); // cannot be read as a file
    EXPECT_THROW(openHelixResult(&w), RkError);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.documents().isEmpty());
}
