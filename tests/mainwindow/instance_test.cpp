// The real program started twice, as a user starts it: the second start hands
// its file to the running editor and ends; whatever it hands over, the running
// editor stays up. Each test has a session of its own: home, program folder,
// temporary folder and runtime folder (where the instance lock and the socket
// live). Message boxes of the running editor are written to a log and
// answered after a while, as a user would (LUMRIK_TEST_BOXLOG).
#include "core/errors.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/progress.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/handover.h"
#include "mainwindow/startup.h"
#include "testsupport.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <vector>

using namespace lumrik;
using namespace lumrik::test;

namespace {

class DesktopSession {
public:
    DesktopSession()
    {
        for (const char *f : {"home", "data", "tmp", "work", "runtime"})
            QDir(root_.path()).mkpath(QString::fromLatin1(f));
        QFile::setPermissions(path("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ~DesktopSession()
    {
        for (auto &p : started_) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
    }
    QString path(const QString &name) const { return root_.path() + '/' + name; }
    // The executable the starts run (the built one unless set).
    void setProgram(const QString &program) { program_ = program; }

    // One start of the program on `display`, in `workFolder`; `boxMs`: how
    // long its message boxes stay up.
    QProcess *start(const QStringList &args, const QString &display = ":91", const QString &workFolder = {},
                    int boxMs = 300)
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = sessionEnvironment(root_.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("LUMRIK_TEST", "1"); // no splash wait
        env.insert("LUMRIK_TEST_BOXLOG", boxLog(display));
        env.insert("LUMRIK_TEST_BOXMS", QString::number(boxMs));
        env.insert("DISPLAY", display);
        env.remove("WAYLAND_DISPLAY");
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(workFolder.isEmpty() ? path("work") : workFolder);
        p->setProgram(program_);
        p->setArguments(args);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->setStandardOutputFile(QProcess::nullDevice());
        p->start();
        p->waitForStarted(5000);
        started_.push_back(std::move(p));
        return started_.back().get();
    }
    // The running editor of a display: started, and listening for second starts.
    QProcess *startEditor(const QString &display = ":91", int boxMs = 300)
    {
        QProcess *p = start({}, display, {}, boxMs);
        const QString socket = path("runtime/lumrik32-_" + display.mid(1).section('.', 0, 0) + ".sock");
        EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 10000)) << socket.toStdString();
        return p;
    }
    // A second start that must hand over and end at once.
    void handOver(const QStringList &args, const QString &display = ":91", const QString &workFolder = {})
    {
        QProcess *p = start(args, display, workFolder);
        EXPECT_TRUE(p->waitForFinished(10000));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0);
    }
    QString boxLog(const QString &display) const { return path("boxes" + QString(display).remove(':') + ".log"); }
    QStringList boxes(const QString &display = ":91") const
    {
        return QString::fromUtf8(readFile(boxLog(display))).split('\n', Qt::SkipEmptyParts);
    }
    // Waits until the editor of `display` has shown `count` boxes and answered them.
    bool waitBoxes(int count, const QString &display = ":91", int answerMs = 300)
    {
        const bool shown = QTest::qWaitFor([&] { return boxes(display).size() >= count; }, 10000);
        QTest::qWait(answerMs + 300);
        return shown && boxes(display).size() == count;
    }

private:
    QTemporaryDir root_;
    QString program_ = QStringLiteral(LUMRIK_TEST_PROGRAM);
    std::vector<std::unique_ptr<QProcess>> started_;
};

bool running(QProcess *p) { return p->state() == QProcess::Running; }

}

TEST(RealProgram, HandOverOfWhatCannotBeOpenedIsToldAndTheEditorLives)
{
    DesktopSession s;
    QProcess *editor = s.startEditor();
    // A missing file, named relative to the second start's own folder.
    s.handOver({"saknas.nc"});
    ASSERT_TRUE(s.waitBoxes(1));
    EXPECT_EQ(s.boxes()[0], QString::fromUtf8("Lumrik-32\tFilen \"%1\" kan inte öppnas. | Filen finns inte.")
                                .arg(s.path("work/saknas.nc")));
    EXPECT_TRUE(running(editor));

    // A folder.
    QDir().mkpath(s.path("work/NC-mapp"));
    s.handOver({s.path("work/NC-mapp")});
    ASSERT_TRUE(s.waitBoxes(2));
    EXPECT_TRUE(s.boxes()[1].contains(QString::fromUtf8("Det är en mapp, inte en fil.")));
    EXPECT_TRUE(running(editor));

    // Not a regular file.
    ASSERT_EQ(QProcess::execute("mkfifo", {s.path("work/ror")}), 0);
    s.handOver({"\"" + s.path("work/ror") + "\""});
    ASSERT_TRUE(s.waitBoxes(3));
    EXPECT_TRUE(s.boxes()[2].contains(QString::fromUtf8("Det är ingen vanlig fil.")));
    EXPECT_TRUE(running(editor));
}

TEST(RealProgram, RelativePathIsTheSecondStartsAndFilesOpenAfterAModalBox)
{
    DesktopSession s;
    // The editor runs in one folder; the second start names a file of its own
    // folder. Its boxes stay up long enough for a second start to come and
    // go, however slowly the machine starts it.
    constexpr int kBoxMs = 8000;
    QProcess *editor = s.startEditor(":91", kBoxMs);
    QDir().mkpath(s.path("other"));
    writeFile(s.path("other/REL.NC"), "%\r\nO1000\r\nN10 G0 X0.\r\n%\r\n");
    writeFile(s.path("work/FINNS.NC"), "N10\r\n");
    s.handOver({"REL.NC"}, ":91", s.path("other"));

    // A box is up when the next file is handed over: the second start is
    // answered at once; the file opens after the box.
    s.handOver({"saknas.nc"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.boxes().size() == 1; }, 10000));
    // Boxes gone so far: none more may go before the second start is answered.
    const auto gone = [&] { return readFile(s.boxLog(":91") + ".answered").count('\n'); };
    const qsizetype goneBefore = gone();
    QProcess *during = s.start({"FINNS.NC"});
    EXPECT_TRUE(during->waitForFinished(kBoxMs));
    EXPECT_EQ(gone(), goneBefore) << "answered before the box went";
    EXPECT_EQ(s.boxes().size(), 1);
    // The files that open make no box; a last missing one shows the editor
    // has dealt with everything before it.
    s.handOver({"saknas2.nc"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.boxes().size() >= 2; }, 2 * kBoxMs + 10000));
    QTest::qWait(500);
    const QStringList b = s.boxes();
    ASSERT_EQ(b.size(), 2) << b.join('\n').toStdString();
    EXPECT_TRUE(b[0].contains(s.path("work/saknas.nc")));
    EXPECT_TRUE(b[1].contains(s.path("work/saknas2.nc")));
    EXPECT_TRUE(running(editor));
}

TEST(RealProgram, SettingsFileIsNamedAfterTheExecutable)
{
    DesktopSession s;
    QDir().mkpath(s.path("bin"));
    const QString copy = s.path("bin/verkstad");
    ASSERT_TRUE(QFile::copy(QStringLiteral(LUMRIK_TEST_PROGRAM), copy));
    ASSERT_TRUE(QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    s.setProgram(copy);
    QProcess *editor = s.startEditor();
    // A first start puts the sample settings in place under the program's own name.
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(s.path("data/verkstad.INI")); }, 10000));
    EXPECT_FALSE(QFileInfo::exists(s.path("data/lumrik32.INI")));
    EXPECT_TRUE(running(editor));
}

TEST(RealProgram, TwoStartsCloseTogetherGiveOneEditor)
{
    // Started at once, or the second once the first listens for it.
    for (bool firstListens : {false, true}) {
        DesktopSession s;
        QProcess *first = firstListens ? s.startEditor() : s.start({});
        QProcess *second = s.start({});
        // One of them hands over and ends; the other is the editor.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !running(first) || !running(second); }, 10000)) << firstListens;
        QTest::qWait(1000);
        EXPECT_NE(running(first), running(second)) << firstListens;
        QProcess *ended = running(first) ? second : first;
        EXPECT_EQ(ended->exitCode(), 0);
        EXPECT_EQ(ended->exitStatus(), QProcess::NormalExit);
        if (firstListens) {
            EXPECT_TRUE(running(first));
        }
    }
}

TEST(RealProgram, AnotherDisplayIsAnotherEditor)
{
    DesktopSession s;
    QProcess *one = s.startEditor(":91");
    QProcess *two = s.startEditor(":92");
    QTest::qWait(500);
    EXPECT_TRUE(running(one));
    EXPECT_TRUE(running(two));
    // A start on a screen of the first display belongs to the first editor.
    s.handOver({"saknas.nc"}, ":91.0");
    ASSERT_TRUE(s.waitBoxes(1, ":91"));
    EXPECT_TRUE(s.boxes(":92").isEmpty());
    s.handOver({"saknas.nc"}, ":92");
    ASSERT_TRUE(s.waitBoxes(1, ":92"));
    EXPECT_TRUE(running(one));
    EXPECT_TRUE(running(two));
}

// The editor of this test process, started by the real start-up, with its
// own program folder; error reports are collected in `errors`.
struct EditorHere {
    TempEnv env;
    std::vector<QString> errors;
    QByteArray oldData = qgetenv("LUMRIK_DATA");
    EditorHere()
    {
        setErrorBoxHook([this](const QString &t) {
            errors.push_back(t);
            return true;
        });
        qputenv("LUMRIK_DATA", QFile::encodeName(env.dataPath()));
    }
    ~EditorHere()
    {
        setErrorBoxHook({});
        if (oldData.isEmpty())
            qunsetenv("LUMRIK_DATA");
        else
            qputenv("LUMRIK_DATA", oldData);
    }
};

// The editor of this test process is the running instance (started by the
// real start-up); the second starts are the real program. What the editor
// holds can be looked at directly.
TEST(RunningEditor, HandOversKeepTheUnsavedTextAndOpenFullPaths)
{
    EditorHere here;
    TempEnv &env = here.env;
    std::vector<QString> &errors = here.errors;
    QTemporaryDir other;
    MsgBoxRecorder boxes;
    ASSERT_TRUE(isFirstInstance());
    std::unique_ptr<frmMain> w(Main({QStringLiteral("lumrik32")}));
    ASSERT_TRUE(w);

    // Typed into a new document, not saved.
    w->mnuFileNew_Click();
    frmDocument *typed = w->activeDocument();
    ASSERT_TRUE(typed);
    for (QChar c : QStringLiteral("N10 G0 X5.")) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(typed->txtText->focusProxy(), &press);
    }
    ASSERT_EQ(typed->txtText->TextAll(), "N10 G0 X5.");

    const auto secondStart = [&](const QStringList &args, const QString &folder) {
        QProcess p;
        p.setProgram(QStringLiteral(LUMRIK_TEST_PROGRAM));
        p.setArguments(args);
        p.setWorkingDirectory(folder);
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        p.start();
        // This process answers while waiting.
        EXPECT_TRUE(QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000));
        EXPECT_EQ(p.exitCode(), 0);
    };

    // A relative path is the second start's: the full path is the caption.
    writeFile(other.path() + "/REL.NC", "N10 G1 X1.\r\n");
    secondStart({"REL.NC"}, other.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->documents().size() == 2; }, 5000));
    EXPECT_EQ(w->activeDocument()->caption(), other.path() + "/REL.NC");
    EXPECT_EQ(w->activeDocument()->txtText->TextAll(), "N10 G1 X1.\r\n");

    // A missing file and a folder: a message each, nothing else.
    secondStart({"saknas.nc"}, other.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.calls().size() == 1; }, 5000));
    secondStart({other.path()}, env.dataPath());
    ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.calls().size() == 2; }, 5000));
    EXPECT_TRUE(boxes.calls()[0].text.contains(other.path() + "/saknas.nc"));
    EXPECT_TRUE(boxes.calls()[1].text.contains(QString::fromUtf8("Det är en mapp")));
    EXPECT_EQ(w->documents().size(), 2);
    EXPECT_TRUE(errors.empty());

    // While a modal window is up, the second start is answered at once and the
    // file opens after the window has gone.
    writeFile(other.path() + "/SEN.NC", "N20\r\n");
    int openDuringDialog = -1;
    {
        QDialog dialog(w.get());
        QTimer::singleShot(0, &dialog, [&] {
            secondStart({"SEN.NC"}, other.path());
            QTest::qWait(300);
            openDuringDialog = int(w->documents().size());
            dialog.accept();
        });
        dialog.exec();
    }
    EXPECT_EQ(openDuringDialog, 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->documents().size() == 3; }, 5000));
    EXPECT_EQ(w->activeDocument()->caption(), other.path() + "/SEN.NC");

    // While a whole-program operation is under way (the event loop running
    // between its pieces), the handed-over file waits: nothing opens into the
    // middle of it.
    writeFile(other.path() + "/LANG.NC", "N30\r\n");
    int openDuringWork = -1;
    {
        LongWork work;
        secondStart({"LANG.NC"}, other.path());
        EXPECT_TRUE(QTest::qWaitFor([] { return LongWork::waiting() > 0; }, 5000)) << "the hand-over came";
        openDuringWork = int(w->documents().size());
    }
    EXPECT_EQ(openDuringWork, 3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->documents().size() == 4; }, 5000));
    EXPECT_EQ(w->activeDocument()->caption(), other.path() + "/LANG.NC");

    // The typed text is still there, unsaved.
    EXPECT_EQ(w->documents().first(), typed);
    EXPECT_EQ(typed->txtText->TextAll(), "N10 G0 X5.");
    EXPECT_TRUE(typed->txtText->IsDirty());

    typed->txtText->setIsDirty(false);
    w.reset();
}

// A file handed over while the exit asks about a changed document is not
// lost: the exit stops and the file opens.
TEST(RunningEditor, AHandOverDuringTheExitPromptStopsTheExitAndOpens)
{
    EditorHere here;
    QTemporaryDir other;
    ASSERT_TRUE(isFirstInstance());
    std::unique_ptr<frmMain> w(Main({QStringLiteral("lumrik32")}));
    ASSERT_TRUE(w);
    w->mnuFileNew_Click();
    frmDocument *typed = w->activeDocument();
    typed->txtText->setTextAll("N10 G0 X5.");
    typed->txtText->setIsDirty(true);
    writeFile(other.path() + "/SEN.NC", "N20\r\n");

    int secondExit = -1, prompts = 0;
    setMsgBoxHook([&](const MsgBoxCall &c) {
        if (!c.text.contains(QString::fromUtf8("har ändrats, skall det sparas")))
            return int(MbOk);
        if (++prompts == 1) {
            QProcess p;
            p.setProgram(QStringLiteral(LUMRIK_TEST_PROGRAM));
            p.setArguments({"SEN.NC"});
            p.setWorkingDirectory(other.path());
            p.setStandardOutputFile(QProcess::nullDevice());
            p.setStandardErrorFile(QProcess::nullDevice());
            p.start();
            EXPECT_TRUE(QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000));
            secondExit = p.exitCode();
        }
        return int(MbNo);
    });
    w->show();
    EXPECT_FALSE(w->close());
    EXPECT_EQ(secondExit, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->documents().size() >= 1
                                             && w->activeDocument()->caption() == other.path() + "/SEN.NC"; },
                                5000));
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(here.errors.empty());

    setMsgBoxHook({});
    for (frmDocument *d : w->documents())
        d->txtText->setIsDirty(false);
    w.reset();
}

// An editor that does not answer (stopped here) is told of; the start does
// not give up in silence.
TEST(RealProgram, ASecondStartThatGetsNoAnswerSaysSo)
{
    DesktopSession s;
    QProcess *editor = s.startEditor();
    const qint64 pid = editor->processId();
    ASSERT_EQ(::kill(pid_t(pid), SIGSTOP), 0);
    QProcess *second = s.start({"O1.NC"});
    const bool ended = second->waitForFinished(30000);
    ::kill(pid_t(pid), SIGCONT);
    ASSERT_TRUE(ended);
    EXPECT_EQ(second->exitCode(), 1);
    const QStringList b = s.boxes();
    ASSERT_FALSE(b.isEmpty());
    EXPECT_TRUE(b.last().contains(QString::fromUtf8("svarar inte"))) << b.join('\n').toStdString();
    EXPECT_TRUE(b.last().contains(s.path("work/O1.NC")));
}

TEST(RunningEditor, CommandLineAndHandOverTakeTheMachineOfTheMainWindow)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    std::vector<QString> errors;
    setErrorBoxHook([&](const QString &t) {
        errors.push_back(t);
        return true;
    });
    // The machine colours from "test.syn": G in red; the default "fanuc" would give another colour.
    env.write("lumrik32.INI", "[Settings]\r\nLastCnc=DEMO\r\n");
    env.write("DEMO.cfg", "[Settings]\r\nDefaultPath=[exedir]\\ncprog\\\r\nColorFile=test\r\n");
    env.write("test.syn", "[Context]\r\n1=G\r\n[CColor]\r\n1=0000FF\r\n");
    const QString col = env.write("ncprog/col.nc", "G0 X1\r\n");
    // A name holding "\" is a file of its own, beside a/b.nc.
    env.write("ncprog/a/b.nc", "OTHER\r\n");
    const QByteArray slashed = QFile::encodeName(env.path("ncprog")) + "/a\\b.nc";
    {
        QFile f;
        ASSERT_TRUE(RkOpenFile(f, RkDecodeName(slashed), QIODevice::WriteOnly));
        f.write("G1 Y2\r\n");
    }
    const QByteArray oldData = qgetenv("LUMRIK_DATA");
    qputenv("LUMRIK_DATA", QFile::encodeName(env.dataPath()));
    ASSERT_TRUE(isFirstInstance());
    std::unique_ptr<frmMain> w(Main({QStringLiteral("lumrik32"), col}));
    ASSERT_TRUE(w);
    const QColor red(255, 0, 0);
    ASSERT_EQ(w->documents().size(), 1);
    frmDocument *first = w->activeDocument();
    EXPECT_EQ(first->sMaskin, "DEMO");
    ASSERT_TRUE(test::untilLongWorkIsOver()); // the colouring after the opening
    EXPECT_EQ(first->txtText->characterForeColorAt(1, 1), red);

    // Handed over by a second start, with a "\" in its name.
    QProcess p;
    p.setProgram(QStringLiteral(LUMRIK_TEST_PROGRAM));
    p.setArguments({QString::fromUtf8("a\\b.nc")});
    p.setWorkingDirectory(env.path("ncprog"));
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->documents().size() == 2; }, 5000));
    frmDocument *handed = w->activeDocument();
    EXPECT_EQ(RkPathBytes(handed->caption()), slashed);
    EXPECT_EQ(handed->txtText->TextAll(), "G1 Y2\r\n");
    EXPECT_EQ(handed->sMaskin, "DEMO");
    ASSERT_TRUE(test::untilLongWorkIsOver());
    EXPECT_EQ(handed->txtText->characterForeColorAt(1, 1), red);
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(errors.empty());

    w.reset();
    ::unlink(slashed.constData());
    setErrorBoxHook({});
    if (oldData.isEmpty())
        qunsetenv("LUMRIK_DATA");
    else
        qputenv("LUMRIK_DATA", oldData);
}
