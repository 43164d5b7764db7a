// The hex views made off the window: a file opened as a dump and the dump
// command, with the event loop running meanwhile, "Avbryt", windows that ask
// for a dump while another is being made, and what waited for the dump.
#include "core/globals.h"
#include "core/inifile.h"
#include "core/progress.h"
#include "documents/frmdocument.h"
#include "documents/hexview.h"
#include "testsupport.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace lumrik;
using namespace lumrik::test;

namespace {

// A file's worth of every byte value, large enough that the dump takes a
// while to make.
QByteArray largeFile()
{
    QByteArray b(2 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < b.size(); ++i)
        b[i] = char((i * 7 + i / 256) & 0xFF);
    return b;
}

int progressDialogsShown()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<frmProgress *>(w) && w->isVisible())
            ++n;
    return n;
}

// Lets the event loop run until `done` holds (with a safety limit).
bool until(const std::function<bool()> &done)
{
    for (int i = 0; i < 100000 && !done(); ++i) {
        untilLongWorkIsOver();
        QCoreApplication::processEvents();
    }
    return done();
}

class HexViewWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        SaveIniSetting("Extensions", "dmp", "3", env.path("lumrik32.INI"));
        SaveIniSetting("Extensions", "hex", "1", env.path("lumrik32.INI"));
    }
    void TearDown() override
    {
        abortRunsAtForTests(0);
        gRkAbort = false;
    }
    TempEnv env;
};

}

// The open returns at once with the window busy; the old text stays whole
// while the event loop goes on with the progress dialog up; then the dump is
// in, and what waited for the end of the work sees it.
TEST_F(HexViewWindow, ALargeDumpIsMadeWhileTheEventLoopRuns)
{
    const QByteArray bytes = largeFile();
    const QString path = env.write("BIG.DMP", bytes);
    frmDocument doc;
    doc.show();
    doc.activateWindow();
    doc.txtText->setTextAll("N10 G0 X1\r\n");
    doc.txtText->setIsDirty(false);
    doc.txtText->setFocus();
    QCoreApplication::processEvents();
    const bool focused = QApplication::focusWidget() == doc.txtText->focusProxy()
                         || QApplication::focusWidget() == doc.txtText;
    QWidget *keyboard = QApplication::focusWidget();

    int roundsWhileBusy = 0, dialogSeen = 0;
    bool halfMade = false;
    test::EveryRound rounds([&] {
        if (!doc.busy())
            return;
        ++roundsWhileBusy;
        dialogSeen = std::max(dialogSeen, progressDialogsShown());
        halfMade = halfMade || doc.txtText->TextAll() != "N10 G0 X1\r\n" || doc.bHexView;
    });
    doc.FileOpen(path);
    EXPECT_TRUE(doc.busy());
    EXPECT_TRUE(doc.txtText->ReadOnly());
    EXPECT_EQ(doc.txtText->TextAll(), "N10 G0 X1\r\n");
    bool inWhenDone = false;
    LongWork::whenDone(&doc, [&] { inWhenDone = doc.bHexView && doc.txtText->TextLength() > bytes.size(); });

    ASSERT_TRUE(untilLongWorkIsOver());
    EXPECT_GT(roundsWhileBusy, 0);
    EXPECT_EQ(dialogSeen, 1);
    EXPECT_FALSE(halfMade);
    EXPECT_FALSE(doc.busy());
    EXPECT_EQ(doc.txtText->textView().toByteArray(), hexRender(bytes, 3));
    EXPECT_TRUE(doc.bHexView);
    EXPECT_TRUE(doc.bReadOnly);
    EXPECT_TRUE(doc.bNamed);
    EXPECT_TRUE(doc.txtText->ReadOnly());
    EXPECT_FALSE(doc.txtText->IsDirty());
    EXPECT_EQ(doc.txtText->CaretY(), 1);
    EXPECT_EQ(progressDialogsShown(), 0);
    if (focused) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == keyboard; }, 60000));
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(inWhenDone);
}

// "Avbryt" gives the file's bytes, shown read-only, as the view has always
// shown an aborted dump; for the dump command too, and nothing of the
// program is lost that was not saved.
TEST_F(HexViewWindow, AbortShowsTheBytesReadOnly)
{
    const QByteArray bytes = largeFile();
    abortRunsAtForTests(100000);

    frmDocument opened;
    opened.FileOpen(env.write("BIG.hex", bytes));
    ASSERT_TRUE(untilLongWorkIsOver());
    EXPECT_EQ(opened.txtText->textView().toByteArray(), bytes);
    EXPECT_TRUE(opened.bHexView);
    EXPECT_FALSE(opened.bReadOnly); // mode 1 keeps it
    EXPECT_TRUE(opened.txtText->ReadOnly());
    EXPECT_FALSE(opened.busy());

    const QByteArray program = QByteArray("N10 G1 X1. (CUT)\r\n").repeated(100000);
    frmDocument dumped;
    dumped.txtText->setTextAll(program);
    dumped.txtText->setIsDirty(false);
    ASSERT_TRUE(dumped.HexDump(3));
    ASSERT_TRUE(untilLongWorkIsOver());
    EXPECT_EQ(dumped.txtText->textView().toByteArray(), program);
    EXPECT_TRUE(dumped.bHexView);
    EXPECT_TRUE(dumped.txtText->ReadOnly());
    EXPECT_FALSE(dumped.txtText->IsDirty());
}

// Dumps asked for while one is being made wait for it and come one after
// the other, one progress dialog at a time; a dump asked of a window that is
// busy comes after its work. Each window ends with its own dump.
TEST_F(HexViewWindow, DumpsAskedForMeanwhileComeInTurn)
{
    const QByteArray big = largeFile();
    const QByteArray small = "G01 X10.";
    frmDocument first, second;
    second.txtText->setTextAll(small);
    second.txtText->setIsDirty(false);
    int mostDialogs = 0;
    test::EveryRound rounds([&] { mostDialogs = std::max(mostDialogs, progressDialogsShown()); });

    first.FileOpen(env.write("A.DMP", big));
    ASSERT_TRUE(second.HexDump(3)); // waits for the first
    EXPECT_TRUE(second.busy());
    EXPECT_EQ(second.txtText->TextAll(), small);
    EXPECT_FALSE(second.HexDump(1)); // busy: the command comes after its dump

    ASSERT_TRUE(until([&] { return !first.busy() && !second.busy() && !LongWork::underWay(); }));
    EXPECT_EQ(mostDialogs, 1);
    EXPECT_EQ(first.txtText->textView().toByteArray(), hexRender(big, 3));
    // The second window's later command came after its dump: a dump of the dump.
    EXPECT_EQ(second.txtText->textView().toByteArray(), hexRender(hexRender(small, 3), 1));
    EXPECT_TRUE(second.bHexView);
    EXPECT_EQ(LongWork::waiting(), 0);
}
