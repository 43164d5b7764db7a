// The current machine between the main window's selector and the windows
// that pick a machine: the send window moves the selector (and with it the
// machine's keys); the file selector's own list changes the machine used but
// not the selector, and the send window then offers the selector's machine.
#include "core/currentmachine.h"
#include "core/globals.h"
#include "dnc/frmtxd2cnc.h"
#include "mainwindow/frmmain.h"
#include "mainwindowfixture.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QComboBox>
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
