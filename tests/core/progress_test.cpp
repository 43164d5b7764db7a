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
