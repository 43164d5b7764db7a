#include "core/globals.h"
#include "core/progress.h"
#include "core/workerrun.h"
#include "tests/testsupport/testsupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using namespace lumrik;

// The command that starts the work returns before it is done; the result comes
// in from the ordinary event loop, and what waited for the end of long work
// comes after it, in the order it came.
TEST(WorkerRun, TheResultComesFromTheEventLoopBeforeWhatWaitedForIt)
{
    std::vector<int> order;
    std::atomic<bool> computedOffTheWindow{false};
    const QThread *window = QThread::currentThread();
    WorkerRun::start(nullptr, {}, [&](const WorkerRun::GoOn &) {
        computedOffTheWindow = QThread::currentThread() != window;
        QThread::msleep(20);
    }, [&](bool aborted) {
        EXPECT_FALSE(aborted);
        order.push_back(1);
    });
    EXPECT_TRUE(LongWork::underWay());
    EXPECT_EQ(WorkerRun::underWay(), 1);
    LongWork::whenDone(nullptr, [&] { order.push_back(2); });
    LongWork::whenDone(nullptr, [&] { order.push_back(3); });
    EXPECT_TRUE(order.empty());
    ASSERT_TRUE(test::untilLongWorkIsOver());
    (void)QTest::qWaitFor([&] { return order.size() == 3; }, 60000);
    EXPECT_TRUE(computedOffTheWindow);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(WorkerRun::underWay(), 0);
}

// "Avbryt" is served by the ordinary event loop while the worker computes;
// the keyboard is back where it was afterwards.
TEST(WorkerRun, AbortButtonStopsTheWorkerAndTheKeyboardComesBack)
{
    QWidget window;
    auto *edit = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    edit->setFocus();
    const bool focused = QTest::qWaitFor([&] { return QApplication::focusWidget() == edit; }, 10000);

    std::atomic<qint64> reached{0};
    bool abortedSeen = false;
    WorkerRun::start(&window, {.owner = &window, .progress = true, .maximum = 1000000000}, [&](const WorkerRun::GoOn &goOn) {
        for (qint64 i = 0; goOn(i); ++i)
            reached = i;
    }, [&](bool aborted) { abortedSeen = aborted; });
    frmProgress *dialog = window.findChild<frmProgress *>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
    while (reached == 0)
        QThread::msleep(1);
    dialog->btnProgessAbort->click();
    ASSERT_TRUE(test::untilLongWorkIsOver());
    EXPECT_TRUE(abortedSeen);
    EXPECT_LT(reached, 1000000000);
    EXPECT_EQ(window.findChild<frmProgress *>(), nullptr);
    if (focused) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == edit; }, 60000));
    }
    gRkAbort = false;
}

// The abort hook of the tests stops the worker at the same place every time.
TEST(WorkerRun, AbortHookStopsTheWorkerAtItsValueAndAGoneContextGetsNoResult)
{
    abortRunsAtForTests(500);
    qint64 stoppedAt = -1;
    bool finished = false;
    WorkerRun::start(nullptr, {.progress = true, .maximum = 1000}, [&](const WorkerRun::GoOn &goOn) {
        for (qint64 i = 0; i < 1000; ++i)
            if (!goOn(i)) {
                stoppedAt = i;
                return;
            }
    }, [&](bool aborted) { finished = aborted; });
    ASSERT_TRUE(test::untilLongWorkIsOver());
    abortRunsAtForTests(0);
    EXPECT_EQ(stoppedAt, 500);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(gRkAbort);

    // The next run starts clean and goes to its end.
    qint64 reached = 0;
    WorkerRun::start(nullptr, {.progress = true, .maximum = 1000}, [&](const WorkerRun::GoOn &goOn) {
        for (qint64 i = 0; i < 1000 && goOn(i); ++i)
            reached = i + 1;
    }, [&](bool aborted) { finished = aborted; });
    EXPECT_FALSE(gRkAbort);
    ASSERT_TRUE(test::untilLongWorkIsOver());
    EXPECT_EQ(reached, 1000);
    EXPECT_FALSE(finished);

    auto *context = new QObject;
    bool ran = false;
    WorkerRun::start(context, {}, [&](const WorkerRun::GoOn &) { QThread::msleep(5); }, [&](bool) { ran = true; });
    delete context;
    ASSERT_TRUE(test::untilLongWorkIsOver());
    EXPECT_FALSE(ran);
}
