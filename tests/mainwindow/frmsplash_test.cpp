// The splash window (version line, fade-in) and the start-up wait.
#include "core/services.h"
#include "mainwindow/frmabout.h"
#include "mainwindow/frmsplash.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace lumrik;

TEST(Splash, VersionLine)
{
    EXPECT_EQ(programVersionNumber(), "1.0.0");
    EXPECT_EQ(splashVersionText(), "Version 1.0.0 - " + programVersion().comments);
    frmSplash s(false);
    EXPECT_FALSE(s.Picture1->pixmap().isNull());
}

TEST(Splash, CentredOnTheScreen)
{
    frmSplash s(false);
    s.show();
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((s.frameGeometry().center() - avail.center()).manhattanLength(), 2);
    EXPECT_TRUE(avail.contains(s.frameGeometry()));
}

TEST(Splash, FadesInToTwoHundredFortyAndStops)
{
    frmSplash s(true);
    EXPECT_TRUE(s.Timer1->isActive());
    EXPECT_EQ(s.Timer1->interval(), 50);
    EXPECT_DOUBLE_EQ(s.windowOpacity(), 0.0); // invisible until the first tick
    for (int tick = 1; tick <= 15; ++tick) {
        s.Timer1_Timer();
        EXPECT_EQ(s.opacity(), 16 * tick);
        EXPECT_NEAR(s.windowOpacity(), 16 * tick / 255.0, 0.01);
    }
    EXPECT_TRUE(s.Timer1->isActive());
    s.Timer1_Timer(); // 256: stops, the window stays at 240
    EXPECT_FALSE(s.Timer1->isActive());
    EXPECT_NEAR(s.windowOpacity(), 240 / 255.0, 0.01);
}

TEST(Splash, TimerRunsByItself)
{
    frmSplash s(true);
    s.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.opacity() > 0; }, 30000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !s.Timer1->isActive(); }, 30000));
    EXPECT_EQ(s.opacity(), 256);
}

TEST(Splash, OpaqueAtOnceWithoutLayeredWindows)
{
    frmSplash s(false);
    EXPECT_FALSE(s.Timer1->isActive());
    EXPECT_DOUBLE_EQ(s.windowOpacity(), 1.0);
}

TEST(Splash, WaitEndsThreeSecondsAfterTheRoundedStart)
{
    EXPECT_EQ(splashWaitMs(QTime(12, 0, 0, 0)), 3000);
    EXPECT_EQ(splashWaitMs(QTime(12, 0, 0, 499)), 2501);
    EXPECT_EQ(splashWaitMs(QTime(12, 0, 0, 500)), 3500);
    EXPECT_EQ(splashWaitMs(QTime(12, 0, 0, 999)), 3001);
    // Just before midnight the wait is as long as at any other time.
    EXPECT_EQ(splashWaitMs(QTime(23, 59, 59, 700)), 3300);
}

namespace {
bool splashShown()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == "frmSplash" && w->isVisible())
            return true;
    return false;
}
}

TEST(Splash, StartupSplashStaysForItsWaitThenGoes)
{
    // The test main leaves the wait out; a start with a wait serves events
    // (the fade-in runs) until it has passed.
    EXPECT_EQ(testHooks().splashWaitMs, 0);
    testHooks().splashWaitMs = 400;
    bool seen = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { seen = seen || splashShown(); });
    probe.start(20);
    QElapsedTimer t;
    t.start();
    showStartupSplash();
    EXPECT_GE(t.elapsed(), 400);
    EXPECT_TRUE(seen);
    EXPECT_FALSE(splashShown());
    testHooks().splashWaitMs = 0;
    showStartupSplash();
    EXPECT_FALSE(splashShown());
}

TEST(Splash, WaitEndsOnItsDeadlineWhateverRunsMeanwhile)
{
    testHooks().splashWaitMs = 600;
    // Meanwhile: a loop of someone else's quit from outside, a flood of
    // events, the splash closed and then deleted by somebody else.
    QEventLoop *other = nullptr;
    QTimer nested, flood, closer;
    nested.setSingleShot(true);
    QObject::connect(&nested, &QTimer::timeout, [&] {
        QEventLoop loop;
        other = &loop;
        QTimer::singleShot(100, &loop, &QEventLoop::quit);
        loop.exec();
        other = nullptr;
    });
    int floods = 0;
    QObject::connect(&flood, &QTimer::timeout, [&] { ++floods; });
    int closes = 0;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == "frmSplash") {
                if (closes++ == 0)
                    w->close();
                else
                    w->deleteLater();
            }
    });
    nested.start(50);
    flood.start(0);
    closer.start(150);
    QElapsedTimer t;
    t.start();
    showStartupSplash();
    EXPECT_GE(t.elapsed(), 600);
    EXPECT_GT(floods, 0);
    EXPECT_GE(closes, 1);
    EXPECT_EQ(other, nullptr);
    flood.stop();
    closer.stop();
    EXPECT_FALSE(splashShown());

    // The bare wait too, with nothing else running.
    t.restart();
    waitServingEvents(200);
    EXPECT_GE(t.elapsed(), 200);
    waitServingEvents(0);
    testHooks().splashWaitMs = 0;
}

TEST(Splash, DeletedFromElsewhereWhileItIsBeingShown)
{
    // Showing a splash before the event loop runs serves events inside show().
    // Something served there runs a loop of its own in which the splash is
    // deleted the proper way (deleteLater): the start goes on, waits its time
    // and the splash is gone.
    testHooks().splashWaitMs = 300;
    QPointer<QWidget> victim;
    bool ran = false;
    QTimer::singleShot(0, [&] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == "frmSplash")
                victim = w;
        ASSERT_TRUE(victim);
        ran = true;
        QEventLoop loop;
        QMetaObject::invokeMethod(
            &loop,
            [&] {
                victim->deleteLater();
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
        loop.exec();
    });
    QElapsedTimer t;
    t.start();
    showStartupSplash();
    EXPECT_GE(t.elapsed(), 300);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(victim);
    EXPECT_FALSE(splashShown());
    testHooks().splashWaitMs = 0;
}
