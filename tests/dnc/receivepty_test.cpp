// End to end: the receive window on the real port implementation, reading one
// side of a pseudo-terminal pair while a peer thread plays the CNC control on
// the other side with scripted bytes and pauses.
#include "dnc/frmrxdfromcnc.h"
#include "dnc/headerlines.h"
#include "mainwindow/receivecommand.h"
#include "dnc/serialport.h"

#include "core/codepage.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/saving.h"
#include "testsupport/sessionscope.h"
#include "testsupport/testsupport.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace lumrik;

namespace {

// A pseudo-terminal pair: the window opens the slave by its path, the peer
// writes and reads the master.
struct Pty {
    int master = -1, slave = -1;
    QString path;
    Pty()
    {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return;
        path = QString::fromLocal8Bit(name);
        termios tio{};
        ::tcgetattr(slave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    ~Pty()
    {
        if (master >= 0)
            ::close(master);
        if (slave >= 0)
            ::close(slave);
    }
    bool ok() const { return master >= 0; }
};

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += n;
    }
    return true;
}

// Reads from fd until `want` is seen or the time is up.
QByteArray readUntil(int fd, char want, int timeoutMs)
{
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs && !got.contains(want)) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
            char buf[256];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0)
                got.append(buf, n);
        }
    }
    return got;
}

struct Step {
    QByteArray bytes;
    int pauseMs = 0;   // after the bytes
};

// The CNC side: sends its steps from a thread; `lastSent` notes when the last
// byte left.
class Peer {
public:
    explicit Peer(int fd) : fd_(fd) {}
    ~Peer() { join(); }
    void run(std::function<void(Peer &)> script)
    {
        thread_ = std::thread([this, script] { script(*this); });
    }
    void send(const QByteArray &bytes, int pauseMs = 0)
    {
        writeAll(fd_, bytes);
        lastSent.store(std::chrono::steady_clock::now().time_since_epoch().count());
        if (pauseMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    }
    void join()
    {
        if (thread_.joinable())
            thread_.join();
    }
    int fd() const { return fd_; }
    std::atomic<long long> lastSent{0};

private:
    int fd_;
    std::thread thread_;
};

struct PtyEnv {
    test::TempEnv env;
    Pty pty;
    QString recvFolder;
    test::MsgBoxRecorder boxes;
    PtyEnv()
    {
        recvFolder = env.dataPath() + "/recv/";
        QDir().mkpath(recvFolder);
        test::SessionScope::words([](WordValues &w) { w.untitled = QStringLiteral("NAMNLÖS"); });
        test::changeMachineKeys([&](MachineKeys &k) { k.rootFolder = env.dataPath(); });
        test::useMachineFile(QString());
        setSerialPortFactory(nullptr);   // the real port
        SaveIniSetting("ComPorts", "COM7", pty.path);
    }
    void machine(const QList<QPair<QString, QString>> &comm, const QString &ext = "*.*")
    {
        IniFile ini;
        ini.setValue("Settings", "FileExtension", ext);
        ini.setValue("CNCProgPath", "DefaultRxdCncPath", recvFolder);
        ini.setValue("Communication", "ComPort", "7");
        ini.setValue("Communication", "BaudRate", "9600");
        ini.setValue("Communication", "Parity", "INGEN");
        ini.setValue("Communication", "DataBits", "8");
        ini.setValue("Communication", "StopBits", "1");
        ini.setValue("Communication", "RecDelay", "1");
        for (const auto &kv : comm)
            ini.setValue("Communication", kv.first, kv.second);
        ini.save(env.path("PTY.cfg"));
        test::useMachineName("PTY");
    }
    // Opens the window and starts the reception; true when the port is open.
    bool start(frmRxdFromCnc &w, const QString &name)
    {
        w.Form_Load();
        w.show();
        w.txtFileName->setText(name);
        w.btnStartRxd_Click();
        return w.Comm1 && w.Comm1->PortOpen();
    }
    QByteArray received() const { return test::readFile(tmpFile(kRxdTmp)); }
};

// Runs the event loop (as the modal window's own loop would) until the window
// closed or the time is up.
bool waitClosed(frmRxdFromCnc &w, int ms)
{
    if (!w.isVisible())
        return true;
    QEventLoop loop;
    QObject::connect(&w, &QDialog::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return !w.isVisible();
}

// The main window's receive command into `name`: the machine's side starts
// `script` once the reception has started. The document opened (kept in
// `made`) or nullptr; `saves` counts the saves the command asked for.
// `save` (when given) is what the command's File > Save does.
frmDocument *receiveCommand(Peer &peer, const QString &name, const std::function<void(Peer &)> &script,
                            std::unique_ptr<frmDocument> &made, int &saves, const std::function<void()> &save = {})
{
    QWidget owner;
    QComboBox mainCombo(&owner);
    mainCombo.addItem("PTY");
    QTimer::singleShot(0, [&] {
        frmRxdFromCnc *w = rxdFromCncWindow(test::testSession(), &owner);
        w->txtFileName->setText(name);
        w->btnStartRxd_Click();
        peer.run(script);
    });
    frmDocument *doc = RxdFromCncCommand(test::testSession(), 
        &owner, &mainCombo, [&] { made = std::make_unique<frmDocument>(); return made.get(); },
        [&] {
            ++saves;
            if (save)
                save();
        });
    peer.join();
    return doc;
}

} // namespace

TEST(RxdPty, SilenceTimerEndsTheReceptionAfterTheLastByte)
{
    PtyEnv e;
    ASSERT_TRUE(e.pty.ok());
    e.machine({{"RxdFromChr", "25"}}, "*.NC");
    frmRxdFromCnc w(test::testSession());
    ASSERT_TRUE(e.start(w, "O100")) << e.boxes.calls().size();
    Peer peer(e.pty.master);
    // Pauses shorter than the silence time do not end the reception.
    peer.run([](Peer &p) {
        p.send("\r\n\r\nNOISE", 300);
        p.send("%\nO100 (PART)\nN10 G0", 600);
        p.send(" X1\r\nN20 M30\r\n", 600);
        p.send("%\n");
    });
    ASSERT_TRUE(waitClosed(w, 8000));
    const auto closedAt = std::chrono::steady_clock::now().time_since_epoch().count();
    peer.join();
    const double silenceMs = double(closedAt - peer.lastSent.load()) / 1e6;
    EXPECT_GE(silenceMs, 900.0);
    EXPECT_LT(silenceMs, 4000.0);
    EXPECT_TRUE(w.received());
    EXPECT_EQ(e.received(), "%\r\nO100 (PART)\r\nN10 G0 X1\r\nN20 M30\r\n%\r\n");
    EXPECT_EQ(test::activeNow().file(), "O100.NC");
    EXPECT_TRUE(e.boxes.calls().empty());
}

TEST(RxdPty, KearneyAnswersDc1ToDc2)
{
    PtyEnv e;
    ASSERT_TRUE(e.pty.ok());
    e.machine({{"Protokoll", "KEARNEY"}});
    frmRxdFromCnc w(test::testSession());
    ASSERT_TRUE(e.start(w, "K1"));
    Peer peer(e.pty.master);
    QByteArray answer;
    peer.run([&](Peer &p) {
        p.send("LEADER\x14", 100);
        p.send("\x12");
        answer = readUntil(p.fd(), '\x11', 3000);
        p.send("%\nN1 G0\n\x12N2\x14\n%\n");
    });
    ASSERT_TRUE(waitClosed(w, 8000));
    peer.join();
    EXPECT_EQ(answer, "\x11");
    EXPECT_EQ(e.received(), "%\r\nN1 G0\r\nN2\r\n%\r\n");
}

TEST(RxdPty, DcCodesNeverReachTheFile)
{
    PtyEnv e;
    ASSERT_TRUE(e.pty.ok());
    e.machine({{"Protokoll", "DC-KODER"}});
    frmRxdFromCnc w(test::testSession());
    ASSERT_TRUE(e.start(w, "D1"));
    Peer peer(e.pty.master);
    peer.run([](Peer &p) {
        p.send("\x12%\n\x01N1 G0\r\n", 200);
        p.send("N2\x14\r\n%\r\n\x14");
    });
    ASSERT_TRUE(waitClosed(w, 8000));
    peer.join();
    // Other control codes are kept; CR is dropped and LF becomes CR LF.
    EXPECT_EQ(e.received(), "%\r\n\x01N1 G0\r\nN2\r\n%\r\n");
}

TEST(RxdPty, BinaryArrivesByteForByte)
{
    PtyEnv e;
    ASSERT_TRUE(e.pty.ok());
    e.machine({{"Code", "BINÄR"}, {"Protokoll", "RTS/CTS"}});
    frmRxdFromCnc w(test::testSession());
    ASSERT_TRUE(e.start(w, "B1"));
    QByteArray all;
    for (int r = 0; r < 64; ++r)
        for (int i = 0; i < 256; ++i)
            all.append(char((i * 7 + r) & 0xFF));
    Peer peer(e.pty.master);
    peer.run([&](Peer &p) {
        p.send(all.left(5000), 200);
        p.send(all.mid(5000));
    });
    ASSERT_TRUE(waitClosed(w, 8000));
    peer.join();
    const QByteArray got = e.received();
    EXPECT_EQ(got.size(), all.size());
    EXPECT_TRUE(got == all);
}

TEST(RxdPty, MillionLineProgramArrivesComplete)
{
    PtyEnv e;
    ASSERT_TRUE(e.pty.ok());
    e.machine({{"Protokoll", "RTS/CTS"}});
    frmRxdFromCnc w(test::testSession());
    ASSERT_TRUE(e.start(w, "BIG"));
    const int lines = 1000000;
    QByteArray sent, expected;
    sent.reserve(lines * 18);
    expected.reserve(lines * 19);
    for (int i = 1; i <= lines; ++i) {
        const QByteArray line = "N" + QByteArray::number(i) + " X" + QByteArray::number(i % 1000) + ".5";
        sent += line + '\n';
        expected += line + "\r\n";
    }
    Peer peer(e.pty.master);
    peer.run([&](Peer &p) {
        for (qsizetype pos = 0; pos < sent.size(); pos += 1 << 20)
            p.send(sent.mid(pos, 1 << 20));
    });
    ASSERT_TRUE(waitClosed(w, 60000));
    peer.join();
    EXPECT_EQ(w.bytesReceived(), sent.size());
    const QByteArray got = e.received();
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
    EXPECT_TRUE(e.boxes.calls().empty());
}

#include "dnc/txdsend.h"

namespace {
// Copies what the send side writes to the receive side, as a null-modem cable
// between two ports would.
class Forwarder {
public:
    Forwarder(int from, int to)
        : thread_([this, from, to] {
              char buf[4096];
              while (!stop_) {
                  pollfd p{from, POLLIN, 0};
                  if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
                      const ssize_t n = ::read(from, buf, sizeof buf);
                      if (n > 0) {
                          writeAll(to, QByteArray(buf, int(n)));
                          forwarded += n;
                      }
                  }
              }
          })
    {
    }
    ~Forwarder()
    {
        stop_ = true;
        thread_.join();
    }

    std::atomic<long long> forwarded{0};

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
}

TEST(RxdPty, SendThenReceiveGivesBackTheProgram)
{
    PtyEnv e;
    Pty sendPty;
    ASSERT_TRUE(e.pty.ok() && sendPty.ok());
    SaveIniSetting("ComPorts", "COM8", sendPty.path);
    QByteArray program = "%\r\nO1234\r\n";
    for (int i = 1; i <= 2000; ++i)
        program += "N" + QByteArray::number(i * 10) + " G01 X" + QByteArray::number(i) + ".5 Y-2. F300\r\n";
    program += "N99999 M30\r\n%\r\n";
    const QString txd = e.env.tmpPath() + "/Txd.Tmp";

    for (const QString &code : {QStringLiteral("ISO"), QStringLiteral("EIA")}) {
        SCOPED_TRACE(code.toStdString());
        e.machine({{"Code", code}, {"Protokoll", "RTS/CTS"}});
        frmRxdFromCnc w(test::testSession());
        ASSERT_TRUE(e.start(w, "LOOP"));
        Forwarder cable(sendPty.master, e.pty.master);

        IniFile sendCfg;
        sendCfg.load(e.env.path("PTY.cfg"));
        sendCfg.setValue("Communication", "ComPort", "8");
        sendCfg.save(e.env.path("SEND.cfg"));
        TxdSettings s;
        ASSERT_EQ(readTxdSettings(MachineConfig(e.env.path("SEND.cfg")), s), TxdSettingsStatus::Ok);
        s.delayBeforeClose = 1;
        test::writeFile(txd, program);
        auto port = createSerialPort();
        TxdSender sender(port.get());
        EXPECT_EQ(sender.send(txd, s), TxdSender::Result::Done);
        ASSERT_TRUE(waitClosed(w, 8000));
        EXPECT_TRUE(w.received());
        const QByteArray got = e.received();
        EXPECT_EQ(got.size(), program.size()) << cable.forwarded << " " << w.bytesReceived() << " " << port->OutBufferCount();
        EXPECT_TRUE(got == program) << got.left(200).toStdString();
    }
}

// ---------------------------------------------------------------------------
// What came before the start, and the line going away in the middle

TEST(RxdPty, ALineSentBeforeTheStartIsNotPartOfTheProgram)
{
    PtyEnv e;
    ASSERT_TRUE(e.pty.ok());
    e.machine({});
    frmRxdFromCnc w(test::testSession());
    w.Form_Load();
    w.show();
    // The control sends while the window is open but not yet receiving.
    const QByteArray before = "N999 OLD LINE\n%\nO9999\n";
    ASSERT_TRUE(writeAll(e.pty.master, before));
    // The line has passed them on: they wait at the port's end.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        int waiting = 0;
        return ::ioctl(e.pty.slave, FIONREAD, &waiting) == 0 && waiting == before.size();
    }, 10000));
    w.txtFileName->setText("P1");
    w.btnStartRxd_Click();
    ASSERT_TRUE(w.Comm1 && w.Comm1->PortOpen());
    Peer peer(e.pty.master);
    peer.run([](Peer &p) { p.send("%\nO1000\nN10 G0 X1\n%\n"); });
    ASSERT_TRUE(waitClosed(w, 8000));
    peer.join();
    EXPECT_EQ(e.received(), "%\r\nO1000\r\nN10 G0 X1\r\n%\r\n");
}

TEST(RxdPty, TheControlHangingUpEndsTheReceptionWithWhatCame)
{
    PtyEnv e;
    ASSERT_TRUE(e.pty.ok());
    // A silence time far longer than any wait here: only the hang-up can end it.
    e.machine({{"RecDelay", "600"}}, "*.NC");
    test::writeFile(e.recvFolder + "O8.NC", "N1 GOOD PROGRAM\r\n");
    e.boxes.answer(MbYes);   // overwrite
    frmRxdFromCnc w(test::testSession());
    ASSERT_TRUE(e.start(w, "O8"));
    Peer peer(e.pty.master);
    peer.run([&](Peer &p) {
        p.send("%\nO8\nN10 G0 X1\n", 150);
        p.send("N20 G1 X2 F1", 300);
        ::close(e.pty.master);   // the cable is pulled
    });
    ASSERT_TRUE(waitClosed(w, 60000));
    peer.join();
    e.pty.master = -1;
    ASSERT_EQ(e.boxes.calls().size(), 2u);
    const MsgBoxCall &box = e.boxes.calls()[1];
    EXPECT_EQ(box.title, QStringLiteral("Överföringsfel # 57"));
    EXPECT_TRUE(box.text.contains(QStringLiteral("Porten COM7 (") + e.pty.path + ") slutade fungera: "))
        << box.text.toStdString();
    EXPECT_TRUE(box.text.contains(QStringLiteral("27 byte togs emot.")));
    EXPECT_TRUE(box.text.contains(QStringLiteral("den befintliga filen O8.NC har inte skrivits över")));
    EXPECT_TRUE(w.received());
    EXPECT_TRUE(w.handedOverUntitled());
    EXPECT_EQ(e.received(), "%\r\nO8\r\nN10 G0 X1\r\nN20 G1 X2 F1");
    EXPECT_EQ(test::readFile(e.recvFolder + "O8.NC"), "N1 GOOD PROGRAM\r\n");
}

TEST(RxdPty, AReceptionIntoAnExistingFileFailingHalfWayReplacesNothing)
{
    PtyEnv e;
    ASSERT_TRUE(e.pty.ok());
    e.machine({{"RecDelay", "5"}}, "*.NC");
    const QByteArray old = "'FIXTURE 3\r\nN1 GOOD PROGRAM\r\nN2 M30\r\n";
    test::writeFile(e.recvFolder + "O8.NC", old);
    e.boxes.answer(MbYes);   // overwrite
    QByteArray half;
    for (int i = 1; i <= 300; ++i)
        half += "N" + QByteArray::number(i * 10) + " G01 X" + QByteArray::number(i) + ".5\n";
    Peer peer(e.pty.master);
    std::unique_ptr<frmDocument> made;
    int saves = 0;
    frmDocument *doc = receiveCommand(peer, "O8", [&](Peer &p) {
        p.send(half, 300);
        ::close(e.pty.master);
    }, made, saves);
    e.pty.master = -1;
    ASSERT_NE(doc, nullptr);
    // The good program stays; what came is in an untitled document.
    EXPECT_EQ(test::readFile(e.recvFolder + "O8.NC"), old);
    EXPECT_EQ(saves, 0);
    EXPECT_FALSE(doc->bNamed);
    EXPECT_EQ(doc->caption(), e.recvFolder + test::wordsNow().untitled);
    // The old file's comment header goes on top of what came, untitled too.
    const QByteArray text = doc->txtText->TextAll();
    EXPECT_TRUE(text.startsWith("'FIXTURE 3\r\n" + headerRule() + "\r\n")) << text.left(200).constData();
    EXPECT_TRUE(text.endsWith(QByteArray(half).replace("\n", "\r\n")));
    EXPECT_TRUE(e.boxes.saw(QStringLiteral("Det som togs emot öppnas som ett nytt namnlöst dokument")));
}

TEST(RxdPty, AnEiaErrorKeepsWhatCameAsAnUntitledDocument)
{
    PtyEnv e;
    ASSERT_TRUE(e.pty.ok());
    e.machine({{"RecDelay", "0"}, {"Code", "EIA"}}, "*.NC");
    const QByteArray old = "'FIXTURE 7\r\nN1 GOOD PROGRAM\r\n";
    test::writeFile(e.recvFolder + "O9.NC", old);
    e.boxes.answer(MbYes); // overwrite
    // "%", LF, "N10 X1", LF in EIA codes, then 81, which is no EIA code.
    const QByteArray eia("\x0B\x80\x45\x01\x20\x10\x37\x01\x80\x81", 10);
    Peer peer(e.pty.master);
    std::unique_ptr<frmDocument> made;
    int saves = 0;
    frmDocument *doc = receiveCommand(peer, "O9", [&](Peer &p) { p.send(eia); }, made, saves);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(test::readFile(e.recvFolder + "O9.NC"), old);
    EXPECT_EQ(saves, 0);
    EXPECT_FALSE(doc->bNamed);
    EXPECT_EQ(doc->caption(), e.recvFolder + test::wordsNow().untitled);
    const QByteArray text = doc->txtText->TextAll();
    EXPECT_TRUE(text.startsWith("'FIXTURE 7\r\n")) << text.constData();
    EXPECT_TRUE(text.endsWith("%\r\nN10 X1\r\n")) << text.constData();
    ASSERT_TRUE(e.boxes.saw(QStringLiteral("EIA översättningsfel.")));
    EXPECT_TRUE(e.boxes.saw(QStringLiteral("10 byte togs emot.")));
    EXPECT_TRUE(e.boxes.saw(QStringLiteral("den befintliga filen O9.NC har inte skrivits över")));
}

// ---------------------------------------------------------------------------
// Every byte the machine sends is the one saved, or the user is told

namespace {
// The receive command into `name` with the real File > Save; the saved file's
// bytes, or empty when nothing was saved.
struct SavedReception {
    std::unique_ptr<frmDocument> made;
    frmDocument *doc = nullptr;
    int saves = 0;
    SavedReception(PtyEnv &e, const QString &name, const std::function<void(Peer &)> &script)
    {
        Peer peer(e.pty.master);
        doc = receiveCommand(peer, name, script, made, saves, [this] {
            bool saveAs = false;
            int result = 0;
            RkSaveDocument(made.get(), saveAs, result);
        });
    }
};

// The line-end setting of the saves, put back afterwards.
struct SaveAsUnix {
    test::SessionScope scope;
    explicit SaveAsUnix(int type) { test::SessionScope::set(&SettingValues::saveAsUnixType, type); }
};

const char *const kAllProtocols[] = {"RTS/CTS", "INGEN", "XON/XOFF", "DC-KODER", "OSP5000", "KEARNEY"};
} // namespace

TEST(RxdExact, EveryByteValueArrivesAndIsSavedWithEveryHandshake)
{
    // 256 values with lone LFs and CRs among them; the program ends as a
    // program does, so it is saved under its name.
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    all += "\n%\n";
    for (const char *protocol : kAllProtocols) {
        SCOPED_TRACE(protocol);
        PtyEnv e;
        ASSERT_TRUE(e.pty.ok());
        const SaveAsUnix crLf(1);  // must not touch a binary reception
        e.machine({{"Code", "BINÄR"}, {"Protokoll", protocol}, {"RecDelay", "0.5"}});
        const bool kearney = QByteArray(protocol) == "KEARNEY";
        // KEARNEY starts at DC2, which is stored like any byte after it.
        const QByteArray sent = kearney ? "\x12" + all : all;
        SavedReception r(e, "B1", [&](Peer &p) { p.send(sent); });
        ASSERT_NE(r.doc, nullptr);
        EXPECT_EQ(r.saves, 0);  // not the save by the settings' line ends
        EXPECT_TRUE(r.doc->bNamed);
        EXPECT_FALSE(r.doc->txtText->IsDirty());
        const QByteArray saved = test::readFile(e.recvFolder + "B1");
        EXPECT_EQ(saved.size(), sent.size());
        EXPECT_TRUE(saved == sent) << saved.toHex().constData();
        EXPECT_TRUE(e.boxes.calls().empty());
    }
}

TEST(RxdExact, EveryEiaDigitArrivesWithEveryHandshake)
{
    const QByteArray program = "%\nO5003\nN10 G01 X10.5 Y-3.\nN1234567890\nN20 M30\n%\n";
    QByteArray tape;
    ASSERT_LT(isoToEia(program, tape), 0);
    for (const char *protocol : kAllProtocols) {
        SCOPED_TRACE(protocol);
        PtyEnv e;
        ASSERT_TRUE(e.pty.ok());
        const SaveAsUnix crLf(1);
        e.machine({{"Code", "EIA"}, {"Protokoll", protocol}, {"RecDelay", "0.5"}}, "*.NC");
        const bool kearney = QByteArray(protocol) == "KEARNEY";
        SavedReception r(e, "O5003", [&](Peer &p) { p.send(kearney ? "\x12" + tape : tape); });
        ASSERT_NE(r.doc, nullptr);
        EXPECT_EQ(r.saves, 1);
        EXPECT_EQ(test::readFile(e.recvFolder + "O5003.NC"),
                  "%\r\nO5003\r\nN10 G01 X10.5 Y-3.\r\nN1234567890\r\nN20 M30\r\n%\r\n");
    }
}

TEST(RxdExact, SilenceInTheMiddleOfABlockReplacesNothing)
{
    PtyEnv e;
    ASSERT_TRUE(e.pty.ok());
    e.machine({{"RecDelay", "0.5"}}, "*.NC");
    const QByteArray old = "'KUND 4\r\n%\r\nO8000 (GAMMAL)\r\nN10 G0 X0\r\nN20 M30\r\n%\r\n";
    test::writeFile(e.recvFolder + "OLD.NC", old);
    e.boxes.answer(MbYes);  // overwrite OLD.NC
    SavedReception r(e, "OLD", [](Peer &p) { p.send("%\nO8000 (NY)\nN10 G0 X1.\nN20 G1 Y"); });
    ASSERT_NE(r.doc, nullptr);
    EXPECT_EQ(test::readFile(e.recvFolder + "OLD.NC"), old);
    EXPECT_EQ(r.saves, 0);
    EXPECT_FALSE(r.doc->bNamed);
    EXPECT_EQ(r.doc->caption(), e.recvFolder + test::wordsNow().untitled);
    EXPECT_TRUE(r.doc->txtText->IsDirty());
    EXPECT_TRUE(r.doc->txtText->TextAll().endsWith("%\r\nO8000 (NY)\r\nN10 G0 X1.\r\nN20 G1 Y"));
    ASSERT_EQ(e.boxes.calls().size(), 2u);
    const MsgBoxCall &box = e.boxes.calls()[1];
    EXPECT_TRUE(box.text.contains(QStringLiteral("mitt i ett block"))) << box.text.toStdString();
    EXPECT_TRUE(box.text.contains(QStringLiteral("den befintliga filen OLD.NC har inte skrivits över")));
    EXPECT_TRUE(box.text.contains(QStringLiteral("32 byte togs emot.")));

    // A new name gets no half program either.
    e.boxes.clear();
    SavedReception fresh(e, "NEW", [](Peer &p) { p.send("%\nO8001\nN10 G0 X1.\nN20 G1 Y  \x14\x14"); });
    ASSERT_NE(fresh.doc, nullptr);
    EXPECT_FALSE(QFile::exists(e.recvFolder + "NEW.NC"));
    EXPECT_EQ(fresh.doc->caption(), e.recvFolder + test::wordsNow().untitled);
    EXPECT_TRUE(e.boxes.saw(QStringLiteral("mitt i ett block")));
}

TEST(RxdExact, AProgramEndingAtAnEndOfBlockOrPercentIsSaved)
{
    for (const QByteArray &tail : {QByteArray("N20 M30\n"), QByteArray("N20 M30\n%"), QByteArray("N20 M30\n%\x14\x14  ")}) {
        SCOPED_TRACE(tail.toHex().constData());
        PtyEnv e;
        ASSERT_TRUE(e.pty.ok());
        e.machine({{"RecDelay", "0.5"}}, "*.NC");
        test::writeFile(e.recvFolder + "O9.NC", "N1 OLD\r\n");
        e.boxes.answer(MbYes);
        SavedReception r(e, "O9", [&](Peer &p) { p.send("%\nO9\nN10 G0 X1.\n" + tail); });
        ASSERT_NE(r.doc, nullptr);
        EXPECT_EQ(r.saves, 1);
        EXPECT_TRUE(r.doc->bNamed);
        EXPECT_TRUE(test::readFile(e.recvFolder + "O9.NC").startsWith("%\r\nO9\r\nN10 G0 X1.\r\nN20 M30\r\n"));
        EXPECT_EQ(e.boxes.calls().size(), 1u);  // the overwrite question only
    }
}

TEST(RxdExact, HeaderAndReceptionEndUpInOneEncoding)
{
    const QString header = QStringLiteral("' KUND: ÅÄÖ");
    const QString comment = QStringLiteral("(FRÄS)");
    struct Case {
        TextEncoding headerIn;
        bool receivedHasLetters;
        TextEncoding receivedIn;
        TextEncoding expected;
    } cases[] = {
        {TextEncoding::Utf8, false, TextEncoding::Windows1252, TextEncoding::Utf8},
        {TextEncoding::Utf8, true, TextEncoding::Windows1252, TextEncoding::Windows1252},
        {TextEncoding::Windows1252, true, TextEncoding::Utf8, TextEncoding::Utf8},
        {TextEncoding::Windows1252, false, TextEncoding::Windows1252, TextEncoding::Windows1252},
        {TextEncoding::Utf8, true, TextEncoding::Utf8, TextEncoding::Utf8},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.headerIn) * 100 + int(c.receivedHasLetters) * 10 + int(c.receivedIn));
        PtyEnv e;
        ASSERT_TRUE(e.pty.ok());
        const SaveAsUnix crLf(1);
        e.machine({{"RecDelay", "0.5"}}, "*.NC");
        test::writeFile(e.recvFolder + "O3.NC", encodeText(header + "\r\nN1 G0 ÖVRIGT\r\n", c.headerIn));
        e.boxes.answer(MbYes);
        const QString body = c.receivedHasLetters ? "N10 G0 X1. " + comment : QStringLiteral("N10 G0 X1.");
        const QByteArray sent = "%\n" + encodeText(body, c.receivedIn) + "\n%\n";
        SavedReception r(e, "O3", [&](Peer &p) { p.send(sent); });
        ASSERT_NE(r.doc, nullptr);
        EXPECT_EQ(r.saves, 1);
        const QByteArray saved = test::readFile(e.recvFolder + "O3.NC");
        EXPECT_EQ(textEncodingOf(saved), c.expected);
        if (c.expected == TextEncoding::Utf8) {
            EXPECT_TRUE(isValidUtf8(saved));
        }
        const QString text = decodeText(saved, c.expected);
        EXPECT_TRUE(text.startsWith(header + "\r\n'---")) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("' FRÅN PTY ")));
        EXPECT_TRUE(text.endsWith("\r\n%\r\n" + body + "\r\n%\r\n")) << text.toStdString();
        // What the window shows is what was saved.
        EXPECT_EQ(r.doc->txtText->encoding(), c.expected);
    }
}

TEST(RxdExact, ABinaryReceptionIntoAFileWithAHeaderIsStillTheBytesThatCame)
{
    PtyEnv e;
    ASSERT_TRUE(e.pty.ok());
    const SaveAsUnix lf(2);  // must not touch the CR LF that came
    e.machine({{"Code", "BINÄR"}, {"RecDelay", "0.5"}});
    test::writeFile(e.recvFolder + "P1", "'KOMMENTAR\r\nDATA\r\n");
    e.boxes.answer(MbYes);
    const QByteArray sent("\x01\x02\r\n\n\rP1=5\r\n%", 14);
    SavedReception r(e, "P1", [&](Peer &p) { p.send(sent); });
    ASSERT_NE(r.doc, nullptr);
    EXPECT_EQ(test::readFile(e.recvFolder + "P1"), sent);
    EXPECT_FALSE(QFile::exists(tmpFile(kHeaderTmp)));
}
