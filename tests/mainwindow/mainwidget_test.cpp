// The windows of the libraries below the main window belong to it, found
// through the main widget it registers, and it takes them along when it goes.
#include "core/mainwidget.h"
#include "dnc/frmtxd2cnc.h"
#include "mainwindow/frmmain.h"
#include "mainwindowfixture.h"
#include "sessionscope.h"

#include <QPointer>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {
class MainWidgetTest : public test::MainWindowFixture {};
}

TEST_F(MainWidgetTest, TheSendWindowBelongsToTheMainWindow)
{
    QPointer<frmTxd2Cnc> send;
    {
        frmMain w;
        EXPECT_EQ(mainWidgetOrNull(), &w);
        send = txd2CncWindow(test::testSession());
        ASSERT_TRUE(send);
        EXPECT_EQ(send->parentWidget(), &w);
        EXPECT_EQ(txd2CncWindow(test::testSession()), send.data()); // one send window
    }
    // Gone with its main window, and no main widget left behind.
    EXPECT_FALSE(send);
    EXPECT_EQ(mainWidgetOrNull(), nullptr);
    EXPECT_EQ(mainWidgetHost(), nullptr);
}
