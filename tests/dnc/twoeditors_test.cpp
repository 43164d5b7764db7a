// Two editors of one user, on two displays, send two programs at the same
// time: each machine gets the program its own editor sent. Each editor is a
// process of its own (this test program started again), which fixes its
// hand-off folder as the editor's start-up does and sends through the send
// window over its own pseudo-terminal.
#include "dnc/frmtxd2cnc.h"
#include "mainwindow/sendcommand.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/session.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "testsupport/sessionscope.h"
#include "testsupport/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace lumrik;

namespace {

constexpr const char *kChildVar = "LUMRIK_TWO_EDITORS_CHILD";

// The machine's end of one line.
struct Line {
    int master = -1, slave = -1;
    QString path;
    QByteArray received;
    Line() { test::openRawPty(master, slave, path); }
    ~Line()
    {
        if (slave >= 0)
            ::close(slave);
        if (master >= 0)
            ::close(master);
    }
    void take()
    {
        char buf[4096];
        for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;)
            received.append(buf, n);
    }
};

QByteArray program(char which)
{
    return "%\r\nO100" + QByteArray(1, which) + "\r\n(PROGRAM " + QByteArray(1, which) + ")\r\nN10 G0 X" +
           QByteArray(1, which) + "\r\nN20 M30\r\n%\r\n";
}

}

// One editor's side, run only as a child of the test below: the editor's
// program folder, line and program come from the environment.
TEST(TwoEditors, OneEditorSends)
{
    if (!qEnvironmentVariableIsSet(kChildVar))
        GTEST_SKIP() << "run by TwoEditors.EachMachineGetsItsOwnEditorsProgram";
    const QString shared = qEnvironmentVariable("LUMRIK_TWO_EDITORS_SHARED");
    const QString me = qEnvironmentVariable(kChildVar);
    // The user's session: one temporary folder and runtime folder for both.
    qputenv("TMPDIR", QFile::encodeName(shared + "/tmp"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(shared + "/runtime"));
    gsDataPath = shared + "/data-" + me;
    gsTmpPath = resolveHandOffPath();
    test::useMachineName(QStringLiteral("M1"));
    std::vector<QString> errors;
    setErrorBoxHook([&](const QString &t) {
        errors.push_back(t);
        return true;
    });
    lumrik::test::MsgBoxRecorder boxes;

    frmDocument doc;
    doc.setWindowTitle("/nc/P" + me + ".NC");
    doc.txtText->setTextAll(program(me.at(0).toLatin1()));
    // Once the send window waits for "Sänd", tell the test and wait for its word.
    QTimer poll;
    bool told = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        frmTxd2Cnc *w = txd2CncWindow(test::testSession());
        if (!w->isVisible() || !w->btnTxd2Cnc->isEnabled())
            return;
        if (!told) {
            lumrik::test::writeFile(shared + "/ready-" + me, QFile::encodeName(gsTmpPath));
            told = true;
        }
        if (QFileInfo::exists(shared + "/go")) {
            poll.stop();
            QTest::mouseClick(w->btnTxd2Cnc, Qt::LeftButton);
        }
    });
    poll.start(20);
    sendActiveDocument(test::testSession(), &doc);
    EXPECT_TRUE(told);
    EXPECT_TRUE(errors.empty()) << (errors.empty() ? "" : errors.front().toStdString());
    EXPECT_TRUE(boxes.calls().empty()) << (boxes.calls().empty() ? "" : boxes.calls()[0].text.toStdString());
    setErrorBoxHook({});
}

TEST(TwoEditors, EachMachineGetsItsOwnEditorsProgram)
{
    QTemporaryDir shared;
    for (const char *f : {"tmp", "runtime", "data-A", "data-B"})
        QDir(shared.path()).mkpath(QString::fromLatin1(f));
    QFile::setPermissions(shared.path() + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Line lines[2];
    const char names[2] = {'A', 'B'};
    for (int i = 0; i < 2; ++i) {
        ASSERT_GE(lines[i].master, 0);
        const QString data = shared.path() + "/data-" + names[i];
        // Two machines on the editor's one line: the send window waits for "Sänd".
        lumrik::test::writeFile(data + "/lumrik32.INI", "[ComPorts]\r\nCOM1=" + lines[i].path.toLocal8Bit() + "\r\n");
        for (const char *m : {"M1", "M2"})
            lumrik::test::writeFile(data + '/' + m + ".cfg",
                                    "[Communication]\r\nComPort=1\r\nBaudRate=9600\r\nParity=INGEN\r\nDataBits=8\r\n"
                                    "Protokoll=INGEN\r\nDelayBeforeClose=-1\r\n");
    }

    QProcess editors[2];
    for (int i = 0; i < 2; ++i) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kChildVar, QString(QChar(names[i])));
        env.insert("LUMRIK_TWO_EDITORS_SHARED", shared.path());
        env.insert("DISPLAY", i == 0 ? ":71" : ":72");
        env.remove("WAYLAND_DISPLAY");
        editors[i].setProcessEnvironment(env);
        editors[i].setProcessChannelMode(QProcess::ForwardedChannels);
        editors[i].start(QCoreApplication::applicationFilePath(), {"--gtest_filter=TwoEditors.OneEditorSends"});
        ASSERT_TRUE(editors[i].waitForStarted(10000));
        // Editor B writes its program after A has written its own and waits.
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(shared.path() + "/ready-" + names[i]); }, 60000))
            << names[i];
    }
    const QString folderA = QString::fromLocal8Bit(lumrik::test::readFile(shared.path() + "/ready-A"));
    const QString folderB = QString::fromLocal8Bit(lumrik::test::readFile(shared.path() + "/ready-B"));
    EXPECT_NE(folderA, folderB);
    EXPECT_TRUE(folderA.startsWith(shared.path() + "/tmp/")) << folderA.toStdString();
    EXPECT_TRUE(folderB.startsWith(shared.path() + "/tmp/")) << folderB.toStdString();

    // "Sänd" in both at once.
    lumrik::test::writeFile(shared.path() + "/go", "");
    QElapsedTimer t;
    t.start();
    while ((editors[0].state() != QProcess::NotRunning || editors[1].state() != QProcess::NotRunning)
           && t.elapsed() < 60000) {
        for (Line &l : lines)
            l.take();
        for (QProcess &e : editors)
            if (e.state() != QProcess::NotRunning)
                e.waitForFinished(5);
    }
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(editors[i].state(), QProcess::NotRunning) << names[i];
        lines[i].take();
        EXPECT_EQ(editors[i].exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(editors[i].exitCode(), 0) << names[i];
        EXPECT_EQ(lines[i].received, program(names[i])) << names[i];
    }
    // Each send window removed its own hand-off file when it closed.
    EXPECT_FALSE(QFileInfo::exists(folderA + "/Txd.Tmp"));
    EXPECT_FALSE(QFileInfo::exists(folderB + "/Txd.Tmp"));
}
