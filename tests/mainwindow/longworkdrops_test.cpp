// Drops, closes and the keyboard around long work in the real main window: a
// file dropped on a document's text opens; a drop or a close that comes while
// a whole-program operation works is carried out after it, in the order it
// came, and never accepted and lost; after the operation the keyboard is
// where it was, so a typed key reaches the document.
#include "core/globals.h"
#include "core/msgbox.h"
#include "core/progress.h"
#include "documents/editor.h"
#include "documents/findreplace.h"
#include "documents/frmdocument.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/handover.h"
#include "mainwindow/integration.h"
#include "mainwindow/commands_plugins.h"
#include "mainwindow/pluginhost.h"
#include "ncops/mdlmnfix.h"
#include "mainwindowfixture.h"
#include "testsupport.h"

#include <QApplication>
#include <QMimeData>
#include <QPointer>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <qpa/qplatformdrag.h>
#include <qpa/qwindowsysteminterface.h>

using namespace lumrik;
using test::OnceDuringWork;

namespace {

QByteArray program(int lines = 3000)
{
    QByteArray t = "%\r\nO1000 (DROPS)\r\n";
    for (int i = 1; i <= lines; ++i)
        t += "n" + QByteArray::number(i * 5) + " g1 x" + QByteArray::number(i % 300) + " y-5.5 f200\r\n";
    return t + "M30\r\n%";
}

class LongWorkDropsTest : public test::MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        // The operations go into the text in small pieces, a piece per round
        // of the event loop: what comes meanwhile meets the work.
        Editor::setPieceBytesForTests(313);
    }
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        Editor::setPieceBytesForTests(0);
    }
    static bool showActive(frmMain &w)
    {
        w.show();
        w.activateWindow();
        return QTest::qWaitForWindowActive(&w);
    }
    // The command, and the event loop until its work is over (what waits
    // for the end has not come yet on return).
    static void run(frmMain &w, const char *command)
    {
        w.menuAction(QString::fromLatin1(command))->trigger();
        ASSERT_TRUE(test::untilLongWorkIsOver());
    }

    // A file dragged from another program and dropped at `at` of the window
    // `w` (window coordinates), through the window system as a real drop
    // comes. True when the drop was taken.
    static bool dropFile(QWidget *w, const QPoint &at, const QString &file)
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        QWindow *window = w->window()->windowHandle();
        const QPlatformDragQtResponse over = QWindowSystemInterface::handleDrag(
            window, &data, at, Qt::CopyAction | Qt::MoveAction, Qt::LeftButton, Qt::NoModifier);
        if (!over.isAccepted())
            return false;
        const QPlatformDropQtResponse dropped = QWindowSystemInterface::handleDrop(
            window, &data, at, Qt::CopyAction | Qt::MoveAction, Qt::LeftButton, Qt::NoModifier);
        return dropped.isAccepted();
    }
    // The middle of a document's text, in its main window's coordinates.
    static QPoint onTheText(frmDocument *doc)
    {
        QWidget *view = doc->txtText->viewport();
        return view->mapTo(view->window(), view->rect().center());
    }
    static QStringList captions(frmMain &w)
    {
        QStringList out;
        for (frmDocument *d : w.documents())
            out << d->caption();
        return out;
    }
};

}

TEST_F(LongWorkDropsTest, AFileDroppedOnTheTextOpens)
{
    frmMain w;
    ASSERT_TRUE(showActive(w));
    const QString first = env.write("ncprog/P1.NC", program(20));
    const QString dropped = env.write("ncprog/DROP.NC", "%\r\nN10 G0 X5\r\nM30\r\n%");
    frmDocument *doc = w.openDocument(first, "MILL");
    ASSERT_NE(doc, nullptr);
    const QByteArray text = doc->txtText->TextAll();

    ASSERT_TRUE(dropFile(doc, onTheText(doc), dropped)) << "the drop is taken as a copy";
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.documents().size() == 2; }, 5000));
    EXPECT_EQ(captions(w), (QStringList{first, dropped}));
    EXPECT_EQ(w.documents()[1]->txtText->TextAll(), "%\r\nN10 G0 X5\r\nM30\r\n%");
    EXPECT_EQ(doc->txtText->TextAll(), text) << "the file's name is not typed into the text";
    EXPECT_EQ(w.mruList().value(0), dropped);
}

// A text dragged onto a program while long work rewrites it is refused at
// once: nothing goes into a text that is half rewritten.
TEST_F(LongWorkDropsTest, TextDroppedDuringLongWorkIsRefused)
{
    frmMain w;
    ASSERT_TRUE(showActive(w));
    frmDocument *doc = w.openDocument(env.write("ncprog/P1.NC", program()), "MILL");
    ASSERT_NE(doc, nullptr);
    const QByteArray upper = doc->txtText->TextAll().toUpper();
    bool taken = true;
    OnceDuringWork dropper([&] {
        QMimeData data;
        data.setText(QStringLiteral("(DRAGGED)"));
        const QPoint at = onTheText(doc);
        taken = QWindowSystemInterface::handleDrag(w.windowHandle(), &data, at, Qt::CopyAction, Qt::LeftButton,
                                                   Qt::NoModifier)
                    .isAccepted()
                || QWindowSystemInterface::handleDrop(w.windowHandle(), &data, at, Qt::CopyAction, Qt::LeftButton,
                                                      Qt::NoModifier)
                       .isAccepted();
    });
    run(w, "mnuViewUppercase");
    ASSERT_TRUE(dropper.ran());
    EXPECT_FALSE(taken);
    EXPECT_EQ(doc->txtText->TextAll(), upper);
    test::MainWindowFixture::letEventsRun(5);
    EXPECT_EQ(doc->txtText->TextAll(), upper);
    doc->txtText->setIsDirty(false);
}

// Files dropped on the text and on the window while an operation works open
// once it is over, in the order they were dropped; the drop was taken.
TEST_F(LongWorkDropsTest, FilesDroppedDuringLongWorkOpenAfterItInOrder)
{
    frmMain w;
    ASSERT_TRUE(showActive(w));
    const QString first = env.write("ncprog/P1.NC", program());
    const QString a = env.write("ncprog/A.NC", "N10 G0 X1\r\n");
    const QString b = env.write("ncprog/B.NC", "N10 G0 X2\r\n");
    frmDocument *doc = w.openDocument(first, "MILL");
    ASSERT_NE(doc, nullptr);
    const QByteArray upper = doc->txtText->TextAll().toUpper();
    bool takenA = false, takenB = false;
    int openDuringWork = -1;
    OnceDuringWork dropper([&] {
        takenA = dropFile(doc, onTheText(doc), a);
        takenB = dropFile(&w, QPoint(w.width() / 2, w.height() - 5), b);
        test::MainWindowFixture::letEventsRun(3); // still under way: the events ran between its pieces
        openDuringWork = int(w.documents().size());
    });
    run(w, "mnuViewUppercase");
    ASSERT_TRUE(dropper.ran());
    EXPECT_TRUE(takenA);
    EXPECT_TRUE(takenB);
    EXPECT_EQ(openDuringWork, 1) << "nothing opens in the middle of the work";
    EXPECT_EQ(doc->txtText->TextAll(), upper);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.documents().size() == 3; }, 5000)) << "the drops were lost";
    EXPECT_EQ(captions(w), (QStringList{first, a, b}));
    EXPECT_EQ(w.mruList().mid(0, 2), (QStringList{b, a}));
    doc->txtText->setIsDirty(false);
}

// A close of the main window, then a file dropped, then a file handed over
// by a second start, all while an operation works: afterwards they come in
// that order. The close asks about the changed program first (answered
// "Avbryt": the window stays), then the dropped file opens, then the
// handed-over one.
TEST_F(LongWorkDropsTest, ACloseADropAndAHandOverDuringLongWorkKeepTheirOrder)
{
    frmMain w;
    ASSERT_TRUE(showActive(w));
    collectHandOvers();
    installHandOver(&w);
    const QString first = env.write("ncprog/P1.NC", program());
    const QString dropped = env.write("ncprog/DROP.NC", "N10 G0 X1\r\n");
    const QString handed = env.write("ncprog/HANDED.NC", "N10 G0 X2\r\n");
    QPointer<frmDocument> doc = w.openDocument(first, "MILL");
    ASSERT_NE(doc, nullptr);

    std::vector<QString> order;
    setMsgBoxHook([&](const MsgBoxCall &c) {
        if (c.text.contains(QStringLiteral("P1.NC")))
            order.push_back(QStringLiteral("asked about P1.NC with ") + QString::number(w.documents().size())
                            + QStringLiteral(" open"));
        // The operation's question "Ja"; the exit's "Avbryt": it stops, the program stays.
        return c.buttons == MbButtons::YesNo ? MbYes : MbCancel;
    });
    OnceDuringWork comer([&] {
        QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::SynchronousDelivery>(w.windowHandle());
        EXPECT_TRUE(dropFile(&w, QPoint(w.width() / 2, w.height() - 5), dropped));
        Q_EMIT instanceServer()->handedOver(handed);
        order.push_back(QStringLiteral("during the work: ") + QString::number(w.documents().size()) + " open");
    });
    run(w, "mnuViewUppercase");
    ASSERT_TRUE(comer.ran());
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.documents().size() == 3; }, 5000))
        << captions(w).join(' ').toStdString();
    EXPECT_EQ(order, (std::vector<QString>{QStringLiteral("during the work: 1 open"),
                                           QStringLiteral("asked about P1.NC with 1 open")}));
    EXPECT_EQ(captions(w), (QStringList{first, dropped, handed}));
    EXPECT_TRUE(w.isVisible());
    setMsgBoxHook({});
    ASSERT_FALSE(doc.isNull());
    doc->txtText->setIsDirty(false);
    installHandOver(nullptr);
}

// After the operations with the progress dialog, and after those without, a
// key typed to the main window (as the window system delivers it) reaches the
// document, and so does Ctrl+S.
TEST_F(LongWorkDropsTest, AfterLongWorkTheKeyboardReachesTheDocument)
{
    Editor::setPieceBytesForTests(0);
    frmMain w;
    ASSERT_TRUE(showActive(w));
    const QString path = env.write("ncprog/P1.NC", program(200));
    frmDocument *doc = w.openDocument(path, "MILL");
    ASSERT_NE(doc, nullptr);
    doc->txtText->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == doc->txtText->focusProxy(); }, 5000));
    for (const char *command : {"mnuViewPack", "mnuViewUnPack", "mnuViewUppercase"}) {
        SCOPED_TRACE(command);
        run(w, command);
        test::MainWindowFixture::letEventsRun(3);
        const QByteArray done = doc->txtText->TextAll();
        QWindowSystemInterface::handleKeyEvent(w.windowHandle(), QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier,
                                               QStringLiteral("Q"));
        QWindowSystemInterface::handleKeyEvent(w.windowHandle(), QEvent::KeyRelease, Qt::Key_Q, Qt::NoModifier,
                                               QStringLiteral("Q"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return doc->txtText->TextAll().size() == done.size() + 1; }, 5000))
            << "the typed key went nowhere";
        EXPECT_EQ(doc->txtText->TextAll().count('Q'), done.count('Q') + 1);
        ASSERT_TRUE(doc->txtText->IsDirty());
        QWindowSystemInterface::handleKeyEvent(w.windowHandle(), QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier);
        QWindowSystemInterface::handleKeyEvent(w.windowHandle(), QEvent::KeyRelease, Qt::Key_S, Qt::ControlModifier);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !doc->txtText->IsDirty(); }, 5000)) << "Ctrl+S did not save";
        EXPECT_EQ(test::readFile(path), doc->txtText->TextAll());
    }
}

// A program larger than a piece, at the usual piece size, under a rewrite and
// under replace all: a close of the window, a file dropped on the text, one
// dropped on the window, a hand-over and a typed key that come while the work
// goes on wait for its end. Meanwhile nothing opens, nothing closes, and the
// key does not reach the text. Afterwards the keyboard is where it was, and
// what came follows in the order it came: the close asks about the changed
// program (answered "Avbryt": the window stays), the dropped files open, the
// handed-over one opens, and the key lands on the finished text.
TEST_F(LongWorkDropsTest, DuringALargeRewriteOrReplaceAllWhatComesWaitsAndKeepsItsOrder)
{
    Editor::setPieceBytesForTests(0);
    QByteArray big = program(45000);
    ASSERT_GT(big.size(), Editor::pieceBytes());
    const std::vector<std::pair<const char *, std::function<void(frmMain &)>>> operations = {
        {"upper case", [](frmMain &w) { w.menuAction(QStringLiteral("mnuViewUppercase"))->trigger(); }},
        {"replace all", [](frmMain &) { FindIt("G1", 1, false, true, "G01", true); }},
    };
    int round = 0;
    for (const auto &[name, operation] : operations) {
        SCOPED_TRACE(name);
        ++round;
        frmMain w;
        ASSERT_TRUE(showActive(w));
        collectHandOvers();
        installHandOver(&w);
        frmDocument::setReplaceConfirm([](frmDocument *) { return 4; }); // "Alla"
        const QString first = env.write(QStringLiteral("ncprog/BIG%1.NC").arg(round), big);
        const QString a = env.write(QStringLiteral("ncprog/A%1.NC").arg(round), "N10 G0 X1\r\n");
        const QString b = env.write(QStringLiteral("ncprog/B%1.NC").arg(round), "N10 G0 X2\r\n");
        const QString handed = env.write(QStringLiteral("ncprog/H%1.NC").arg(round), "N10 G0 X3\r\n");
        QPointer<frmDocument> doc = w.openDocument(first, "MILL");
        ASSERT_NE(doc, nullptr);
        doc->txtText->setFocus();
        QWidget *keyboard = doc->txtText->focusProxy();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == keyboard; }, 5000));
        const QByteArray original = doc->txtText->TextAll();

        std::vector<QString> order;
        setMsgBoxHook([&](const MsgBoxCall &c) {
            if (c.text.contains(QStringLiteral("BIG")))
                order.push_back(QStringLiteral("asked with ") + QString::number(w.documents().size())
                                + QStringLiteral(" open"));
            return c.buttons == MbButtons::YesNo ? MbYes : MbCancel;
        });
        bool takenA = false, takenB = false, busyMeanwhile = false;
        QByteArray textMeanwhile;
        OnceDuringWork comer([&] {
            busyMeanwhile = doc->busy();
            QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::SynchronousDelivery>(w.windowHandle());
            takenA = dropFile(doc, onTheText(doc), a);
            takenB = dropFile(&w, QPoint(w.width() / 2, w.height() - 5), b);
            Q_EMIT instanceServer()->handedOver(handed);
            QWindowSystemInterface::handleKeyEvent(w.windowHandle(), QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier,
                                                   QStringLiteral("Q"));
            QWindowSystemInterface::handleKeyEvent(w.windowHandle(), QEvent::KeyRelease, Qt::Key_Q, Qt::NoModifier,
                                                   QStringLiteral("Q"));
            test::MainWindowFixture::letEventsRun(3);
            textMeanwhile = doc->txtText->TextAll();
            order.push_back(QStringLiteral("during the work: ") + QString::number(w.documents().size())
                            + QStringLiteral(" open"));
        });
        operation(w);
        ASSERT_TRUE(test::untilLongWorkIsOver());
        ASSERT_TRUE(comer.ran());
        const QByteArray done = doc->txtText->TextAll();
        const qint64 selStart = std::min(doc->txtText->anchorOffset(), doc->txtText->caretOffset());
        const qint64 selEnd = std::max(doc->txtText->anchorOffset(), doc->txtText->caretOffset());
        EXPECT_TRUE(busyMeanwhile) << "the program was busy under the work";
        EXPECT_TRUE(takenA);
        EXPECT_TRUE(takenB);
        EXPECT_EQ(textMeanwhile.count('Q'), 0) << "the key reached the text under the work";
        EXPECT_EQ(done.count('Q'), 0);
        EXPECT_NE(done, original);
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == keyboard; }, 60000))
            << "the keyboard is where it was";

        ASSERT_TRUE(QTest::qWaitFor([&] { return w.documents().size() == 4; }, 10000))
            << captions(w).join(' ').toStdString();
        EXPECT_EQ(captions(w), (QStringList{first, a, b, handed}));
        EXPECT_EQ(order, (std::vector<QString>{QStringLiteral("during the work: 1 open"),
                                               QStringLiteral("asked with 1 open")}));
        EXPECT_TRUE(w.isVisible());
        ASSERT_FALSE(doc.isNull());
        // The key types over the selection the work left (replace all selects
        // the last replacement), or at the caret.
        EXPECT_TRUE(QTest::qWaitFor([&] { return doc->txtText->TextAll() != done; }, 5000)) << "the typed key was lost";
        EXPECT_EQ(doc->txtText->TextAll(), QByteArray(done).replace(selStart, selEnd - selStart, "Q"))
            << "the key landed on the finished text";
        setMsgBoxHook({});
        doc->txtText->setIsDirty(false);
        installHandOver(nullptr);
        frmDocument::setReplaceConfirm({});
    }
}
