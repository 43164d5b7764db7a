// The two colouring commands on a program of some megabytes in the real main
// window: the styles are worked out off the window while the event loop goes
// on, the text is read-only meanwhile and a key typed then lands after the
// end; "Avbryt" leaves the lines not reached plain; the program's bytes, its
// modified flag, the caret and the keyboard stay as they were.
#include "core/globals.h"
#include "core/services.h"
#include "core/progress.h"
#include "core/workerrun.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "mainwindow/frmmain.h"
#include "mainwindowfixture.h"
#include "testsupport.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

constexpr int kLines = 150000;

// About 4 MB: a code word (T, M6, G), a comment in every third line.
QByteArray bigProgram()
{
    QByteArray t;
    for (int i = 1; i <= kLines; ++i) {
        t += "N" + QByteArray::number(i) + (i % 50 == 0 ? " T1 M6" : " G1 X" + QByteArray::number(i % 300) + " Y-2.5");
        if (i % 3 == 0)
            t += " (PASS " + QByteArray::number(i) + ")";
        t += "\r\n";
    }
    return t + "M30";
}

class ColouringTest : public test::MainWindowFixture {
protected:
    ColouringTest() { machineCfg = "[Settings]\r\nFileExtension=*.NC\r\nColorFile=mill\r\n"; }
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        env.write("mill.syn", "[Context]\n1=N\n2=G\n[CColor]\n1=808080\n2=0000FF\n[STARTSTOP]\nS1=(\nE1=)\n"
                              "[SColor]\n1=008000\n");
        // The machine's keys come back with the fixture's session.
        test::changeMachineKeys([](MachineKeys &k) {
            k.codeText = {"M6", "", "", "", "", "", "", ""};
            k.codeColor = {0x0000FF, 0, 0, 0, 0, 0, 0, 0};
            k.commentColor = 0xFF0000;
        });
        w.show();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        original = bigProgram();
        ASSERT_GT(original.size(), 3 * Editor::pieceBytes());
        doc = w.openDocument(env.write("ncprog/BIG.NC", original), "MILL");
        ASSERT_NE(doc, nullptr);
        ASSERT_TRUE(test::untilLongWorkIsOver());
        doc->txtText->setFocus();
        doc->txtText->setInsertMode(true);
        doc->txtText->setCaret(2, 3); // column 2 of line 3
        keys = doc->txtText->focusProxy() ? doc->txtText->focusProxy() : doc->txtText;
    }
    void TearDown() override
    {
        abortRunsAtForTests(0);
        gRkAbort = false;
        if (doc)
            doc->txtText->setIsDirty(false);
        MainWindowFixture::TearDown();
    }

    struct Seen {
        int rounds = 0;         // rounds of the event loop while the document was busy
        bool readOnly = true;   // the text read-only in every one of them
        bool textKept = true;   // and its bytes the program's
        bool busyOnReturn = false;
        bool focusKept = false; // where it was, when it was in the text
    };

    // Runs the command; in the first round of the event loop while it works,
    // "Q" is typed into the text.
    Seen run(const char *command)
    {
        Seen seen;
        // The keyboard in the text at the start, when the display gives it.
        w.activateWindow();
        keys->setFocus();
        (void)QTest::qWaitFor([&] { return QApplication::focusWidget() == keys; }, 5000);
        QWidget *focusBefore = QApplication::focusWidget();
        QTimer watcher;
        watcher.setInterval(0);
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (!doc->busy())
                return;
            if (++seen.rounds == 1)
                QTest::keyClicks(keys, "Q");
            seen.readOnly = seen.readOnly && doc->txtText->ReadOnly();
            seen.textKept = seen.textKept && doc->txtText->textView() == QByteArrayView(original);
        });
        watcher.start();
        w.menuAction(QString::fromLatin1(command))->trigger();
        seen.busyOnReturn = doc->busy();
        EXPECT_TRUE(test::untilLongWorkIsOver());
        watcher.stop();
        seen.focusKept = focusBefore != keys || QApplication::focusWidget() == keys;
        return seen;
    }

    // The key typed during the work, where the caret stood.
    QByteArray withKey() const { return QByteArray(original).insert(qsizetype(doc->txtText->lineOffset(3) + 1), 'Q'); }

    QColor at(int line, int column) const { return doc->txtText->characterForeColorAt(line, column); }
    QColor plain() const { return doc->txtText->ForeColor(); }

    // The command returned at once, the event loop went on, the program stayed
    // read-only with the typed key waiting, and all is as it was afterwards.
    void expectWentOnBesideTheEventLoop(const Seen &seen)
    {
        EXPECT_TRUE(seen.busyOnReturn) << "the command returned before the work was over";
        EXPECT_GE(seen.rounds, 2) << "the event loop ran while it worked";
        EXPECT_TRUE(seen.readOnly);
        EXPECT_TRUE(seen.textKept) << "the key typed waited";
        EXPECT_TRUE(seen.focusKept);
        EXPECT_FALSE(doc->busy());
        EXPECT_FALSE(doc->txtText->ReadOnly());
        EXPECT_TRUE(doc->txtText->Redraw());
    }

    frmMain w;
    frmDocument *doc = nullptr;
    QWidget *keys = nullptr;
    QByteArray original;
};

}

TEST_F(ColouringTest, ColouringTheWholeProgramGoesOnBesideTheEventLoop)
{
    const int top = doc->txtText->TopY();
    const Seen seen = run("mnuViewColorNC");
    expectWentOnBesideTheEventLoop(seen);

    EXPECT_EQ(at(1, 1), rkColor(0x808080));
    EXPECT_EQ(at(3, 4), rkColor(0x0000FF));          // G1
    EXPECT_EQ(at(3, 17), rkColor(0x008000));         // the comment of line 3
    EXPECT_EQ(at(kLines, 1), rkColor(0x808080));     // the last block coloured too
    EXPECT_EQ(at(kLines - 1, 9), rkColor(0x0000FF)); // G1
    EXPECT_TRUE(doc->txtText->TextAll() == original);
    EXPECT_FALSE(doc->txtText->IsDirty());
    EXPECT_EQ(doc->txtText->CaretY(), 3);
    EXPECT_EQ(doc->txtText->CaretX(), 2);
    EXPECT_EQ(doc->txtText->TopY(), top);

    // The key lands once the work is over, where the caret stood.
    EXPECT_TRUE(QTest::qWaitFor([&] { return doc->txtText->TextAll() == withKey(); }, 20000));
    EXPECT_TRUE(doc->txtText->IsDirty());
}

TEST_F(ColouringTest, AbortedColouringLeavesTheLinesNotReachedPlain)
{
    run("mnuViewColorNC");
    ASSERT_EQ(at(kLines, 1), rkColor(0x808080));
    ASSERT_TRUE(QTest::qWaitFor([&] { return doc->txtText->TextAll() == withKey(); }, 20000));
    doc->txtText->setAction(6); // the key undone
    ASSERT_TRUE(doc->txtText->TextAll() == original);
    doc->txtText->setIsDirty(false);

    abortRunsAtForTests(kLines / 2);
    run("mnuViewColorNC");
    EXPECT_TRUE(gRkAbort);
    EXPECT_EQ(at(1, 1), rkColor(0x808080));
    EXPECT_EQ(at(kLines / 2 - 1, 1), rkColor(0x808080)); // reached before the abort
    EXPECT_EQ(at(kLines - 1, 1), plain());               // coloured by the first run, plain now
    EXPECT_EQ(at(kLines, 1), plain());
    EXPECT_EQ(at(kLines - 1, 9), plain());
    EXPECT_TRUE(doc->txtText->TextAll() == original);
    EXPECT_FALSE(doc->txtText->IsDirty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return doc->txtText->TextAll() == withKey(); }, 20000));
}

TEST_F(ColouringTest, BoldCommentsGoOnBesideTheEventLoop)
{
    const int top = doc->txtText->TopY();
    const Seen seen = run("mnuViewBoldComments");
    expectWentOnBesideTheEventLoop(seen);

    const QColor word = rkColor(0x0000FF), comment = rkColor(0xFF0000);
    EXPECT_EQ(at(1, 1), plain());
    EXPECT_EQ(at(3, 16), comment); // "(PASS 3)"
    EXPECT_EQ(at(3, 23), comment);
    EXPECT_EQ(at(3, 15), plain()); // the blank before it
    EXPECT_EQ(at(50, 1), word);    // "N50 T1 M6": the code word M6
    EXPECT_EQ(at(50, 9), word);
    EXPECT_EQ(at(kLines, 1), word); // "N150000 T1 M6 (PASS 150000)", the last block
    EXPECT_EQ(at(kLines, 15), comment);
    EXPECT_EQ(at(kLines + 1, 1), plain()); // M30
    EXPECT_TRUE(doc->txtText->TextAll() == original);
    EXPECT_FALSE(doc->txtText->IsDirty());
    EXPECT_EQ(doc->txtText->CaretY(), 3);
    EXPECT_EQ(doc->txtText->CaretX(), 2);
    EXPECT_EQ(doc->txtText->TopY(), top);
    EXPECT_EQ(doc->txtText->SelMark(), 0);

    EXPECT_TRUE(QTest::qWaitFor([&] { return doc->txtText->TextAll() == withKey(); }, 20000));
}

TEST_F(ColouringTest, AbortedBoldCommentsKeepTheLinesDone)
{
    abortRunsAtForTests(kLines / 2);
    run("mnuViewBoldComments");
    EXPECT_TRUE(gRkAbort);
    const QColor word = rkColor(0x0000FF), comment = rkColor(0xFF0000);
    EXPECT_EQ(at(3, 16), comment);
    EXPECT_EQ(at(kLines / 2, 1), word); // "N75000 T1 M6 (PASS 75000)", the last line done
    EXPECT_EQ(at(kLines / 2, 15), comment);
    EXPECT_EQ(at(kLines / 2 + 3, 21), plain()); // "N75003 G1 X3 Y-2.5 (PASS 75003)": not reached
    EXPECT_EQ(at(kLines, 1), plain());
    EXPECT_EQ(at(kLines, 15), plain());
    EXPECT_TRUE(doc->txtText->TextAll() == original);
    EXPECT_FALSE(doc->txtText->IsDirty());
    EXPECT_EQ(doc->txtText->CaretY(), 3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return doc->txtText->TextAll() == withKey(); }, 20000));
}

// The program's window closed under the work (the program ends): the work
// stops, and what waited for its end comes.
TEST_F(ColouringTest, TheWindowGoingUnderTheWorkEndsIt)
{
    for (const char *command : {"mnuViewColorNC", "mnuViewBoldComments"}) {
        SCOPED_TRACE(command);
        QPointer<frmDocument> gone = w.openDocument(env.write("ncprog/GONE.NC", original), "MILL");
        ASSERT_NE(gone, nullptr);
        ASSERT_TRUE(test::untilLongWorkIsOver());
        gone->txtText->setFocus();
        bool waited = false;
        QTimer closer;
        closer.setInterval(0);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (!gone || !gone->busy())
                return;
            closer.stop();
            LongWork::whenDone(nullptr, [&] { waited = true; });
            delete gone->parentWidget(); // its frame in the main window, and it with it
        });
        closer.start();
        w.menuAction(QString::fromLatin1(command))->trigger();
        ASSERT_TRUE(test::untilLongWorkIsOver());
        EXPECT_TRUE(gone.isNull()) << "gone during the work";
        EXPECT_TRUE(QTest::qWaitFor([&] { return waited; }, 20000));
        EXPECT_EQ(WorkerRun::underWay(), 0);
        EXPECT_TRUE(doc->txtText->TextAll() == original);
    }
}
