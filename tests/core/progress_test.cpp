#include "core/globals.h"
#include "core/progress.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <optional>
#include <gtest/gtest.h>

// Qt's own door from the platform into the application (Qt's private
// headers): a key queued through it waits in the window system's queue, as
// typed input does, until the event loop takes it. (The offscreen platform
// the tests run on hands input over at once otherwise.)
#include <qpa/qwindowsysteminterface.h>

using namespace lumrik;

TEST(Progress, CloseBoxCountsAsAbortAndKeepsTheDialog)
{
    frmProgress dlg;
    dlg.show();
    EXPECT_FALSE(dlg.close());
    EXPECT_TRUE(dlg.bAbort);
    EXPECT_TRUE(dlg.isVisible());
    gRkAbort = false;
}

// ----- long work ------------------------------------------------------------------

namespace {

// A few rounds of the event loop: what should not come yet has had its chance.
void letEventsRun()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// Serves events until `state` holds; the limit is only a safety net.
bool serveUntil(const std::function<bool()> &state) { return QTest::qWaitFor(state, 60000); }

}

// Long work is under way while a scope of it lives, the outer one too when
// an inner one ends. Nothing of it lets events run: a posted call and a typed
// key wait through the whole work and come once the command is back in the
// event loop.
TEST(LongWork, UnderWayWhileAScopeLivesAndNoEventsRunInIt)
{
    QLineEdit edit;
    edit.show();
    letEventsRun();
    int ran = 0;
    EXPECT_FALSE(LongWork::underWay());
    {
        LongWork outer;
        EXPECT_TRUE(LongWork::underWay());
        {
            LongWork inner;
            EXPECT_TRUE(LongWork::underWay());
        }
        EXPECT_TRUE(LongWork::underWay());
        QMetaObject::invokeMethod(qApp, [&] { ++ran; }, Qt::QueuedConnection);
        QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
            edit.windowHandle(), QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        for (int i = 1; i <= 1000; ++i)
            ASSERT_FALSE(abortDueForTests(i));
        EXPECT_EQ(ran, 0);
        EXPECT_EQ(edit.text(), QString());
    }
    EXPECT_FALSE(LongWork::underWay());
    EXPECT_TRUE(serveUntil([&] { return ran == 1 && !edit.text().isEmpty(); }));
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(edit.text(), QStringLiteral("a"));
}

// What waits for the end of long work runs from the event loop once the last
// long work has ended, in the order it asked, never from inside the work or
// from the end of its scope; a gone context drops its action. Without long
// work an action runs at once, unless others still wait: then it follows them.
// Long work that one of them starts keeps the rest waiting for its end.
TEST(LongWork, WhatWaitsComesAfterTheLastWorkInOrder)
{
    std::vector<QString> order;
    LongWork::whenDone(nullptr, [&] { order.push_back(QStringLiteral("at once")); });
    EXPECT_EQ(order, (std::vector<QString>{QStringLiteral("at once")}));
    order.clear();

    auto gone = std::make_unique<QObject>();
    std::optional<LongWork> second;
    {
        LongWork outer;
        {
            LongWork inner;
            LongWork::whenDone(nullptr, [&] { order.push_back(QStringLiteral("first")); });
        }
        LongWork::whenDone(gone.get(), [&] { order.push_back(QStringLiteral("gone")); });
        LongWork::whenDone(nullptr, [&] {
            order.push_back(QStringLiteral("starts work"));
            second.emplace();
        });
        LongWork::whenDone(nullptr, [&] { order.push_back(QStringLiteral("after the second work")); });
        gone.reset();
        letEventsRun();
        EXPECT_TRUE(order.empty());
        EXPECT_EQ(LongWork::waiting(), 4);
    }
    EXPECT_TRUE(order.empty()) << "not from the end of the scope";
    LongWork::whenDone(nullptr, [&] { order.push_back(QStringLiteral("asked after the end")); });
    EXPECT_TRUE(serveUntil([&] { return second.has_value(); }));
    letEventsRun();
    EXPECT_EQ(order, (std::vector<QString>{QStringLiteral("first"), QStringLiteral("starts work")}));
    second.reset();
    EXPECT_TRUE(serveUntil([&] { return order.size() == 4; }));
    EXPECT_EQ(order, (std::vector<QString>{QStringLiteral("first"), QStringLiteral("starts work"),
                                           QStringLiteral("after the second work"),
                                           QStringLiteral("asked after the end")}));
    EXPECT_EQ(LongWork::waiting(), 0);
}
