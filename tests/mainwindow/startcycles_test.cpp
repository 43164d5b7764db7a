// The program started and ended a hundred times in a row on a virtual X
// display, as a desktop starts it, with a registered plug-in in its plug-ins
// folder: every start shows its main window. The splash keeps a short wait of
// its own, so that each start goes through it.
#include "core/globals.h"
#include "documents/pluginfile.h"
#include "documents/pluginlist.h"
#include "mainwindow/startup.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>

using namespace lumrik;

namespace {

// A virtual X server on a free display, for as long as it lives.
class VirtualDisplay {
public:
    VirtualDisplay()
    {
        server_.setProgram(QStringLiteral("Xvfb"));
        server_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                              QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                              QStringLiteral("tcp"),
                              // No reset when a start's program ends: the next start must
                              // not meet a server that is starting over.
                              QStringLiteral("-noreset")});
        server_.setStandardErrorFile(QProcess::nullDevice());
        server_.start();
        if (!server_.waitForStarted(10000))
            return;
        QByteArray out;
        while (!out.contains('\n') && server_.waitForReadyRead(30000))
            out += server_.readAllStandardOutput();
        if (out.trimmed().isEmpty())
            return;
        name_ = ':' + QString::fromLatin1(out.trimmed());
    }
    ~VirtualDisplay()
    {
        server_.terminate();
        if (!server_.waitForFinished(10000))
            server_.kill();
        server_.waitForFinished(10000);
    }
    QString name() const { return name_; }

private:
    QProcess server_;
    QString name_;
};

// Whether a window with this exact title is mapped and viewable on the display.
bool windowShown(const QString &display, const QString &title)
{
    QProcess p;
    p.start(QStringLiteral("xwininfo"), {QStringLiteral("-display"), display, QStringLiteral("-name"), title});
    if (!p.waitForFinished(30000))
        return false;
    return p.exitCode() == 0 && p.readAllStandardOutput().contains("Map State: IsViewable");
}

}

TEST(RealProgramOnX, HundredStartsInARowEachShowTheMainWindow)
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty())
        GTEST_SKIP() << "needs Xvfb and xwininfo (scripts/setup.sh installs them)";
    VirtualDisplay display;
    ASSERT_FALSE(display.name().isEmpty()) << "Xvfb did not start";

    QTemporaryDir root;
    for (const char *f : {"home", "data/plugins", "tmp", "runtime"})
        QDir(root.path()).mkpath(QString::fromLatin1(f));
    const auto path = [&](const QString &name) { return root.path() + '/' + name; };
    QFile::setPermissions(path("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The program folder as a first start leaves it, with the plug-in registered.
    installSampleData(path("data"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(LUMRIK_TEST_SAMPLEPLUGIN), path("data/plugins/Omvandla.so")));
    QFile ini(path("data/lumrik32.INI"));
    ASSERT_TRUE(ini.open(QIODevice::Append));
    const PluginFile checked(path("data/plugins/Omvandla.so"));
    ASSERT_TRUE(checked.ok()) << checked.reason().toStdString();
    ini.write("\r\n[Plugins]\r\nOmvandla.plugin=True\r\nOmvandla.plugin.sha256=" + checked.fingerprint().toLatin1()
              + "\r\n");
    ini.close();

    QProcessEnvironment env = test::sessionEnvironment(root.path());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("DISPLAY", display.name());
    env.remove("WAYLAND_DISPLAY");
    env.insert("LUMRIK_TEST_SPLASHMS", "300"); // a short splash wait, served as the real one
    env.insert("LUMRIK_TEST_BOXLOG", path("boxes.log"));

    constexpr int kStarts = 100;
    QElapsedTimer total;
    total.start();
    QStringList failed;
    for (int i = 0; i < kStarts; ++i) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProgram(QStringLiteral(LUMRIK_TEST_PROGRAM));
        p.setWorkingDirectory(path("home"));
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(path("stderr.log"), QIODevice::Append);
        p.start();
        ASSERT_TRUE(p.waitForStarted(30000)) << "start " << i;
        // A generous ceiling that only a start that never comes up reaches.
        const bool shown = QTest::qWaitFor(
            [&] { return p.state() != QProcess::Running || windowShown(display.name(), "Lumrik-32"); }, 120000);
        if (!shown || p.state() != QProcess::Running)
            failed << QStringLiteral("start %1: %2").arg(i).arg(p.state() == QProcess::Running ? "no main window"
                                                                                               : "ended");
        p.terminate();
        if (!p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished(30000);
        }
    }
    std::printf("%d starts and exits in %.1f s\n", kStarts, double(total.elapsed()) / 1000.0);
    EXPECT_TRUE(failed.isEmpty()) << failed.join('\n').toStdString() << "\n" << test::readFile(path("stderr.log")).toStdString();
    // The registered plug-in loaded every time: nothing was told.
    EXPECT_FALSE(QFile::exists(path("boxes.log"))) << test::readFile(path("boxes.log")).toStdString();
}
