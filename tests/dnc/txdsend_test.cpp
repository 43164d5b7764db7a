// Whole sends on the fake port: every protocol with its modem-line and DC-code
// handling, framing, binary mode, line errors; and the send window with the
// commands that open it.
#include "fakeserialport.h"
#include "dnc/frmtxd2cnc.h"
#include "mainwindow/sendcommand.h"
#include "dnc/txdsend.h"
#include "txdwait.h"

#include "core/globals.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "testsupport/sessionscope.h"
#include "testsupport/testsupport.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace lumrik;
using lumrik::test::MsgBoxRecorder;
using lumrik::test::TempEnv;

namespace {
const QByteArray kProgram = "%\r\n'(kommentar)\r\nO1000\r\nN10 G0 X1\r\nN20 M30\r\n%\r\n";

struct SendRig {
    TempEnv env;
    FakeSerialPort port;
    TxdSender sender{&port};
    TxdSettings settings;

    // Writes the machine file (Communication section lines) and the hand-off file.
    explicit SendRig(const QByteArray &communication, const QByteArray &program = kProgram)
    {
        currentMachine().use("MILL1",
                             env.write("MILL1.cfg", "[Communication]\r\nDelayBeforeClose=-1\r\n" + communication));
        lumrik::test::writeFile(tmpFile(kTxdTmp), program);
        EXPECT_EQ(readTxdSettings(MachineConfig::active(), settings), TxdSettingsStatus::Ok);
    }
    TxdSender::Result send() { return sender.send(tmpFile(kTxdTmp), settings); }
};
}

TEST(TxdSend, RtsCtsWaitsForCtsThenSendsLeaderProgramAndTrailer)
{
    SendRig r("Protokoll=RTS/CTS\r\nLeaderChr=(00*3)\r\nTrailerChr=14\r\nSend30Null=1\r\n");
    r.port.setCts(false);
    QStringList panel3;
    r.sender.onStatus = [&](int panel, const QString &t) {
        if (panel == 3)
            panel3 << t;
    };
    QTimer::singleShot(60, [&] { r.port.setCts(true); });
    ASSERT_EQ(r.send(), TxdSender::Result::Done);
    const QByteArray nul30(30, '\0');
    EXPECT_EQ(r.port.written, nul30 + QByteArray(3, '\0') + "%\r\nO1000\r\nN10 G0 X1\r\nN20 M30\r\n%\r\n" + "\x14" + nul30);
    EXPECT_EQ(r.port.openedWith, QStringList({"COM1 2400,E,7,1 hs=2"}));
    EXPECT_EQ(r.port.handshakeLog.mid(0, 2), QList<int>({2, 2}));
    EXPECT_FALSE(r.port.PortOpen());
    EXPECT_EQ(r.sender.sentCount, kProgram.size());
    ASSERT_GE(panel3.size(), 2);
    EXPECT_EQ(panel3.first(), "Väntar CNC...");
    EXPECT_TRUE(panel3.last().startsWith(" Chr's/sec : "));
}

TEST(TxdSend, NoHandshakeIgnoresCts)
{
    SendRig r("Protokoll=INGEN\r\nEobCode=LF\r\nComPort=4\r\nBaudRate=19200\r\nParity=INGEN\r\nDataBits=8\r\n");
    r.port.setCts(false);
    ASSERT_EQ(r.send(), TxdSender::Result::Done);
    EXPECT_EQ(r.port.written, "%\nO1000\nN10 G0 X1\nN20 M30\n%\n");
    EXPECT_EQ(r.port.openedWith, QStringList({"COM4 19200,N,8,1 hs=0"}));
}

TEST(TxdSend, DcCodesWaitForDc1AnywhereInAChunkThenUseXonXoff)
{
    SendRig r("Protokoll=DC-KODER\r\n");
    QTimer::singleShot(30, [&] { r.port.receive("\x13"); });           // no DC1 yet
    QTimer::singleShot(80, [&] { r.port.receive("ab\x11" "c"); });     // DC1 as third byte
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(r.send(), TxdSender::Result::Done);
    EXPECT_GE(clock.elapsed(), 70);
    EXPECT_EQ(r.port.written, "%\r\nO1000\r\nN10 G0 X1\r\nN20 M30\r\n%\r\n");
    // Opened with RTS/CTS, waited with RTS/CTS, sent with RTS/CTS and XON/XOFF.
    EXPECT_EQ(r.port.handshakeLog.mid(0, 4), QList<int>({2, 2, 2, 3}));
}

TEST(TxdSend, DcCodesWithCtsLowAfterDc1WaitForTheNextDc1)
{
    SendRig r("Protokoll=DC-KODER\r\n");
    r.port.setCts(false);
    QTimer::singleShot(30, [&] { r.port.receive("\x11"); });
    QTimer::singleShot(80, [&] { r.port.setCts(true); });
    QTimer::singleShot(130, [&] { r.port.receive("\x11"); });
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(r.send(), TxdSender::Result::Done);
    EXPECT_GE(clock.elapsed(), 120);
    EXPECT_EQ(r.port.written.size(), 33);
}

TEST(TxdSend, Osp5000SwitchesToXonXoffAndRaisesRtsAfterDc1)
{
    SendRig r("Protokoll=OSP5000\r\nCode=ISO\r\n");
    r.port.setCts(false);  // not looked at
    QTimer::singleShot(30, [&] { r.port.receive("\x11"); });
    ASSERT_EQ(r.send(), TxdSender::Result::Done);
    EXPECT_EQ(r.port.written.size(), 33);
    EXPECT_EQ(r.port.handshakeLog.mid(0, 4), QList<int>({2, 2, 2, 1}));
    EXPECT_EQ(r.port.rtsLog, QList<bool>({false, true}));
}

TEST(TxdSend, KearneyEndsWithEotDc4BeforeTheTrailerEvenAfterSendTo)
{
    SendRig r("Protokoll=KEARNEY\r\nSendTo=M30\r\nTrailerChr=(25*2)\r\n",
              "N10 G0\r\nN20 M30 (SLUT)\r\nN30 G0\r\n");
    QTimer::singleShot(20, [&] { r.port.receive("\x11"); });
    ASSERT_EQ(r.send(), TxdSender::Result::Done);
    EXPECT_EQ(r.port.written, "N10 G0\r\nN20 M30\x04\x14%%");
}

TEST(TxdSend, EiaTranslatesProgramButNotLeaderTrailerOrNuls)
{
    SendRig r("Protokoll=INGEN\r\nCode=EIA\r\nLeaderChr=0D\r\nTrailerChr=0A\r\n", "G01 X10.5\r\n'x\r\n");
    ASSERT_EQ(r.send(), TxdSender::Result::Done);
    EXPECT_EQ(r.port.written, "\r" + QByteArray::fromHex("672001103701206b150080") + "\n");
}

TEST(TxdSend, BinaryModeSendsTheWholeFileInSlicesOfFour)
{
    // A file that starts like a comment line is still sent whole.
    const QByteArray data("'ab\r\ncd\x00\xff", 10);
    SendRig r(QByteArray("Protokoll=INGEN\r\nCode=") + "BIN\xC4R" + "\r\nTxdFilter=20\r\n", data);
    ASSERT_EQ(r.send(), TxdSender::Result::Done);
    EXPECT_EQ(r.port.written, data);
    QList<int> sizes;
    for (const QByteArray &w : r.port.writes)
        sizes << int(w.size());
    EXPECT_EQ(sizes, QList<int>({4, 4, 2}));
}

TEST(TxdSend, EmptyFileIsReportedAndNothingIsSent)
{
    MsgBoxRecorder boxes;
    SendRig r("Protokoll=INGEN\r\n", QByteArray());
    EXPECT_EQ(r.send(), TxdSender::Result::Empty);
    EXPECT_TRUE(boxes.saw("Det finns inget att sända till CNC !!!"));
    EXPECT_TRUE(r.port.written.isEmpty());
    EXPECT_FALSE(r.port.PortOpen());
}

TEST(TxdSend, PortThatCannotOpenIsReported)
{
    MsgBoxRecorder boxes;
    SendRig r("Protokoll=INGEN\r\n");
    r.port.failOpenNumber = 8002;
    r.port.failOpenText = "Porten finns inte";
    EXPECT_EQ(r.send(), TxdSender::Result::PortFailed);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Porten finns inte");
    EXPECT_EQ(boxes.calls()[0].title, QStringLiteral("Överföringsfel # 8002(Porten finns inte)"));
}

TEST(TxdSend, LineErrorsAreCountedRetryGoesOnCancelStops)
{
    MsgBoxRecorder boxes;
    SendRig r("Protokoll=RTS/CTS\r\n");
    r.port.setCts(false);
    boxes.answer(MbRetry);
    QTimer::singleShot(20, [&] { r.port.injectLineError(comEventFrame); });
    QTimer::singleShot(60, [&] { r.port.setCts(true); });
    ASSERT_EQ(r.send(), TxdSender::Result::Done);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, QStringLiteral("Överföringsfel har påträffats!\r\n\r\nBREAK  \t0\r\nOVER   \t0\r\n"
                                                     "FRAMING\t1\r\nPARITY \t0\r\nDCB    \t0\r\nOTHER  \t0\r\n"));
    EXPECT_EQ(boxes.calls()[0].title, "Kommunikationsfel !");
    EXPECT_EQ(boxes.calls()[0].buttons, MbButtons::RetryCancel);

    // Counts run on from one send to the next; Cancel ends the send.
    boxes.answer(MbCancel);
    r.port.setCts(false);
    QTimer::singleShot(20, [&] { r.port.injectLineError(comEventRxParity); });
    EXPECT_EQ(r.send(), TxdSender::Result::Stopped);
    EXPECT_TRUE(r.sender.cancelledByErrorBox);
    EXPECT_TRUE(boxes.calls()[1].text.contains("FRAMING\t1\r\nPARITY \t1"));
    EXPECT_FALSE(r.port.PortOpen());
}

TEST(TxdSend, AbortWhileWaitingForTheMachineClosesThePort)
{
    SendRig r("Protokoll=DC-KODER\r\n");
    QTimer::singleShot(30, [&] { r.sender.bAbort = true; });
    EXPECT_EQ(r.send(), TxdSender::Result::Stopped);
    EXPECT_TRUE(r.port.written.isEmpty());
    EXPECT_FALSE(r.port.PortOpen());
}

TEST(TxdSend, CloseDelayOfZeroWaitsTwoSeconds)
{
    SendRig r("Protokoll=INGEN\r\n");
    r.settings.delayBeforeClose = 0;
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(r.send(), TxdSender::Result::Done);
    EXPECT_GE(clock.elapsed(), 1950);
}

// ---------------------------------------------------------------------------
// The window

namespace {
struct WindowRig {
    TempEnv env;
    MsgBoxRecorder boxes;
    WindowRig() { FakeSerialPort::install(); }
    ~WindowRig() { FakeSerialPort::uninstall(); }
    void machine(const QString &name, const QByteArray &communication)
    {
        env.write(name + ".cfg", "[Communication]\r\nDelayBeforeClose=-1\r\n" + communication);
    }
};
}

TEST(TxdWindow, OneMachineSendsAtOnceAndTheHandOffFileIsDeleted)
{
    WindowRig w;
    w.machine("mill1", "Protokoll=INGEN\r\n");
    lumrik::test::writeFile(tmpFile(kTxdTmp), "N10\r\nN20\r\n");
    frmTxd2Cnc win(test::testSession());
    for (const char *name : {"Label1", "cmbTxdCfgFiler", "btnTxd2Cnc", "btnTxd2CncAbort", "txtTxd2Cnc",
                             "ccrpProgressBar", "StatusBar1", "Frame1", "FileTxdCfg", "Comm1"})
        EXPECT_TRUE(win.findChild<QObject *>(QString::fromLatin1(name)) || win.Comm1->objectName() == name) << name;
    EXPECT_EQ(win.windowTitle(), QStringLiteral("Sänd Till CNC"));
    auto *port = static_cast<FakeSerialPort *>(win.Comm1);
    win.show();
    lumrik::test::activateAndWait(win);
    EXPECT_EQ(port->written, "N10\r\nN20\r\n");
    EXPECT_EQ(currentMachine().name(), "MILL1");
    EXPECT_FALSE(win.isVisible());
    EXPECT_FALSE(QFile::exists(tmpFile(kTxdTmp)));
    EXPECT_EQ(win.txtTxd2Cnc->toPlainText(), "N10\nN20\n");
    EXPECT_EQ(win.ccrpProgressBar->value(), win.ccrpProgressBar->maximum());
    EXPECT_TRUE(w.boxes.calls().empty());
}

TEST(TxdWindow, DisplayOffKeepsTheLogEmpty)
{
    WindowRig w;
    w.machine("MILL1", "Protokoll=INGEN\r\nDisplayTxData=0\r\n");
    lumrik::test::writeFile(tmpFile(kTxdTmp), "N10\r\n");
    frmTxd2Cnc win(test::testSession());
    win.show();
    lumrik::test::activateAndWait(win);
    EXPECT_EQ(static_cast<FakeSerialPort *>(win.Comm1)->written, "N10\r\n");
    EXPECT_TRUE(win.txtTxd2Cnc->toPlainText().isEmpty());
}

TEST(TxdWindow, UnknownProtocolEndsTheSendNotTheProgram)
{
    WindowRig w;
    w.machine("MILL1", "Protokoll=V24\r\n");
    lumrik::test::writeFile(tmpFile(kTxdTmp), "N10\r\n");
    frmTxd2Cnc win(test::testSession());
    win.show();
    lumrik::test::activateAndWait(win);
    EXPECT_TRUE(w.boxes.saw("Stop i SelectProtokoll !!!"));
    EXPECT_EQ(static_cast<FakeSerialPort *>(win.Comm1)->opens, 0);
    EXPECT_TRUE(win.isVisible());
    EXPECT_TRUE(win.btnTxd2Cnc->isEnabled());
    win.btnTxd2CncAbort_Click();
    EXPECT_FALSE(win.isVisible());
    EXPECT_FALSE(QFile::exists(tmpFile(kTxdTmp)));
}

TEST(TxdWindow, MalformedLeaderIsRefusedBeforeThePortOpens)
{
    WindowRig w;
    w.machine("MILL1", "Protokoll=INGEN\r\nLeaderChr=0D;0A\r\n");
    lumrik::test::writeFile(tmpFile(kTxdTmp), "N10\r\n");
    frmTxd2Cnc win(test::testSession());
    win.show();
    lumrik::test::activateAndWait(win);
    ASSERT_EQ(w.boxes.calls().size(), 1u);
    EXPECT_TRUE(w.boxes.calls()[0].text.contains("LeaderChr"));
    EXPECT_TRUE(w.boxes.calls()[0].text.contains("0D;0A"));
    EXPECT_EQ(static_cast<FakeSerialPort *>(win.Comm1)->opens, 0);
    win.close();
}

TEST(TxdWindow, NoMachineFileIsReportedAndTheWindowCloses)
{
    WindowRig w;
    lumrik::test::writeFile(tmpFile(kTxdTmp), "N10\r\n");
    frmTxd2Cnc win(test::testSession());
    win.show();
    lumrik::test::activateAndWait(win);
    EXPECT_TRUE(w.boxes.saw("Inga CNC inställningar är skapade !"));
    EXPECT_FALSE(win.isVisible());
}

TEST(TxdWindow, SeveralMachinesWaitForAChoiceAndLoopSendRepeatsUntilAbort)
{
    WindowRig w;
    w.machine("LATHE", "Protokoll=INGEN\r\nLoopSend=1\r\n");
    w.machine("MILL1", "Protokoll=INGEN\r\n");
    test::useMachineName(QString());
    lumrik::test::writeFile(tmpFile(kTxdTmp), "N10\r\n");
    frmTxd2Cnc win(test::testSession());
    auto *port = static_cast<FakeSerialPort *>(win.Comm1);
    win.show();
    lumrik::test::activateAndWait(win);
    EXPECT_EQ(win.cmbTxdCfgFiler->count(), 2);
    EXPECT_EQ(port->opens, 0);
    EXPECT_FALSE(win.btnTxd2Cnc->isEnabled());
    win.cmbTxdCfgFiler->setCurrentIndex(0);
    win.cmbTxdCfgFiler_Click();
    EXPECT_EQ(currentMachine().name(), "LATHE");
    EXPECT_TRUE(win.btnTxd2Cnc->isEnabled());
    port->onOutput = [&](FakeSerialPort &p, const QByteArray &) {
        if (p.opens == 3)
            win.btnTxd2CncAbort_Click();
    };
    lumrik::test::clickSendAndWait(win);
    EXPECT_EQ(port->opens, 3);
    EXPECT_EQ(port->sessions.mid(0, 2), QList<QByteArray>({"N10\r\n", "N10\r\n"}));
    EXPECT_FALSE(port->PortOpen());
    EXPECT_FALSE(win.isVisible());
}

TEST(TxdWindow, ConcatenationEndsEveryLineWithCrLf)
{
    TempEnv env;
    const QString a = env.write("A.NC", "N1\nN2\n");   // LF-only lines are lines as well
    const QString b = env.write("B.NC", "N3\r\nN4");   // last line without a line end
    const QString c = env.write("C.NC", "");
    const QString d = env.write("D.NC", "N5\rN6\r\n");
    const QString e = env.write("E.NC", "N7\r\nN8\nN9");   // mixed
    QByteArray out;
    ASSERT_TRUE(concatenateForSend({a, b, c, d, e}, out));
    EXPECT_EQ(out, "N1\r\nN2\r\nN3\r\nN4\r\nN5\r\nN6\r\nN7\r\nN8\r\nN9\r\n");
    QString failed;
    EXPECT_FALSE(concatenateForSend({a, env.path("missing.nc")}, out, &failed));
    EXPECT_EQ(failed, env.path("missing.nc"));
}

TEST(TxdWindow, SendOfSeveralFilesGoesOutAsOneTransfer)
{
    WindowRig w;
    w.machine("MILL1", "Protokoll=INGEN\r\n");
    const QString a = w.env.write("O1000.NC", "N1\r\n");
    const QString b = w.env.write("O2000.NC", "N2\r\n");
    frmTxd2Cnc *win = txd2CncWindow(test::testSession());
    auto *port = static_cast<FakeSerialPort *>(win->Comm1);
    port->written.clear();
    EXPECT_EQ(sendFilesToCnc(test::testSession(), {a, b}), 2);
    EXPECT_EQ(win->windowTitle(), "2 nc program att sända");
    EXPECT_EQ(port->written, "N1\r\nN2\r\n");
    port->written.clear();
    EXPECT_EQ(sendFilesToCnc(test::testSession(), {a}), 1);
    EXPECT_EQ(win->windowTitle(), QStringLiteral("Sänder [O1000.NC]"));
    EXPECT_EQ(port->written, "N1\r\n");
    EXPECT_FALSE(QFile::exists(tmpFile(kTxdTmp)));

    EXPECT_EQ(sendFilesToCnc(test::testSession(), {a, w.env.path("gone.nc")}), 0);
    EXPECT_TRUE(w.boxes.saw("Ingenting har sänts."));
}

// A program saved with LF line ends goes out block by block with the machine's
// own end of block, as it does from its document window.
TEST(TxdWindow, LfOnlyProgramsFromTheFileSelectorGoOutWithTheMachinesEndOfBlock)
{
    WindowRig w;
    w.machine("MILL1", "Protokoll=INGEN\r\nEobCode=LF CR CR\r\nSendTo=M30\r\n");
    const QString a = w.env.write("O1000.NC", "%\nO1000\nN10 G0 X1\n'(kommentar)\n");
    const QString b = w.env.write("O2000.NC", "N20 M30\nN30 G0\n");
    frmTxd2Cnc *win = txd2CncWindow(test::testSession());
    auto *port = static_cast<FakeSerialPort *>(win->Comm1);
    port->written.clear();
    EXPECT_EQ(sendFilesToCnc(test::testSession(), {a, b}), 2);
    EXPECT_EQ(port->written, "%\n\r\rO1000\n\r\rN10 G0 X1\n\r\rN20 M30");
}

// A hand-off file cut short by a full disk must not go out as the program.
TEST(TxdWindow, AHandOffFileCutShortSendsNothing)
{
    WindowRig w;
    w.machine("MILL1", "Protokoll=INGEN\r\n");
    const QString a = w.env.write("O1000.NC", QByteArray(5000, 'N'));
    frmTxd2Cnc *win = txd2CncWindow(test::testSession());
    auto *port = static_cast<FakeSerialPort *>(win->Comm1);
    port->written.clear();
    int sent;
    {
        const lumrik::test::FileSizeLimit limit(1000);
        ASSERT_TRUE(limit.active());
        sent = sendFilesToCnc(test::testSession(), {a});
    }
    EXPECT_EQ(sent, 0);
    EXPECT_TRUE(w.boxes.saw("Ingenting har sänts."));
    EXPECT_TRUE(port->written.isEmpty());
    EXPECT_FALSE(QFile::exists(tmpFile(kTxdTmp)));
}

TEST(TxdWindow, SendingTheActiveDocumentKeepsItsChangedFlagAndLineEnds)
{
    WindowRig w;
    w.machine("MILL1", "Protokoll=INGEN\r\n");
    frmTxd2Cnc *win = txd2CncWindow(test::testSession());
    auto *port = static_cast<FakeSerialPort *>(win->Comm1);
    port->written.clear();
    frmDocument doc;
    doc.setWindowTitle("/nc/O1000.NC");
    doc.txtText->setTextType(2);
    doc.txtText->setTextAll("N10 G0\nN20 M30\n");
    doc.txtText->setIsDirty(true);
    sendActiveDocument(test::testSession(), &doc);
    EXPECT_EQ(win->windowTitle(), QStringLiteral("SÄND [ /nc/O1000.NC ]"));
    EXPECT_EQ(port->written, "N10 G0\r\nN20 M30\r\n");
    EXPECT_TRUE(doc.txtText->IsDirty());
    EXPECT_EQ(doc.txtText->TextType(), 2);
    EXPECT_EQ(doc.txtText->TextAll(), "N10 G0\nN20 M30\n");

    doc.txtText->setIsDirty(false);
    sendActiveDocument(test::testSession(), &doc);
    EXPECT_FALSE(doc.txtText->IsDirty());
    sendActiveDocument(test::testSession(), nullptr);  // nothing happens
}

// The document's encoding decides how "DoNotSend" is spelt in the program,
// not a new judgement of the bytes handed off: a Windows-1252 program that
// shows «Ã…» sends that line although its bytes read as «Å» in UTF-8; the
// same bytes sent as a file afterwards are judged by themselves.
TEST(TxdWindow, TheActiveDocumentIsSentInItsOwnEncoding)
{
    WindowRig w;
    w.machine("MILL1", "Protokoll=INGEN\r\nDataBits=8\r\nDoNotSend=\xC5\r\n");
    frmTxd2Cnc *win = txd2CncWindow(test::testSession());
    auto *port = static_cast<FakeSerialPort *>(win->Comm1);
    frmDocument doc;
    doc.setWindowTitle("/nc/O1000.NC");
    // Loaded as Windows-1252 (the «Å» of line 1 is no UTF-8); its first line
    // removed, the rest is valid UTF-8 and the program still Windows-1252.
    doc.txtText->FileLoad(w.env.write("O1000.NC", "(\xC5)\r\n\xC3\x85 N10\r\n\xC5 N20\r\nN30\r\n"));
    doc.txtText->setTextIndex(1);
    QTest::keyClick(doc.txtText->focusProxy(), Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(doc.txtText->focusProxy(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(doc.txtText->focusProxy(), Qt::Key_Delete);
    ASSERT_EQ(doc.txtText->TextAll(), QByteArray("\xC3\x85 N10\r\n\xC5 N20\r\nN30\r\n"));
    doc.txtText->setTextIndex(2);
    QTest::keyClick(doc.txtText->focusProxy(), Qt::Key_Down);
    QTest::keyClick(doc.txtText->focusProxy(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(doc.txtText->focusProxy(), Qt::Key_Delete);
    ASSERT_EQ(doc.txtText->TextAll(), QByteArray("\xC3\x85 N10\r\nN30\r\n"));
    ASSERT_EQ(doc.txtText->document().encoding(), TextEncoding::Windows1252);

    port->written.clear();
    sendActiveDocument(test::testSession(), &doc);
    EXPECT_EQ(port->written, QByteArray("\xC3\x85 N10\r\nN30\r\n"));

    // A file of the same bytes is UTF-8: its «Å» line is not sent.
    const QString file = w.env.write("O2000.NC", "\xC3\x85 N10\r\nN30\r\n");
    port->written.clear();
    ASSERT_EQ(sendFilesToCnc(test::testSession(), {file}), 1);
    EXPECT_EQ(port->written, QByteArray("N30\r\n"));
    doc.txtText->setIsDirty(false);
}

// The send reads the window's program: its bytes as they are now, whichever
// view of it changed them, with CR LF line ends and without the byte-order
// mark, which stays the program's.
TEST(TxdWindow, TheActiveDocumentsProgramIsSentWithoutItsMark)
{
    WindowRig w;
    w.machine("MILL1", "Protokoll=INGEN\r\nDataBits=8\r\n");
    frmTxd2Cnc *win = txd2CncWindow(test::testSession());
    auto *port = static_cast<FakeSerialPort *>(win->Comm1);
    frmDocument doc;
    doc.setWindowTitle("/nc/O1000.NC");
    doc.txtText->FileLoad(w.env.write("O1000.NC", "\xEF\xBB\xBF(FR\xC3\x85N)\nN10 G1\n"));
    ASSERT_TRUE(doc.program()->hasByteOrderMark());
    Editor other(doc.program());
    other.setCaret(1, 3);
    QTest::keyClicks(other.focusProxy(), "M30");
    ASSERT_TRUE(doc.program()->isModified());
    port->written.clear();
    sendActiveDocument(test::testSession(), &doc);
    EXPECT_EQ(port->written, QByteArray("(FR\xC3\x85N)\r\nN10 G1\r\nM30\r\n"));
    EXPECT_TRUE(doc.program()->isModified());
    EXPECT_EQ(doc.program()->fileBytes(), QByteArray("\xEF\xBB\xBF(FR\xC3\x85N)\nN10 G1\nM30"));
    doc.program()->setModified(false);
}

// What one send showed in the status bar is not told of the next: a machine
// whose character delay was set to 0 in between sends in blocks, and the
// window says nothing of a delay.
TEST(TxdWindow, ALaterShowingKeepsNoStatusOfTheLastSend)
{
    WindowRig w;
    w.machine("MILL1", "Protokoll=INGEN\r\nChrDelayInMs=20\r\n");
    const QString a = w.env.write("O1000.NC", "N1\r\n");
    frmTxd2Cnc *win = txd2CncWindow(test::testSession());
    auto *port = static_cast<FakeSerialPort *>(win->Comm1);
    port->written.clear();
    ASSERT_EQ(sendFilesToCnc(test::testSession(), {a}), 1);
    EXPECT_EQ(port->written, "N1\r\n");
    EXPECT_EQ(win->panelText(2), QStringLiteral("ChrDelay = 20 ms"));

    w.machine("MILL1", "Protokoll=INGEN\r\nChrDelayInMs=0\r\n");
    QStringList seenAtStart;
    port->onOutput = [&](FakeSerialPort &, const QByteArray &) {
        if (seenAtStart.isEmpty())
            seenAtStart << win->panelText(1) << win->panelText(2) << win->panelText(3);
    };
    port->written.clear();
    ASSERT_EQ(sendFilesToCnc(test::testSession(), {a}), 1);
    port->onOutput = {};
    EXPECT_EQ(port->written, "N1\r\n");
    ASSERT_EQ(seenAtStart.size(), 3);
    EXPECT_EQ(seenAtStart[1], QString()) << seenAtStart[1].toStdString();
    EXPECT_TRUE(win->panelText(2).isEmpty()) << win->panelText(2).toStdString();
    EXPECT_FALSE(seenAtStart[0].isEmpty());   // this send's own port settings
}

// ---------------------------------------------------------------------------
// What the line cannot carry is asked about before the first byte

namespace {
// One machine: the send starts as the window is shown. The fake port of it.
FakeSerialPort *sendOnce(frmTxd2Cnc &win)
{
    auto *port = static_cast<FakeSerialPort *>(win.Comm1);
    win.show();
    lumrik::test::activateAndWait(win);
    return port;
}
}

TEST(TxdCarry, SevenDataBitsAskBeforeALetterAboveAsciiIsSent)
{
    const QByteArray program = QStringLiteral("%\r\n'(ÅÄÖ stannar här)\r\nN10 G0\r\nN20 (ÅÄÖ)\r\n%\r\n").toUtf8();
    const QByteArray today = QStringLiteral("%\r\nN10 G0\r\nN20 (ÅÄÖ)\r\n%\r\n").toUtf8();
    struct Case {
        const char *bits;
        int answer;          // 0: no question expected
        bool sent;
    } cases[] = {{"7", MbNo, false}, {"7", MbYes, true}, {"8", 0, true}};  // eight bits carry them
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.bits) + " " + std::to_string(c.answer));
        WindowRig w;
        w.machine("MILL1", "Protokoll=INGEN\r\nDataBits=" + QByteArray(c.bits) + "\r\n");
        lumrik::test::writeFile(tmpFile(kTxdTmp), program);
        if (c.answer)
            w.boxes.answer(c.answer);
        frmTxd2Cnc win(test::testSession());
        FakeSerialPort *port = sendOnce(win);
        EXPECT_EQ(port->written, c.sent ? today : QByteArray());
        if (!c.answer) {
            EXPECT_TRUE(w.boxes.calls().empty());
            continue;
        }
        ASSERT_EQ(w.boxes.calls().size(), 1u);
        const MsgBoxCall &box = w.boxes.calls()[0];
        EXPECT_EQ(box.buttons, MbButtons::YesNo);
        EXPECT_EQ(box.defaultButton, 1);  // "Nej"
        EXPECT_TRUE(box.text.contains(QStringLiteral("7 databitar"))) << box.text.toStdString();
        // The comment line stays on the computer: the first line sent is meant.
        EXPECT_TRUE(box.text.contains(QStringLiteral("rad 4, tecknet \"Å\" (C3 85 hex):\r\nN20 (ÅÄÖ)")))
            << box.text.toStdString();
        if (!c.sent) {
            EXPECT_EQ(port->opens, 0);
            EXPECT_TRUE(win.isVisible());
            EXPECT_EQ(win.panelText(3), QStringLiteral("Ingenting har sänts."));
        }
    }
}

TEST(TxdCarry, EiaAsksBeforeCharactersThatGoOutAsBlankTape)
{
    const QByteArray program = "%\r\nO7\r\nN10 #100=5*2\r\nM30\r\n%\r\n";
    QByteArray today;
    ASSERT_LT(isoToEia("%\r\nO7\r\nN10 #100=5*2\r\nM30\r\n%\r\n", today), 0);
    ASSERT_EQ(today.count('\0'), 8);  // five CRs and "#", "=", "*"
    for (const int answer : {MbNo, MbYes}) {
        WindowRig w;
        w.machine("LATHE", "Protokoll=INGEN\r\nCode=EIA\r\nDataBits=8\r\n");
        lumrik::test::writeFile(tmpFile(kTxdTmp), program);
        w.boxes.answer(answer);
        frmTxd2Cnc win(test::testSession());
        FakeSerialPort *port = sendOnce(win);
        ASSERT_EQ(w.boxes.calls().size(), 1u);
        const QString text = w.boxes.calls()[0].text;
        EXPECT_TRUE(text.contains(QStringLiteral("EIA-koden"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("rad 3, tecknet \"#\" (23 hex):\r\nN10 #100=5*2")))
            << text.toStdString();
        EXPECT_EQ(port->written, answer == MbYes ? today : QByteArray());
    }
    // A program that EIA carries whole is sent as before, without a question.
    WindowRig w;
    w.machine("LATHE", "Protokoll=INGEN\r\nCode=EIA\r\n");
    lumrik::test::writeFile(tmpFile(kTxdTmp), "%\r\n'#KOMMENTAR\r\nN10 G0 X1\r\n%\r\n");
    frmTxd2Cnc win(test::testSession());
    FakeSerialPort *port = sendOnce(win);
    EXPECT_TRUE(w.boxes.calls().empty());
    EXPECT_FALSE(port->written.isEmpty());
}

TEST(TxdCarry, AnEiaErrorNamesLineAndCharacterAndTheLogStays)
{
    WindowRig w;
    w.machine("LATHE", "Protokoll=INGEN\r\nCode=EIA\r\n");
    lumrik::test::writeFile(tmpFile(kTxdTmp), "%\r\nN10 G0\r\nN20 G1 x5\r\n%\r\n");
    frmTxd2Cnc win(test::testSession());
    FakeSerialPort *port = sendOnce(win);
    ASSERT_EQ(w.boxes.calls().size(), 1u);
    const MsgBoxCall &box = w.boxes.calls()[0];
    EXPECT_EQ(box.title, QStringLiteral("Översättningsfel"));
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("EIA översättningsfel.\r\nÖverföringen har avbrutits.")));
    EXPECT_TRUE(box.text.contains(QStringLiteral("Rad 3: N20 G1 x5\r\nTecknet \"x\" (78 hex)")))
        << box.text.toStdString();
    // The window stays with what went out until the user closes it.
    EXPECT_TRUE(win.isVisible());
    EXPECT_FALSE(port->PortOpen());
    EXPECT_TRUE(win.txtTxd2Cnc->toPlainText().contains("N10 G0"));
    EXPECT_TRUE(win.panelText(3).contains(QStringLiteral("rad 3")));
    win.btnTxd2CncAbort_Click();
    EXPECT_FALSE(win.isVisible());
}

TEST(TxdSend, CtsDroppedInTheMiddleIsShownUntilTheMachineTakesAgain)
{
    SendRig r("Protokoll=RTS/CTS\r\nBufSize=4\r\n");
    QStringList panel3;
    bool dropped = false;
    r.port.onOutput = [&](FakeSerialPort &p, const QByteArray &) {
        if (!dropped) {
            dropped = true;
            p.setCts(false);  // the machine holds the line after the first block
        }
    };
    r.sender.onStatus = [&](int panel, const QString &t) {
        if (panel != 3)
            return;
        panel3 << t;
        if (t.contains(QStringLiteral("CTS")))
            QTimer::singleShot(0, [&] { r.port.setCts(true); });
    };
    ASSERT_EQ(r.send(), TxdSender::Result::Done);
    EXPECT_EQ(r.port.written, QByteArray(kProgram).replace("'(kommentar)\r\n", ""));
    const qsizetype held = panel3.indexOf(QStringLiteral("CNC:n håller linjen (CTS). Väntar..."));
    ASSERT_GE(held, 0) << panel3.join('|').toStdString();
    // Told free again once the line moved.
    ASSERT_GT(panel3.size(), held + 1);
    EXPECT_FALSE(panel3[held + 1].contains(QStringLiteral("CTS")));
}
