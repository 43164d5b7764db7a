#include "core/globals.h"
#include "core/progress.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

// Qt's own door from the platform into the application (Qt's private
// headers): a key queued through it waits in the window system's queue, as
// typed input does, until the event loop takes it. (The offscreen platform
// the tests run on hands input over at once otherwise.)
#include <qpa/qwindowsysteminterface.h>

using namespace lumrik;

TEST(Progress, AbortButtonStopsTheRunAndTheNextRunStartsClean)
{
    int done = 0;
    {
        ProgressRun run(nullptr, 1000000);
        ASSERT_NE(run.dialog(), nullptr);
        EXPECT_TRUE(run.dialog()->isVisible());
        EXPECT_EQ(run.dialog()->windowModality(), Qt::ApplicationModal);
        QTimer::singleShot(50, run.dialog()->btnProgessAbort, [&] { run.dialog()->btnProgessAbort->click(); });
        for (int i = 0; i < 1000000; ++i) {
            if (!run.step(i))
                break;
            QTest::qWait(0);
            ++done;
        }
        EXPECT_TRUE(gRkAbort);
    }
    EXPECT_LT(done, 1000000);
    ProgressRun again(nullptr, 10);
    EXPECT_FALSE(gRkAbort);
    EXPECT_TRUE(again.step(5));
}

TEST(Progress, CloseBoxCountsAsAbortAndKeepsTheDialog)
{
    frmProgress dlg;
    dlg.show();
    EXPECT_FALSE(dlg.close());
    EXPECT_TRUE(dlg.bAbort);
    EXPECT_TRUE(dlg.isVisible());
    gRkAbort = false;
}

// The test hook stops every run at the same place, whatever the machine's
// speed, the way the abort button does; without it runs go to the end.
TEST(Progress, AbortHookStopsEveryRunAtItsValue)
{
    ProgressRun::abortAtForTests(300);
    for (int round = 0; round < 2; ++round) {
        ProgressRun run(nullptr, 1000);
        int done = 0;
        for (int i = 1; i <= 1000 && run.step(i); ++i)
            done = i;
        EXPECT_EQ(done, 299);
        EXPECT_TRUE(run.aborted());
        ASSERT_NE(run.dialog(), nullptr);
        EXPECT_TRUE(run.dialog()->bAbort);
    }
    ProgressRun::abortAtForTests(0);
    ProgressRun run(nullptr, 1000);
    EXPECT_TRUE(run.step(1000));
    EXPECT_FALSE(gRkAbort);
}


// ----- long work ------------------------------------------------------------------

namespace {

// Events served at every serveLongWork() while it lives; the usual interval after.
struct ServeEveryCall {
    ServeEveryCall() { LongWork::serveEveryForTests(0); }
    ~ServeEveryCall() { LongWork::serveEveryForTests(-1); }
};

// A key pressed on a window, in the queue of typed input.
void typeKey(QWindow *window, Qt::Key key, const QString &text = {})
{
    ASSERT_NE(window, nullptr);
    QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
        window, QEvent::KeyPress, key, Qt::NoModifier, text);
}

}

// Long work is under way while a scope of it or a progress run lives, the
// outer one too when an inner one ends; events are served only then, and
// every posted event that is not input runs at each serving.
TEST(LongWork, ServesPostedEventsOnlyWhileUnderWay)
{
    ServeEveryCall every;
    int ran = 0;
    auto post = [&] { QMetaObject::invokeMethod(qApp, [&] { ++ran; }, Qt::QueuedConnection); };

    EXPECT_FALSE(LongWork::underWay());
    post();
    EXPECT_FALSE(serveLongWork());
    EXPECT_EQ(ran, 0);
    {
        LongWork outer;
        EXPECT_TRUE(LongWork::underWay());
        EXPECT_TRUE(serveLongWork());
        EXPECT_EQ(ran, 1);
        {
            LongWork inner;
            post();
            EXPECT_TRUE(serveLongWork());
            EXPECT_EQ(ran, 2);
        }
        EXPECT_TRUE(LongWork::underWay());
        post();
        EXPECT_TRUE(serveLongWork());
        EXPECT_EQ(ran, 3);
    }
    EXPECT_FALSE(LongWork::underWay());
    post();
    EXPECT_FALSE(serveLongWork());
    EXPECT_EQ(ran, 3);
    {
        ProgressRun run(nullptr, 10);
        EXPECT_TRUE(LongWork::underWay());
        EXPECT_TRUE(serveLongWork());
        EXPECT_EQ(ran, 4);
    }
    EXPECT_FALSE(LongWork::underWay());
    EXPECT_FALSE(serveLongWork());
}

// Typed input waits while long work without the progress dialog goes on (the
// other events run), and reaches its window once the work is over. With the
// dialog up input is served, also in long work nested in its run: a key on
// the dialog aborts the run.
TEST(LongWork, InputWaitsUnlessTheProgressDialogIsUp)
{
    ServeEveryCall every;
    QLineEdit edit;
    edit.show();
    QCoreApplication::processEvents();
    {
        LongWork work;
        bool ran = false;
        typeKey(edit.windowHandle(), Qt::Key_A, QStringLiteral("a"));
        QMetaObject::invokeMethod(qApp, [&] { ran = true; }, Qt::QueuedConnection);
        EXPECT_TRUE(serveLongWork());
        EXPECT_TRUE(ran);
        EXPECT_EQ(edit.text(), QString());
        EXPECT_TRUE(serveLongWork());
        EXPECT_EQ(edit.text(), QString());
    }
    // Taken at the loop's next round once anything wakes it, as in a running
    // program.
    for (int round = 0; round < 10 && edit.text().isEmpty(); ++round) {
        QMetaObject::invokeMethod(qApp, [] {}, Qt::QueuedConnection);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(edit.text(), QStringLiteral("a"));

    {
        ProgressRun run(nullptr, 10);
        ASSERT_NE(run.dialog(), nullptr);
        LongWork nested;
        typeKey(run.dialog()->windowHandle(), Qt::Key_Escape);
        EXPECT_TRUE(serveLongWork());
        EXPECT_TRUE(run.dialog()->bAbort);
        EXPECT_TRUE(run.aborted());
    }
    gRkAbort = false;
}
