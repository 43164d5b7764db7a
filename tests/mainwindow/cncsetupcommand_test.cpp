// File > "Inställningar CNC...": the set-up dialog over the main window, and
// the machine selector refilled afterwards.
#include "core/errors.h"
#include "core/globals.h"
#include "core/settings.h"
#include "dnc/cncsetup_fields.h"
#include "dnc/frmcncsetup.h"
#include "mainwindow/commands_cncsetup.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/mainlanguage.h"
#include "mainwindowfixture.h"
#include "modaldialog.h"
#include "testsupport.h"
#include "sessionscope.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace lumrik;

namespace {

using test::whenWindowShown;

QStringList items(QComboBox *c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

class CncSetupCommandTest : public test::MainWindowFixture {
protected:
    CncSetupCommandTest() { settleRounds = 0; }

    // The settings file is each test's own (settings()).
    void SetUp() override
    {
        hookErrors();
        cncSetupHooks().systemPorts = [] { return QStringList(); };
        env.write("MILL.cfg", "[Settings]\r\nFileExtension=*.NC\r\nCodeColor1=255\r\n");
        env.write("LATHE.cfg", "[Settings]\r\nFileExtension=*.MPF\r\n");
        gbNotSwedish = false;
    }
    void TearDown() override
    {
        cncSetupHooks() = CncSetupHooks();
        MainWindowFixture::TearDown();
    }
    void settings(const char *setup)
    {
        env.write("lumrik32.INI", QByteArray("[Settings]\r\nLastCnc=MILL\r\nFirstStart=False\r\n[Options]\r\nSetup=") +
                                      setup + "\r\n[ComPorts]\r\nCOM1=/nonexistent/tty\r\n");
        RkLoadIniSettings();
        setBuiltInWords();
        ASSERT_EQ(test::settingsNow().setupAllowed, QByteArray(setup) == "True");
    }
};

}

TEST_F(CncSetupCommandTest, NewMachineIsListedAndTheSelectorKeepsItsMachine)
{
    settings("True");
    frmMain w;
    installCncSetupCommands(&w);
    w.RkUpdateValidSelections();
    QAction *item = w.menuAction("mnuCncSetup");
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isVisible());
    EXPECT_TRUE(item->isEnabled());
    ASSERT_EQ(w.comboMaskiner->currentText(), "MILL");

    bool driven = false;
    whenWindowShown("frmCncSetup", [&](QWidget *top) {
        auto *dlg = static_cast<frmCncSetup *>(top);
        EXPECT_EQ(dlg->shownMachine(), "MILL");
        EXPECT_EQ(dlg->txtFileExtension->text(), "*.NC");
        whenWindowShown("frmCreateCfg", [&](QWidget *c) {
            auto *create = static_cast<frmCreateCfg *>(c);
            create->txtCfgName->setText("drill");
            create->btnOk->click();
        });
        dlg->cmdCreateCNC->click();
        EXPECT_EQ(dlg->shownMachine(), "DRILL");
        // A colour chosen but not stored.
        test::changeMachineKeys([&](MachineKeys &k) { k.codeColor[0] = 0x123456; });
        driven = true;
        dlg->cmdCancel->click();
    });
    item->trigger();
    ASSERT_TRUE(driven);

    EXPECT_TRUE(QFile::exists(env.path("DRILL.CFG")));
    EXPECT_EQ(items(w.comboMaskiner), QStringList({"DRILL", "LATHE", "MILL"}));
    EXPECT_EQ(w.comboMaskiner->currentText(), "MILL");
    // The selector's choice ran again: the stored settings are back.
    EXPECT_EQ(currentMachine().name(), "MILL");
    EXPECT_EQ(currentMachine().keys().fileExtension, "*.NC");
    EXPECT_EQ(currentMachine().keys().codeColor[0], 255);
}

TEST_F(CncSetupCommandTest, MachineChosenInTheDialogIsSelectedInTheMainWindow)
{
    settings("True");
    frmMain w;
    installCncSetupCommands(&w);
    whenWindowShown("frmCncSetup", [&](QWidget *top) {
        auto *dlg = static_cast<frmCncSetup *>(top);
        dlg->cmbCfgFiler->setCurrentText("LATHE");
        EXPECT_EQ(w.comboMaskiner->currentText(), "LATHE");
        dlg->txtFileExtension->setText("*.H");
        dlg->cmdOk->click();
    });
    w.runCommand("mnuCncSetup");
    EXPECT_EQ(w.comboMaskiner->currentText(), "LATHE");
    EXPECT_EQ(currentMachine().name(), "LATHE");
    EXPECT_EQ(currentMachine().keys().fileExtension, "*.H");
}

TEST_F(CncSetupCommandTest, HiddenAndInactiveWhenSetupIsNotAllowed)
{
    settings("False");
    frmMain w;
    installCncSetupCommands(&w);
    w.RkUpdateValidSelections();
    EXPECT_FALSE(w.menuAction("mnuCncSetup")->isVisible());
    // Run anyway: no dialog comes up (a shown one would block here).
    w.runCommand("mnuCncSetup");
    for (QWidget *top : QApplication::topLevelWidgets())
        EXPECT_NE(top->objectName(), "frmCncSetup");
    EXPECT_EQ(w.comboMaskiner->currentText(), "MILL");
}
