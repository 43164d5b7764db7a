// A file opened as a hex dump in the real main window: the open returns with
// the window busy, and the dump, the status bar's totals and the keyboard are
// as they were when the open was synchronous once the dump is in.
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/hexview.h"
#include "documents/statusbar.h"
#include "mainwindow/frmmain.h"
#include "mainwindowfixture.h"
#include "testsupport.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

class HexOpenTest : public test::MainWindowFixture {
protected:
    HexOpenTest() { settingsIni += "[Extensions]\r\nDMP=3\r\n"; }

    static QByteArray dumpFile()
    {
        QByteArray b(1024 * 1024, '\0');
        for (qsizetype i = 0; i < b.size(); ++i)
            b[i] = char((i * 13 + i / 512) & 0xFF);
        return b;
    }
};

}

TEST_F(HexOpenTest, TheDumpComesInWithItsTotalsAndTheKeyboard)
{
    frmMain w;
    w.resize(1024, 768);
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const QByteArray bytes = dumpFile();
    frmDocument *doc = w.openDocument(env.write("ncprog/BIG.DMP", bytes), "MILL");
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(doc->busy());
    EXPECT_FALSE(doc->bHexView);
    ASSERT_TRUE(test::untilLongWorkIsOver());
    QCoreApplication::processEvents();

    EXPECT_FALSE(doc->busy());
    EXPECT_TRUE(doc->bHexView);
    EXPECT_EQ(doc->txtText->textView().toByteArray(), hexRender(bytes, 3));
    EXPECT_TRUE(doc->txtText->ReadOnly());
    EXPECT_EQ(w.statusPanel(4), statusTotalText(doc->txtText->Count(), doc->txtText->CountBytes()));
    EXPECT_EQ(w.statusPanel(3), statusCaretText(1, 1));
    QWidget *focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == doc->txtText || (focus && doc->txtText->isAncestorOf(focus)));
    EXPECT_TRUE(boxes.calls().empty());
}
