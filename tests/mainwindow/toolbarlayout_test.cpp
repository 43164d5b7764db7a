#include "mainwindow/frmmain.h"
#include "mainwindow/toolbarlayout.h"
#include "mainwindowfixture.h"
#include "testsupport.h"

#include <QAction>
#include <QToolBar>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {
class ToolBarLayoutTest : public test::MainWindowFixture {};
}

// Every button of the layout runs a command the main window has (the hidden
// "Subprogram" button runs nothing by design), and the built window carries
// the buttons of the layout in its order, separators included.
TEST_F(ToolBarLayoutTest, EveryButtonRunsACommandOfTheWindowAndIsBuiltInOrder)
{
    frmMain w;
    auto check = [&](QToolBar *bar, const std::vector<ToolButtonSpec> &buttons) {
        ASSERT_NE(bar, nullptr);
        const QList<QAction *> actions = bar->actions();
        ASSERT_EQ(actions.size(), qsizetype(buttons.size())) << bar->objectName().toStdString();
        for (size_t i = 0; i < buttons.size(); ++i) {
            QAction *a = actions[qsizetype(i)];
            if (!buttons[i].key) {
                EXPECT_TRUE(a->isSeparator()) << bar->objectName().toStdString() << " " << i;
                continue;
            }
            const QString key = QString::fromUtf8(buttons[i].key);
            EXPECT_EQ(a->data().toString(), key);
            if (*buttons[i].tip) {
                EXPECT_EQ(a->toolTip(), QString::fromUtf8(buttons[i].tip));
            }
            EXPECT_EQ(a->isCheckable(), buttons[i].checkable) << key.toStdString();
            if (key == "Subprogram")
                continue;
            const QString command = commandOfToolKey(key);
            EXPECT_FALSE(command.isEmpty()) << key.toStdString();
            EXPECT_TRUE(w.hasCommand(command)) << key.toStdString() << " -> " << command.toStdString();
        }
    };
    check(w.tbToolBar, mainToolBarButtons());
    for (const ToolBandSpec &band : commandBands())
        check(w.findChild<QToolBar *>(QString::fromLatin1(band.name)), band.buttons);
}
