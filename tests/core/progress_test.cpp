#include "core/globals.h"
#include "core/progress.h"

#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

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
