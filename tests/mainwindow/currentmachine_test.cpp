// The current machine between the main window's selector and the windows
// that pick a machine: the send window moves the selector (and with it the
// machine's keys); the file selector's own list changes the machine used but
// not the selector, and the send window then offers the selector's machine.
// Whichever window picks the machine, the one current machine holds it, and
// the plug-ins read that one.
#include "core/currentmachine.h"
#include "core/globals.h"
#include "core/paths.h"
#include "dnc/cncsetup_fields.h"
#include "dnc/frmcncsetup.h"
#include "dnc/frmrxdfromcnc.h"
#include "dnc/frmtxd2cnc.h"
#include "files/frmrkselfile.h"
#include "mainwindow/commands_plugins.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/pluginhost.h"
#include "mainwindowfixture.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

class CurrentMachineTest : public test::MainWindowFixture {
protected:
    void SetUp() override
    {
        machineCfg = "[Settings]\r\nFileExtension=*.NC\r\n";
        MainWindowFixture::SetUp();
        env.write("LATHE.cfg", "[Settings]\r\nFileExtension=*.TNC\r\n");
    }
};

}

TEST_F(CurrentMachineTest, TheSendWindowsChoiceMovesTheSelectorAndItsKeys)
{
    frmMain w;
    ASSERT_EQ(w.comboMaskiner->currentText(), "MILL");
    EXPECT_EQ(currentMachine().selectorOwner(), &w);
    EXPECT_EQ(currentMachine().shown(), "MILL");
    EXPECT_EQ(currentMachine().keys().fileExtension, "*.NC");

    frmTxd2Cnc *send = txd2CncWindow(test::testSession());
    send->Form_Activate();
    EXPECT_EQ(send->cmbTxdCfgFiler->currentText(), "MILL"); // the selector's machine is offered
    send->cmbTxdCfgFiler->setCurrentIndex(send->cmbTxdCfgFiler->findText("LATHE"));
    send->cmbTxdCfgFiler_Click();
    EXPECT_EQ(w.comboMaskiner->currentText(), "LATHE");
    EXPECT_EQ(currentMachine().shown(), "LATHE");
    EXPECT_EQ(currentMachine().name(), "LATHE");
    EXPECT_EQ(currentMachine().keys().fileExtension, "*.TNC"); // the machine's keys came with it
    EXPECT_TRUE(send->btnTxd2Cnc->isEnabled());

    // A machine used without the selector (the file selector's list): the
    // send window still offers what the selector shows.
    currentMachine().use("MILL", gsDataPath + "/MILL.cfg");
    EXPECT_EQ(w.comboMaskiner->currentText(), "LATHE");
    send->Form_Activate();
    EXPECT_EQ(send->cmbTxdCfgFiler->currentText(), "LATHE");
    delete send;
}

TEST_F(CurrentMachineTest, AMainWindowGoneLeavesTheMachineInUse)
{
    {
        frmMain w;
        ASSERT_EQ(currentMachine().selectorOwner(), &w);
    }
    EXPECT_EQ(currentMachine().selectorOwner(), nullptr);
    frmTxd2Cnc *send = txd2CncWindow(test::testSession());
    currentMachine().use("LATHE", gsDataPath + "/LATHE.cfg");
    send->Form_Activate(); // without a selector, the machine in use is offered
    EXPECT_EQ(send->cmbTxdCfgFiler->currentText(), "LATHE");
    delete send;
}

TEST_F(CurrentMachineTest, PickingAMachineInTheSelectorChangesItsKeysOnceForTheObservers)
{
    env.write("LATHE.cfg", "[Settings]\r\nFileExtension=*.TNC\r\nCommentColor=255\r\nCodeText2=G0\r\n");
    frmMain w;
    MachineKeys seen;
    int changes = 0;
    QObject observer;
    QObject::connect(&currentMachine(), &CurrentMachine::keysChanged, &observer, [&] {
        ++changes;
        seen = currentMachine().keys();
    });
    w.comboMaskiner->setCurrentIndex(w.comboMaskiner->findText("LATHE"));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(seen.fileExtension, "*.TNC");
    EXPECT_EQ(seen.commentColor, 255);
    EXPECT_EQ(seen.codeText[1], "G0");
    EXPECT_EQ(currentMachine().keys().commentColor, 255);
    EXPECT_EQ(currentMachine().keys().codeText[1], "G0");
    // Back to MILL and again to LATHE: one change each.
    w.comboMaskiner->setCurrentIndex(w.comboMaskiner->findText("MILL"));
    w.comboMaskiner->setCurrentIndex(w.comboMaskiner->findText("LATHE"));
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(currentMachine().keys().fileExtension, "*.TNC");
}

// The send window, the CNC set-up, the receive window and the file selector
// each pick a machine in their own list; each choice ends in the one current
// machine, which the main window's selector and the plug-ins then report.
TEST_F(CurrentMachineTest, EveryWindowsChoiceEndsInTheOneCurrentMachine)
{
    cncSetupHooks().systemPorts = [] { return QStringList(); };
    frmMain w;
    PluginHost *plugins = installPluginHost(&w);
    ASSERT_EQ(currentMachine().name(), "MILL");
    auto holds = [&](const QString &machine) {
        EXPECT_EQ(currentMachine().name(), machine);
        EXPECT_EQ(QFileInfo(currentMachine().file()), QFileInfo(gsDataPath + '/' + machine + ".cfg"));
        EXPECT_EQ(plugins->pReadGlobal("gActiveCfg").toString(), machine);
        EXPECT_EQ(plugins->pReadGlobal("gActiveCfgFile").toString(), currentMachine().file());
    };

    {
        SCOPED_TRACE("send window");
        frmTxd2Cnc *send = txd2CncWindow(test::testSession());
        send->Form_Activate();
        send->cmbTxdCfgFiler->setCurrentIndex(send->cmbTxdCfgFiler->findText("LATHE"));
        send->cmbTxdCfgFiler_Click();
        holds("LATHE");
        EXPECT_EQ(w.machine(), "LATHE");
        EXPECT_EQ(plugins->pReadGlobal("gsFileExtension").toString(), "*.TNC");
        delete send;
    }
    {
        SCOPED_TRACE("CNC set-up");
        frmCncSetup setup(test::testSession(), &w, w.comboMaskiner);
        EXPECT_EQ(setup.cmbCfgFiler->currentText(), "LATHE");
        setup.cmbCfgFiler->setCurrentText("MILL");
        holds("MILL");
        EXPECT_EQ(w.machine(), "MILL");
        EXPECT_EQ(plugins->pReadGlobal("gsFileExtension").toString(), "*.NC");
    }
    {
        SCOPED_TRACE("receive window");
        frmRxdFromCnc receive(test::testSession());
        receive.comboMaskiner = w.comboMaskiner;
        receive.Form_Load();
        EXPECT_EQ(receive.cmbRxdCfgFiler->currentText(), "MILL");
        receive.cmbRxdCfgFiler->setCurrentText("LATHE");
        receive.cmbRxdCfgFiler_Click();
        holds("LATHE");
        EXPECT_EQ(w.machine(), "LATHE");
    }
    {
        SCOPED_TRACE("file selector");
        frmRkSelFile files(test::testSession());
        files.sRootPath = GetDefaultPath("root");
        files.sPreSelectedPath = GetDefaultPath("send");
        files.show();
        EXPECT_EQ(files.cmbMaskiner->currentText(), "LATHE");
        files.cmbMaskiner->setCurrentIndex(files.cmbMaskiner->findText("MILL"));
        files.cmbMaskiner_Click();
        holds("MILL");
        EXPECT_EQ(w.machine(), "LATHE"); // its own list leaves the selector as it is
        files.cmdAbort->click();
    }
    cncSetupHooks() = CncSetupHooks();
}
