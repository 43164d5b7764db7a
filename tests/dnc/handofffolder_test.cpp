// A cleaner of temporary folders removes the hand-off folder while the editor
// runs: the next send and the next reception make it again and work.
#include "fakeserialport.h"
#include "dnc/frmrxdfromcnc.h"
#include "dnc/frmtxd2cnc.h"

#include "core/globals.h"
#include "core/inifile.h"
#include "core/session.h"
#include "testsupport/sessionscope.h"
#include "testsupport/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <gtest/gtest.h>

using namespace lumrik;
using lumrik::test::MsgBoxRecorder;
using lumrik::test::TempEnv;

namespace {
struct CleanedRig {
    TempEnv env;
    MsgBoxRecorder boxes;
    QString start;
    CleanedRig()
    {
        FakeSerialPort::install();
        gsTmpPath = start = startHandOffFolder();
        test::changeMachineKeys([&](MachineKeys &k) { k.rootFolder = env.dataPath(); });
        test::SessionScope::words([](WordValues &w) {
            w.untitled = QStringLiteral("NAMNLÖS");
            w.receiving = QStringLiteral("Mottager data...");
        });
        currentMachine().use("MILL1", env.write("MILL1.cfg", "[Communication]\r\nDelayBeforeClose=-1\r\nProtokoll=INGEN\r\n"
                                                             "RxdFromChr=25\r\n[CNCProgPath]\r\nDefaultRxdCncPath="
                                                                 + QFile::encodeName(env.dataPath()) + "/\r\n"));
    }
    ~CleanedRig() { FakeSerialPort::uninstall(); }
    void clean()
    {
        // The folder and its parent go, as a cleaner of old temporary files takes them.
        ASSERT_TRUE(QDir(resolveTmpPath()).removeRecursively());
        ASSERT_FALSE(QFileInfo::exists(start));
    }
};
}

TEST(HandOffFolderCleaned, ASendAfterwardsWorks)
{
    CleanedRig r;
    const QString program = r.env.write("O1000.NC", "%\r\nN10 G0 X1\r\nM30\r\n%\r\n");
    frmTxd2Cnc *win = txd2CncWindow(test::testSession());
    auto *port = static_cast<FakeSerialPort *>(win->Comm1);
    port->written.clear();
    r.clean();
    EXPECT_EQ(sendFilesToCnc(test::testSession(), {program}), 1);
    EXPECT_EQ(port->written, "%\r\nN10 G0 X1\r\nM30\r\n%\r\n");
    EXPECT_FALSE(r.boxes.saw("kan inte skrivas"));
    EXPECT_FALSE(r.boxes.saw("Ingenting har sänts"));
    EXPECT_TRUE(isPrivateFolder(r.start));
    EXPECT_EQ(gsTmpPath, r.start);
}

TEST(HandOffFolderCleaned, AReceptionAfterwardsWorks)
{
    CleanedRig r;
    frmRxdFromCnc w(test::testSession());
    w.Form_Load();
    w.show();
    w.txtFileName->setText("O2");
    r.clean();
    w.btnStartRxd_Click();
    FakeSerialPort *port = FakeSerialPort::last();
    ASSERT_NE(port, nullptr);
    ASSERT_TRUE(port->PortOpen());
    port->receive("%\r\nN1 G0\r\nN2 X1\r\n%\r\n");
    w.btnRxdFromCncAbort_Click();
    EXPECT_TRUE(w.received());
    EXPECT_FALSE(r.boxes.saw("Överföringsfel"));
    EXPECT_EQ(test::readFile(tmpFile(kRxdTmp)), "%\r\nN1 G0\r\nN2 X1\r\n%\r\n");
    EXPECT_TRUE(isPrivateFolder(r.start));
}
