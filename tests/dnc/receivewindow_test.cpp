// The receive window against the fake port: settings, the overwrite question,
// line errors, aborts and the hand-over to a new document.
#include "fakeserialport.h"
#include "dnc/frmrxdfromcnc.h"
#include "mainwindow/receivecommand.h"
#include "dnc/headerlines.h"
#include "dnc/receivesettings.h"

#include "core/codepage.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/language.h"
#include "documents/frmdocument.h"
#include "testsupport/sessionscope.h"
#include "testsupport/testsupport.h"

#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace lumrik;
using test::MsgBoxRecorder;

namespace {

// A program folder with machine files, a receive folder and the fake port.
struct RxdEnv {
    test::TempEnv env;
    QString recvFolder;
    RxdEnv()
    {
        recvFolder = env.dataPath() + "/recv/";
        QDir().mkpath(recvFolder);
        test::SessionScope::words([](WordValues &w) {
            w.untitled = QStringLiteral("NAMNLÖS");
            w.receiving = QStringLiteral("Mottager data...");
        });
        test::changeMachineKeys([&](MachineKeys &k) { k.rootFolder = env.dataPath(); });
        currentMachine().use(QString(), QString());
        test::activeNow().setFile(QString());
        FakeSerialPort::install();
    }
    ~RxdEnv() { FakeSerialPort::uninstall(); }

    // Writes MACHINE.cfg with the receive folder and the given communication keys.
    QString machine(const QString &name, const QList<QPair<QString, QString>> &comm,
                    const QString &ext = "*.*")
    {
        IniFile ini;
        ini.setValue("Settings", "FileExtension", ext);
        ini.setValue("CNCProgPath", "DefaultRxdCncPath", recvFolder);
        for (const auto &kv : comm)
            ini.setValue("Communication", kv.first, kv.second);
        const QString path = env.path(name + ".cfg");
        ini.save(path);
        return path;
    }
};

// Opens the window for `machine` and starts a reception into `name`.
void start(frmRxdFromCnc &w, const QString &machine, const QString &name)
{
    test::useMachineName(machine);
    w.Form_Load();
    w.show();
    w.txtFileName->setText(name);
    w.btnStartRxd_Click();
}

} // namespace

TEST(RxdSettings, ProtocolTableDefaultsAndFailures)
{
    RxdEnv e;
    const QString empty = e.machine("EMPTY", {});
    RxdSettings s;
    ASSERT_TRUE(readRxdSettings(empty, s));
    EXPECT_EQ(s.sCommSettings, "2400,E,7,1");
    EXPECT_EQ(s.lComPort, 1);
    EXPECT_EQ(s.lHandshake, 2);
    EXPECT_EQ(s.recDelayMs, 0);
    EXPECT_FALSE(s.options.waitStartChr);
    EXPECT_EQ(s.options.filter, QByteArray(1, '\0'));
    EXPECT_EQ(s.receiveFolder, e.recvFolder);

    const QByteArray dc("\x11\x12\x13\x14", 4);
    struct Case { QString prot; int hs; bool dcFiltered; };
    for (const Case &c : {Case{"INGEN", 2, false}, Case{"XON/XOFF", 3, false}, Case{"DC-KODER", 1, true},
                          Case{"OSP5000", 1, true}}) {
        RxdSettings t;
        ASSERT_TRUE(readRxdSettings(e.machine("P", {{"Protokoll", c.prot}, {"FilterChr", "25"}}), t));
        EXPECT_EQ(t.lHandshake, c.hs) << c.prot.toStdString();
        EXPECT_EQ(t.options.filter, c.dcFiltered ? "%" + dc : QByteArray("%")) << c.prot.toStdString();
    }

    RxdSettings k;
    ASSERT_TRUE(readRxdSettings(e.machine("K", {{"Protokoll", "KEARNEY"}, {"RxdFromChr", "25"},
                                                {"Parity", "UDDA"}, {"DataBits", "8"}, {"BaudRate", "9600"},
                                                {"RecDelay", "1,5"}}), k));
    EXPECT_TRUE(k.options.kearney);
    EXPECT_TRUE(k.options.waitStartChr);
    EXPECT_EQ(k.options.startChr, 0x12);
    EXPECT_EQ(k.sCommSettings, "9600,O,8,1");
    EXPECT_EQ(k.recDelayMs, 1500);

    // A protocol the receive side does not know keeps the earlier handshake.
    RxdSettings r;
    r.lHandshake = 0;
    ASSERT_TRUE(readRxdSettings(e.machine("R", {{"Protokoll", "RTS/CTS2"}, {"Code", "BINÄR"}}), r));
    EXPECT_EQ(r.lHandshake, 0);
    EXPECT_TRUE(r.options.binary);

    QString why;
    RxdSettings bad;
    EXPECT_FALSE(readRxdSettings(e.machine("B1", {{"RecDelay", "fem"}}), bad, &why));
    EXPECT_TRUE(why.contains("RecDelay"));
    EXPECT_FALSE(readRxdSettings(e.machine("B2", {{"FilterChr", "1FF"}}), bad, &why));
    EXPECT_FALSE(readRxdSettings(e.machine("B3", {{"RxdFromChr", "XY"}}), bad, &why));
    EXPECT_FALSE(readRxdSettings(e.machine("B4", {{"ComPort", "COM1"}}), bad, &why));
    EXPECT_FALSE(readRxdSettings(e.env.path("MISSING.cfg"), bad, &why));
}

TEST(RxdWindow, WithoutMachinesOnlyClosing)
{
    RxdEnv e;
    MsgBoxRecorder boxes;
    frmRxdFromCnc w(test::testSession());
    w.Form_Load();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, QStringLiteral("Inställningar för CNC saknas !"));
    EXPECT_FALSE(w.btnStartRxd->isEnabled());
    EXPECT_FALSE(w.cmbRxdCfgFiler->isEnabled());
    EXPECT_TRUE(w.btnRxdFromCncAbort->isEnabled());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("HÄMTA FRÅN CNC"));
    EXPECT_EQ(w.btnStartRxd->objectName(), "btnStartRxd");
}

TEST(RxdWindow, UnreadableSettingsKeepReceiveDisabled)
{
    RxdEnv e;
    e.machine("BAD", {{"RecDelay", "x"}});
    e.machine("GOOD", {});
    MsgBoxRecorder boxes;
    QComboBox mainCombo;
    mainCombo.addItems({"BAD", "GOOD"});
    mainCombo.setCurrentText("BAD");
    test::useMachineName("BAD");
    frmRxdFromCnc w(test::testSession());
    w.comboMaskiner = &mainCombo;
    w.Form_Load();
    EXPECT_TRUE(boxes.saw(QStringLiteral("Det gick inte att läsa inställningarna !")));
    EXPECT_FALSE(w.btnStartRxd->isEnabled());
    w.btnStartRxd_Click();   // Enter in the name field does the same: nothing may start
    EXPECT_EQ(FakeSerialPort::last(), nullptr);

    // Choosing a machine that reads well enables it, and the main window follows.
    w.cmbRxdCfgFiler->setCurrentText("GOOD");
    w.cmbRxdCfgFiler_Click();
    EXPECT_TRUE(w.btnStartRxd->isEnabled());
    EXPECT_EQ(currentMachine().name(), "GOOD");
    EXPECT_EQ(mainCombo.currentText(), "GOOD");
    EXPECT_EQ(w.lblCurrentPath->text(), ' ' + e.recvFolder);
}

TEST(RxdWindow, OverwriteQuestionTestsTheNameWithExtension)
{
    RxdEnv e;
    e.machine("M", {{"RecDelay", "0"}}, "*.NC");
    test::writeFile(e.recvFolder + "O1.NC", "old");
    MsgBoxRecorder boxes;
    frmRxdFromCnc w(test::testSession());
    boxes.answer(MbNo);
    start(w, "M", "O1");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, QStringLiteral("O1.NC finns redan !\r\nSkall den skrivas över ? "));
    EXPECT_EQ(boxes.calls()[0].defaultButton, 1);   // No
    EXPECT_EQ(FakeSerialPort::last(), nullptr);
    EXPECT_TRUE(w.txtFileName->isEnabled());
    EXPECT_TRUE(w.btnStartRxd->isEnabled());

    // A name that only differs in case is the same file.
    boxes.answer(MbYes);
    w.txtFileName->setText("o1.nc");
    w.btnStartRxd_Click();
    EXPECT_EQ(boxes.calls().size(), 2u);
    ASSERT_NE(FakeSerialPort::last(), nullptr);
    EXPECT_TRUE(FakeSerialPort::last()->PortOpen());
    EXPECT_FALSE(w.txtFileName->isEnabled());
    w.btnRxdFromCncAbort_Click();
    EXPECT_EQ(test::activeNow().file(), "o1.nc");

    // An empty name receives untitled without a question.
    boxes.clear();
    start(w, "M", "   ");
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_EQ(w.txtFileName->text(), test::wordsNow().untitled);
    w.btnRxdFromCncAbort_Click();
    EXPECT_EQ(test::activeNow().file(), test::wordsNow().untitled);
}

TEST(RxdWindow, ReceivesThroughTheFakePort)
{
    RxdEnv e;
    e.machine("M", {{"RxdFromChr", "25"}, {"Protokoll", "RTS/CTS"}, {"BaudRate", "9600"}}, "*.NC");
    MsgBoxRecorder boxes;
    frmRxdFromCnc w(test::testSession());
    start(w, "M", "O2");
    FakeSerialPort *port = FakeSerialPort::last();
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->openedWith.value(0), "COM1 9600,E,7,1 hs=2");
    EXPECT_EQ(w.statusPanel(1), "9600,E,7,1");
    EXPECT_EQ(w.statusPanel(3), QStringLiteral("Väntar på data..."));
    // Line errors while waiting for the start character do not count.
    port->injectLineError(comEventFrame);
    EXPECT_TRUE(boxes.calls().empty());
    port->receive("junk\r\n");
    EXPECT_EQ(w.statusPanel(3), QStringLiteral("Mottager data..."));
    port->receive("%\r\nN1 G0\r");
    port->receive(QByteArray("\nN2\0X1\n%\n", 9));
    port->setCts(false);
    EXPECT_EQ(w.statusPanel(2), "CTS");
    EXPECT_TRUE(w.txtRxdFromCnc->toPlainText().contains("N1 G0"));
    w.btnRxdFromCncAbort_Click();
    EXPECT_TRUE(w.received());
    EXPECT_FALSE(port->PortOpen());
    EXPECT_EQ(test::readFile(tmpFile(kRxdTmp)), "%\r\nN1 G0\r\nN2X1\r\n%\r\n");
    EXPECT_EQ(test::activeNow().file(), "O2.NC");
    EXPECT_EQ(test::activeNow().path(), e.recvFolder);
}

TEST(RxdWindow, IgnoreOnlySilencesFurtherErrorBoxes)
{
    RxdEnv e;
    // A silence time no wait here comes near: the test says when it has passed.
    e.machine("M", {{"RecDelay", "600"}});
    MsgBoxRecorder boxes;
    frmRxdFromCnc w(test::testSession());
    start(w, "M", "O3");
    FakeSerialPort *port = FakeSerialPort::last();
    port->receive("N1\n");
    boxes.answer(MbIgnore);
    port->injectLineError(comEventRxParity);
    ASSERT_EQ(boxes.calls().size(), 1u);
    const MsgBoxCall box = boxes.calls()[0];
    EXPECT_EQ(box.buttons, MbButtons::AbortRetryIgnore);
    EXPECT_EQ(box.title, QStringLiteral("Kommunikationsfel !"));
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("Överföringsfel har påträffats!\r\n\r\n")));
    EXPECT_TRUE(box.text.contains(QStringLiteral("PARITY \t %1\r\n").arg(w.nParity)));
    EXPECT_TRUE(port->RTSEnable());   // the machine may go on

    // Data keeps flowing for longer than the silence time after the answer:
    // every chunk restarts the timer, so nothing is cut. Each chunk comes
    // when the time since the one before has run out (the timer stopped).
    port->injectLineError(comEventFrame);
    ASSERT_TRUE(w.RecDelayTimer->isActive());
    for (int i = 2; i <= 11; ++i) {
        w.RecDelayTimer->stop();
        ASSERT_TRUE(w.isVisible()) << "closed at chunk " << i;
        port->receive(QByteArray("N") + QByteArray::number(i) + "\n");
        EXPECT_TRUE(w.RecDelayTimer->isActive()) << "chunk " << i;
        EXPECT_EQ(w.RecDelayTimer->interval(), 600000);
        port->injectLineError(comEventOverrun);
        EXPECT_TRUE(w.RecDelayTimer->isActive()) << "error after chunk " << i;
    }
    EXPECT_EQ(boxes.calls().size(), 1u);
    // Then the line is silent for the whole time.
    w.RecDelayTimer->start(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 30000));
    EXPECT_TRUE(w.received());
    QByteArray expected;
    for (int i = 1; i <= 11; ++i)
        expected += "N" + QByteArray::number(i) + "\r\n";
    EXPECT_EQ(test::readFile(tmpFile(kRxdTmp)), expected);
}

TEST(RxdWindow, RetryPausesAndResumesAndAbortKeepsWhatCame)
{
    RxdEnv e;
    e.machine("M", {});
    MsgBoxRecorder boxes;
    frmRxdFromCnc w(test::testSession());
    start(w, "M", "O4");
    FakeSerialPort *port = FakeSerialPort::last();
    port->receive("N1\n");
    port->rtsLog.clear();
    boxes.answer(MbRetry);
    port->injectLineError(comEventBreak);
    EXPECT_EQ(port->rtsLog, (QList<bool>{false, true}));
    boxes.answer(MbAbort);
    port->injectLineError(comEventBreak);
    // "Avbryt" ends the reception; what came is told and kept.
    ASSERT_EQ(boxes.calls().size(), 3u);
    EXPECT_TRUE(boxes.calls()[2].text.contains(QStringLiteral("3 byte togs emot.")));
    EXPECT_EQ(w.statusPanel(3), QStringLiteral("Avbruten."));
    EXPECT_FALSE(port->PortOpen());
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.received());
    EXPECT_EQ(test::readFile(tmpFile(kRxdTmp)), "N1\r\n");
}

TEST(RxdWindow, EiaCodeAbove128EndsTheReceptionAndKeepsWhatCame)
{
    RxdEnv e;
    e.machine("M", {{"Code", "EIA"}});
    MsgBoxRecorder boxes;
    frmRxdFromCnc w(test::testSession());
    start(w, "M", "O5");
    FakeSerialPort *port = FakeSerialPort::last();
    port->receive(QByteArray("\x45\x01\x80", 3));
    port->receive(QByteArray("\x45\x02\x81", 3));
    ASSERT_TRUE(boxes.saw(QStringLiteral("EIA översättningsfel.")));
    EXPECT_TRUE(boxes.saw(QStringLiteral("6 byte togs emot.")));
    EXPECT_EQ(w.statusPanel(3), QStringLiteral("Avbruten."));
    port->receive("more");   // ignored
    // What came before the bad code is kept, and opens untitled.
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.received());
    EXPECT_TRUE(w.handedOverUntitled());
    EXPECT_EQ(test::readFile(tmpFile(kRxdTmp)), "N1\r\nN2");
}

TEST(RxdWindow, FailedOpeningLeavesNoWorkFile)
{
    RxdEnv e;
    e.machine("M", {});
    FakeSerialPort::install([](FakeSerialPort &p) {
        p.failOpenNumber = 8002;
        p.failOpenText = "Porten finns inte";
    });
    MsgBoxRecorder boxes;
    frmRxdFromCnc w(test::testSession());
    start(w, "M", "O6");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, QStringLiteral("Överföringsfel # 8002"));
    EXPECT_EQ(boxes.calls()[0].text, "Porten finns inte");
    EXPECT_FALSE(w.btnStartRxd->isEnabled());
    EXPECT_FALSE(QFile::exists(tmpFile(kRxdTmp)));
    w.btnRxdFromCncAbort_Click();
    EXPECT_FALSE(w.received());
}

TEST(RxdCommand, StaleWorkFileIsNeverOpened)
{
    RxdEnv e;
    e.machine("M", {});
    MsgBoxRecorder boxes;
    test::writeFile(e.env.tmpPath() + "/rxd.tmp", "N1 OLD PROGRAM\r\n");
    boxes.answer(MbNo);   // not wanted: it is removed
    QWidget owner;
    // The user closes the window without receiving anything.
    QTimer::singleShot(0, [&] { rxdFromCncWindow(test::testSession(), &owner)->btnRxdFromCncAbort_Click(); });
    test::useMachineName("M");
    int loads = 0;
    frmDocument *doc = RxdFromCncCommand(test::testSession(), &owner, nullptr, [&]() -> frmDocument * { ++loads; return nullptr; }, {});
    EXPECT_EQ(doc, nullptr);
    EXPECT_EQ(loads, 0);
    EXPECT_TRUE(boxes.saw(QStringLiteral("16 byte")));
    EXPECT_TRUE(QDir(e.env.tmpPath()).entryList(QDir::Files).isEmpty());
}

TEST(RxdCommand, OpensWithHeaderAndSavesWhenNamed)
{
    RxdEnv e;
    e.machine("MILL1", {{"RecDelay", "5"}}, "*.NC");
    test::writeFile(e.recvFolder + "O7.NC", "'FIXTURE 3\r\n'OP 10\r\nN1 G0 X0\r\n");
    MsgBoxRecorder boxes;
    boxes.answer(MbYes);   // overwrite O7.NC
    QWidget owner;
    QComboBox mainCombo(&owner);
    mainCombo.addItem("MILL1");
    test::useMachineName("MILL1"); // the machine the main window shows
    QTimer::singleShot(0, [&] {
        frmRxdFromCnc *w = rxdFromCncWindow(test::testSession(), &owner);
        w->txtFileName->setText("O7");
        w->btnStartRxd_Click();
        auto *port = FakeSerialPort::last();
        port->receive("%\nN1 G1 X5\nM30\n%\n");
        w->RecDelayTimer_Timer();   // the machine fell silent
    });
    std::unique_ptr<frmDocument> made;
    int saves = 0;
    QByteArray savedText;
    frmDocument *doc = RxdFromCncCommand(test::testSession(), 
        &owner, &mainCombo, [&] { made = std::make_unique<frmDocument>(); return made.get(); },
        [&] { ++saves; savedText = made->txtText->TextAll(); });
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->caption(), e.recvFolder + "O7.NC");
    EXPECT_EQ(doc->sMaskin, "MILL1");
    EXPECT_TRUE(doc->bNamed);
    EXPECT_TRUE(doc->txtText->IsDirty());
    EXPECT_EQ(saves, 1);
    // The old file was still there when its header was read.
    EXPECT_TRUE(savedText.startsWith("'FIXTURE 3\r\n'OP 10\r\n'" + QByteArray(70, '-') + "\r\n"
                                     + toCp1252(QStringLiteral("' FRÅN MILL1 "))));
    EXPECT_TRUE(savedText.contains(QByteArray(70, '-') + "\r\n%\r\nN1 G1 X5\r\nM30\r\n%"));
    EXPECT_TRUE(QDir(e.env.tmpPath()).entryList(QDir::Files).isEmpty());
}

TEST(RxdCommand, UntitledIsNotSavedAndShortFilesOpenNothing)
{
    RxdEnv e;
    e.machine("M", {});
    MsgBoxRecorder boxes;
    QWidget owner;
    auto receive = [&](const QByteArray &bytes) {
        QTimer::singleShot(0, [&, bytes] {
            frmRxdFromCnc *w = rxdFromCncWindow(test::testSession(), &owner);
            w->btnStartRxd_Click();
            FakeSerialPort::last()->receive(bytes);
            w->btnRxdFromCncAbort_Click();
        });
    };
    test::useMachineName("M");
    std::unique_ptr<frmDocument> made;
    int saves = 0;
    auto load = [&] { made = std::make_unique<frmDocument>(); return made.get(); };
    receive("N1\n\n");   // 6 bytes in the file
    frmDocument *doc = RxdFromCncCommand(test::testSession(), &owner, nullptr, load, [&] { ++saves; });
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->caption(), e.recvFolder + test::wordsNow().untitled);
    EXPECT_FALSE(doc->bNamed);
    EXPECT_EQ(saves, 0);

    made.reset();
    receive("N1\n");     // 4 bytes: nothing opens
    EXPECT_EQ(RxdFromCncCommand(test::testSession(), &owner, nullptr, load, [&] { ++saves; }), nullptr);
    EXPECT_FALSE(made);
    EXPECT_TRUE(QDir(e.env.tmpPath()).entryList(QDir::Files).isEmpty());
}

// ---------------------------------------------------------------------------
// A port that fails in the middle of a reception

namespace {
const QString kLost = QStringLiteral("Porten COM1 (/dev/ttyUSB0) slutade fungera: enheten svarar inte (kabeln eller adaptern borttagen?)");

// Runs the receive command into `name` of machine M (which has "O8.NC" in its
// receive folder); `during` gets the started window and its port.
struct CommandRun {
    std::unique_ptr<frmDocument> made;
    int saves = 0;
    frmDocument *doc = nullptr;
    CommandRun(const QString &name, const std::function<void(frmRxdFromCnc *, FakeSerialPort *)> &during)
    {
        QWidget owner;
        QComboBox mainCombo(&owner);
        mainCombo.addItem("M");
        QTimer::singleShot(0, [&] {
            frmRxdFromCnc *w = rxdFromCncWindow(test::testSession(), &owner);
            w->txtFileName->setText(name);
            w->btnStartRxd_Click();
            during(w, FakeSerialPort::last());
        });
        doc = RxdFromCncCommand(test::testSession(), 
            &owner, &mainCombo, [&] { made = std::make_unique<frmDocument>(); return made.get(); },
            [&] { ++saves; });
    }
    // What came is in an untitled, unsaved document; the file is as it was.
    void expectUntitled(const RxdEnv &e, const QByteArray &text, const QByteArray &oldFile) const
    {
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(saves, 0);
        EXPECT_FALSE(doc->bNamed);
        EXPECT_EQ(doc->caption(), e.recvFolder + test::wordsNow().untitled);
        EXPECT_TRUE(doc->txtText->IsDirty());
        EXPECT_EQ(doc->txtText->TextAll(), text);
        EXPECT_EQ(test::readFile(e.recvFolder + "O8.NC"), oldFile);
        EXPECT_TRUE(QDir(e.env.tmpPath()).entryList(QDir::Files).isEmpty());
    }
};
}

TEST(RxdFailure, ALostDeviceEndsTheReceptionAndKeepsWhatCame)
{
    RxdEnv e;
    e.machine("M", {{"RecDelay", "5"}}, "*.NC");
    test::writeFile(e.recvFolder + "O8.NC", "N1 GOOD PROGRAM\r\n");
    MsgBoxRecorder boxes;
    boxes.answer(MbYes);   // overwrite O8.NC
    frmRxdFromCnc w(test::testSession());
    start(w, "M", "O8");
    FakeSerialPort *port = FakeSerialPort::last();
    port->receive("%\nN1 G0 X1\n");
    // Bytes read before the failure and not yet taken still go to the file.
    port->RThreshold = 0;
    port->receive("N2 G1");
    port->loseDevice(kPortDeviceError, kLost);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 2000));

    ASSERT_EQ(boxes.calls().size(), 2u);
    const MsgBoxCall box = boxes.calls()[1];
    EXPECT_EQ(box.title, QStringLiteral("Överföringsfel # 57"));
    EXPECT_EQ(box.icon, MbIcon::Critical);
    EXPECT_EQ(box.buttons, MbButtons::Ok);
    EXPECT_EQ(box.text, QStringLiteral("Mottagningen avbröts.\r\n") + kLost + QStringLiteral(
                            "\r\n\r\n16 byte togs emot.\r\n\r\nDet som togs emot öppnas som ett nytt namnlöst "
                            "dokument; den befintliga filen O8.NC har inte skrivits över.\r\n"
                            "Kontrollera programmet innan du sparar det."));
    EXPECT_TRUE(w.received());
    EXPECT_TRUE(w.handedOverUntitled());
    EXPECT_EQ(test::activeNow().file(), test::wordsNow().untitled);
    EXPECT_EQ(test::readFile(tmpFile(kRxdTmp)), "%\r\nN1 G0 X1\r\nN2 G1");
    EXPECT_EQ(test::readFile(e.recvFolder + "O8.NC"), "N1 GOOD PROGRAM\r\n");
}

TEST(RxdFailure, ALostDeviceBeforeAnyDataSavesNothing)
{
    RxdEnv e;
    e.machine("M", {{"RecDelay", "1"}});
    MsgBoxRecorder boxes;
    frmRxdFromCnc w(test::testSession());
    start(w, "M", "NEW1");
    FakeSerialPort::last()->loseDevice(kPortDeviceError, kLost);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 2000));
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.endsWith(QStringLiteral("0 byte togs emot.\r\n\r\nIngenting sparades.")));
    EXPECT_FALSE(QFile::exists(e.recvFolder + "NEW1"));
}

TEST(RxdFailure, AFailureWhileALineErrorBoxIsOpenIsTakenUpAfterTheAnswer)
{
    RxdEnv e;
    e.machine("M", {});
    frmRxdFromCnc w(test::testSession());
    start(w, "M", "O9");
    FakeSerialPort *port = FakeSerialPort::last();
    port->receive("N1 G0\nN2 G0\n");
    int seen = 0;
    setMsgBoxHook([&](const MsgBoxCall &call) {
        if (++seen == 1) {
            // The device goes while the user reads the line-error box.
            port->loseDevice(kPortDeviceError, kLost);
            QCoreApplication::processEvents();
            EXPECT_EQ(call.title, QStringLiteral("Kommunikationsfel !"));
            return int(MbRetry);
        }
        EXPECT_EQ(call.title, QStringLiteral("Överföringsfel # 57"));
        return int(MbOk);
    });
    port->injectLineError(comEventFrame);
    setMsgBoxHook({});
    EXPECT_EQ(seen, 2);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.handedOverUntitled());
    EXPECT_EQ(test::readFile(tmpFile(kRxdTmp)), "N1 G0\r\nN2 G0\r\n");
}

TEST(RxdFailure, AFailureNotYetReportedIsNeverTakenForTheEnd)
{
    RxdEnv e;
    e.machine("M", {{"RecDelay", "1"}});
    test::writeFile(e.recvFolder + "O10", "N1 GOOD\r\n");
    MsgBoxRecorder boxes;
    boxes.answer(MbYes);
    frmRxdFromCnc w(test::testSession());
    start(w, "M", "O10");
    FakeSerialPort *port = FakeSerialPort::last();
    port->receive("N1 CUT\nN2");
    port->loseDevice(kPortDeviceError, kLost);
    // The silence timer fires before the port's event comes.
    w.RecDelayTimer_Timer();
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(boxes.saw(QStringLiteral("Mottagningen avbröts.")));
    EXPECT_TRUE(w.handedOverUntitled());
    EXPECT_EQ(test::activeNow().file(), test::wordsNow().untitled);
    QCoreApplication::processEvents();   // the late event changes nothing
    EXPECT_EQ(boxes.calls().size(), 2u);
}

TEST(RxdFailure, StartDiscardsWhatWaitedInTheDriver)
{
    RxdEnv e;
    e.machine("M", {});
    MsgBoxRecorder boxes;
    frmRxdFromCnc w(test::testSession());
    start(w, "M", "O11");
    FakeSerialPort *port = FakeSerialPort::last();
    EXPECT_EQ(port->inputClears, 1);
    w.btnRxdFromCncAbort_Click();
}

TEST(RxdFailure, TheWorkFileIsOnTheDiskWhileDataArrives)
{
    RxdEnv e;
    e.machine("M", {});
    MsgBoxRecorder boxes;
    frmRxdFromCnc w(test::testSession());
    start(w, "M", "O12");
    FakeSerialPort *port = FakeSerialPort::last();
    QByteArray expected;
    for (int i = 1; i <= 200; ++i) {
        const QByteArray line = "N" + QByteArray::number(i) + " G01 X" + QByteArray::number(i) + ".5\n";
        port->receive(line);
        expected += line.chopped(1) + "\r\n";
        // Readable by anyone, at once: a crash now would lose nothing.
        ASSERT_EQ(test::readFile(tmpFile(kRxdTmp)), expected) << i;
    }
    w.btnRxdFromCncAbort_Click();
}

TEST(RxdCommand, AFailedReceptionIntoAnExistingFileOpensAnUntitledDocument)
{
    RxdEnv e;
    e.machine("M", {{"RecDelay", "5"}}, "*.NC");
    test::writeFile(e.recvFolder + "O8.NC", "'FIXTURE\r\nN1 GOOD PROGRAM\r\n");
    MsgBoxRecorder boxes;
    boxes.answer(MbYes);
    test::useMachineName("M");
    CommandRun run("O8", [](frmRxdFromCnc *, FakeSerialPort *port) {
        port->receive("%\nN1 G0 X1\nN2 G1");
        port->loseDevice(kPortDeviceError, kLost);
    });
    // The header of the file it was named after goes on top, though it replaces nothing.
    const QByteArray header = headerBlock("'FIXTURE\r\n", "M", RkShortDate(QDate::currentDate()));
    run.expectUntitled(e, header + "%\r\nN1 G0 X1\r\nN2 G1", "'FIXTURE\r\nN1 GOOD PROGRAM\r\n");
}

TEST(RxdCommand, StoppingAReceptionIntoAnExistingFileOpensAnUntitledDocument)
{
    RxdEnv e;
    e.machine("M", {{"RecDelay", "0"}}, "*.NC");
    test::writeFile(e.recvFolder + "O8.NC", "N1 GOOD PROGRAM\r\n");
    MsgBoxRecorder boxes;
    boxes.answer(MbYes);
    test::useMachineName("M");
    CommandRun run("O8", [](frmRxdFromCnc *w, FakeSerialPort *port) {
        port->receive("%\nN1 G0 X1\n");
        w->btnRxdFromCncAbort_Click();
    });
    run.expectUntitled(e, "%\r\nN1 G0 X1\r\n", "N1 GOOD PROGRAM\r\n");
    ASSERT_EQ(boxes.calls().size(), 2u);
    EXPECT_EQ(boxes.calls()[1].icon, MbIcon::Information);
    EXPECT_TRUE(boxes.calls()[1].text.startsWith(QStringLiteral("Mottagningen avslutades för hand efter 11 byte.")));
    EXPECT_TRUE(boxes.calls()[1].text.contains(QStringLiteral("Filen O8.NC finns redan")));

    // Stopped by hand into a new name it is saved under that name, as always.
    boxes.clear();
    CommandRun fresh("O9", [](frmRxdFromCnc *w, FakeSerialPort *port) {
        port->receive("%\nN1 G0 X1\n");
        w->btnRxdFromCncAbort_Click();
    });
    ASSERT_NE(fresh.doc, nullptr);
    EXPECT_EQ(fresh.saves, 1);
    EXPECT_TRUE(boxes.calls().empty());
}

TEST(RxdCommand, AnInterruptedReceptionCanBeOpened)
{
    RxdEnv e;
    e.machine("M", {});
    MsgBoxRecorder boxes;
    // Left by a run that ended in the middle of a reception.
    test::writeFile(e.env.tmpPath() + "/Rxd.Tmp", "%\r\nN1 G0 X1\r\nN2 G1 X");
    boxes.answer(MbYes);
    test::useMachineName("M");
    std::vector<std::unique_ptr<frmDocument>> made;
    QWidget owner;
    QTimer::singleShot(0, [&] { rxdFromCncWindow(test::testSession(), &owner)->btnRxdFromCncAbort_Click(); });
    RxdFromCncCommand(test::testSession(), &owner, nullptr, [&] { made.push_back(std::make_unique<frmDocument>()); return made.back().get(); },
                      {});
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0]->txtText->TextAll(), "%\r\nN1 G0 X1\r\nN2 G1 X");
    EXPECT_FALSE(made[0]->bNamed);
    EXPECT_EQ(boxes.calls()[0].title, QStringLiteral("Mottaget program finns kvar"));
    EXPECT_TRUE(QDir(e.env.tmpPath()).entryList(QDir::Files).isEmpty());
}
