#include "core/globals.h"
#include "core/progress.h"

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <functional>
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

// ----- one owner during long work -------------------------------------------------

namespace {

// Notes the events of interest that reach it, in order.
class EventLog : public QWidget {
public:
    std::vector<QEvent::Type> seen;
    bool closeAccepted = true;

protected:
    bool event(QEvent *e) override
    {
        switch (e->type()) {
        case QEvent::FocusIn:
        case QEvent::WindowActivate:
        case QEvent::Drop:
        case QEvent::Timer:
            seen.push_back(e->type());
            break;
        default:
            break;
        }
        return QWidget::event(e);
    }
    void closeEvent(QCloseEvent *e) override
    {
        seen.push_back(QEvent::Close);
        e->setAccepted(closeAccepted);
    }
};

// Notes the text of each drop it gets.
class DropTarget : public QObject {
public:
    explicit DropTarget(std::vector<QString> &order) : order_(order) {}

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::Drop)
            order_.push_back(QStringLiteral("drop ") + static_cast<QDropEvent *>(e)->mimeData()->text());
        return QObject::event(e);
    }

private:
    std::vector<QString> &order_;
};

void letEventsRun()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// Serves events until `state` holds; the limit is only a safety net.
void serveUntil(const std::function<bool()> &state) { (void)QTest::qWaitFor(state, 60000); }

}

// What the events of long work would do to a window (activate it, give it the
// focus, drop on it, close it) waits for the end of the work and comes then,
// in the order it came, after what asked to run once the work is over; a
// timer fires again afterwards, and the close really closes. Posted calls
// and painting run as before.
TEST(LongWorkOwner, HeldEventsComeAfterTheWorkInOrder)
{
    ServeEveryCall every;
    EventLog log;
    log.show();
    letEventsRun();
    log.seen.clear();
    std::vector<QString> order;
    bool posted = false;
    DropTarget dropTarget(order);
    {
        LongWork work;
        const int timer = log.startTimer(0);
        QEvent activate(QEvent::WindowActivate);
        QFocusEvent focus(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
        auto data = std::make_unique<QMimeData>();
        data->setText(QStringLiteral("N10"));
        QDropEvent drop(QPointF(1, 1), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        drop.ignore();
        QMetaObject::invokeMethod(qApp, [&] {
            LongWork::whenDone(&log, [&] { order.push_back(QStringLiteral("action")); });
            QCoreApplication::sendEvent(&log, &activate);
            QCoreApplication::sendEvent(&log, &focus);
            QCoreApplication::sendEvent(&dropTarget, &drop);
            EXPECT_TRUE(drop.isAccepted()); // the drag's source is answered now
            data.reset();                   // and its data is gone with the drag
            EXPECT_FALSE(log.close());      // closed only afterwards
            posted = true;
        }, Qt::QueuedConnection);
        EXPECT_TRUE(serveLongWork());
        EXPECT_TRUE(serveLongWork());
        EXPECT_TRUE(posted);
        EXPECT_TRUE(LongWork::serving() == false);
        EXPECT_TRUE(log.seen.empty());
        EXPECT_TRUE(log.isVisible());
        EXPECT_EQ(LongWork::waiting(), 5);
        (void)timer;
    }
    EXPECT_TRUE(log.seen.empty()); // not from inside the work's own scope
    serveUntil([&] {
        return order.size() == 2 && !log.isVisible()
               && std::find(log.seen.begin(), log.seen.end(), QEvent::Timer) != log.seen.end();
    });
    EXPECT_EQ(order, (std::vector<QString>{QStringLiteral("action"), QStringLiteral("drop N10")}));
    std::vector<QEvent::Type> held;
    for (QEvent::Type t : log.seen)
        if (t != QEvent::Timer)
            held.push_back(t);
    EXPECT_EQ(held, (std::vector<QEvent::Type>{QEvent::WindowActivate, QEvent::FocusIn, QEvent::Close}));
    EXPECT_NE(std::find(log.seen.begin(), log.seen.end(), QEvent::Timer), log.seen.end());
    EXPECT_FALSE(log.isVisible());
    EXPECT_EQ(LongWork::waiting(), 0);
}

// Without long work an action runs at once; a gone context drops it. Objects
// let through get their events during the work, and so does a loop that one of
// them opens (a question asked from inside them).
TEST(LongWorkOwner, LetThroughAndNestedLoopsRunAsAlways)
{
    ServeEveryCall every;
    int ran = 0;
    LongWork::whenDone(nullptr, [&] { ++ran; });
    EXPECT_EQ(ran, 1);
    {
        auto gone = std::make_unique<QObject>();
        LongWork work;
        LongWork::whenDone(gone.get(), [&] { ++ran; });
        gone.reset();
    }
    serveUntil([&] { return ran == 1; });
    EXPECT_EQ(ran, 1);

    EventLog inside, outside;
    LongWork::letThrough(&inside);
    QTimer opener;
    LongWork::letThrough(&opener);
    bool nestedTimerRan = false;
    opener.setSingleShot(true);
    QObject::connect(&opener, &QTimer::timeout, [&] {
        QEventLoop loop;
        QTimer quitter; // of a loop of its own: not held
        quitter.setSingleShot(true);
        QObject::connect(&quitter, &QTimer::timeout, &loop, [&] {
            nestedTimerRan = true;
            loop.quit();
        });
        quitter.start(0);
        loop.exec();
    });
    {
        LongWork work;
        inside.startTimer(0);
        outside.startTimer(0);
        for (int i = 0; i < 5; ++i)
            serveLongWork();
        EXPECT_FALSE(inside.seen.empty());
        EXPECT_TRUE(outside.seen.empty());
        opener.start(0);
        for (int i = 0; i < 5 && !nestedTimerRan; ++i)
            serveLongWork();
        EXPECT_TRUE(nestedTimerRan);
    }
    serveUntil([&] { return !outside.seen.empty(); });
    EXPECT_FALSE(outside.seen.empty());
}
