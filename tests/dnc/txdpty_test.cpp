// End to end over a pseudo-terminal: the send engine on the real serial port
// class at one end, a peer playing the CNC control at the other, reading every
// byte that arrives. Protocols that need modem lines are tested on the fake.
#include "dnc/qtserialport.h"
#include "dnc/txdsend.h"

#include "core/codepage.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "testsupport/testsupport.h"
#include "sessionscope.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <csignal>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace lumrik;
using lumrik::test::TempEnv;

namespace {

// The control's end of the line, run on its own thread.
class CncPeer {
public:
    CncPeer() { test::openRawPty(master_, slave_, path_); }
    ~CncPeer()
    {
        join();
        if (slave_ >= 0)
            ::close(slave_);
        if (master_ >= 0)
            ::close(master_);
    }
    bool ok() const { return master_ >= 0; }
    const QString &path() const { return path_; }

    void start(std::function<void(CncPeer &)> script)
    {
        thread_ = std::thread([this, script] { script(*this); });
    }
    void join()
    {
        if (thread_.joinable())
            thread_.join();
    }

    // Reads whatever arrives within ms; returns the total received so far.
    qsizetype readFor(int ms)
    {
        QElapsedTimer t;
        t.start();
        for (qint64 left = ms; left > 0; left = ms - t.elapsed())
            readOnce(int(left));
        return size();
    }
    // Reads until at least n bytes have arrived or ms have passed.
    qsizetype readUntil(qsizetype n, int ms)
    {
        QElapsedTimer t;
        t.start();
        while (size() < n && t.elapsed() < ms)
            readOnce(20);
        return size();
    }
    void write(const QByteArray &bytes) { ::write(master_, bytes.constData(), size_t(bytes.size())); }
    // The control's end goes away, as when the cable or adapter is pulled.
    void hangUp()
    {
        ::close(master_);
        master_ = -1;
    }
    qsizetype size()
    {
        std::lock_guard<std::mutex> l(m_);
        return received_.size();
    }
    QByteArray received()
    {
        std::lock_guard<std::mutex> l(m_);
        return received_;
    }

private:
    void readOnce(int timeoutMs)
    {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return;
        char buf[4096];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            std::lock_guard<std::mutex> l(m_);
            received_.append(buf, n);
        } else if (n < 0 && errno == EIO) {
            // The port end is closed for a moment; try again shortly.
            QThread::msleep(5);
        }
    }

    int master_ = -1, slave_ = -1;
    QString path_;
    std::thread thread_;
    std::mutex m_;
    QByteArray received_;
};

struct PtyRig {
    TempEnv env;
    CncPeer peer;
    QtSerialPort port;
    TxdSender sender{&port};
    TxdSettings settings;
    bool watchdogFired = false;

    PtyRig(const QByteArray &communication, const QByteArray &program)
    {
        // Port number 1 is the pseudo-terminal.
        env.write("lumrik32.INI", "[ComPorts]\r\nCOM1=" + peer.path().toLocal8Bit() + "\r\n");
        test::useMachineFile(env.write("PTY.cfg", "[Communication]\r\nComPort=1\r\nBaudRate=9600\r\nParity=INGEN\r\n"
                                                  "DataBits=8\r\nDelayBeforeClose=-1\r\n" + communication));
        lumrik::test::writeFile(tmpFile(kTxdTmp), program);
        EXPECT_EQ(readTxdSettings(MachineConfig::active(), settings), TxdSettingsStatus::Ok);
    }
    // A send that never ends fails the test instead of hanging it.
    TxdSender::Result send()
    {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, &watchdog, [this] {
            watchdogFired = true;
            sender.bAbort = true;
        });
        watchdog.start(30000);
        return sender.send(tmpFile(kTxdTmp), settings);
    }
};

QByteArray bigProgram(int lines, QByteArray *expected)
{
    QByteArray p;
    for (int i = 1; i <= lines; ++i)
        p += "N" + QByteArray::number(i * 10) + " G01 X1.234 Y-5.678 F200\r\n";
    if (expected)
        *expected = p;
    return p;
}
}

TEST(TxdPty, NoHandshakeDeliversEveryByteWithFraming)
{
    PtyRig r("Protokoll=INGEN\r\nSend30Null=1\r\nLeaderChr=(25*2)\r\nTrailerChr=0D,0A\r\nEobCode=LF CR CR\r\n"
             "TxdFilter=20\r\nSendTo=M30\r\n",
             "O1000.MIN%\r\n'(ej)\r\nN10 G0 X1\r\nN20 M00~ (T)\r\nN30 M30 (SLUT)\r\nN40\r\n");
    ASSERT_TRUE(r.peer.ok());
    const QByteArray nul30(30, '\0');
    const QByteArray expected = nul30 + "%%" + "O1000.MIN" + QByteArray(50, '\0') + "%\n\r\r" + "N10G0X1\n\r\r" +
                                "N20M00~" + QByteArray(64, '\0') + "(T)\n\r\r" + "N30M30" + "\r\n" + nul30;
    r.peer.start([&](CncPeer &p) { p.readUntil(expected.size(), 5000); p.readFor(100); });
    ASSERT_EQ(r.send(), TxdSender::Result::Done);
    r.peer.join();
    EXPECT_EQ(r.peer.received(), expected);
    EXPECT_FALSE(r.port.PortOpen());
}

TEST(TxdPty, BinaryModeIsByteTransparent)
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    all += all;
    PtyRig r(QByteArray("Protokoll=INGEN\r\nCode=BIN\xC4R\r\n"), all);
    ASSERT_TRUE(r.peer.ok());
    r.peer.start([&](CncPeer &p) { p.readUntil(all.size(), 5000); p.readFor(100); });
    ASSERT_EQ(r.send(), TxdSender::Result::Done);
    r.peer.join();
    // The first "~" (7E) of the file is followed by 64 NULs in every mode;
    // nothing else changes.
    const QByteArray expected = all.left(0x7F) + QByteArray(64, '\0') + all.mid(0x7F);
    EXPECT_EQ(r.peer.received(), expected);
}

TEST(TxdPty, XonXoffPausesOnDc3AndResumesOnlyOnDc1)
{
    QByteArray expected;
    const QByteArray program = bigProgram(3000, &expected);
    PtyRig r("Protokoll=XON/XOFF\r\n", program);
    ASSERT_TRUE(r.peer.ok());
    std::atomic<qsizetype> atStop{0}, afterSettle{0}, afterPause{0};
    r.peer.start([&](CncPeer &p) {
        p.readUntil(4000, 5000);
        p.write("\x13");              // DC3: stop
        atStop = p.size();
        afterSettle = p.readFor(150);  // bytes already on their way
        p.write("x");                 // any other byte must not resume
        afterPause = p.readFor(400);
        p.write("\x11");              // DC1: go on
        p.readUntil(expected.size(), 10000);
        p.readFor(100);
    });
    ASSERT_EQ(r.send(), TxdSender::Result::Done);
    r.peer.join();
    EXPECT_LT(afterSettle.load(), expected.size());
    EXPECT_EQ(afterPause.load(), afterSettle.load()) << "output went on during XOFF";
    EXPECT_EQ(r.peer.received(), expected);
}

TEST(TxdPty, DcCodesStartOnDc1FromTheControl)
{
    QByteArray expected;
    const QByteArray program = bigProgram(200, &expected);
    PtyRig r("Protokoll=DC-KODER\r\nTrailerChr=14\r\n", program);
    ASSERT_TRUE(r.peer.ok());
    expected += "\x14";
    std::atomic<int> requests{0};
    r.peer.start([&](CncPeer &p) {
        // The control asks for the program until it comes; DC1 is not the
        // first byte it sends.
        while (p.readFor(50) == 0 && requests < 400) {
            p.write("ab\x11");
            ++requests;
        }
        p.readUntil(expected.size(), 5000);
        p.readFor(100);
    });
    ASSERT_EQ(r.send(), TxdSender::Result::Done);
    r.peer.join();
    EXPECT_GE(requests.load(), 1);
    EXPECT_EQ(r.peer.received(), expected);
}

TEST(TxdPty, OneDc1SentAtOnceIsNeverLost)
{
    // The control sends a single DC1 the moment the port is open, before the
    // window has begun to wait for it, and never again.
    for (const QByteArray protocol : {"OSP5000", "DC-KODER", "KEARNEY"}) {
        PtyRig r("Protokoll=" + protocol + "\r\n", "N10 G0\r\n");
        ASSERT_TRUE(r.peer.ok());
        r.sender.onStatus = [&](int panel, const QString &text) {
            if (panel == 3 && text == QStringLiteral("Väntar CNC..."))
                r.peer.write("\x11");
        };
        r.peer.start([](CncPeer &p) { p.readFor(1500); });
        EXPECT_EQ(r.send(), TxdSender::Result::Done) << protocol.constData();
        r.peer.join();
        EXPECT_TRUE(r.peer.received().startsWith("N10 G0\r\n")) << protocol.constData();
    }
}

TEST(TxdPty, KearneyEndsWithEotDc4)
{
    PtyRig r("Protokoll=KEARNEY\r\n", "N10 G0\r\n");
    ASSERT_TRUE(r.peer.ok());
    const QByteArray expected = "N10 G0\r\n\x04\x14";
    r.peer.start([&](CncPeer &p) {
        for (int i = 0; i < 400 && p.readFor(50) == 0; ++i)
            p.write("\x11");
        p.readUntil(expected.size(), 5000);
        p.readFor(100);
    });
    ASSERT_EQ(r.send(), TxdSender::Result::Done);
    r.peer.join();
    EXPECT_EQ(r.peer.received(), expected);
}

TEST(TxdPty, AbortStopsAtOnceAndClosesThePort)
{
    const QByteArray program = bigProgram(20000, nullptr);
    PtyRig r("Protokoll=XON/XOFF\r\n", program);
    ASSERT_TRUE(r.peer.ok());
    std::atomic<bool> held{false};
    r.peer.start([&](CncPeer &p) {
        p.readUntil(2000, 5000);
        p.write("\x13");  // the control holds the line for good
        held = true;
        p.readFor(300);
    });
    // The user gives up once the line is held.
    QTimer user;
    user.setInterval(10);
    QObject::connect(&user, &QTimer::timeout, &user, [&] {
        if (held) {
            r.sender.bAbort = true;
            user.stop();
        }
    });
    user.start();
    EXPECT_EQ(r.send(), TxdSender::Result::Stopped);
    EXPECT_FALSE(r.watchdogFired) << "the send went on after the abort";
    EXPECT_FALSE(r.port.PortOpen());
    r.peer.join();
    EXPECT_LT(r.peer.size(), program.size());
}

TEST(TxdPty, PortNumbersComeFromTheSettingsFile)
{
    TempEnv env;
    env.write("lumrik32.INI", "[ComPorts]\r\nCOM1=/dev/ttyS0\r\nCOM3=/dev/pts/9\r\n");
    EXPECT_EQ(serialPortDevice(3), "/dev/pts/9");
    EXPECT_EQ(serialPortDevice(2), "");
    const auto list = serialPortList();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[1].first, 3);

    QtSerialPort port;
    port.CommPort = 2;
    try {
        port.setPortOpen(true);
        FAIL() << "a port without a device opened";
    } catch (const RkError &e) {
        EXPECT_EQ(e.number(), 8002);
        EXPECT_TRUE(e.description().contains("COM2"));
    }
}

TEST(TxdPty, SettingsTextParsing)
{
    PortSettings ps;
    ASSERT_TRUE(parsePortSettings("2400,E,7,1", ps));
    EXPECT_EQ(ps.baud, 2400);
    EXPECT_EQ(ps.parity, QSerialPort::EvenParity);
    EXPECT_EQ(ps.dataBits, QSerialPort::Data7);
    EXPECT_EQ(ps.stopBits, QSerialPort::OneStop);
    ASSERT_TRUE(parsePortSettings("9600,MARK,8,2", ps));
    EXPECT_EQ(ps.parity, QSerialPort::MarkParity);
    EXPECT_EQ(ps.stopBits, QSerialPort::TwoStop);
    QString why;
    EXPECT_FALSE(parsePortSettings("9600,Q,8,1", ps, &why));
    EXPECT_TRUE(why.contains("9600,Q,8,1"));
    EXPECT_FALSE(parsePortSettings("9600,N,9,1", ps));
    EXPECT_FALSE(parsePortSettings("fast,N,8,1", ps));
}

// ---------------------------------------------------------------------------
// The line going away in the middle of a send

namespace {
// The bytes the control got must be the start of what was sent, and the
// sender's account of how far it got must fit what went out.
void expectCutShort(const PtyRig &r, const QByteArray &program, const QByteArray &got)
{
    EXPECT_EQ(got, program.left(got.size()));
    EXPECT_LT(r.sender.bytesWritten, program.size());
    EXPECT_GT(r.sender.bytesWritten, 0);
    EXPECT_LE(r.sender.bytesWritten, r.sender.sentCount + 64);
    ASSERT_FALSE(r.sender.lastLine.isEmpty());
    EXPECT_TRUE(program.left(r.sender.sentCount).endsWith(r.sender.lastLine + "\r\n"));
    EXPECT_FALSE(r.port.PortOpen());
}
}

TEST(TxdPty, TheControlHangingUpFailsTheSend)
{
    for (const char *protocol : {"INGEN", "RTS/CTS", "XON/XOFF"}) {
        SCOPED_TRACE(protocol);
        lumrik::test::MsgBoxRecorder boxes;
        QByteArray program;
        bigProgram(20000, &program);
        PtyRig r("Protokoll=" + QByteArray(protocol) + "\r\n", program);
        ASSERT_TRUE(r.peer.ok());
        r.peer.start([&](CncPeer &p) {
            p.readUntil(30000, 5000);
            p.hangUp();
        });
        EXPECT_EQ(r.send(), TxdSender::Result::Failed);
        r.peer.join();
        ASSERT_EQ(boxes.calls().size(), 1u);
        const MsgBoxCall &box = boxes.calls()[0];
        EXPECT_TRUE(box.title.startsWith(QStringLiteral("Överföringsfel # 57(Porten COM1 (") + r.peer.path()))
            << box.title.toStdString();
        EXPECT_TRUE(box.text.contains(QStringLiteral("slutade fungera: ")));
        EXPECT_EQ(box.buttons, MbButtons::OkCancel);
        EXPECT_EQ(r.sender.failNumber, kPortDeviceError);
        expectCutShort(r, program, r.peer.received());
    }
}

namespace {
// A socat relay between two pseudo-terminals, as one is used to try a program
// by hand: the port opens one end, the control the other.
class Relay {
public:
    explicit Relay(const QString &folder) : a_(folder + "/a"), b_(folder + "/b")
    {
        proc_.start("socat", {"-d", "-d", "pty,raw,echo=0,link=" + a_, "pty,raw,echo=0,link=" + b_});
        if (!proc_.waitForStarted(3000))
            return;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 30000 && !(QFileInfo::exists(a_) && QFileInfo::exists(b_)))
            QThread::msleep(10);
        ok_ = QFileInfo::exists(a_) && QFileInfo::exists(b_);
    }
    ~Relay()
    {
        proc_.kill();
        proc_.waitForFinished(3000);
    }
    bool ok() const { return ok_; }
    QString portEnd() const { return a_; }
    QString controlEnd() const { return b_; }
    // Safe from any thread: a plain signal to the relay.
    void kill() { ::kill(pid_t(proc_.processId()), SIGKILL); }

private:
    QString a_, b_;
    QProcess proc_;
    bool ok_ = false;
};
}

TEST(TxdPty, TheRelayEndingFailsTheSend)
{
    TempEnv env;
    Relay relay(env.tmpPath());
    if (!relay.ok())
        GTEST_SKIP() << "socat is not installed";
    lumrik::test::MsgBoxRecorder boxes;
    env.write("lumrik32.INI", "[ComPorts]\r\nCOM1=" + relay.portEnd().toLocal8Bit() + "\r\n");
    test::useMachineFile(env.write("RELAY.cfg", "[Communication]\r\nComPort=1\r\nBaudRate=9600\r\nParity=INGEN\r\n"
                                                "DataBits=8\r\nDelayBeforeClose=-1\r\nProtokoll=RTS/CTS\r\n"));
    QByteArray program;
    bigProgram(20000, &program);
    lumrik::test::writeFile(tmpFile(kTxdTmp), program);
    TxdSettings settings;
    ASSERT_EQ(readTxdSettings(MachineConfig::active(), settings), TxdSettingsStatus::Ok);

    const int control = ::open(QFile::encodeName(relay.controlEnd()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(control, 0);
    QByteArray got;
    std::thread reader([&] {
        char buf[4096];
        while (got.size() < 30000) {
            pollfd p{control, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0)
                break;
            const ssize_t n = ::read(control, buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, n);
        }
        relay.kill();
    });
    QtSerialPort port;
    TxdSender sender(&port);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &watchdog, [&] { sender.bAbort = true; });
    watchdog.start(20000);
    EXPECT_EQ(sender.send(tmpFile(kTxdTmp), settings), TxdSender::Result::Failed);
    reader.join();
    ::close(control);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].title.startsWith(QStringLiteral("Överföringsfel # 57(")));
    EXPECT_EQ(got, program.left(got.size()));
    EXPECT_LT(sender.bytesWritten, program.size());
    EXPECT_FALSE(port.PortOpen());
}

// ---------------------------------------------------------------------------
// Every byte the machine gets is the one meant

TEST(TxdExact, TheByteOrderMarkIsNeverSent)
{
    const QByteArray program = "\xEF\xBB\xBF%\r\nO1 (MÄTNING)\r\nN10 G0 X1\r\n%\r\n";
    for (const QByteArray &code : {QByteArray("ISO"), QByteArray("EIA"), QByteArray("BIN\xC4R")}) {
        SCOPED_TRACE(code.constData());
        lumrik::test::MsgBoxRecorder boxes;
        const QByteArray body = code == "EIA" ? QByteArray("\xEF\xBB\xBF%\r\nO1\r\nN10 G0 X1\r\n%\r\n") : program;
        PtyRig r("Protokoll=INGEN\r\nCode=" + code + "\r\n", body);
        ASSERT_TRUE(r.peer.ok());
        QByteArray expected = body.mid(3);
        if (code == "EIA") {
            ASSERT_LT(isoToEia(QByteArray("%\nO1\nN10 G0 X1\n%\n").replace("\n", "\r\n"), expected), 0);
        }
        r.peer.start([&](CncPeer &p) { p.readUntil(expected.size(), 5000); p.readFor(100); });
        ASSERT_EQ(r.send(), TxdSender::Result::Done);
        r.peer.join();
        EXPECT_EQ(r.peer.received(), expected);
        EXPECT_TRUE(boxes.calls().empty());
    }
}

TEST(TxdExact, SendToAndDoNotSendAreCharactersOfTheProgramsEncoding)
{
    const QString program = QStringLiteral("N10 G0\r\nÅN15 X5\r\nN20 (SLUT FRÅN HÄR)\r\nN30 G0 X99.\r\nM30\r\n");
    const QString sent = QStringLiteral("N10 G0\r\nN20 (SLUT FRÅN");
    for (const TextEncoding e : {TextEncoding::Utf8, TextEncoding::Windows1252}) {
        SCOPED_TRACE(int(e));
        // The machine file is Windows-1252, as the set-up dialog writes it.
        PtyRig r("Protokoll=INGEN\r\nSendTo=FR\xC5N\r\nDoNotSend=\xC5\r\n", encodeText(program, e));
        ASSERT_TRUE(r.peer.ok());
        const QByteArray expected = encodeText(sent, e);
        r.peer.start([&](CncPeer &p) { p.readUntil(expected.size(), 5000); p.readFor(200); });
        ASSERT_EQ(r.send(), TxdSender::Result::Done);
        r.peer.join();
        EXPECT_EQ(r.peer.received(), expected);
    }
}

TEST(TxdExact, TheWindowIsToldWhileTheMachineHoldsTheLineByXoff)
{
    QByteArray expected;
    const QByteArray program = bigProgram(3000, &expected);
    PtyRig r("Protokoll=XON/XOFF\r\n", program);
    ASSERT_TRUE(r.peer.ok());
    std::atomic<bool> toldHeld{false}, toldFree{false};
    QStringList panel3;
    r.sender.onStatus = [&](int panel, const QString &text) {
        if (panel != 3)
            return;
        panel3 << text;
        if (text.contains(QStringLiteral("XOFF")))
            toldHeld = true;
        else if (toldHeld)
            toldFree = true;
    };
    r.peer.start([&](CncPeer &p) {
        p.readUntil(4000, 5000);
        p.write("\x13");  // the control holds the line...
        for (int i = 0; i < 3000 && !toldHeld; ++i)
            p.readFor(10);
        p.write("\x11");  // ...until the window has said so
        p.readUntil(expected.size(), 10000);
        p.readFor(100);
    });
    ASSERT_EQ(r.send(), TxdSender::Result::Done);
    r.peer.join();
    EXPECT_TRUE(toldHeld) << panel3.join('|').toStdString();
    EXPECT_TRUE(toldFree) << panel3.join('|').toStdString();
    EXPECT_EQ(r.peer.received(), expected);
}

TEST(TxdExact, APathThatIsNoSerialPortSaysSo)
{
    TempEnv env;
    const QString folder = env.tmpPath() + "/ttyFOLDER";
    QDir().mkpath(folder);
    const QString file = env.tmpPath() + "/ttyFILE";
    lumrik::test::writeFile(file, "x");
    env.write("lumrik32.INI", "[ComPorts]\r\nCOM1=" + folder.toLocal8Bit() + "\r\nCOM2=" + file.toLocal8Bit()
                                  + "\r\nCOM3=/dev/null\r\n");
    const struct {
        int port;
        QString path, why;
    } rows[] = {
        {1, folder, QStringLiteral("sökvägen är en mapp, ingen serieport")},
        {2, file, QStringLiteral("sökvägen är en vanlig fil, ingen serieport")},
        {3, QStringLiteral("/dev/null"), QStringLiteral("enheten är ingen serieport")},
    };
    for (const auto &row : rows) {
        QtSerialPort port;
        port.CommPort = row.port;
        try {
            port.setPortOpen(true);
            ADD_FAILURE() << row.path.toStdString() << " opened";
        } catch (const RkError &e) {
            EXPECT_EQ(e.description(),
                      QStringLiteral("Porten COM%1 (%2) kunde inte öppnas: ").arg(row.port).arg(row.path) + row.why);
        }
        EXPECT_FALSE(port.PortOpen());
    }
}
