#include "mainwindow/handover.h"

#include "core/msgbox.h"

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QLocalServer>
#include <QTimer>
#include <unistd.h>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QLocalSocket>
#include <atomic>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {
// Counts the beeps of the second start instead of sounding them.
struct BeepCounter {
    std::atomic<int> beeps{0};
    BeepCounter() { setBeepHook([this] { ++beeps; }); }
    ~BeepCounter() { setBeepHook({}); }
};

QString uniqueName() { return QStringLiteral("lumrik-test-%1-%2").arg(getpid()).arg(QDateTime::currentMSecsSinceEpoch()); }
}

TEST(HandOver, NoRunningInstanceMeansNoHandOver)
{
    BeepCounter counter;
    EXPECT_FALSE(ActivatePrevInstance("/nc/a.nc", uniqueName(), 300));
    EXPECT_EQ(counter.beeps, 0);
}

TEST(HandOver, CommandLineReachesTheRunningInstance)
{
    const QString name = uniqueName();
    HandOverServer server;
    ASSERT_TRUE(server.listen(name));
    QSignalSpy spy(&server, &HandOverServer::handedOver);
    BeepCounter counter;
    // The second start runs in its own thread, as it would in its own process.
    bool sent = false;
    QThread *t = QThread::create([&] { sent = ActivatePrevInstance(QString::fromUtf8("\"/nc/Fräs prog.nc\""), name); });
    t->start();
    EXPECT_TRUE(spy.wait(3000));
    t->wait();
    delete t;
    EXPECT_TRUE(sent);
    EXPECT_EQ(counter.beeps, 1); // the second start beeps once it has found the editor
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), QString::fromUtf8("\"/nc/Fräs prog.nc\""));
}

TEST(HandOver, EmptyCommandLineOnlyAsksToComeForward)
{
    const QString name = uniqueName();
    HandOverServer server;
    ASSERT_TRUE(server.listen(name));
    QSignalSpy spy(&server, &HandOverServer::handedOver);
    QThread *t = QThread::create([&] { ActivatePrevInstance(QString(), name); });
    t->start();
    EXPECT_TRUE(spy.wait(3000));
    t->wait();
    delete t;
    ASSERT_EQ(spy.count(), 1);
    EXPECT_TRUE(spy.at(0).at(0).toString().isEmpty());
}

TEST(HandOver, CallerIsAnsweredAndClosedBeforeAnythingIsOpened)
{
    const QString name = uniqueName();
    HandOverServer server;
    ASSERT_TRUE(server.listen(name));
    QThread *t = QThread::create([&] { ActivatePrevInstance("/nc/a.nc", name); });
    bool callerDone = false;
    int calls = 0;
    // What is opened may show a modal box: here a nested event loop as long
    // as one, in which the second start ends and its connection goes.
    QObject::connect(&server, &HandOverServer::handedOver, [&](const QString &) {
        ++calls;
        QEventLoop box;
        QTimer::singleShot(300, &box, &QEventLoop::quit);
        box.exec();
        callerDone = t->isFinished();
    });
    t->start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls == 1 && callerDone; }, 5000));
    t->wait();
    delete t;
    QTest::qWait(50);
    EXPECT_EQ(calls, 1);
}

TEST(HandOver, FrameThatHoldsNoPathIsDropped)
{
    const QString name = uniqueName();
    HandOverServer server;
    ASSERT_TRUE(server.listen(name));
    QSignalSpy spy(&server, &HandOverServer::handedOver);
    // An odd length or a huge one.
    for (const QByteArray &head : {QByteArray("\x00\x00\x00\x03", 4), QByteArray("\x7f\x00\x00\x00", 4)}) {
        QLocalSocket s;
        s.connectToServer(name);
        ASSERT_TRUE(s.waitForConnected(1000));
        s.write(head + "abc");
        s.flush();
        EXPECT_TRUE(QTest::qWaitFor([&] { return s.state() == QLocalSocket::UnconnectedState; }, 2000));
    }
    EXPECT_EQ(spy.count(), 0);
}

TEST(HandOver, OneInstancePerUserAndDisplay)
{
    const QByteArray oldDisplay = qgetenv("DISPLAY"), oldWayland = qgetenv("WAYLAND_DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("DISPLAY", ":3");
    const QString three = handOverName(), lock = instanceLockPath();
    qputenv("DISPLAY", ":3.1"); // another screen of the same display
    EXPECT_EQ(handOverName(), three);
    EXPECT_EQ(instanceLockPath(), lock);
    qputenv("DISPLAY", ":4");
    EXPECT_NE(handOverName(), three);
    EXPECT_NE(instanceLockPath(), lock);
    qputenv("WAYLAND_DISPLAY", "wayland-1");
    EXPECT_EQ(sessionDisplay(), "wayland-wayland-1");
    // Both live in the session's runtime folder.
    EXPECT_TRUE(three.startsWith(QDir::cleanPath(qEnvironmentVariable("XDG_RUNTIME_DIR")) + "/"));
    EXPECT_TRUE(lock.startsWith(QDir::cleanPath(qEnvironmentVariable("XDG_RUNTIME_DIR")) + "/"));
    qputenv("DISPLAY", oldDisplay);
    if (oldWayland.isEmpty())
        qunsetenv("WAYLAND_DISPLAY");
    else
        qputenv("WAYLAND_DISPLAY", oldWayland);
    if (oldDisplay.isEmpty())
        qunsetenv("DISPLAY");
}
