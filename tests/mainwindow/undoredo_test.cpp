// Every whole-program operation of the main window is one undo step and one
// redo step: Ctrl+Z gives back the program's bytes as they were before, Ctrl+Y
// the bytes the operation made, also when the operation was aborted half-way.
#include "core/globals.h"
#include "core/progress.h"
#include "documents/editor.h"
#include "documents/findreplace.h"
#include "documents/frmdocument.h"
#include "mainwindow/commands_plugins.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/pluginhost.h"
#include "mainwindowfixture.h"
#include "ncops/frmomnum.h"
#include "testsupport.h"

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <string_view>

// Qt's own door from the platform into the application (Qt's private
// headers): a key queued through it waits in the window system's queue until
// the event loop takes it, as typed input does.
#include <qpa/qwindowsysteminterface.h>

using namespace lumrik;
using test::OnceDuringWork;

namespace {

// A milling program with something for every operation: block numbers to
// renumber, tool calls, blanks and TABs, small letters, numbers without a
// decimal point, and G1 words.
QByteArray program(int lines = 3000)
{
    QByteArray t = "%\r\nO1000 (UNDO)\r\n";
    for (int i = 1; i <= lines; ++i) {
        QByteArray line = "N" + QByteArray::number(i * 5) + " G1 X" + QByteArray::number(i % 300) + " Y-"
                          + QByteArray::number(i % 70) + ".5 F200";
        if (i % 40 == 0)
            line = "N" + QByteArray::number(i * 5) + " T" + QByteArray::number(i % 9 + 1) + " M6";
        if (i % 7 == 0)
            line = line.toLower();
        if (i % 11 == 0)
            line.replace(' ', '\t');
        t += line + "\r\n";
    }
    return t + "M30\r\n%";
}

class UndoRedoTest : public test::MainWindowFixture {
protected:
    UndoRedoTest()
    {
        settingsIni = "[Settings]\r\nLastCnc=MILL\r\nFirstStart=False\r\nAutoColor=0\r\nToolListChrs=T\r\n"
                      "DecCheckChrs=XYF\r\n";
    }
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        frmDocument::setReplaceConfirm({});
        abortRunsAtForTests(0);
        Editor::setPieceBytesForTests(0);
    }

    // Presses Start in the renumbering dialog; when asked to, the progress
    // dialog reports abort once `abortAt` lines are done.
    void answerWindows(int abortAt)
    {
        abortRunsAtForTests(abortAt);
        auto *timer = new QTimer(&owner);
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, [] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (auto *o = qobject_cast<frmOmnum *>(w); o && o->isVisible())
                    o->btnStartOmnum->click();
            }
        });
        timer->start();
    }
    // Counts the rounds of the event loop while it runs.
    struct Rounds {
        Rounds()
        {
            tick.setInterval(0);
            QObject::connect(&tick, &QTimer::timeout, [this] { ++count; });
            tick.start();
        }
        QTimer tick;
        int count = 0;
    };
    // The main window with its plug-in host, shown and active.
    static bool showActive(frmMain &w)
    {
        installPluginHost(&w);
        w.show();
        w.activateWindow();
        return QTest::qWaitForWindowActive(&w);
    }
    static void key(frmDocument *doc, int key)
    {
        QTest::keyClick(doc->txtText->focusProxy(), Qt::Key(key), Qt::ControlModifier);
    }

    // Runs the operation and checks one Ctrl+Z and one Ctrl+Y each way; gives
    // back what the operation made.
    QByteArray check(const char *name, const std::function<void(frmMain &, frmDocument *)> &operation, int abortAt = 0,
                     int lines = 3000)
    {
        frmMain w;
        // The keys go through the real window: the menu's shortcuts act on
        // the active document, as when the user presses them.
        EXPECT_TRUE(showActive(w));
        frmDocument::setReplaceConfirm([](frmDocument *) { return 4; });
        answerWindows(abortAt);
        frmDocument *doc = w.openDocument(env.write("ncprog/P1.NC", program(lines)), "MILL");
        EXPECT_NE(doc, nullptr);
        if (!doc)
            return {};
        doc->txtText->setFocus();
        const QByteArray before = doc->txtText->TextAll();
        operation(w, doc);
        test::untilLongWorkIsOver();
        const QByteArray after = doc->txtText->TextAll();
        EXPECT_NE(after, before) << name;
        // The operation's dialogs have closed; the window manager gives the
        // main window back its activation (the offscreen platform does not).
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        // The activation of a dialog that answered at once may come late.
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &w; }, 5000));
        doc->txtText->setFocus();
        key(doc, Qt::Key_Z);
        EXPECT_EQ(doc->txtText->TextAll(), before) << name << ": one Ctrl+Z";
        key(doc, Qt::Key_Z);
        EXPECT_EQ(doc->txtText->TextAll(), before) << name << ": nothing more to undo";
        key(doc, Qt::Key_Y);
        EXPECT_EQ(doc->txtText->TextAll(), after) << name << ": one Ctrl+Y";
        EXPECT_TRUE(doc->txtText->IsDirty()) << name;
        key(doc, Qt::Key_Z);
        EXPECT_EQ(doc->txtText->TextAll(), before) << name << ": Ctrl+Z after Ctrl+Y";
        doc->txtText->setIsDirty(false);
        return after;
    }

    QObject owner;
};

void run(frmMain &w, const char *command) { w.menuAction(QString::fromLatin1(command))->trigger(); }

// Calls `pressed` when a key press reaches the widget.
class KeySpy : public QObject {
public:
    KeySpy(QWidget *target, std::function<void()> pressed) : pressed_(std::move(pressed)) { target->installEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress)
            pressed_();
        return false;
    }

private:
    std::function<void()> pressed_;
};

}

using Operations = std::vector<std::pair<const char *, std::function<void(frmMain &, frmDocument *)>>>;

// The whole-program operations that rewrite the whole program.
const Operations &wholeProgramOperations()
{
    static const Operations operations = {
        {"mnuNcOptionsOmnum", [](frmMain &w, frmDocument *) { run(w, "mnuNcOptionsOmnum"); }},
        {"mnuNcOptionsToolList", [](frmMain &w, frmDocument *) { run(w, "mnuNcOptionsToolList"); }},
        {"mnuViewPack", [](frmMain &w, frmDocument *) { run(w, "mnuViewPack"); }},
        {"mnuViewUnPack", [](frmMain &w, frmDocument *) { run(w, "mnuViewUnPack"); }},
        {"mnuViewUppercase", [](frmMain &w, frmDocument *) { run(w, "mnuViewUppercase"); }},
        {"mnuViewClearchars", [](frmMain &w, frmDocument *) { run(w, "mnuViewClearchars"); }},
        {"mnuOptionPunktKoll", [](frmMain &w, frmDocument *) { run(w, "mnuOptionPunktKoll"); }},
        {"replace all", [](frmMain &, frmDocument *) { FindIt("G1", 1, false, true, "G01", true); }},
        {"plugin_SetEditText",
         [](frmMain &w, frmDocument *) {
             PluginHost *h = PluginHost::of(&w);
             h->plugin_SetEditText(h->plugin_GetEditText().replace("F200", "F250"));
         }},
    };
    return operations;
}

TEST_F(UndoRedoTest, EveryOperationIsOneStepEachWay)
{
    Operations operations = wholeProgramOperations();
    operations.insert(operations.end(), {
        {"plugin_AddEditText", [](frmMain &w, frmDocument *) { PluginHost::of(&w)->plugin_AddEditText("\r\nM2"); }},
        {"plugin_InsertEditText",
         [](frmMain &w, frmDocument *) { PluginHost::of(&w)->plugin_InsertEditText("(START)\r\n"); }},
        {"plugin_SetTextRow", [](frmMain &w, frmDocument *) { PluginHost::of(&w)->plugin_SetTextRow(5, "N1 G0"); }},
    });
    for (const auto &[name, operation] : operations)
        check(name, operation);
    EXPECT_TRUE(errors.empty());
}

// An abort keeps the lines done and leaves the rest: that state too is one
// step away from the program before, and one step back.
TEST_F(UndoRedoTest, AbortedOperationsAreOneStepEachWayToo)
{
    constexpr int kLines = 20000;
    const QByteArray original = program(kLines);
    for (const char *command : {"mnuNcOptionsOmnum", "mnuViewPack", "mnuViewUnPack"}) {
        const QByteArray part =
            check(command, [command](frmMain &w, frmDocument *) { run(w, command); }, kLines / 2, kLines);
        // The first lines done, the last ones as they were.
        EXPECT_NE(part.left(2000), original.left(2000)) << command;
        EXPECT_EQ(part.right(2000), original.right(2000)) << command;
    }
}

// A large program goes into the editor a piece at a time: in pieces of a few
// hundred bytes every operation still makes the same bytes, one step each
// way. The operations computed off the window go in a piece per round of the
// event loop, which runs while they work; a plug-in's new text goes in at
// once, one editing transaction.
TEST_F(UndoRedoTest, InSmallPiecesEveryOperationServesTheWindowAndMakesTheSameBytes)
{
    for (const auto &[name, operation] : wholeProgramOperations()) {
        Editor::setPieceBytesForTests(0);
        const QByteArray whole = check(name, operation);
        Editor::setPieceBytesForTests(313);
        int rounds = 0;
        const QByteArray pieces = check(name, [&, op = operation](frmMain &w, frmDocument *doc) {
            Rounds counted;
            op(w, doc);
            test::untilLongWorkIsOver();
            rounds = counted.count;
        });
        EXPECT_EQ(pieces, whole) << name;
        if (std::string_view(name) == "plugin_SetEditText")
            EXPECT_EQ(rounds, 0) << name << ": in one go";
        else
            EXPECT_GT(rounds, 10) << name << ": the event loop ran while it worked";
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(UndoRedoTest, AbortedInSmallPiecesTheRestStaysAsItWas)
{
    constexpr int kLines = 20000;
    const QByteArray original = program(kLines);
    for (const char *command : {"mnuNcOptionsOmnum", "mnuViewPack", "mnuViewUnPack"}) {
        Editor::setPieceBytesForTests(0);
        const QByteArray whole =
            check(command, [command](frmMain &w, frmDocument *) { run(w, command); }, kLines / 2, kLines);
        Editor::setPieceBytesForTests(4099);
        const QByteArray pieces =
            check(command, [command](frmMain &w, frmDocument *) { run(w, command); }, kLines / 2, kLines);
        EXPECT_EQ(pieces, whole) << command;
        EXPECT_EQ(pieces.right(2000), original.right(2000)) << command;
    }
}

// Keys typed while an operation without the progress dialog works wait for
// its end: nothing typed reaches a text that is half rewritten, and the keys
// land on the finished one.
TEST_F(UndoRedoTest, KeysTypedDuringAnOperationWaitForItsEnd)
{
    Editor::setPieceBytesForTests(313);
    for (const char *command : {"mnuViewUppercase", "mnuViewClearchars", "mnuOptionPunktKoll"}) {
        frmMain w;
        ASSERT_TRUE(showActive(w));
        frmDocument *doc = w.openDocument(env.write("ncprog/P1.NC", program()), "MILL");
        ASSERT_NE(doc, nullptr);
        doc->txtText->setFocus();
        const qsizetype qsBefore = doc->txtText->TextAll().count('q');

        // The text as it stands when the key reaches the editor.
        QByteArray seen;
        KeySpy spy(doc->txtText->focusProxy(), [&] { seen = doc->txtText->TextAll(); });
        // A key typed as soon as the operation's work lets the events run.
        OnceDuringWork typist([&] {
            QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
                w.windowHandle(), QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, QStringLiteral("q"));
        });
        run(w, command);
        test::untilLongWorkIsOver();
        const QByteArray done = doc->txtText->TextAll();
        ASSERT_TRUE(typist.ran()) << command;
        EXPECT_TRUE(seen.isEmpty()) << command << ": the key came in while the operation worked";
        EXPECT_EQ(done.count('q'), qsBefore) << command;

        // The key waited in the queue; the next round of the loop takes it.
        for (int round = 0; round < 20 && seen.isEmpty(); ++round) {
            QMetaObject::invokeMethod(qApp, [] {}, Qt::QueuedConnection);
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(seen, done) << command << ": the key reached the finished text";
        const QByteArray now = doc->txtText->TextAll();
        EXPECT_EQ(now.size(), done.size() + 1) << command;
        EXPECT_EQ(now.count('q'), qsBefore + 1) << command;
        doc->txtText->setIsDirty(false);
    }
}

// The main window's close box pressed while an operation works: nothing is
// closed under the operation (the close waits with the typed input); the
// window closes once the operation is over, asking about the changed program.
TEST_F(UndoRedoTest, TheWindowClosedDuringAnOperationClosesAfterIt)
{
    Editor::setPieceBytesForTests(313);
    frmMain w;
    ASSERT_TRUE(showActive(w));
    QPointer<frmDocument> doc = w.openDocument(env.write("ncprog/P1.NC", program()), "MILL");
    ASSERT_NE(doc, nullptr);
    const QByteArray upper = doc->txtText->TextAll().toUpper();

    int documentsAtClose = -1;
    OnceDuringWork closer([&] {
        QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::AsynchronousDelivery>(w.windowHandle());
        QWindowSystemInterface::flushWindowSystemEvents(QEventLoop::ExcludeUserInputEvents);
        documentsAtClose = int(w.documents().size());
    });
    run(w, "mnuViewUppercase");
    ASSERT_TRUE(test::untilLongWorkIsOver());
    ASSERT_TRUE(closer.ran());
    EXPECT_EQ(documentsAtClose, 1);
    ASSERT_FALSE(doc.isNull());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(doc->txtText->TextAll(), upper);

    // Over: the close goes on, and asks about the changed program.
    boxes.answer(7); // "Nej": not saved
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 5000));
    EXPECT_TRUE(boxes.saw(QStringLiteral("P1.NC")));
}

// On a program of several pieces, undo puts the caret, the selection and the
// top line where they stood before the operation, redo where the operation
// left them: not where the last piece undone or redone would put them.
TEST_F(UndoRedoTest, UndoAndRedoOfALargeProgramKeepTheUsersPlace)
{
    frmMain w;
    ASSERT_TRUE(showActive(w));
    answerWindows(0);
    frmDocument *doc = w.openDocument(env.write("ncprog/BIG.NC", program(125000)), "MILL");
    ASSERT_NE(doc, nullptr);
    Editor *ed = doc->txtText;
    ASSERT_GT(ed->TextLength(), 3 << 20);
    struct Place {
        int x, y, top;
        qint64 anchor, caret;
        bool operator==(const Place &) const = default;
    };
    const auto place = [ed] {
        return Place{ed->CaretX(), ed->CaretY(), ed->TopY(), ed->anchorOffset(), ed->caretOffset()};
    };
    for (const char *command : {"mnuViewPack", "mnuNcOptionsOmnum"}) {
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        ed->setFocus();
        QTest::keyClick(ed->focusProxy(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(ed->focusProxy(), Qt::Key_Up);
        QTest::keyClick(ed->focusProxy(), Qt::Key_End);
        const Place before = place();
        ASSERT_EQ(before.y, ed->Count() - 1) << command;
        ASSERT_GT(before.top, ed->Count() - 200) << command;
        const QByteArray original = ed->TextAll();
        run(w, command);
        test::untilLongWorkIsOver();
        const QByteArray changed = ed->TextAll();
        ASSERT_NE(changed, original) << command;
        const Place after = place();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        ed->setFocus();
        for (int round = 0; round < 2; ++round) {
            key(doc, Qt::Key_Z);
            ASSERT_EQ(ed->TextAll(), original) << command;
            EXPECT_TRUE(place() == before) << command << ": undo; caret line " << ed->CaretY() << " column "
                                           << ed->CaretX() << ", top line " << ed->TopY() << " instead of "
                                           << before.y << ", " << before.x << ", " << before.top;
            key(doc, Qt::Key_Y);
            ASSERT_EQ(ed->TextAll(), changed) << command;
            EXPECT_TRUE(place() == after) << command << ": redo; caret line " << ed->CaretY() << " column "
                                          << ed->CaretX() << ", top line " << ed->TopY() << " instead of "
                                          << after.y << ", " << after.x << ", " << after.top;
        }
        key(doc, Qt::Key_Z);
        ed->setIsDirty(false);
    }
    EXPECT_TRUE(errors.empty());
}
