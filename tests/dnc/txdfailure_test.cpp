// A port that fails in the middle of a send, on the fake port: a write the
// device refuses, a device that vanishes while the send waits or drains, a port
// closed under the sender. Every one ends as a failure the user is told about,
// never as a finished send; the window stays open and shows how far it got.
#include "fakeserialport.h"
#include "dnc/frmtxd2cnc.h"
#include "dnc/txdsend.h"
#include "txdwait.h"

#include "core/globals.h"
#include "testsupport/sessionscope.h"
#include "testsupport/testsupport.h"

#include <QComboBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace lumrik;
using lumrik::test::MsgBoxRecorder;
using lumrik::test::TempEnv;

namespace {
const QByteArray kProgram = "%\r\nO1000\r\nN10 G0 X1\r\nN20 G1 X2 F100\r\nN30 M30\r\n%\r\n";
const QString kReason = QStringLiteral("Porten COM1 (/dev/ttyUSB0) slutade fungera: enheten svarar inte (kabeln eller adaptern borttagen?)");

struct FailRig {
    TempEnv env;
    MsgBoxRecorder boxes;
    FakeSerialPort port;
    TxdSender sender{&port};
    TxdSettings settings;

    explicit FailRig(const QByteArray &communication)
    {
        currentMachine().use("MILL1",
                             env.write("MILL1.cfg", "[Communication]\r\nDelayBeforeClose=-1\r\n" + communication));
        lumrik::test::writeFile(tmpFile(kTxdTmp), kProgram);
        EXPECT_EQ(readTxdSettings(MachineConfig::active(), settings), TxdSettingsStatus::Ok);
        port.writeFailure = kReason;
    }
    // A send that would wait for ever fails the test instead of hanging it.
    TxdSender::Result send()
    {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, &watchdog, [this] { sender.bAbort = true; });
        watchdog.start(5000);
        return sender.send(tmpFile(kTxdTmp), settings);
    }
    void expectFailureBox(long number, const QString &reason)
    {
        ASSERT_EQ(boxes.calls().size(), 1u);
        const MsgBoxCall &box = boxes.calls()[0];
        EXPECT_EQ(box.title, QStringLiteral("Överföringsfel # %1(%2)").arg(number).arg(reason));
        EXPECT_EQ(box.text, reason);
        EXPECT_EQ(box.buttons, MbButtons::OkCancel);
        EXPECT_EQ(box.icon, MbIcon::Critical);
    }
};
}

TEST(TxdFailure, AWriteTheDeviceRefusesEndsTheSendWhateverTheAnswer)
{
    for (const int answer : {int(MbOk), int(MbCancel)}) {
        SCOPED_TRACE(answer);
        FailRig r("Protokoll=RTS/CTS\r\nLeaderChr=25\r\n");
        // The leader, "%", "O1000" and three bytes of "N10 G0 X1" get out.
        r.port.failOutputAfter = 1 + 3 + 7 + 3;
        r.boxes.answer(answer);
        EXPECT_EQ(r.send(), TxdSender::Result::Failed);
        r.expectFailureBox(kPortDeviceError, kReason);
        EXPECT_EQ(r.port.written, "%%\r\nO1000\r\nN10");
        EXPECT_FALSE(r.port.PortOpen());
        EXPECT_EQ(r.sender.failNumber, kPortDeviceError);
        // How far it got: what left whole, never the line cut in the middle.
        EXPECT_EQ(r.sender.bytesWritten, 11);
        EXPECT_EQ(r.sender.lastLine, "O1000");
        EXPECT_EQ(r.sender.sentCount, 10);   // "%\r\nO1000\r\n" of the file
    }
}

TEST(TxdFailure, TheLogTellsHowFarTheSendGot)
{
    FailRig r("Protokoll=INGEN\r\nDisplayTxData=0\r\n");
    r.port.failOutputAfter = 3 + 7 + 11 + 5;
    QByteArray log;
    QStringList panel3;
    r.sender.onLog = [&](const QByteArray &t) { log += t; };
    r.sender.onStatus = [&](int panel, const QString &t) {
        if (panel == 3)
            panel3 << t;
    };
    EXPECT_EQ(r.send(), TxdSender::Result::Failed);
    // The report is written even when the sent lines are not shown.
    const QString text = QString::fromLatin1(log);
    EXPECT_TRUE(text.contains("SÄNDNINGEN MISSLYCKADES")) << text.toStdString();
    EXPECT_TRUE(text.contains(kReason));
    EXPECT_TRUE(text.contains("21 byte hade skrivits till porten när felet kom."));
    EXPECT_TRUE(text.contains("Sista hela rad som skrevs: N10 G0 X1\r\n"));
    EXPECT_TRUE(text.contains("Programmet i CNC:n är inte komplett."));
    EXPECT_EQ(panel3.last(), QStringLiteral("Sändningen misslyckades."));
}

TEST(TxdFailure, DeviceLostWhileWaitingForTheMachine)
{
    FailRig r("Protokoll=RTS/CTS\r\n");
    r.port.setCts(false);
    QTimer::singleShot(30, [&] { r.port.loseDevice(kPortDeviceError, kReason); });
    EXPECT_EQ(r.send(), TxdSender::Result::Failed);
    r.expectFailureBox(kPortDeviceError, kReason);
    EXPECT_TRUE(r.port.written.isEmpty());
    EXPECT_EQ(r.sender.bytesWritten, 0);
}

TEST(TxdFailure, DeviceLostWhileWaitingForDc1)
{
    FailRig r("Protokoll=DC-KODER\r\n");
    QTimer::singleShot(30, [&] { r.port.loseDevice(kPortDeviceError, kReason); });
    EXPECT_EQ(r.send(), TxdSender::Result::Failed);
    r.expectFailureBox(kPortDeviceError, kReason);
}

TEST(TxdFailure, DeviceLostWhileTheLastBytesDrainIsNoFinishedSend)
{
    FailRig r("Protokoll=INGEN\r\n");
    r.port.holdOutput = true;   // the bytes stay in the buffer: nothing drains
    int writes = 0;
    r.port.onOutput = [&](FakeSerialPort &p, const QByteArray &) {
        ++writes;
        if (writes < 6)
            p.drain();   // every line but the last leaves
        else
            QTimer::singleShot(30, [&] { r.port.loseDevice(kPortDeviceError, kReason); });
    };
    EXPECT_EQ(r.send(), TxdSender::Result::Failed);
    EXPECT_EQ(r.port.written, kProgram);
    r.expectFailureBox(kPortDeviceError, kReason);
    // The last line was handed over but never known to have left.
    EXPECT_EQ(r.sender.lastLine, "N30 M30");
}

TEST(TxdFailure, DeviceLostDuringTheCloseDelay)
{
    FailRig r("Protokoll=INGEN\r\n");
    r.settings.delayBeforeClose = 1;
    QTimer::singleShot(100, [&] { r.port.loseDevice(kPortDeviceError, kReason); });
    EXPECT_EQ(r.send(), TxdSender::Result::Failed);
    EXPECT_EQ(r.sender.bytesWritten, kProgram.size());
    EXPECT_EQ(r.sender.lastLine, "%");
}

TEST(TxdFailure, PortClosedUnderTheSender)
{
    FailRig r("Protokoll=RTS/CTS\r\n");
    r.port.setCts(false);
    QTimer::singleShot(30, [&] { r.port.setPortOpen(false); });
    EXPECT_EQ(r.send(), TxdSender::Result::Failed);
    r.expectFailureBox(kPortNotOpen, QStringLiteral("Porten COM1 stängdes under sändningen."));
}

TEST(TxdFailure, CharacterModeStopsAtTheFailedCharacter)
{
    FailRig r("Protokoll=INGEN\r\nChrDelayInMs=1\r\n");
    r.port.failOutputAfter = 5;
    EXPECT_EQ(r.send(), TxdSender::Result::Failed);
    EXPECT_EQ(r.port.written, "%\r\nO1");
    EXPECT_EQ(r.sender.lastLine, "%");
}

TEST(TxdFailure, AnAbortIsNoFailure)
{
    FailRig r("Protokoll=RTS/CTS\r\n");
    r.port.setCts(false);
    // The abort button closes the port and sets the flag in one go.
    QTimer::singleShot(30, [&] {
        r.sender.ClosePort();
        r.sender.bAbort = true;
    });
    EXPECT_EQ(r.send(), TxdSender::Result::Stopped);
    EXPECT_TRUE(r.boxes.calls().empty());
}

// ---------------------------------------------------------------------------
// The window

namespace {
struct FailWindowRig {
    TempEnv env;
    MsgBoxRecorder boxes;
    FailWindowRig()
    {
        FakeSerialPort::install([](FakeSerialPort &p) { p.writeFailure = kReason; });
        env.write("MILL1.cfg", "[Communication]\r\nDelayBeforeClose=-1\r\nProtokoll=INGEN\r\n");
        lumrik::test::writeFile(tmpFile(kTxdTmp), kProgram);
    }
    ~FailWindowRig() { FakeSerialPort::uninstall(); }
};
}

TEST(TxdFailureWindow, StaysOpenAndShowsHowFarTheSendGot)
{
    for (const int answer : {int(MbOk), int(MbCancel)}) {
        SCOPED_TRACE(answer);
        FailWindowRig w;
        w.boxes.answer(answer);
        frmTxd2Cnc win(test::testSession());
        auto *port = static_cast<FakeSerialPort *>(win.Comm1);
        port->failOutputAfter = 3 + 7 + 11 + 2;
        win.show();
        lumrik::test::activateAndWait(win);   // the one machine: the send starts at once

        ASSERT_EQ(w.boxes.calls().size(), 1u);
        EXPECT_EQ(w.boxes.calls()[0].title, QStringLiteral("Överföringsfel # 57(%1)").arg(kReason));
        EXPECT_EQ(w.boxes.calls()[0].text, kReason);
        EXPECT_EQ(w.boxes.calls()[0].buttons, MbButtons::OkCancel);
        // Nothing more went to the dead port after the answer.
        EXPECT_EQ(port->written, "%\r\nO1000\r\nN10 G0 X1\r\nN2");
        EXPECT_EQ(port->opens, 1);

        // The window is still there and says what happened.
        EXPECT_TRUE(win.isVisible());
        EXPECT_EQ(win.panelText(3), QStringLiteral("Sändningen misslyckades."));
        const QString log = win.txtTxd2Cnc->toPlainText();
        EXPECT_TRUE(log.contains(QStringLiteral("*** SÄNDNINGEN MISSLYCKADES ***\n") + kReason)) << log.toStdString();
        EXPECT_TRUE(log.contains("21 byte hade skrivits till porten när felet kom."));
        EXPECT_TRUE(log.contains("Sista hela rad som skrevs: N10 G0 X1\n"));
        EXPECT_LT(win.ccrpProgressBar->value(), win.ccrpProgressBar->maximum());
        EXPECT_EQ(win.ccrpProgressBar->value(), 21);
        EXPECT_TRUE(win.ccrpProgressBar->text().contains("misslyckades"));
        EXPECT_FALSE(win.btnTxd2Cnc->isEnabled());
        EXPECT_FALSE(win.cmbTxdCfgFiler->isEnabled());
        EXPECT_TRUE(win.btnTxd2CncAbort->isEnabled());
        EXPECT_TRUE(QFile::exists(tmpFile(kTxdTmp)));

        win.btnTxd2CncAbort_Click();
        EXPECT_FALSE(win.isVisible());
        EXPECT_FALSE(QFile::exists(tmpFile(kTxdTmp)));
    }
}

TEST(TxdFailureWindow, TheNextShowingStartsClean)
{
    FailWindowRig w;
    frmTxd2Cnc win(test::testSession());
    auto *port = static_cast<FakeSerialPort *>(win.Comm1);
    port->failOutputAfter = 4;
    win.Form_Load();
    win.show();
    lumrik::test::activateAndWait(win);
    ASSERT_EQ(win.panelText(3), QStringLiteral("Sändningen misslyckades."));
    win.btnTxd2CncAbort_Click();

    // A good send afterwards closes the window as always.
    w.boxes.clear();
    lumrik::test::writeFile(tmpFile(kTxdTmp), kProgram);
    win.Form_Load();
    EXPECT_TRUE(win.panelText(3).isEmpty());
    EXPECT_FALSE(win.ccrpProgressBar->text().contains("misslyckades"));
    port->written.clear();
    win.show();
    lumrik::test::activateAndWait(win);
    EXPECT_EQ(port->written, kProgram);
    EXPECT_FALSE(win.isVisible());
    EXPECT_TRUE(w.boxes.calls().empty());
}
