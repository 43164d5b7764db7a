// File > "Inställningar Editor...": the dialog opens modally over the main
// window, and the command state follows what it applied.
#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/settings.h"
#include "documents/frmeditsetup.h"
#include "mainwindow/commands_editsetup.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/mainlanguage.h"
#include "mainwindowfixture.h"
#include "modaldialog.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

class EditSetupCommandTest : public test::MainWindowFixture {
protected:
    EditSetupCommandTest()
    {
        settingsIni = "[Settings]\r\nFirstStart=False\r\nKollegieBlock=False\r\n";
        machineCfg.clear();
        settleRounds = 1;
    }

    // Runs `inside` on the dialog once it is shown modally, then presses `button`.
    static void whenShown(std::function<void(frmEditSetup *)> inside, const char *button, bool *seen)
    {
        test::whenModalShown<frmEditSetup>(
            [=](frmEditSetup *d) {
                inside(d);
                d->findChild<QPushButton *>(button)->click();
            },
            seen);
    }
};

}

TEST_F(EditSetupCommandTest, OkWritesTheSettingsAndUpdatesTheCommandState)
{
    frmMain w;
    QAction *item = w.menuAction("mnuEditSetup");
    ASSERT_NE(item, nullptr);
    installEditSetupCommands(&w);
    EXPECT_TRUE(item->isEnabled());
    EXPECT_FALSE(w.menuAction("mnuViewLines")->isChecked());

    bool seen = false;
    whenShown([&](frmEditSetup *d) {
        EXPECT_EQ(d->parentWidget(), &w);
        d->chkKollegieBlock->setChecked(true);
        d->chkColorISO->click();
    }, "cmdOK", &seen);
    item->trigger();
    EXPECT_TRUE(seen);
    EXPECT_EQ(GetIniSetting("Settings", "KollegieBlock"), "True");
    EXPECT_EQ(GetIniSetting("Settings", "AutoColor"), "0");
    EXPECT_TRUE(test::settingsNow().kollegieBlock);
    EXPECT_FALSE(w.mnuViewAutoColorNC->isChecked());
    // The command state ran after the dialog: the lined-paper item shows the new value.
    EXPECT_TRUE(w.menuAction("mnuViewLines")->isChecked());
}

TEST_F(EditSetupCommandTest, CancelWritesNothing)
{
    frmMain w;
    installEditSetupCommands(&w);
    const QByteArray before = test::readFile(env.path("lumrik32.INI"));
    bool seen = false;
    whenShown([](frmEditSetup *d) { d->chkKollegieBlock->setChecked(true); }, "cmdCancel", &seen);
    w.runCommand("mnuEditSetup");
    EXPECT_TRUE(seen);
    EXPECT_EQ(test::readFile(env.path("lumrik32.INI")), before);
    EXPECT_FALSE(test::settingsNow().kollegieBlock);
}

TEST_F(EditSetupCommandTest, ImportedPackageAppearsInTheMacroMenu)
{
    frmMain w;
    installEditSetupCommands(&w);
    const QString pkg = env.tmpPath() + "/MAKRON";
    QDir().mkpath(pkg);
    test::writeFile(pkg + "/MACRO.INI", "[MACRO]\r\nMACROPATH=Macron\\Haas\r\nMACROCNC=HAAS VF2\r\n");
    test::writeFile(pkg + "/BORR.NCM", "N10 G81\r\n");
    bool seen = false;
    whenShown([&](frmEditSetup *d) {
        d->txtImportFrom->setText(pkg);
        d->cmdImport->click();
    }, "cmdCancel", &seen);
    w.runCommand("mnuEditSetup");
    EXPECT_TRUE(seen);
    EXPECT_EQ(w.mnuSubMacro[0]->text(), "HAAS VF2");
    EXPECT_TRUE(w.mnuSubMacro[0]->isVisible());
    EXPECT_EQ(test::macroFoldersNow()[0], "Macron\\Haas");
    EXPECT_EQ(GetIniSetting("MACRO", "0_NAMN"), "HAAS VF2");
    test::SessionScope::macroFolders([](MacroFolderValues &f) { f = {}; });
}
